// The load wait on virtual time: every poll period, the limit rules, frames.
#include "browser/load_wait.h"
#include "browser/page_operations.h"
#include "browser/tests/page_fixture.h"

namespace brevane::browser_testing {
namespace {

using memory::PageOptions;

class LoadWaitTest : public PageTest {
 protected:
  int32_t Wait(int32_t limit = 0) {
    return WaitForPage(binding, engine, clock, engine.windows().control, limit, true, 0);
  }
  static PageOptions Loading() { return PageOptions{.ready_state = "loading"}; }
};

TEST_F(LoadWaitTest, CompletePageWithoutFramesSettlesFor100) {
  engine.Show("<title>done</title>");
  EXPECT_EQ(Wait(), 1);
  EXPECT_EQ(clock.now(), 100);
  EXPECT_EQ(clock.pauses(), (std::vector<double>{100}));
  EXPECT_EQ(binding.DocumentList.size(), 1u);
  EXPECT_EQ(binding.BoundWindow, engine.windows().control);
  EXPECT_EQ(engine.initialise_count(), 1);
}

TEST_F(LoadWaitTest, TopDocumentPolledEvery500UntilComplete) {
  auto page = engine.Show("<title>slow</title>", Loading());
  clock.At(1200, [&] { page->set_ready_state("complete"); });
  EXPECT_EQ(Wait(), 1);
  EXPECT_EQ(clock.pauses(), (std::vector<double>{500, 500, 500, 100}));
  EXPECT_EQ(clock.now(), 1600);
  EXPECT_EQ(engine.initialise_count(), 4);  // every bind initialises the thread
}

TEST_F(LoadWaitTest, NeverCompleteTopGivesZeroAtTheFirstCheckAfterTheLimit) {
  engine.Show("<p>stuck</p>", Loading());
  EXPECT_EQ(Wait(), 0);
  // Checks at 0, 500, ..., 20000 (elapsed equal to the limit has not run
  // out); the check at 20500 has.
  EXPECT_EQ(clock.now(), 20500);
  EXPECT_EQ(binding.DocumentList.size(), 1u);  // the reads see the page as it is

  clock = testing::VirtualClock();
  engine.Show("<p>stuck</p>", Loading());
  EXPECT_EQ(Wait(1000), 0);
  EXPECT_EQ(clock.now(), 1500);
}

TEST_F(LoadWaitTest, FrameWithTextKeepsTheWaitGoingUntilComplete) {
  engine.Serve("list.html", "<table><tr><td>threads</table>", Loading());
  auto page = engine.Show("<title>board</title><iframe src=list.html></iframe>");
  clock.At(3000, [&] { page->Frame(0)->set_ready_state("complete"); });
  EXPECT_EQ(Wait(), 1);
  EXPECT_EQ(clock.now(), 3000);
  EXPECT_EQ(clock.pause_count(), 15);  // 200 ms each, no final pause
}

TEST_F(LoadWaitTest, FrameThatNeverCompletesRunsOutTheLimit) {
  engine.Serve("list.html", "<p>text</p>", Loading());
  engine.Show("<title>board</title><iframe src=list.html></iframe>");
  EXPECT_EQ(Wait(), 0);
  EXPECT_EQ(clock.now(), 20200);
}

TEST_F(LoadWaitTest, EmptyBodyFrameNeverDelays) {
  engine.Serve("editor.html", "", {.ready_state = "uninitialized", .design_mode = true});
  engine.Serve("spacer.html", "<div> </div><img src=x.gif>", Loading());
  engine.Show("<title>thread</title><iframe src=editor.html></iframe><iframe src=spacer.html></iframe>");
  EXPECT_EQ(Wait(), 1);
  EXPECT_EQ(clock.now(), 0);
  EXPECT_EQ(clock.pause_count(), 0);
  EXPECT_EQ(binding.DocumentList.size(), 3u);
}

TEST_F(LoadWaitTest, FramesShareTheLimitWithTheTopDocument) {
  engine.Serve("list.html", "<p>text</p>", Loading());
  auto page = engine.Show("<title>board</title><iframe src=list.html></iframe>", Loading());
  clock.At(15000, [&] { page->set_ready_state("complete"); });
  EXPECT_EQ(Wait(), 0);
  EXPECT_EQ(clock.now(), 20200);  // not 15000 + 20000
}

TEST_F(LoadWaitTest, LimitMinusOneAllowsAboutTwoHoursFortySevenMinutes) {
  auto page = engine.Show("<p>slow</p>", Loading());
  clock.At(9000000, [&] { page->set_ready_state("complete"); });
  EXPECT_EQ(Wait(-1), 1);
  EXPECT_EQ(clock.now(), 9000100);

  clock = testing::VirtualClock();
  engine.Show("<p>stuck</p>", Loading());
  EXPECT_EQ(Wait(-1), 0);
  EXPECT_GT(clock.now(), 9999999);
  EXPECT_LE(clock.now(), 9999999 + 500);
}

TEST_F(LoadWaitTest, UnbindableWindowRetriesEvery200AndEndsAtTheLimit) {
  engine.RemoveWindow(engine.windows().document);
  EXPECT_EQ(Wait(), 0);
  EXPECT_EQ(clock.now(), 20200);
  EXPECT_EQ(clock.pauses().front(), 200);

  // A document window that appears later is bound as soon as it is there.
  clock = testing::VirtualClock();
  clock.At(1000, [&] {
    WindowHandle window = engine.AddWindow(engine.windows().view, "Internet Explorer_Server");
    engine.Show("<title>late</title>", {}, window);
  });
  EXPECT_EQ(Wait(), 1);
  EXPECT_EQ(clock.now(), 1100);
}

TEST_F(LoadWaitTest, HungWindowCostsItsTimeOutOnEveryTry) {
  engine.Show("<title>t</title>");
  engine.SetHung(engine.windows().document, true);
  engine.on_hang = [&](int32_t timeout) { clock.Advance(timeout); };
  EXPECT_EQ(Wait(3000), 0);
  EXPECT_EQ(clock.now(), 3400);  // tries start at 0, 1200, 2400; the third ends past the limit
}

TEST_F(LoadWaitTest, APageKnownNotToAnswerEndsTheWaitAtOnce) {
  engine.Show("<title>t</title>");
  engine.SetHung(engine.windows().document, true);
  // The engine waits out the first request only; from then on it fails
  // requests to the page at once, and the wait stops asking.
  struct Case {
    int32_t waited_requests;  // requests that cost their time-out before the page counts as stuck
    int32_t limit;
    int32_t tries;
    int64_t elapsed;
  };
  const Case cases[] = {
      {1, 3000, 2, 1200},   // one waited try, a poll, one try failed at once
      {1, -1, 2, 1200},     // the longest limit changes nothing
      {0, 20000, 1, 0},     // known stuck from the start
      {2, 20000, 3, 2400},  // busy for two tries, then stuck
  };
  for (const Case& c : cases) {
    int32_t tries = 0;
    engine.on_hang = [&](int32_t timeout) {
      if (tries++ < c.waited_requests) clock.Advance(timeout);
    };
    const int64_t start = clock.now();
    EXPECT_EQ(Wait(c.limit), 0) << c.waited_requests << " " << c.limit;
    EXPECT_EQ(tries, c.tries) << c.waited_requests << " " << c.limit;
    EXPECT_EQ(clock.now() - start, c.elapsed) << c.waited_requests << " " << c.limit;
  }
  // A page that answers again is waited for as before.
  engine.SetHung(engine.windows().document, false);
  EXPECT_EQ(Wait(3000), 1);
}

TEST_F(LoadWaitTest, HandlerThatRebindsDuringTheFrameWaitIsSafe) {
  engine.Serve("a.html", "<p>a</p>", Loading());
  engine.Serve("b.html", "<p>b</p>", Loading());
  auto page = engine.Show("<title>board</title><iframe src=a.html></iframe><iframe src=b.html></iframe>");
  // During the wait a handler navigates and waits for another page, nested
  // inside the outer wait's pause.
  int32_t nested = -1;
  clock.At(400, [&] {
    engine.Show("<title>other</title>");
    nested = Wait();
  });
  clock.At(1000, [&] {
    page->Frame(0)->set_ready_state("complete");
    page->Frame(1)->set_ready_state("complete");
  });
  EXPECT_EQ(Wait(), 1);
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(binding.DocumentList.size(), 1u);  // the nested wait bound last
  EXPECT_EQ(ReadTableHtml(binding, engine, 1), "");
}

}  // namespace
}  // namespace brevane::browser_testing
