// The page-conformance suite: fixtures of forum-like pages, each with the
// results the Internet Explorer control gives for the browser operations the
// core uses, and the driver that runs the same data on any engine. The data
// format is described in README.md beside this file.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "browser/document_binding.h"
#include "browser/operations.h"
#include "base/text/text.h"

namespace brevane::conformance {

// One operation of a fixture and the result expected from it. Texts are
// kept as written in the data file (UTF-8, with placeholders).
struct Step {
  int line = 0;          // in the data file, for messages
  std::string verb;      // wait, documents, navigate, table, form, fill, holds, pause, click, sent
  std::string key;       // the operation's key (table number, element key)
  std::string expected;  // continuation lines joined with CR LF
};

// One action of a page's script, as an engine that runs no scripts acts it
// out (a browser runs the page's own script instead): "fetch FILE" asks for
// a file and waits for its answer, "frame ID" puts an editor frame (an
// inline frame whose empty document is in design mode) into the element of
// that id, "write HTML" writes the editor's first content into the body of
// the frame made last, "wait MS" lets time pass.
struct ScriptStep {
  std::string action;
  std::string argument;
};

struct Fixture {
  std::string name;         // the folder under pages/
  std::string pages_root;   // the pages/ folder
  std::string entry;        // entry page, relative to the fixture's folder
  std::string charset = "utf-8";  // how the fixture's pages are encoded
  bool tls = false;  // the first origin serves over TLS ("tls = yes")
  std::vector<Step> steps;
  std::map<std::string, std::string> known;  // engine -> why it differs
  // Files (relative to the fixture's folder) served only this many
  // milliseconds after they are asked for, on top of the latency.
  std::map<std::string, int> slow;
  // Every file's answer waits this long after its request, as over a slow
  // network.
  int latency_ms = 0;
  // What the script of a page (relative to the fixture's folder) does once
  // the page has loaded, step by step.
  std::map<std::string, std::vector<ScriptStep>> scripts;
  // Files served with extra header lines ("Name: value" CR LF each).
  std::map<std::string, std::string> headers;
  // Files answered, from their second request on, with another file's
  // content (a board whose threads change between two visits).
  std::map<std::string, std::string> changes;
  std::vector<std::string> errors;           // lines the parser rejected
};

// The fixtures folder: $BREVANE_CONFORMANCE_DIR, else the folder compiled
// in (a Unix path on Windows taken through Wine's Z: drive), else, when
// that does not exist (the test kit on another PC), the "conformance"
// folder beside the running program.
std::string FixturesFolder();

// Names of the fixtures (data files pages/<name>.txt with a folder
// pages/<name>/), sorted.
std::vector<std::string> ListFixtures(const std::string& pages_root);

// Reads pages/<name>.txt; a file that cannot be read gives a fixture with an
// error and no steps.
Fixture LoadFixture(const std::string& pages_root, const std::string& name);
Fixture ParseFixture(const std::string& name, const std::string& data);

// How long the answer to a file of the fixture (relative to its folder)
// waits: the latency plus the file's own slowness.
int AnswerDelay(const Fixture& fixture, const std::string& file);

// A file of the fixture as a server hands it out: the path below the
// origin ("/<fixture>/board.htm", "/observe.js") and the bytes, with the
// placeholders of the origins replaced.
struct ServedFile {
  std::string path;
  std::string body;
  int delay_ms = 0;     // the answer waits this long after the request (latency included)
  std::string headers;  // extra header lines, each ending in CR LF
  // From the second request on the answer is this instead (when
  // changes_later): the fixture's "changes" line.
  bool changes_later = false;
  std::string later_body;
};

// The origin with https in place of http.
Text SecureForm(const Text& origin);

// The engine the suite runs on.
class ConformanceHost {
 public:
  virtual ~ConformanceHost() = default;
  // Name the data files use for this engine in "known" lines.
  virtual std::string EngineName() const = 0;
  // Scheme, host and port of the first and the second origin.
  virtual Text Origin() = 0;
  virtual Text Other() = 0;
  // The first origin of a fixture served over TLS. A host whose pages are
  // notional addresses gives its first origin with the https scheme; a host
  // with real servers serves that one over TLS, with a certificate it alone
  // accepts for its host.
  virtual Text SecureOrigin() { return SecureForm(Origin()); }
  // Makes the files reachable from both origins (each origin serves the
  // same tree; the first is SecureOrigin for a fixture over TLS), in the
  // fixture's charset; false when it cannot.
  virtual bool Serve(const Fixture& fixture, const std::vector<ServedFile>& files) = 0;
  virtual BrowserOperations& Operations() = 0;
  // The binding the operations share: the driver reads the bound documents'
  // titles and the marks the pages leave on their root elements.
  virtual DocumentBinding& Binding() = 0;
};

// The content type a server gives a fixture's file: scripts as JavaScript
// (observe.js is ASCII in every fixture), styles as CSS, GIF pictures as
// such, pages as HTML in the fixture's charset.
std::string ContentTypeOf(const std::string& path, const std::string& charset);

// The fixture's files (its folder and observe.js) ready to serve.
std::vector<ServedFile> FixtureFiles(const Fixture& fixture, const Text& origin, const Text& other);

// {origin}, {other} and {host} (the first origin without its scheme)
// replaced.
std::string Substitute(std::string text, const Text& origin, const Text& other);

// Runs the fixture on the host; returns one message per mismatch (empty
// when everything matched).
std::vector<std::string> RunFixture(ConformanceHost& host, const Fixture& fixture);

}  // namespace brevane::conformance
