#include "testing/conformance/conformance.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

#include "browser/late_binding.h"
#include "base/text/charset.h"

namespace brevane::conformance {
namespace {

namespace fs = std::filesystem;

// What FillEditor writes; the driver then looks for it in the bodies.
constexpr const char* kFillText = "Reply from the conformance suite";

std::string Trim(std::string_view s) {
  std::size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  std::size_t last = s.find_last_not_of(" \t\r");
  return std::string(s.substr(first, last - first + 1));
}

std::string ReadFile(const fs::path& path, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  *ok = static_cast<bool>(in);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (true) {
    std::size_t bar = text.find('|', start);
    items.push_back(Trim(text.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start)));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return items;
}

std::string JoinList(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) out += (i ? " | " : "") + items[i];
  return out;
}

std::vector<DomRef> BoundDocuments(ConformanceHost& host) { return host.Binding().DocumentList; }

DomRef RootOf(const DomRef& document) { return GetObject(document, "documentElement"); }

// The marks observe.js (or the host acting for it) leaves on the root
// elements of the bound documents.
std::vector<std::string> Marks(ConformanceHost& host, const char* attribute) {
  std::vector<std::string> marks;
  for (const DomRef& document : BoundDocuments(host)) {
    Variant mark = Call(RootOf(document), "getAttribute", {Text(attribute)});
    if (!mark.IsEmpty()) marks.push_back(GbkToUtf8(mark.ToText()));
  }
  return marks;
}

void ClearMarks(ConformanceHost& host) {
  for (const DomRef& document : BoundDocuments(host)) {
    DomRef root = RootOf(document);
    Call(root, "removeAttribute", {Text("data-clicked")});
    Call(root, "removeAttribute", {Text("data-sent")});
  }
}

// The 1-based position in the bound documents of the one whose body holds
// the filled text; "-" when none does.
std::string HolderOfFillText(ConformanceHost& host) {
  std::vector<DomRef> documents = BoundDocuments(host);
  for (std::size_t i = 0; i < documents.size(); ++i) {
    if (TrimSpaces(GetText(GetObject(documents[i], "body"), "innerText")) == kFillText) return std::to_string(i + 1);
  }
  return "-";
}

std::string Shown(const std::string& text) { return text.empty() ? "(empty)" : text; }

// The steps of a script line, "action argument | action argument ...";
// false with the reason for a step it does not know.
bool ParseScript(const std::string& value, std::vector<ScriptStep>* steps, std::string* error) {
  for (const std::string& item : SplitList(value)) {
    const std::size_t space = item.find(' ');
    ScriptStep step{item.substr(0, space), space == std::string::npos ? std::string() : Trim(item.substr(space + 1))};
    const bool known = step.action == "fetch" || step.action == "frame" || step.action == "write" ||
                       step.action == "wait";
    if (!known || (step.argument.empty() && step.action != "write")) {
      *error = "unknown script step \"" + item + "\"";
      return false;
    }
    steps->push_back(std::move(step));
  }
  return true;
}

// A set-up line: fills its part of the fixture from the key and the value,
// or gives the reason it rejects them. A new kind of set-up is one more
// entry in SetUpLines.
using SetUpLine = bool (*)(Fixture& fixture, const std::string& key, const std::string& value, std::string* error);

bool ReadMilliseconds(const std::string& value, int* ms, std::string* error) {
  const std::string text = Trim(value);
  char* end = nullptr;
  const long number = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || number < 0 || number > 600000) {
    *error = "not a time in milliseconds: \"" + text + "\"";
    return false;
  }
  *ms = static_cast<int>(number);
  return true;
}

const std::map<std::string, SetUpLine>& SetUpLines() {
  static const std::map<std::string, SetUpLine> lines = {
      {"entry", [](Fixture& f, const std::string&, const std::string& v, std::string*) {
         f.entry = Trim(v);
         return true;
       }},
      {"charset", [](Fixture& f, const std::string&, const std::string& v, std::string*) {
         f.charset = Trim(v);
         return true;
       }},
      {"tls", [](Fixture& f, const std::string&, const std::string& v, std::string*) {
         f.tls = Trim(v) == "yes";
         return true;
       }},
      {"known", [](Fixture& f, const std::string& k, const std::string& v, std::string*) {
         f.known[k] = v;
         return true;
       }},
      {"slow", [](Fixture& f, const std::string& k, const std::string& v, std::string* e) {
         return ReadMilliseconds(v, &f.slow[k], e);
       }},
      {"latency", [](Fixture& f, const std::string&, const std::string& v, std::string* e) {
         return ReadMilliseconds(v, &f.latency_ms, e);
       }},
      {"header", [](Fixture& f, const std::string& k, const std::string& v, std::string*) {
         f.headers[k] += Trim(v) + "\r\n";
         return true;
       }},
      {"changes", [](Fixture& f, const std::string& k, const std::string& v, std::string* e) {
         if (k.empty() || Trim(v).empty()) {
           *e = "a changes line names the file and the file it turns into";
           return false;
         }
         f.changes[k] = Trim(v);
         return true;
       }},
      {"script", [](Fixture& f, const std::string& k, const std::string& v, std::string* e) {
         return ParseScript(v, &f.scripts[k], e);
       }},
  };
  return lines;
}

}  // namespace

namespace {
// The folder of the running program, or empty.
std::string ProgramFolder() {
  std::error_code error;
#ifdef _WIN32
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return fs::path(path).parent_path().string();
#else
  return fs::read_symlink("/proc/self/exe", error).parent_path().string();
#endif
}
}  // namespace

std::string FixturesFolder() {
  if (const char* from_environment = std::getenv("BREVANE_CONFORMANCE_DIR")) return from_environment;
  std::string folder;
#ifdef BREVANE_CONFORMANCE_DIR
  folder = BREVANE_CONFORMANCE_DIR;
#endif
#ifdef _WIN32
  if (!folder.empty() && folder[0] == '/') folder = "Z:" + folder;
#endif
  std::error_code error;
  if (!folder.empty() && fs::is_directory(folder + "/pages", error)) return folder;
  const std::string beside = ProgramFolder() + "/conformance";
  if (fs::is_directory(beside + "/pages", error)) return beside;
  return folder;
}

std::string ContentTypeOf(const std::string& path, const std::string& charset) {
  auto ends_with = [&](std::string_view end) {
    return path.size() > end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0;
  };
  if (ends_with(".js")) return "text/javascript";
  if (ends_with(".css")) return "text/css";
  if (ends_with(".gif")) return "image/gif";
  return "text/html; charset=" + charset;
}

std::vector<std::string> ListFixtures(const std::string& pages_root) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(pages_root, error)) {
    if (entry.path().extension() != ".txt") continue;
    std::string name = entry.path().stem().string();
    if (fs::is_directory(fs::path(pages_root) / name, error)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

Fixture ParseFixture(const std::string& name, const std::string& data) {
  Fixture fixture;
  fixture.name = name;
  std::istringstream in(data);
  std::string line;
  int number = 0;
  Step* last = nullptr;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    if (line.rfind("> ", 0) == 0 || line == ">") {
      if (!last) {
        fixture.errors.push_back("line " + std::to_string(number) + ": continuation without an operation");
        continue;
      }
      last->expected += "\r\n" + (line.size() > 2 ? line.substr(2) : std::string());
      continue;
    }
    // "verb [key] = value"; the value may be empty ("table 3 =").
    std::size_t equals = line.find(" = ");
    std::string head, value;
    if (equals != std::string::npos) {
      head = line.substr(0, equals);
      value = line.substr(equals + 3);
    } else if (line.size() >= 2 && line.compare(line.size() - 2, 2, " =") == 0) {
      head = line.substr(0, line.size() - 2);
    } else {
      fixture.errors.push_back("line " + std::to_string(number) + ": no \" = \" in \"" + line + "\"");
      last = nullptr;
      continue;
    }
    head = Trim(head);
    std::size_t space = head.find(' ');
    std::string verb = head.substr(0, space);
    std::string key = space == std::string::npos ? std::string() : Trim(head.substr(space + 1));
    last = nullptr;
    if (auto set_up = SetUpLines().find(verb); set_up != SetUpLines().end()) {
      std::string error;
      if (!set_up->second(fixture, key, value, &error))
        fixture.errors.push_back("line " + std::to_string(number) + ": " + error);
    } else if (verb == "wait" || verb == "documents" || verb == "navigate" || verb == "table" || verb == "form" ||
               verb == "fill" || verb == "holds" || verb == "pause" || verb == "click" || verb == "sent") {
      fixture.steps.push_back(Step{number, verb, key, value});
      last = &fixture.steps.back();
    } else {
      fixture.errors.push_back("line " + std::to_string(number) + ": unknown operation \"" + verb + "\"");
    }
  }
  if (fixture.entry.empty()) fixture.errors.push_back("no entry page");
  return fixture;
}

int AnswerDelay(const Fixture& fixture, const std::string& file) {
  auto slow = fixture.slow.find(file);
  return fixture.latency_ms + (slow == fixture.slow.end() ? 0 : slow->second);
}

Fixture LoadFixture(const std::string& pages_root, const std::string& name) {
  bool ok = false;
  std::string data = ReadFile(fs::path(pages_root) / (name + ".txt"), &ok);
  Fixture fixture = ParseFixture(name, data);
  if (!ok) fixture.errors.push_back("cannot read " + name + ".txt");
  fixture.pages_root = pages_root;
  return fixture;
}

Text SecureForm(const Text& origin) {
  return origin.rfind("http://", 0) == 0 ? "https://" + origin.substr(7) : origin;
}

std::string Substitute(std::string text, const Text& origin, const Text& other) {
  std::string host = origin;
  std::size_t scheme_end = host.find("://");
  if (scheme_end != std::string::npos) host = host.substr(scheme_end + 3);
  ReplaceAll(text, "{origin}", origin);
  ReplaceAll(text, "{other}", other);
  ReplaceAll(text, "{host}", host);
  return text;
}

std::vector<ServedFile> FixtureFiles(const Fixture& fixture, const Text& origin, const Text& other) {
  std::vector<ServedFile> files;
  const fs::path root(fixture.pages_root);
  std::error_code error;
  auto add = [&](const fs::path& file) {
    bool ok = false;
    std::string body = ReadFile(file, &ok);
    if (!ok) return;
    std::string path = "/" + fs::relative(file, root, error).generic_string();
    ServedFile served;
    served.path = path;
    served.body = Substitute(std::move(body), origin, other);
    const std::string own = path.substr(std::min(path.size(), fixture.name.size() + 2));
    served.delay_ms = AnswerDelay(fixture, own);
    if (auto headers = fixture.headers.find(own); headers != fixture.headers.end()) served.headers = headers->second;
    if (auto change = fixture.changes.find(own); change != fixture.changes.end()) {
      bool read = false;
      std::string later = ReadFile(root / fixture.name / change->second, &read);
      served.changes_later = read;
      served.later_body = Substitute(std::move(later), origin, other);
    }
    files.push_back(std::move(served));
  };
  for (const auto& entry : fs::recursive_directory_iterator(root / fixture.name, error)) {
    if (entry.is_regular_file()) add(entry.path());
  }
  add(root / "observe.js");
  std::sort(files.begin(), files.end(), [](const ServedFile& a, const ServedFile& b) { return a.path < b.path; });
  return files;
}

std::vector<std::string> RunFixture(ConformanceHost& host, const Fixture& fixture) {
  std::vector<std::string> failures = fixture.errors;
  BrowserOperations& browser = host.Operations();
  const Text origin = fixture.tls ? host.SecureOrigin() : host.Origin();
  const Text other = host.Other();
  if (!host.Serve(fixture, FixtureFiles(fixture, origin, other))) {
    failures.push_back("the host could not serve the fixture's pages");
    return failures;
  }
  browser.NavigateBrowser(origin + "/" + fixture.name + "/" + fixture.entry);

  for (const Step& step : fixture.steps) {
    const std::string expected_utf8 = Substitute(step.expected, origin, other);
    const Text expected = Utf8ToGbk(expected_utf8);
    const Text key = Utf8ToGbk(Substitute(step.key, origin, other));
    std::string got;  // UTF-8
    std::string want = expected_utf8;
    if (step.verb == "wait") {
      got = std::to_string(browser.WaitForPage(browser.BrowserWindowHandle(), 0));
    } else if (step.verb == "navigate") {
      browser.NavigateBrowser(expected);
      continue;
    } else if (step.verb == "documents") {
      std::vector<std::string> titles;
      for (const DomRef& document : BoundDocuments(host)) titles.push_back(Trim(GbkToUtf8(GetText(document, "title"))));
      got = JoinList(titles);
      want = JoinList(SplitList(expected_utf8));
    } else if (step.verb == "table") {
      got = GbkToUtf8(browser.ReadTableHtml(static_cast<int32_t>(std::atoi(step.key.c_str()))));
    } else if (step.verb == "form") {
      got = GbkToUtf8(browser.ReadFormHtml(key));
    } else if (step.verb == "fill") {
      // The 1-based position in the document list of the document whose
      // body now holds the text; 0 when FillEditor reported failure.
      int32_t filled = browser.FillEditor(key, kFillText);
      got = "0";
      if (filled == 1) {
        got = HolderOfFillText(host);
        if (got == "-") got = "1 but no body holds the text";
      }
    } else if (step.verb == "holds") {
      // Which document holds the filled text now, after whatever the page
      // did since: "-" when none does.
      got = HolderOfFillText(host);
    } else if (step.verb == "pause") {
      browser.Pause(static_cast<int32_t>(std::atoi(step.expected.c_str())));
      continue;
    } else if (step.verb == "click") {
      // The id of the element that received the click; "-" when
      // ClickButton found nothing.
      ClearMarks(host);
      int32_t clicked = browser.ClickButton(key);
      std::vector<std::string> marks = Marks(host, "data-clicked");
      got = clicked == 1 ? JoinList(marks) : "-";
      if (clicked == 1 && marks.empty()) got = "1 but no element recorded a click";
    } else if (step.verb == "sent") {
      std::vector<std::string> marks = Marks(host, "data-sent");
      got = marks.empty() ? "-" : JoinList(marks);
    }
    if (got != want) {
      failures.push_back(fixture.name + ".txt line " + std::to_string(step.line) + ": " + step.verb +
                         (step.key.empty() ? "" : " " + step.key) + "\n  expected: " + Shown(want) +
                         "\n  got:      " + Shown(got));
    }
  }
  return failures;
}

}  // namespace brevane::conformance
