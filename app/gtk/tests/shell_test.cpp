#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "browser/dom.h"
#include "browser/webkit/web_view_host.h"
#include "base/text/charset.h"
#include "app/gtk/pause_gtk.h"
#include "app/gtk/main_window.h"
#include "ui/window_thread.h"
#include "ui/layout.h"
#include "ui/names.h"
#include "app/worker_proxies.h"

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
    // The program's web view at the browser's place, as the program hosts it.
    host_ = std::make_unique<WebViewHost>();
    window_ = std::make_unique<MainWindow>([this] { return host_->widget(); });
    window_->SetRoutineRunner([this](Routine r, const EventArgs& a) {
      delivered_.push_back({r, a});
      return r == Routine::kPostReply ? 0 : 0;
    });
  }
  void TearDown() override {
    window_.reset();
    host_.reset();
  }

  void Show() {
    window_->CreateAndShow();
    Settle();
  }
  // A key press as the window receives it from the display.
  void PressKey(guint keyval, guint state = 0) {
    GdkEvent* ev = gdk_event_new(GDK_KEY_PRESS);
    GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(window_->window()));
    ev->key.window = GDK_WINDOW(g_object_ref(gw));
    ev->key.send_event = TRUE;
    ev->key.time = GDK_CURRENT_TIME;
    ev->key.keyval = keyval;
    ev->key.state = state;
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
  // A left-button click (press and release) at x, y of a GDK window, as the
  // display delivers it.
  static void Click(GdkWindow* gw, double x, double y) {
    GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_window_get_display(gw)));
    for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
      GdkEvent* ev = gdk_event_new(type);
      ev->button.window = GDK_WINDOW(g_object_ref(gw));
      ev->button.send_event = TRUE;
      ev->button.time = GDK_CURRENT_TIME;
      ev->button.x = x;
      ev->button.y = y;
      ev->button.button = 1;
      gdk_event_set_device(ev, pointer);
      gtk_main_do_event(ev);
      gdk_event_free(ev);
    }
  }
  // The colour a widget draws at x, y, drawn on its own (other windows on
  // the display, other tests' included, cannot cover it). Transparent where
  // the widget draws nothing.
  static GdkRGBA PixelAt(GtkWidget* w, int x, int y) {
    const int width = gtk_widget_get_allocated_width(w), height = gtk_widget_get_allocated_height(w);
    GdkRGBA out{0, 0, 0, 0};
    if (x < 0 || y < 0 || x >= width || y >= height) {
      ADD_FAILURE() << "pixel " << x << "," << y << " outside " << width << "x" << height;
      return out;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(w, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const uint32_t p = reinterpret_cast<const uint32_t*>(row)[x];
    const double a = (p >> 24) / 255.0;
    if (a > 0) {  // premultiplied
      out = {((p >> 16) & 0xff) / 255.0 / a, ((p >> 8) & 0xff) / 255.0 / a, (p & 0xff) / 255.0 / a, a};
    }
    cairo_surface_destroy(surface);
    return out;
  }
  // A colour of the theme, by name.
  GdkRGBA ThemeColour(const char* name) {
    GdkRGBA c{0, 0, 0, 0};
    EXPECT_TRUE(gtk_style_context_lookup_color(gtk_widget_get_style_context(GTK_WIDGET(window_->window())), name, &c))
        << name;
    c.alpha = 1.0;
    return c;
  }
  static std::string Describe(const GdkRGBA& c) {
    gchar* s = gdk_rgba_to_string(&c);
    std::string out(s);
    g_free(s);
    return out;
  }
  // Equal on the display: within one step of 255 per channel.
  static bool SameColour(const GdkRGBA& a, const GdkRGBA& b) {
    return a.alpha > 0.99 && b.alpha > 0.99 && std::abs(a.red - b.red) < 1.5 / 255 && std::abs(a.green - b.green) < 1.5 / 255 &&
           std::abs(a.blue - b.blue) < 1.5 / 255;
  }
  // The control that has the keyboard focus, by name ("" for none).
  std::string FocusedControl() {
    GtkWidget* focus = gtk_window_get_focus(window_->window());
    if (focus == nullptr) return std::string();
    for (const layout::ControlDef& c : layout::Controls()) {
      if (!c.tab_stop) continue;  // the tab control holds the page controls
      GtkWidget* w = window_->Widget(c.name);
      if (w != nullptr && (focus == w || gtk_widget_is_ancestor(focus, w))) return std::string(c.name);
    }
    return "?";
  }
  static void Settle() {
    Pause pause;
    pause.For(200);
  }
  int Count(Routine r) const {
    int n = 0;
    for (const Delivered& d : delivered_) n += d.routine == r ? 1 : 0;
    return n;
  }

  std::unique_ptr<WebViewHost> host_;
  std::unique_ptr<MainWindow> window_;
  std::vector<Delivered> delivered_;
};

TEST_F(ShellTest, WidgetsMatchTheWindowDefinition) {
  Show();
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
      if (!c.tab_stop) continue;  // the tab control holds the page controls
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

TEST_F(ShellTest, TypingRaisesContentChangedAndTheTextReadsBackWithItsLineBreaks) {
  Show();
  delivered_.clear();
  const Text text = Utf8ToGbk("第一行\r\n第二行");
  window_->WriteControlProperty(names::kBoardsBox, prop::kContent, text);
  GtkWidget* view = gtk_bin_get_child(GTK_BIN(window_->Widget(names::kBoardsBox)));
  g_signal_emit_by_name(view, "insert-at-cursor", "x");
  EXPECT_EQ(Count(Routine::kSaveBoards), 2);  // the write once, the typing once
  EXPECT_EQ(AsText(window_->ReadControlProperty(names::kBoardsBox, prop::kContent)), "x" + text);
  // Bad bytes never reach GTK as invalid UTF-8.
  window_->WriteControlProperty(names::kRepliesBox, prop::kContent, Text("\xff\xfe""abc"));
  EXPECT_EQ(Count(Routine::kSaveReplies), 1);
}

TEST_F(ShellTest, ListReportsSelectionChangesButNotAddedItems) {
  Show();
  delivered_.clear();
  window_->ListAddItem(names::kRecordList, "http://a/1");
  window_->ListAddItem(names::kRecordList, "http://a/2");
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
}

TEST_F(ShellTest, EveryClickOnARecordOpensItAndTheSelectionShowsInTheThemeColours) {
  Show();
  for (const char* url : {"http://a/1", "http://a/2", "http://a/3"}) window_->ListAddItem(names::kRecordList, url);
  Settle();
  delivered_.clear();
  GtkTreeView* tree = GTK_TREE_VIEW(gtk_bin_get_child(GTK_BIN(window_->Widget(names::kRecordList))));
  auto row_area = [&](int row) {
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    GdkRectangle r{};
    gtk_tree_view_get_background_area(tree, path, nullptr, &r);
    gtk_tree_path_free(path);
    return r;
  };
  // Row clicked, selection afterwards, records opened so far.
  const struct {
    int row;
    int selected;
    int opened;
  } clicks[] = {{0, 0, 1}, {0, 0, 2}, {2, 2, 3}, {2, 2, 4}, {2, 2, 5}, {1, 1, 6}};
  for (const auto& c : clicks) {
    const GdkRectangle r = row_area(c.row);
    Click(gtk_tree_view_get_bin_window(tree), r.x + 10, r.y + r.height / 2.0);
    Settle();
    EXPECT_EQ(AsInt(window_->ReadControlProperty(names::kRecordList, prop::kSelection)), c.selected) << c.row;
    EXPECT_EQ(Count(Routine::kOpenRecordUrl), c.opened) << "click on row " << c.row;
  }
  // A click below the last row opens nothing.
  const GdkRectangle last = row_area(2);
  Click(gtk_tree_view_get_bin_window(tree), last.x + 10, last.y + last.height * 3);
  Settle();
  EXPECT_EQ(Count(Routine::kOpenRecordUrl), 6);

  // The selected row (1) on the theme's selection colour, the others on white.
  int bx = 0, by = 0;
  for (int row = 0; row < 3; ++row) {
    const GdkRectangle r = row_area(row);
    gtk_tree_view_convert_bin_window_to_widget_coords(tree, r.x + 2, r.y + 1, &bx, &by);
    const GdkRGBA seen = PixelAt(GTK_WIDGET(tree), bx, by);
    const GdkRGBA want = row == 1 ? ThemeColour("theme_selected_bg_color") : GdkRGBA{1, 1, 1, 1};
    EXPECT_TRUE(SameColour(seen, want)) << "row " << row << ": " << Describe(seen) << " not " << Describe(want);
  }
}

TEST_F(ShellTest, DisabledBoxesAreGreyedAndEnabledOnesBlackOnWhite) {
  Show();
  const GdkRGBA face = ThemeColour("theme_bg_color");
  const GdkRGBA grey_text = ThemeColour("insensitive_fg_color");
  ASSERT_FALSE(SameColour(face, GdkRGBA{1, 1, 1, 1})) << "the theme's face colour is white: nothing to tell apart";
  for (std::string_view name : {names::kBoardsBox, names::kRecordList, names::kRepliesBox}) {
    window_->SelectPage(layout::FindControl(name)->page);
    GtkWidget* frame = window_->Widget(name);
    GtkWidget* inner = gtk_bin_get_child(GTK_BIN(frame));
    for (bool disabled : {true, false, true, false}) {
      window_->WriteControlProperty(name, prop::kDisabled, disabled);
      Settle();
      // A point inside the box that no text reaches.
      const GdkRGBA back = PixelAt(frame, gtk_widget_get_allocated_width(frame) / 2,
                                   gtk_widget_get_allocated_height(frame) - 4);
      EXPECT_TRUE(SameColour(back, disabled ? face : GdkRGBA{1, 1, 1, 1}))
          << name << (disabled ? " disabled: " : " enabled: ") << Describe(back);
      GtkStyleContext* style = gtk_widget_get_style_context(inner);
      GdkRGBA text{};
      gtk_style_context_get_color(style, gtk_style_context_get_state(style), &text);
      EXPECT_TRUE(SameColour(text, disabled ? grey_text : GdkRGBA{0, 0, 0, 1}))
          << name << (disabled ? " disabled text: " : " enabled text: ") << Describe(text);
    }
  }
}

TEST_F(ShellTest, LabelsLieOnTheWindowFaceColour) {
  Show();
  const GdkRGBA face = ThemeColour("theme_bg_color");
  for (const layout::ControlDef& c : layout::Controls()) {
    if (c.kind != layout::Kind::kLabel) continue;
    window_->SelectPage(c.page == 0 ? 1 : c.page);
    Settle();
    // The top corners: above the vertically centred caption.
    for (int x : {1, 6}) {
      const GdkRGBA seen = PixelAt(window_->Widget(c.name), x, 1);
      EXPECT_TRUE(SameColour(seen, face)) << c.name << " at " << x << ": " << Describe(seen);
    }
  }
}

TEST_F(ShellTest, TabAndShiftTabMoveTheFocusBetweenTabStops) {
  Show();
  GtkWidget* contact = window_->Widget(names::kContactButton);
  gtk_widget_grab_focus(contact);
  ASSERT_EQ(FocusedControl(), names::kContactButton);
  std::vector<std::string> seen;
  for (guint key : {GDK_KEY_Tab, GDK_KEY_Tab, GDK_KEY_ISO_Left_Tab, GDK_KEY_ISO_Left_Tab}) {
    PressKey(key, key == GDK_KEY_Tab ? 0 : GDK_SHIFT_MASK);
    seen.push_back(FocusedControl());
  }
  // The text view inside the boards box's frame counts as the box.
  EXPECT_EQ(seen, (std::vector<std::string>{std::string(names::kBrowser), std::string(names::kBoardsBox),
                                            std::string(names::kBrowser), std::string(names::kContactButton)}));
  EXPECT_FALSE(window_->closed());
}

TEST_F(ShellTest, StopClickDuringAPauseRunsInsideItAndThePauseEndsOnTime) {
  Show();
  window_->WriteControlProperty(names::kStopButton, prop::kDisabled, false);
  Pause pause;
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

TEST_F(ShellTest, QueuedFeedbackRunsFromTheMainLoop) {
  Show();
  delivered_.clear();
  EXPECT_EQ(window_->RaiseFeedbackEvent(names::kBoardsLabel, 0, 0, false), 0);
  EXPECT_EQ(Count(Routine::kPostReply), 0);
  Settle();
  EXPECT_EQ(Count(Routine::kPostReply), 1);
}

TEST_F(ShellTest, WorkerCallsRunOnTheWindowThreadWhileItKeepsDispatching) {
  Show();
  WorkerControls worker_controls(*window_, HandOverToWindowThread);
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
  Pause pause;
  pause.For(300);
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_STREQ(gtk_window_get_title(window_->window()), "正在登录...");
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  EXPECT_EQ(Count(Routine::kPostReply), 1);
}

TEST_F(ShellTest, TheBrowserHostsWidgetSitsAtTheBrowserControl) {
  ASSERT_NE(host_->widget(), nullptr);
  EXPECT_EQ(window_->Widget(names::kBrowser), host_->widget());
  EXPECT_EQ(gtk_widget_get_toplevel(host_->widget()), GTK_WIDGET(window_->window()));
  EXPECT_EQ(window_->Handle(), reinterpret_cast<WindowHandle>(window_->window()));
  // Without a host the browser's place is there, empty.
  MainWindow bare;
  ASSERT_NE(bare.Widget(names::kBrowser), nullptr);
  EXPECT_FALSE(WEBKIT_IS_WEB_VIEW(bare.Widget(names::kBrowser)));
}

TEST_F(ShellTest, TheBannerPlaysInTheServerOnceEveryFrameIsThereAndStopsWhenUnseen) {
  // Red, green and blue frames; the last stands a minute, so what the
  // banner shows is certain when the test looks.
  window_->SetPictureDecoder([](std::string_view) {
    std::vector<PictureFrame> frames;
    const int delays[] = {100, 100, 60000};
    for (int i = 0; i < 3; ++i) {
      std::vector<uint8_t> rgba;
      for (int p = 0; p < 4; ++p) rgba.insert(rgba.end(), {uint8_t(i == 0 ? 255 : 0), uint8_t(i == 1 ? 255 : 0), uint8_t(i == 2 ? 255 : 0), 255});
      frames.push_back({2, 2, delays[i], rgba});
    }
    return frames;
  });
  Show();
  window_->WriteControlProperty(names::kBanner, prop::kPicture, Text("frames"));
  const Entry& banner = *window_->Find(names::kBanner);
  // The frame timer shows frames 0 and 1, each scaled into the server as it
  // first shows; at frame 2 all are there and the player takes over.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!banner.played && std::chrono::steady_clock::now() < deadline) g_main_context_iteration(nullptr, TRUE);
  ASSERT_TRUE(banner.played);
  EXPECT_EQ(window_->ShownFrame(banner.index), 2u);
  GdkWindow* box = gtk_widget_get_window(window_->Widget(names::kBanner));
  // The middle of the box: its edges blend the stretched frame into the face.
  GdkPixbuf* shown = gdk_pixbuf_get_from_window(box, gdk_window_get_width(box) / 2, gdk_window_get_height(box) / 2, 1, 1);
  ASSERT_NE(shown, nullptr);
  const guchar* px = gdk_pixbuf_get_pixels(shown);
  EXPECT_EQ(std::vector<int>({px[0], px[1], px[2]}), std::vector<int>({0, 0, 255}));
  g_object_unref(shown);
  // Hidden, it stops; a new picture is timed again from its first frame.
  window_->WriteControlProperty(names::kBanner, prop::kVisible, false);
  EXPECT_FALSE(banner.played);
  window_->WriteControlProperty(names::kBanner, prop::kVisible, true);
  window_->WriteControlProperty(names::kBanner, prop::kPicture, Text("frames"));
  EXPECT_FALSE(banner.played);
  EXPECT_EQ(banner.frame, 0u);
}

}  // namespace
}  // namespace brevane::gtk
