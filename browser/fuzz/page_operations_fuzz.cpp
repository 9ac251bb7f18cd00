// libFuzzer target: every browser operation on a hostile page. The input's
// first line is the element key, the second the text to fill in; the rest
// is the page, served also as the address "f" so that frames can include it.
// Nothing may crash, hang or trip a sanitizer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "browser/document_binding.h"
#include "browser/load_wait.h"
#include "browser/page_operations.h"
#include "testing/memory/memory_engine.h"
#include "testing/virtual_clock.h"

namespace {

std::string_view NextLine(std::string_view& rest) {
  std::size_t end = rest.find('\n');
  std::string_view line = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace brevane;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const Text key(NextLine(rest));
  const Text text(NextLine(rest));

  memory::MemoryEngine engine;
  engine.Serve("f", Text(rest), {.ready_state = size % 3 == 0 ? "loading" : "complete"});
  engine.ShowAddress("f");
  DocumentBinding binding;
  testing::VirtualClock clock;
  clock.set_keep_history(false);

  WaitForPage(binding, engine, clock, engine.windows().main, 2000, false, static_cast<int32_t>(size % 2));
  for (int32_t n = 0; n < 3; ++n) ReadTableHtml(binding, engine, n);
  ReadFormHtml(binding, engine, key, static_cast<int32_t>(size % 2));
  FillEditor(binding, engine, key, text, 0, size % 5 == 0);
  ClickButton(binding, engine, key, static_cast<int32_t>(size % 2));
  return 0;
}
