// Cost of each browser operation on a page of about 5,000 elements in the
// in-memory engine: late-bound calls per operation (the figure that carries
// over to a real engine, where every call crosses into the browser) and
// time per operation. Run by hand; not part of the test suite.
#include <benchmark/benchmark.h>

#include <string>

#include "browser/document_binding.h"
#include "browser/load_wait.h"
#include "browser/page_operations.h"
#include "testing/memory/memory_engine.h"
#include "testing/virtual_clock.h"

namespace brevane {
namespace {

// A board-and-thread page: a navigation table, a thread table with many
// rows, three forms with mixed controls, an editor frame and a footer; about
// 5,000 elements in all.
std::string BigPage() {
  std::string html = "<title>Board</title><table id=nav><tr><td><a href=/home>home</a></table>";
  html += "<form id=search><input type=text name=q><input type=submit value=Search></form>";
  html += "<table id=threads>";
  for (int row = 0; row < 900; ++row) {
    std::string n = std::to_string(row);
    html += "<tr><td><a href='http://bbs/t" + n + "' target=_blank>Thread " + n + "</a><em>" +
            std::to_string(row % 7 == 6 ? 0 : row % 5 + 1) + "</em></td></tr>";
  }
  html += "</table>";
  html += "<form id=options>";
  for (int i = 0; i < 200; ++i) {
    std::string n = std::to_string(i);
    html += "<input type=checkbox name=o" + n + "><input type=hidden name=h" + n + " value=" + n + ">";
  }
  html += "<input type=submit id=apply value=Apply></form>";
  html += "<form id=reply><iframe src=editor.html></iframe>";
  for (int i = 0; i < 6; ++i) html += "<input type=button value=Tool" + std::to_string(i) + ">";
  html += "<input type=submit id=post value=Reply></form>";
  for (int i = 0; i < 490; ++i) html += "<div class=footer><span>f</span></div>";
  return html;
}

struct Fixture {
  memory::MemoryEngine engine;
  DocumentBinding binding;
  testing::VirtualClock clock;
  memory::DocumentPtr page;

  Fixture() {
    engine.Serve("editor.html", "", {.design_mode = true});
    page = engine.Show(BigPage());
    binding.BindDocument(engine, engine.windows().main, false, 0);
  }
};

Fixture& Page() {
  static Fixture fixture;
  return fixture;
}

template <typename Operation>
void Measure(benchmark::State& state, Operation operation) {
  Fixture& f = Page();
  f.binding.BindDocument(f.engine, f.engine.windows().main, false, 0);
  int64_t calls = 0;
  for (auto _ : state) {
    f.engine.ResetCalls();
    operation(f);
    calls = f.engine.calls();
    f.engine.state()->clicks.clear();
    f.engine.state()->submissions.clear();
  }
  state.counters["late_bound_calls"] = static_cast<double>(calls);
  state.counters["elements"] = static_cast<double>(f.page->AllElements().size());
}

void BM_BindDocument(benchmark::State& state) {
  Measure(state, [](Fixture& f) { f.binding.BindDocument(f.engine, f.engine.windows().main, false, 0); });
}
void BM_WaitForPage(benchmark::State& state) {
  Measure(state, [](Fixture& f) {
    benchmark::DoNotOptimize(WaitForPage(f.binding, f.engine, f.clock, f.engine.windows().control));
  });
}
void BM_ReadTableHtml2(benchmark::State& state) {
  Measure(state, [](Fixture& f) { benchmark::DoNotOptimize(ReadTableHtml(f.binding, f.engine, 2)); });
}
void BM_ReadFormHtml3(benchmark::State& state) {
  Measure(state, [](Fixture& f) { benchmark::DoNotOptimize(ReadFormHtml(f.binding, f.engine, "3")); });
}
void BM_FillEditor1(benchmark::State& state) {
  Measure(state, [](Fixture& f) { benchmark::DoNotOptimize(FillEditor(f.binding, f.engine, "1", "reply <b>text</b>")); });
}
// The fill as the program calls it: with the editor there (its settle
// included) and on the same page without any editor (every look until the
// wait limit). virtual_ms is the time it lets pass on the clock.
void FillWhenPresent(benchmark::State& state, bool with_editor) {
  Fixture& f = Page();
  std::string html = BigPage();
  if (!with_editor) html.replace(html.find("<iframe src=editor.html></iframe>"), 33, "");
  f.page = f.engine.Show(html);
  int64_t virtual_ms = 0;
  Measure(state, [&](Fixture& g) {
    const int64_t start = g.clock.now();
    benchmark::DoNotOptimize(FillEditorWhenPresent(g.binding, g.engine, g.clock, g.engine.windows().main, "1",
                                                   "reply <b>text</b>"));
    virtual_ms = g.clock.now() - start;
  });
  state.counters["virtual_ms"] = static_cast<double>(virtual_ms);
  f.page = f.engine.Show(BigPage());
}
void BM_FillEditorWhenPresent(benchmark::State& state) { FillWhenPresent(state, true); }
void BM_FillEditorWithoutEditor(benchmark::State& state) { FillWhenPresent(state, false); }
void BM_ClickButton7(benchmark::State& state) {
  Measure(state, [](Fixture& f) { benchmark::DoNotOptimize(ClickButton(f.binding, f.engine, "7")); });
}
void BM_ClickButtonById(benchmark::State& state) {
  Measure(state, [](Fixture& f) { benchmark::DoNotOptimize(ClickButton(f.binding, f.engine, "id==post")); });
}
void BM_ClickButtonMiss(benchmark::State& state) {
  Measure(state, [](Fixture& f) { benchmark::DoNotOptimize(ClickButton(f.binding, f.engine, "nothing")); });
}
void BM_Pause100(benchmark::State& state) {
  Measure(state, [](Fixture& f) { benchmark::DoNotOptimize(f.clock.For(100)); });
}

BENCHMARK(BM_BindDocument)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WaitForPage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadTableHtml2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadFormHtml3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillEditor1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillEditorWhenPresent)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillEditorWithoutEditor)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClickButton7)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClickButtonById)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClickButtonMiss)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pause100)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace brevane

BENCHMARK_MAIN();
