// Fixture pages on an in-memory engine, for the hosts whose pages it builds
// (the in-memory engine itself, and the MSHTML engine over the COM document
// double): both notional origins serve the fixture's files, and since the
// engine runs no scripts, a click leaves the marks observe.js leaves in a
// browser, the clicked element's id and the sent form's id, on the root
// element of their document, and a page's script steps (the fixture's
// "script" lines) are acted out on the clock once the page has loaded.
// Every file arrives after the fixture's latency (and its own slowness);
// a page completes once the last of its subresources has arrived.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <vector>

#include "testing/conformance/conformance.h"
#include "testing/memory/memory_engine.h"
#include "testing/virtual_clock.h"

namespace brevane::conformance {

inline constexpr const char* kMemoryOrigin = "http://bbs.example";
inline constexpr const char* kMemoryOther = "http://ads.example";

class MemoryPages {
 public:
  // Marks every click of the engine's pages from now on.
  explicit MemoryPages(memory::MemoryEngine& engine);
  // Serves the files at both origins; the engine's texts are GBK, as a GBK
  // fixture's bytes already are.
  void Serve(const Fixture& fixture, const std::vector<ServedFile>& files);
  // Acts out the scripts of the pages browser loads, on clock, and sends
  // the forms observe.js lets go through browser, as navigations the page
  // starts itself.
  void ActOn(memory::MemoryBrowser& browser, testing::VirtualClock& clock);

 private:
  // A script on its way through its steps.
  struct ScriptRun {
    std::vector<std::pair<ScriptStep, int>> steps;  // each with its fetch time
    std::size_t next = 0;
    std::weak_ptr<memory::MemoryDocument> page;
    memory::DocumentPtr editor;
  };
  void Continue(const std::shared_ptr<ScriptRun>& run);

  memory::MemoryEngine& engine_;
  testing::VirtualClock* clock_ = nullptr;
  memory::MemoryBrowser* browser_ = nullptr;
  std::size_t submissions_seen_ = 0;
  // Address of a page -> its script's steps with the time each fetch takes.
  std::map<Text, std::vector<std::pair<ScriptStep, int>>> scripts_;
  // Address of a page that changes after its first visit -> what it
  // becomes.
  std::map<Text, std::pair<Text, memory::PageOptions>> changes_;
};

}  // namespace brevane::conformance
