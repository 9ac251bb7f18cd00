#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <thread>
#include <vector>

#include "browser/dom.h"
#include "core/text/charset.h"
#include "ui/gtk/gtk_pause.h"
#include "ui/gtk/main_window.h"
#include "ui/gtk/worker_proxies.h"
#include "ui/layout.h"
#include "ui/names.h"

namespace brevane::gtk {
namespace {

struct Delivered {
  Routine routine;
  EventArgs args;
};

class ShellTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display"; }

  void SetUp() override {
    window_ = std::make_unique<MainWindow>();
    window_->SetRoutineRunner([this](Routine r, const EventArgs& a) {
      delivered_.push_back({r, a});
      return r == Routine::kPostReply ? 0 : 0;
    });
  }
  void TearDown() override { window_.reset(); }

  void Show() {
    window_->CreateAndShow();
    Settle();
  }
  // A key press as the window receives it from the display.
  void PressKey(guint keyval) {
    GdkEvent* ev = gdk_event_new(GDK_KEY_PRESS);
    GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(window_->window()));
    ev->key.window = GDK_WINDOW(g_object_ref(gw));
    ev->key.send_event = TRUE;
    ev->key.time = GDK_CURRENT_TIME;
    ev->key.keyval = keyval;
    GdkKeymapKey* keys = nullptr;
    gint n = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_window_get_display(gw)), keyval, &keys, &n) &&
        n > 0) {
      ev->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
    }
    g_free(keys);
    gdk_event_set_device(ev, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_window_get_display(gw))));
    gtk_main_do_event(ev);
    gdk_event_free(ev);
  }
  static void Settle() {
    GtkPause pause;
    pause.For(200);
  }
  int Count(Routine r) const {
    int n = 0;
    for (const Delivered& d : delivered_) n += d.routine == r ? 1 : 0;
    return n;
  }

  std::unique_ptr<MainWindow> window_;
  std::vector<Delivered> delivered_;
};

TEST_F(ShellTest, WidgetsMatchTheWindowDefinition) {
  Show();
  EXPECT_EQ(Count(Routine::kCreatedSequence), 1);
  EXPECT_STREQ(gtk_window_get_title(window_->window()), "Brevane");
  EXPECT_FALSE(gtk_window_get_resizable(window_->window()));
  GtkWidget* client = gtk_bin_get_child(GTK_BIN(window_->window()));
  EXPECT_EQ(gtk_widget_get_allocated_width(client), kClientWidth);
  EXPECT_EQ(gtk_widget_get_allocated_height(client), kClientHeight);
  const layout::ControlDef* tabs = layout::FindControl(names::kTabs);
  for (int page = 1; page <= 2; ++page) {
    window_->SelectPage(page);
    Settle();
    for (const layout::ControlDef& c : layout::Controls()) {
      GtkWidget* w = window_->Widget(c.name);
      ASSERT_NE(w, nullptr) << c.name;
      const bool on_page = c.page == 0 || c.page == page;
      EXPECT_EQ(gtk_widget_get_visible(w) != FALSE, on_page) << c.name << " page " << page;
      if (!on_page) continue;
      int x = 0, y = 0;
      ASSERT_TRUE(gtk_widget_translate_coordinates(w, client, 0, 0, &x, &y)) << c.name;
      const int expect_x = c.page == 0 ? c.left : tabs->left + c.left;
      const int expect_y = c.page == 0 ? c.top : tabs->top + c.top;
      EXPECT_EQ(x, expect_x) << c.name;
      EXPECT_EQ(y, expect_y) << c.name;
      EXPECT_EQ(gtk_widget_get_allocated_width(w), c.width) << c.name;
      EXPECT_EQ(gtk_widget_get_allocated_height(w), c.height) << c.name;
      EXPECT_EQ(gtk_widget_get_sensitive(w) != FALSE, c.enabled) << c.name;
      if (c.kind == layout::Kind::kButton) {
        EXPECT_EQ(std::string(gtk_button_get_label(GTK_BUTTON(w))), std::string(c.caption)) << c.name;
      }
      if (c.kind == layout::Kind::kLabel || c.kind == layout::Kind::kEditBox) {
        EXPECT_EQ(AsText(window_->ReadControlProperty(c.name, prop::kContent)), layout::DefaultContent(c.name))
            << c.name;
      }
    }
  }
  // What the display shows: the caption of the label over the notebook's
  // page is really drawn, in the label colour.
  window_->SelectPage(1);
  Settle();
  const layout::ControlDef* label = layout::FindControl(names::kBoardsLabel);
  GdkPixbuf* shot = gdk_pixbuf_get_from_window(gtk_widget_get_window(client), tabs->left + label->left,
                                               tabs->top + label->top, label->width, label->height);
  ASSERT_NE(shot, nullptr);
  int caption_pixels = 0;
  const int channels = gdk_pixbuf_get_n_channels(shot), stride = gdk_pixbuf_get_rowstride(shot);
  const guchar* px = gdk_pixbuf_get_pixels(shot);
  for (int y = 0; y < gdk_pixbuf_get_height(shot); ++y) {
    for (int x = 0; x < gdk_pixbuf_get_width(shot); ++x) {
      const guchar* p = px + y * stride + x * channels;
      if (p[0] < 160 && p[0] == p[1] && p[1] == p[2]) ++caption_pixels;
    }
  }
  g_object_unref(shot);
  EXPECT_GT(caption_pixels, 20) << "the label's caption is not on the screen";

  GtkNotebook* nb = window_->notebook();
  ASSERT_EQ(gtk_notebook_get_n_pages(nb), 2);
  EXPECT_STREQ(gtk_notebook_get_tab_label_text(nb, gtk_notebook_get_nth_page(nb, 0)), "监控操作");
  EXPECT_STREQ(gtk_notebook_get_tab_label_text(nb, gtk_notebook_get_nth_page(nb, 1)), "回帖设置");
}

TEST_F(ShellTest, ContentChangedOnceAfterEveryProgramWriteAndOnEveryUserChange) {
  Show();
  delivered_.clear();
  const Text text = Utf8ToGbk("第一行\r\n第二行");
  window_->WriteControlProperty(names::kBoardsBox, prop::kContent, text);
  EXPECT_EQ(Count(Routine::kSaveBoards), 1);
  window_->WriteControlProperty(names::kBoardsBox, prop::kContent, text);  // unchanged text
  EXPECT_EQ(Count(Routine::kSaveBoards), 2);
  EXPECT_EQ(AsText(window_->ReadControlProperty(names::kBoardsBox, prop::kContent)), text);
  EXPECT_EQ(Count(Routine::kSaveReplies), 0);

  GtkWidget* view = gtk_bin_get_child(GTK_BIN(window_->Widget(names::kBoardsBox)));
  g_signal_emit_by_name(view, "insert-at-cursor", "x");
  EXPECT_EQ(Count(Routine::kSaveBoards), 3);
  EXPECT_EQ(AsText(window_->ReadControlProperty(names::kBoardsBox, prop::kContent)), "x" + text);
  // Bad bytes never reach GTK as invalid UTF-8.
  window_->WriteControlProperty(names::kRepliesBox, prop::kContent, Text("\xff\xfe""abc"));
  EXPECT_EQ(Count(Routine::kSaveReplies), 1);
}

TEST_F(ShellTest, ListReportsSelectionChangesButNotAddedItems) {
  Show();
  delivered_.clear();
  EXPECT_EQ(window_->ListAddItem(names::kRecordList, "http://a/1"), 0);
  EXPECT_EQ(window_->ListAddItem(names::kRecordList, "http://a/2"), 1);
  EXPECT_EQ(window_->ListItemCount(names::kRecordList), 2);
  EXPECT_EQ(window_->ListItemText(names::kRecordList, 1), "http://a/2");
  EXPECT_EQ(window_->ListItemText(names::kRecordList, -1), "");
  EXPECT_EQ(window_->ListItemText(names::kRecordList, 2), "");
  EXPECT_EQ(AsInt(window_->ReadControlProperty(names::kRecordList, prop::kSelection)), -1);
  EXPECT_EQ(Count(Routine::kOpenRecordUrl), 0);

  GtkWidget* tree = gtk_bin_get_child(GTK_BIN(window_->Widget(names::kRecordList)));
  GtkTreePath* path = gtk_tree_path_new_from_indices(0, -1);
  gtk_tree_view_set_cursor(GTK_TREE_VIEW(tree), path, nullptr, FALSE);  // as a click does
  gtk_tree_path_free(path);
  EXPECT_EQ(Count(Routine::kOpenRecordUrl), 1);
  EXPECT_EQ(AsInt(window_->ReadControlProperty(names::kRecordList, prop::kSelection)), 0);
  // The Down key moves the selection: one more report.
  gtk_widget_grab_focus(tree);
  gboolean handled = FALSE;
  g_signal_emit_by_name(tree, "move-cursor", GTK_MOVEMENT_DISPLAY_LINES, 1, &handled);
  EXPECT_EQ(AsInt(window_->ReadControlProperty(names::kRecordList, prop::kSelection)), 1);
  EXPECT_EQ(Count(Routine::kOpenRecordUrl), 2);
  window_->ListAddItem(names::kRecordList, "http://a/3");
  EXPECT_EQ(Count(Routine::kOpenRecordUrl), 2);
}

TEST_F(ShellTest, StopClickDuringAPauseRunsInsideItAndThePauseEndsOnTime) {
  Show();
  window_->WriteControlProperty(names::kStopButton, prop::kDisabled, false);
  GtkPause pause;
  delivered_.clear();
  int64_t clicked_at = -1;
  window_->SetRoutineRunner([&](Routine r, const EventArgs&) {
    if (r == Routine::kStopMonitoring) clicked_at = pause.TickCount();
    delivered_.push_back({r, {}});
    return 0;
  });
  GtkWidget* stop = window_->Widget(names::kStopButton);
  g_timeout_add(300, +[](gpointer b) -> gboolean {
    gtk_button_clicked(GTK_BUTTON(b));
    return G_SOURCE_REMOVE;
  }, stop);
  const int64_t start = pause.TickCount();
  EXPECT_EQ(pause.For(1000), 1);
  const int64_t end = pause.TickCount();
  ASSERT_GE(clicked_at, start);
  EXPECT_LT(clicked_at, end);
  EXPECT_GE(end - start, 1000);
  EXPECT_LT(end - start, 1500);  // not extended by the handler
  EXPECT_EQ(Count(Routine::kStopMonitoring), 1);
  // A disabled button raises nothing.
  window_->WriteControlProperty(names::kStopButton, prop::kDisabled, true);
  EXPECT_TRUE(AsBool(window_->ReadControlProperty(names::kStopButton, prop::kDisabled)));
  gtk_widget_activate(stop);
  EXPECT_EQ(Count(Routine::kStopMonitoring), 1);
}

TEST_F(ShellTest, EscapeInAnEditBoxClosesTheWindowThroughAboutToBeDestroyed) {
  Show();
  GtkWidget* view = gtk_bin_get_child(GTK_BIN(window_->Widget(names::kBoardsBox)));
  gtk_widget_grab_focus(view);
  PressKey(GDK_KEY_Return);
  Settle();
  EXPECT_EQ(AsText(window_->ReadControlProperty(names::kBoardsBox, prop::kContent)).rfind("\r\n", 0), 0u)
      << "Enter inserts a line break";
  EXPECT_EQ(Count(Routine::kEndProgram), 0);
  PressKey(GDK_KEY_Escape);
  Settle();
  EXPECT_EQ(Count(Routine::kEndProgram), 1);
  EXPECT_TRUE(window_->closed());
}

TEST_F(ShellTest, FeedbackEventRunsAtOnceOrQueued) {
  Show();
  delivered_.clear();
  window_->SetRoutineRunner([&](Routine r, const EventArgs& a) {
    delivered_.push_back({r, a});
    return 7;
  });
  EXPECT_EQ(window_->RaiseFeedbackEvent(names::kBoardsLabel, 3, 4), 7);
  ASSERT_EQ(Count(Routine::kPostReply), 1);
  EXPECT_EQ(delivered_[0].args.first, 3);
  EXPECT_EQ(delivered_[0].args.second, 4);
  EXPECT_EQ(window_->RaiseFeedbackEvent(names::kBoardsLabel, 0, 0, false), 0);
  EXPECT_EQ(Count(Routine::kPostReply), 1);
  Settle();
  EXPECT_EQ(Count(Routine::kPostReply), 2);
  // A label without a binding runs nothing.
  EXPECT_EQ(window_->RaiseFeedbackEvent(names::kHelpLabel), 0);
  EXPECT_EQ(Count(Routine::kPostReply), 2);
}

TEST_F(ShellTest, WorkerCallsRunOnTheWindowThreadWhileItKeepsDispatching) {
  Show();
  WorkerControls worker_controls(*window_);
  std::thread::id ran_on;
  window_->SetRoutineRunner([&](Routine r, const EventArgs&) {
    ran_on = std::this_thread::get_id();
    delivered_.push_back({r, {}});
    return 0;
  });
  bool done = false;
  std::thread worker([&] {
    worker_controls.WriteControlProperty(names::kMainWindow, prop::kCaption, Utf8ToGbk("正在登录..."));
    worker_controls.WriteControlProperty(names::kLoginButton, prop::kDisabled, true);
    worker_controls.RaiseFeedbackEvent(names::kBoardsLabel);
    done = AsBool(worker_controls.ReadControlProperty(names::kLoginButton, prop::kDisabled));
  });
  GtkPause pause;
  pause.For(300);
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_STREQ(gtk_window_get_title(window_->window()), "正在登录...");
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  EXPECT_EQ(Count(Routine::kPostReply), 1);
}

TEST_F(ShellTest, HandleTableLeadsFromTheMainWindowToTheWebView) {
  const WindowHandle main = window_->Handle(names::kMainWindow);
  const WindowHandle browser = window_->Handle(names::kBrowser);
  ASSERT_NE(main, 0);
  ASSERT_NE(browser, 0);
  EXPECT_TRUE(window_->IsWindow(main));
  EXPECT_FALSE(window_->IsWindow(0));
  EXPECT_FALSE(window_->IsWindow(9999));
  const std::vector<WindowHandle> top = window_->Children(main);
  ASSERT_EQ(top.size(), 3u);  // banner, browser, tab control, in creation order
  EXPECT_EQ(top[0], window_->Handle(names::kBanner));
  EXPECT_EQ(top[1], browser);
  EXPECT_EQ(top[2], window_->Handle(names::kTabs));
  EXPECT_EQ(window_->Children(top[2]).size(), 10u);
  const std::vector<WindowHandle> inside = window_->Children(browser);
  ASSERT_EQ(inside.size(), 1u);
  EXPECT_EQ(window_->ClassName(inside[0]), kDocumentWindowClass);
  EXPECT_NE(window_->ClassName(browser), kDocumentWindowClass);
  EXPECT_EQ(window_->WebViewOf(inside[0]), window_->web_view());
  EXPECT_EQ(window_->WebViewOf(main), nullptr);
  WebViewNavigator nav(*window_);
  EXPECT_EQ(nav.Handle(), browser);
  nav.Navigate("");  // the blank page, no crash
  // An address typed without a scheme loads over http, as the IE control's
  // Navigate loads it.
  nav.Navigate("127.0.0.1:9/forum-1.html");
  EXPECT_STREQ(webkit_web_view_get_uri(window_->web_view()), "http://127.0.0.1:9/forum-1.html");
}

TEST_F(ShellTest, PictureBytesThatDoNotDecodeLeaveTheBannerEmpty) {
  int decoded = 0;
  window_->SetPictureDecoder([&](std::string_view bytes) {
    ++decoded;
    std::vector<PictureFrame> frames;
    if (bytes == "good") {
      for (int i = 0; i < 2; ++i) frames.push_back({2, 1, 50, std::vector<uint8_t>(8, 200)});
    }
    if (bytes == "short") frames.push_back({4, 4, 0, std::vector<uint8_t>(3, 0)});  // truncated frame
    return frames;
  });
  Show();
  window_->WriteControlProperty(names::kBanner, prop::kPicture, Text("good"));
  window_->WriteControlProperty(names::kBanner, prop::kPicture, Text("short"));
  window_->WriteControlProperty(names::kBanner, prop::kPicture, Text());
  Settle();
  EXPECT_EQ(decoded, 2);  // no bytes: not even decoded
}

}  // namespace
}  // namespace brevane::gtk
