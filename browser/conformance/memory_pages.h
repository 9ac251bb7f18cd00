// Fixture pages on an in-memory engine, for the hosts whose pages it builds
// (the in-memory engine itself, and the MSHTML engine over the COM document
// double): both notional origins serve the fixture's files, and since the
// engine runs no scripts, a click leaves the marks observe.js leaves in a
// browser, the clicked element's id and the sent form's id, on the root
// element of their document.
#pragma once

#include <cstddef>
#include <vector>

#include "browser/conformance/conformance.h"
#include "browser/memory/memory_engine.h"

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

 private:
  memory::MemoryEngine& engine_;
  std::size_t submissions_seen_ = 0;
};

}  // namespace brevane::conformance
