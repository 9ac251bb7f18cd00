// The Win32 main window against the window definition: every control where
// the definition puts it, with its caption, content and state; events
// delivered through the binding table on the window's thread; Esc closing
// the window from a child edit box. Needs a display (Wine under Xvfb).
#include "app/win32/main_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "base/text/charset.h"
#include "ui/names.h"
#include "app/worker_proxies.h"
#include "app/win32/pause_win32.h"
#include "base/text/wide.h"
#include "app/win32/window_thread.h"

namespace brevane::win32 {
namespace {

struct Delivered {
  Routine routine;
  EventArgs args;
};

std::wstring WindowText(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.SetRoutineRunner([this](Routine routine, const EventArgs& args) -> int32_t {
      delivered_.push_back({routine, args});
      return 0;
    });
    ASSERT_TRUE(window_.CreateAndShow());
    Pump();
  }

  // Lets the window handle what is queued for it.
  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) break;
      if (window_.PreTranslate(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  int Count(Routine routine) const {
    int n = 0;
    for (const Delivered& d : delivered_) n += d.routine == routine ? 1 : 0;
    return n;
  }

  MainWindow window_;
  std::vector<Delivered> delivered_;
};

TEST_F(ShellTest, WindowHasItsFixedFrameCentredWithItsCaption) {
  HWND main = window_.hwnd();
  RECT r;
  ASSERT_TRUE(GetWindowRect(main, &r));
  const layout::WindowDef& def = layout::MainWindow();
  EXPECT_EQ(r.right - r.left, def.outer_width);
  EXPECT_EQ(r.bottom - r.top, def.outer_height);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - def.outer_width) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - def.outer_height) / 2);
  EXPECT_EQ(WindowText(main), WideFromUtf8(def.caption));
  const LONG_PTR style = GetWindowLongPtrW(main, GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_SYSMENU);
}

TEST_F(ShellTest, EveryControlStandsWhereTheDefinitionPutsIt) {
  HWND main = window_.hwnd();
  const layout::ControlDef* tabs = layout::FindControl(names::kTabs);
  ASSERT_NE(tabs, nullptr);
  for (const layout::ControlDef& def : layout::Controls()) {
    SCOPED_TRACE(def.name);
    HWND control = window_.ControlWindow(def.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetParent(control), main);
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    const int left = def.left + (def.page != 0 ? tabs->left : 0);
    const int top = def.top + (def.page != 0 ? tabs->top : 0);
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right - r.left, def.width);
    EXPECT_EQ(r.bottom - r.top, def.height);
    EXPECT_EQ(IsWindowEnabled(control) != FALSE, def.enabled);
    EXPECT_EQ((GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP) != 0, def.tab_stop);
    // Page 1 is selected at start: its controls show, page 2's do not.
    EXPECT_EQ(IsWindowVisible(control) != FALSE, def.page != 2);
    if (def.kind == layout::Kind::kLabel || def.kind == layout::Kind::kButton) {
      EXPECT_EQ(WindowText(control), WideFromUtf8(def.caption));
    }
  }
}

TEST_F(ShellTest, EditBoxesShowTheirDefaultContentAndTabsTheirCaptions) {
  EXPECT_EQ(WindowText(window_.ControlWindow(names::kRepliesBox)),
            WideFromUtf8(layout::FindControl(names::kRepliesBox)->caption));
  const LONG_PTR edit_style = GetWindowLongPtrW(window_.ControlWindow(names::kRepliesBox), GWL_STYLE);
  EXPECT_TRUE(edit_style & ES_MULTILINE);
  EXPECT_TRUE(edit_style & ES_WANTRETURN);
  EXPECT_FALSE(edit_style & WS_HSCROLL);

  HWND tabs = window_.ControlWindow(names::kTabs);
  ASSERT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
  int index = 0;
  for (std::string_view caption : layout::PageCaptions()) {
    wchar_t buffer[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 64;
    SendMessageW(tabs, TCM_GETITEMW, index++, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(buffer), WideFromUtf8(caption));
  }
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(tabs, WM_GETFONT, 0, 0)), sizeof(font), &font);
  EXPECT_EQ(font.lfHeight, -12);
  EXPECT_EQ(font.lfWeight, 400);
  EXPECT_EQ(font.lfCharSet, GB2312_CHARSET);
}

TEST_F(ShellTest, CreatedRunsThenActivationStartsTheLogin) {
  ASSERT_GE(delivered_.size(), 1u);
  EXPECT_EQ(delivered_[0].routine, Routine::kCreatedSequence);
  EXPECT_TRUE(IsWindowVisible(window_.hwnd()));
  SendMessageW(window_.hwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(Count(Routine::kStartLoginWorker), 1);
}

TEST_F(ShellTest, ContentReadsBackAndTypingRaisesContentChanged) {
  const Text boards = Utf8ToGbk("http://a.example/版块\r\nhttp://b.example/");
  window_.WriteControlProperty(names::kBoardsBox, prop::kContent, boards);
  EXPECT_EQ(Count(Routine::kSaveBoards), 1);  // the edit control's own change report is not one more
  EXPECT_EQ(window_.ReadControlProperty(names::kBoardsBox, prop::kContent), PropertyValue(boards));

  // A change by the user raises it too.
  HWND replies = window_.ControlWindow(names::kRepliesBox);
  SendMessageW(replies, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"x"));
  EXPECT_EQ(Count(Routine::kSaveReplies), 1);
}

TEST_F(ShellTest, CaptionAndDisabledStateFollowTheirProperties) {
  const Text status = Utf8ToGbk("监控[1]...");
  window_.WriteControlProperty(names::kMainWindow, prop::kCaption, status);
  EXPECT_EQ(WindowText(window_.hwnd()), WideFromUtf8("监控[1]..."));

  window_.WriteControlProperty(names::kStartButton, prop::kDisabled, false);
  EXPECT_TRUE(IsWindowEnabled(window_.ControlWindow(names::kStartButton)));
  window_.WriteControlProperty(names::kLoginButton, prop::kDisabled, true);
  EXPECT_FALSE(IsWindowEnabled(window_.ControlWindow(names::kLoginButton)));
}

TEST_F(ShellTest, ClicksReachTheirRoutine) {
  SendMessageW(window_.ControlWindow(names::kContactButton), BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(Count(Routine::kOpenContactLink), 1);
}

TEST_F(ShellTest, ListBoxKeepsItemsAndTheirDataWithoutTouchingTheSelection) {
  EXPECT_EQ(window_.ListAddItem(names::kRecordList, "http://bbs.example/z"), 0);
  EXPECT_EQ(window_.ListAddItem(names::kRecordList, Utf8ToGbk("http://bbs.example/帖子2"), 7), 1);
  HWND list = window_.ControlWindow(names::kRecordList);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 1, 0), 7);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
}

TEST_F(ShellTest, QueuedFeedbackRunsFromTheLoop) {
  EXPECT_EQ(window_.RaiseFeedbackEvent(names::kBoardsLabel, 1, 2, false), 0);
  EXPECT_EQ(Count(Routine::kPostReply), 0);
  Pump();
  EXPECT_EQ(Count(Routine::kPostReply), 1);
}

TEST_F(ShellTest, BannerPressReportsItsPosition) {
  SendMessageW(window_.ControlWindow(names::kBanner), WM_LBUTTONDOWN, 0, MAKELPARAM(30, 12));
  ASSERT_EQ(Count(Routine::kOpenBannerLink), 1);
  EXPECT_EQ(delivered_.back().args.first, 30);
  EXPECT_EQ(delivered_.back().args.second, 12);
}

// The painted banner: a two-pixel picture (red, blue) stretched over the
// whole 808 x 64 box, read back from what the box paints.
TEST_F(ShellTest, BannerPaintsThePictureStretchedOverTheWholeBox) {
  window_.SetPictureDecoder([](std::string_view) {
    PictureFrame f{2, 1, 0, {255, 0, 0, 255, 0, 0, 255, 255}};
    return std::vector<PictureFrame>{f};
  });
  window_.WriteControlProperty(names::kBanner, prop::kPicture, Text("GIF89a..."));
  HWND banner = window_.ControlWindow(names::kBanner);
  RECT area;
  GetClientRect(banner, &area);
  ASSERT_EQ(area.right, 808);
  ASSERT_EQ(area.bottom, 64);

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 808;
  info.bmiHeader.biHeight = -64;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP target = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(target, nullptr);
  HGDIOBJ old = SelectObject(dc, target);
  std::fill_n(static_cast<uint32_t*>(bits), 808 * 64, 0x00FFFFFFu);  // white: nothing painted
  SendMessageW(banner, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  GdiFlush();
  const auto* pixels = static_cast<const uint32_t*>(bits);
  const auto at = [pixels](int x, int y) { return pixels[y * 808 + x] & 0x00FFFFFFu; };
  // Red on the left, blue on the right, over every row and column: the
  // smoothing stretch may blend the two across the box, never leave a pixel
  // unpainted (white) or bring in green.
  int previous_red = 256;
  for (int x = 0; x < 808; x += 7) {
    const uint32_t top = at(x, 0);
    const int red = static_cast<int>(top >> 16), green = static_cast<int>((top >> 8) & 0xFF),
              blue = static_cast<int>(top & 0xFF);
    EXPECT_EQ(green, 0) << x;
    EXPECT_NEAR(red + blue, 255, 3) << x;
    EXPECT_LE(red, previous_red) << x;
    previous_red = red;
    for (int y : {31, 63}) EXPECT_EQ(at(x, y), top) << x << "," << y;
  }
  EXPECT_GT(at(0, 0) >> 16, 0xC0u);
  EXPECT_GT(at(807, 0) & 0xFF, 0xC0u);
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
}

TEST_F(ShellTest, TheLoginWorkersControlCallsRunOnTheWindowThread) {
  ASSERT_TRUE(MarkWindowThread());
  const DWORD window_thread = GetCurrentThreadId();
  DWORD routine_thread = 0;
  window_.SetRoutineRunner([&](Routine routine, const EventArgs&) -> int32_t {
    if (routine == Routine::kPostReply) routine_thread = GetCurrentThreadId();
    return 0;
  });
  Text read_back;
  bool done = false;
  std::thread worker([&] {
    WorkerControls controls(window_, HandOverToWindowThread);
    controls.WriteControlProperty(names::kMainWindow, prop::kCaption, Utf8ToGbk("正在登录..."));
    controls.WriteControlProperty(names::kStartButton, prop::kDisabled, false);
    read_back = AsText(controls.ReadControlProperty(names::kMainWindow, prop::kCaption));
    controls.RaiseFeedbackEvent(names::kBoardsLabel);
    done = true;
  });
  // The window thread meanwhile waits in a pause, as during a run.
  Pause pause;
  for (int i = 0; i < 200 && !done; ++i) pause.For(10);
  worker.join();
  EXPECT_EQ(read_back, Utf8ToGbk("正在登录..."));
  EXPECT_TRUE(IsWindowEnabled(window_.ControlWindow(names::kStartButton)));
  EXPECT_EQ(routine_thread, window_thread);
}

TEST_F(ShellTest, EscapeInAChildEditBoxClosesTheWindow) {
  HWND replies = window_.ControlWindow(names::kRepliesBox);
  SetFocus(replies);
  PostMessageW(replies, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(window_.RunMessageLoop(), 0);
  EXPECT_TRUE(window_.closed());
  EXPECT_EQ(Count(Routine::kEndProgram), 1);
  EXPECT_EQ(window_.hwnd(), nullptr);
}

TEST_F(ShellTest, EnterInAnEditBoxInsertsALineBreak) {
  HWND replies = window_.ControlWindow(names::kRepliesBox);
  SetWindowTextW(replies, L"ab");
  SetFocus(replies);
  SendMessageW(replies, EM_SETSEL, 1, 1);
  PostMessageW(replies, WM_KEYDOWN, VK_RETURN, 0);
  Pump();
  EXPECT_EQ(WindowText(replies), L"a\r\nb");
  EXPECT_FALSE(window_.closed());
}

}  // namespace
}  // namespace brevane::win32
