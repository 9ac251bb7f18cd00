// Cost of the text searches and of thread detection on a large board table,
// beside the C library's memmem on the same bytes, and the memory of a long
// monitoring run on scripted pages in virtual time.
#include <benchmark/benchmark.h>
#include <string.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "core/core.h"
#include "base/text/charset.h"
#include "testing/fake_controls.h"
#include "testing/scripted_browser.h"
#include "testing/virtual_clock.h"
#include "ui/names.h"

namespace {

using namespace brevane;
using namespace brevane::testing;

constexpr double kMiB = 1024.0 * 1024.0;

// About 1 MiB of thread rows, mostly ASCII markup with GBK titles; only the
// last row has no reply yet, so every search crosses the whole table.
const Text& BoardTable() {
  static const Text table = [] {
    const Text title = Utf8ToGbk("求助：店铺装修模板怎么设置？谢谢大家");
    Text html = "<TABLE class=threads>";
    int row = 0;
    while (html.size() < (1u << 20) - 400) {
      const std::string n = std::to_string(row++);
      html += "<TR><TD class=title><A href='http://bbs.example/thread-" + n +
              ".html' target=_blank>" + title + "</A></TD><TD><A href='http://bbs.example/user-" +
              n + "' target=_blank>user" + n + "</A></TD><TD><EM>" + std::to_string(row % 9 + 1) +
              "</EM></TD></TR>\n";
    }
    html += "<TR><TD><A href='http://bbs.example/thread-new.html' target=_blank>" + title +
            "</A></TD><TD><A href='http://bbs.example/user-new' target=_blank>u</A></TD>"
            "<TD><EM>0</EM></TD></TR></TABLE>";
    return html;
  }();
  return table;
}

void SetRate(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

// The console report, followed by each benchmark's throughput in MiB/s and
// its ratio to memmem on the same bytes.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  SummaryReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) rates_.emplace_back(run.benchmark_name(), it->second.value / kMiB);
    }
  }
  void PrintSummary() const {
    double memmem_rate = 0;
    for (const auto& [name, rate] : rates_) {
      if (name == "BM_Memmem") memmem_rate = rate;
    }
    std::printf("\n%-28s %12s %10s\n", "on a 1 MiB board table", "MiB/s", "memmem/x");
    for (const auto& [name, rate] : rates_) {
      std::printf("%-28s %12.0f %10.2f\n", name.c_str(), rate, rate > 0 ? memmem_rate / rate : 0.0);
    }
  }

 private:
  std::vector<std::pair<std::string, double>> rates_;
};

void BM_Memmem(benchmark::State& state) {
  const Text& html = BoardTable();
  const std::string_view marker = "<EM>0</EM>";
  for (auto _ : state) {
    const void* hit = memmem(html.data(), html.size(), marker.data(), marker.size());
    benchmark::DoNotOptimize(hit);
  }
  SetRate(state, html.size());
}
BENCHMARK(BM_Memmem);

void BM_FindText(benchmark::State& state) {
  const Text& html = BoardTable();
  for (auto _ : state) benchmark::DoNotOptimize(FindText(html, "<EM>0</EM>"));
  SetRate(state, html.size());
}
BENCHMARK(BM_FindText);

void BM_FindTextBackward(benchmark::State& state) {
  const Text& html = BoardTable();
  const int32_t marker = FindText(html, "<EM>0</EM>");
  for (auto _ : state) benchmark::DoNotOptimize(FindTextBackward(html, "http://", marker));
  SetRate(state, html.size());
}
BENCHMARK(BM_FindTextBackward);

void BM_DetectZeroReplyThread(benchmark::State& state) {
  const Text& html = BoardTable();
  VirtualClock clock;
  FakeControls controls;
  ScriptedBrowser browser(clock);
  Core core(controls, browser, CoreEdges{});
  int64_t found = 0;
  controls.On(names::kBoardsLabel, Event::kFeedback, [&] { ++found; });
  for (auto _ : state) core.DetectZeroReplyThread(html);
  if (core.state().CandidateUrl != "http://bbs.example/thread-new.html" ||
      found != static_cast<int64_t>(state.iterations())) {
    state.SkipWithError("wrong candidate");
  }
  SetRate(state, html.size());
}
BENCHMARK(BM_DetectZeroReplyThread);

// One keystroke in the boards box: the whole box is written to a new file
// that replaces the settings file. Runs in the directory given by
// BREVANE_BENCH_DIR, else the system's temporary directory.
void BM_SaveBoardsPerKeystroke(benchmark::State& state) {
  const char* chosen = std::getenv("BREVANE_BENCH_DIR");
  const std::filesystem::path directory =
      (chosen != nullptr ? std::filesystem::path(chosen) : std::filesystem::temp_directory_path()) /
      ("brevane-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(directory);
  VirtualClock clock;
  FakeControls controls;
  ScriptedBrowser browser(clock);
  controls.set_recording(false);
  CoreEdges edges;
  edges.settings_directory = directory.string();
  Core core(controls, browser, edges);
  controls.On(names::kBoardsBox, Event::kContentChanged, [&] { core.SaveBoards(); });
  Text boards;
  for (int i = 0; i < 8; ++i) boards += "http://bbs.example/board-" + std::to_string(i) + ".html\r\n";
  for (auto _ : state) {
    boards.push_back('x');
    controls.Type(names::kBoardsBox, boards);
  }
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
}
BENCHMARK(BM_SaveBoardsPerKeystroke)->Unit(benchmark::kMicrosecond);

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// Runs the cycle over two boards (one with a thread already answered, one
// without any) for `passes` passes in virtual time and reports resident
// memory before and after.
void LongRun(int passes) {
  VirtualClock clock;
  FakeControls controls;
  ScriptedBrowser browser(clock);
  clock.set_keep_history(false);
  controls.set_recording(false);
  browser.set_recording(false);
  Core core(controls, browser, CoreEdges{});
  controls.On(names::kStopButton, Event::kClicked, [&] { core.StopMonitoring(); });
  controls.On(names::kBoardsLabel, Event::kFeedback, [&] { core.PostReply(); });
  const Text row = "<A href='http://t/1' target=_blank>a</A><A href='http://u/1' target=_blank>b</A><EM>0</EM>";
  browser.ServeBoard("http://b/1", row, 300);
  browser.ServeBoard("http://b/2", BoardTable(), 800);
  browser.ServeThread("http://t/1", 500);
  controls.Preset(names::kBoardsBox, prop::kContent, Text("http://b/1\r\nhttp://b/2"));
  controls.Preset(names::kRepliesBox, prop::kContent, Text("r1\r\nr2"));

  // A first run of 100 passes settles the allocations.
  const int64_t pass_ms = 300 + 1000 + 800 + 1000 + 10000;
  clock.After(100 * pass_ms + 500, [&] { core.StopMonitoring(); });
  core.StartMonitoring();
  const long before = ResidentKiB();
  const int64_t started = clock.now();
  clock.After(static_cast<int64_t>(passes) * pass_ms + 500, [&] { core.StopMonitoring(); });
  core.StartMonitoring();
  const long after = ResidentKiB();
  std::printf("long run: %d passes over 2 boards, %.1f virtual hours, %lld pauses\n", passes,
              static_cast<double>(clock.now() - started) / 3.6e6,
              static_cast<long long>(clock.pause_count()));
  std::printf("resident memory: %ld KiB before, %ld KiB after (%+ld KiB)\n", before, after,
              after - before);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("board table: %zu bytes\n", BoardTable().size());
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  LongRun(10000);
  return 0;
}
