// Hostile pages against the program's reach into frames. A forum page from
// one loopback origin carries an advertising frame from another; the frame
// (and in some rows the forum page too) is the attacker's. Every row runs
// the same program: the load wait, the reads of all three tables, the form
// read and a click on the frame's button, then the load wait again. Each row
// then checks what the attacker learned or changed (nothing: its pages write
// down whatever they catch), that the program read the real DOM and that the
// web process lived through it. A row whose page must cost the page its web
// process instead (one past the memory ceiling) checks that it ended, and
// how far it got. The pages' scripts are data, in the hostile/ folder beside
// this file. The view is the program's own (CreateWebView, PrepareWebView).
#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "browser/document_browser.h"
#include "browser/webkit/tests/calls.h"
#include "browser/webkit/tests/harness.h"

namespace brevane::testing {
namespace {

WebViewHarness& H() { return WebViewHarness::Get(); }

// The place WebKit keeps website data in unless a view's is kept in memory:
// below a scratch XDG_DATA_HOME and XDG_CACHE_HOME of the test's own, made
// before anything starts GLib.
const std::filesystem::path& ScratchHome() {
  static const std::filesystem::path home = [] {
    char name[] = "/tmp/brevane-hostile-XXXXXX";
    std::filesystem::path made = mkdtemp(name) ? name : "/tmp";
    setenv("XDG_DATA_HOME", (made / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (made / "cache").c_str(), 1);
    return made;
  }();
  return home;
}
// Made before main and removed after it.
const struct ScratchHomeKeeper {
  ScratchHomeKeeper() { ScratchHome(); }
  ~ScratchHomeKeeper() {
    std::error_code error;
    if (ScratchHome() != "/tmp") std::filesystem::remove_all(ScratchHome(), error);
  }
} kScratchHome;

// Bytes of the files below a folder.
std::uintmax_t BytesBelow(const std::filesystem::path& folder) {
  std::uintmax_t total = 0;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
    if (it->is_regular_file(error)) total += it->file_size(error);
  return total;
}

// A script of the hostile pages' folder, as the page's own text.
std::string Script(const std::string& file) {
  if (file.empty()) return {};
  std::ifstream in(std::string(BREVANE_HOSTILE_DIR) + "/" + file);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_FALSE(text.str().empty()) << "no script " << file;
  return "<script>" + text.str() + "</script>";
}

struct Hostile {
  const char* name;
  // Scripts of the advertising frame and of the forum page (most rows
  // trust the forum page), from the hostile pages' folder.
  const char* frame_script;
  const char* top_script;
  // More of the advertising frame's body, after its table and button.
  const char* frame_markup;
  // The page must end its web process (past the ceiling) rather than be
  // read.
  bool ends_web_process;
  // A further check of the row, after the common ones, given the program's
  // operations, the binding and the forum page's address.
  std::function<void(DocumentBrowser&, const DocumentBinding&, const std::string&)> check;
};

void PrintTo(const Hostile& row, std::ostream* out) { *out << row.name; }

// What WebKit keeps of the pages on disk: its data and cache folders.
std::uintmax_t WebsiteDataOnDisk() {
  return BytesBelow(ScratchHome() / "data" / g_get_prgname()) + BytesBelow(ScratchHome() / "cache" / g_get_prgname());
}

// The resident anonymous memory of the program's web processes, in MB,
// added up: the children of this process that WebKit started for pages.
int64_t WebProcessMegabytes() {
  int64_t total = 0;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return 0;
  while (dirent* entry = readdir(proc)) {
    const std::string dir = std::string("/proc/") + entry->d_name;
    std::ifstream stat(dir + "/stat");
    std::string pid, name, state;
    long long parent = 0;
    if (!(stat >> pid >> name >> state >> parent) || parent != getpid() || name != "(WebKitWebProces)") continue;
    std::ifstream statm(dir + "/statm");
    long long size = 0, resident = 0, shared = 0;
    if (statm >> size >> resident >> shared && resident > shared)
      total += (resident - shared) * sysconf(_SC_PAGESIZE) >> 20;
  }
  closedir(proc);
  return total;
}

// The program's CPU time so far; that at the start of the current row, and
// the script dialogs that reached the program's view in it.
double CpuSeconds() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return use.ru_utime.tv_sec + use.ru_stime.tv_sec + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}
double cpu_at_start = 0;
int dialogs_shown = 0;

int Toplevels() {
  GList* windows = gtk_window_list_toplevels();
  int count = static_cast<int>(g_list_length(windows));
  g_list_free(windows);
  return count;
}

std::vector<Hostile> Rows() {
  return {
      {"DocumentOpenForgeAndReplay", "document-open.frame.js", "", "", false, {}},
      {"GettersAndPrototypesOverwritten", "getters.js", "getters.js", "", false, {}},
      {"WindowsAndPermissions", "windows.frame.js", "windows.top.js", "", false, {}},
      {"OtherSchemes", "schemes.frame.js", "", "", false,
       [](DocumentBrowser&, const DocumentBinding& binding, const std::string& page) {
         // The forum page, its advertising frame and three frames that never
         // left about:blank (WebKit makes no frame at all for a file address
         // in a web page).
         ASSERT_EQ(binding.DocumentList.size(), 5u);
         for (std::size_t i = 2; i < 5; ++i) EXPECT_EQ(GetUtf8(binding.DocumentList[i], "URL"), "about:blank") << i;
         EXPECT_EQ(webkit_web_view_get_uri(H().view()), page);
       }},
      // Frames whose window objects the web process module's walk through
      // the page's frames makes, far more than its list has room for, while
      // others come and go (a walk the frames' own making must not disturb:
      // on an AddressSanitizer build a module that walks the list itself
      // reads freed memory and its web process ends).
      {"FramesMadeWhileReached", "frames.frame.js", "", "", false, {}},
      // Far past the ceiling in one task of the page's main thread.
      {"OneTaskAllocatesGigabytes", "allocate.frame.js", "", "", true, {}},
      // Named controls and frames that shadow the DOM's own members in
      // every script world: the form's nextSibling is the input before it
      // (a cycle), the document's body a window.
      {"MarkupShadowsTheDomsMembers", "", "",
       "<table id=loop><tr><td><input name=nextSibling form=f><form id=f><input name=elements>"
       "<input name=localName></form></td></tr></table><iframe name=body></iframe><script>done()</script>",
       false,
       [](DocumentBrowser& browser, const DocumentBinding&, const std::string&) {
         EXPECT_EQ(browser.ReadTableHtml(4),
                   "<TABLE id=loop><TBODY><TR><TD><INPUT name=nextSibling form=f><FORM id=f>"
                   "<INPUT name=elements><INPUT name=localName></FORM></TD></TR></TBODY></TABLE>");
       }},
      // What only a user's click allows (writing the clipboard, opening a
      // picker) does not follow from the program's click; the primary
      // selection, which WebKit fills from any selection a page makes, click
      // or none, is the program's edit boxes' alone.
      {"ActivationOfTheProgramsClick", "activation.frame.js", "activation.top.js", "", false,
       [](DocumentBrowser& browser, const DocumentBinding& binding, const std::string&) {
         gchar* held = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
         EXPECT_EQ(held ? std::string(held) : std::string(), "") << "the page wrote the clipboard";
         g_free(held);
         auto primary = [] {
           gchar* text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_PRIMARY));
           std::string got = text ? text : "";
           g_free(text);
           return got;
         };
         EXPECT_EQ(primary(), "") << "the page wrote the primary selection";
         GtkWidget* box = gtk_offscreen_window_new();
         GtkWidget* entry = gtk_entry_new();
         gtk_container_add(GTK_CONTAINER(box), entry);
         gtk_widget_show_all(box);
         gtk_entry_set_text(GTK_ENTRY(entry), "the user's words");
         gtk_editable_select_region(GTK_EDITABLE(entry), 4, 10);
         EXPECT_EQ(primary(), "user's") << "an edit box lost its selection";
         gtk_widget_destroy(box);
         // A click on the forum page's own button: its picker stays shut.
         EXPECT_EQ(browser.ClickButton("id==pick"), 1);
         const DomRef body = GetObject(binding.DocumentList[0], "body");
         EXPECT_EQ(GbkToUtf8(Call(body, "getAttribute", {Variant("data-picked")}).ToText()), "refused");
       }},
      // Website data stays in memory: nothing the pages store reaches the
      // disk.
      {"StoresWebsiteData", "store.frame.js", "store.frame.js", "", false,
       [](DocumentBrowser&, const DocumentBinding& binding, const std::string&) {
         auto stored = [&](std::size_t document) {
           return GbkToUtf8(Call(GetObject(binding.DocumentList[document], "body"), "getAttribute",
                                 {Variant("data-stored")}).ToText());
         };
         std::printf("the forum page stored %s MB, the frame %s MB; %ju bytes on disk\n", stored(0).c_str(),
                     stored(1).c_str(), WebsiteDataOnDisk());
         EXPECT_LT(WebsiteDataOnDisk(), std::uintmax_t{1} << 20);
       }},
      // A flood of dialogs costs the program nothing: none reaches it, and
      // the page's dialogs answer as the silent control's do.
      {"FloodsDialogs", "dialogs.frame.js", "", "", false,
       [](DocumentBrowser&, const DocumentBinding& binding, const std::string&) {
         DomRef body = GetObject(binding.DocumentList[1], "body");
         const std::string made = GbkToUtf8(Call(body, "getAttribute", {Variant("data-dialogs")}).ToText());
         EXPECT_EQ(GbkToUtf8(Call(body, "getAttribute", {Variant("data-answers")}).ToText()), "true me");
         std::printf("the frame made %s dialogs; the program showed %d; its CPU over the row %.2f s\n",
                     made.c_str(), dialogs_shown, CpuSeconds() - cpu_at_start);
         EXPECT_EQ(dialogs_shown, 0);
       }},
  };
}

class HostilePageTest : public ::testing::TestWithParam<Hostile> {
 protected:
  void SetUp() override {
    cpu_at_start = CpuSeconds();
    dialogs_shown = 0;
    // Counted by a hook, which sees every emission before the program's
    // handler answers (and ends) it.
    dialogs_ = g_signal_add_emission_hook(g_signal_lookup("script-dialog", WEBKIT_TYPE_WEB_VIEW), 0,
                                          +[](GSignalInvocationHint*, guint, const GValue*, gpointer) -> gboolean {
                                            ++dialogs_shown;
                                            return TRUE;
                                          },
                                          nullptr, nullptr);
    ended_ = g_signal_connect(H().view(), "web-process-terminated",
                              G_CALLBACK(+[](WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer self) {
                                static_cast<HostilePageTest*>(self)->ends_.push_back(reason);
                              }),
                              this);
  }
  void TearDown() override {
    g_signal_handler_disconnect(H().view(), ended_);
    g_signal_remove_emission_hook(g_signal_lookup("script-dialog", WEBKIT_TYPE_WEB_VIEW), dialogs_);
  }

  Text Learned(std::size_t document) {
    if (document >= binding_.DocumentList.size()) return "(no document)";
    DomRef body = GetObject(binding_.DocumentList[document], "body");
    return Call(body, "getAttribute", {Variant("data-learned")}).ToText();
  }

  // The row whose page must end its web process: it ends, by the module's
  // check (a crash, to WebKit), and the most memory seen on the way is
  // reported.
  void ExpectTheWebProcessEnds() {
    int64_t peak = 0;
    guint sampler = g_timeout_add(20, +[](gpointer most) -> gboolean {
      auto* seen = static_cast<int64_t*>(most);
      *seen = std::max(*seen, WebProcessMegabytes());
      return G_SOURCE_CONTINUE;
    }, &peak);
    const gint64 start = g_get_monotonic_time();
    H().RunUntil([&] { return !ends_.empty(); }, 120000);
    g_source_remove(sampler);
    ASSERT_EQ(ends_.size(), 1u) << "the web process lived on at " << WebProcessMegabytes() << " MB";
    EXPECT_EQ(ends_[0], WEBKIT_WEB_PROCESS_CRASHED);
    std::printf("web process ended after %.1f s; most memory seen %lld MB\n", (g_get_monotonic_time() - start) / 1e6,
                static_cast<long long>(peak));
    // The ceiling is 1 GB; what the page allocates between two of the
    // module's checks comes on top.
    EXPECT_LT(peak, 1536);
  }

  LoopbackServer forum_;
  LoopbackServer advertiser_;  // another port: another origin
  WebViewHost& control_ = H().host();
  MainLoopPause pause_;
  DocumentBinding binding_;
  DocumentBrowser browser_{control_, H().engine(), pause_, binding_};
  gulong ended_ = 0;
  gulong dialogs_ = 0;
  std::vector<WebKitWebProcessTerminationReason> ends_;
};

TEST_P(HostilePageTest, LearnsNothingAndTheProgramReadsTheRealPage) {
  const Hostile& row = GetParam();
  const std::string recorder = Script("recorder.js");
  advertiser_.AddPage("/ad.html", "<html><head><title>Ad</title>" + recorder +
                                      "</head><body><table id=ad><tr><td>ad</td></tr></table>"
                                      "<button id=go>Go</button>" + row.frame_markup + Script(row.frame_script) +
                                      "</body></html>");
  forum_.AddPage("/forum.html", "<html><head><title>Forum</title>" + recorder +
                                    "</head><body><table id=head><tr><td>head</td></tr></table>"
                                    "<table id=threads><tr><td><a href=\"/thread-1.html\" target=_blank>One</a>"
                                    "</td><td><em>0</em></td></tr></table>"
                                    "<form id=login><input name=user value=me><input type=checkbox name=keep "
                                    "checked></form><iframe src=\"" + advertiser_.Url("/ad.html") +
                                    "\"></iframe>" + Script(row.top_script) + "</body></html>");
  const int windows = Toplevels();
  const std::string forum = forum_.Url("");
  const std::string ad = advertiser_.Url("");

  browser_.NavigateBrowser(Utf8ToGbk(forum_.Url("/forum.html")));
  if (row.ends_web_process) {
    ExpectTheWebProcessEnds();
    // The next page comes in a fresh web process.
    ASSERT_TRUE(H().LoadHtml("<html><head><title>After</title></head><body></body></html>"));
    EXPECT_EQ(GetUtf8(H().Document(), "title"), "After");
    return;
  }
  ASSERT_EQ(browser_.WaitForPage(browser_.BrowserWindowHandle(), 10000), 1);
  ASSERT_GE(binding_.DocumentList.size(), 2u);
  EXPECT_EQ(browser_.ReadTableHtml(1), "<TABLE id=head><TBODY><TR><TD>head</TD></TR></TBODY></TABLE>");
  EXPECT_EQ(browser_.ReadTableHtml(2), Utf8ToGbk("<TABLE id=threads><TBODY><TR><TD><A href=\"" + forum +
                                                 "/thread-1.html\" target=_blank>One</A></TD><TD><EM>0</EM></TD>"
                                                 "</TR></TBODY></TABLE>"));
  EXPECT_EQ(browser_.ReadTableHtml(3), "<TABLE id=ad><TBODY><TR><TD>ad</TD></TR></TBODY></TABLE>");
  EXPECT_EQ(browser_.ReadFormHtml("1"),
            "<FORM id=login>\r\n<INPUT name=user value=me>\r\n<INPUT type=checkbox name=keep CHECKED>\r\n</FORM>");
  EXPECT_EQ(browser_.ClickButton("id==go"), 1);

  // The pages finish their attempts; the program binds again and reads
  // what they wrote down.
  auto finished = [&](std::size_t document) {
    return document < binding_.DocumentList.size() &&
           !Call(GetObject(binding_.DocumentList[document], "body"), "getAttribute", {Variant("data-done")})
                .IsEmpty();
  };
  H().RunUntil([&] {
    browser_.WaitForPage(browser_.BrowserWindowHandle(), 1000);
    return finished(1);
  }, 10000);
  EXPECT_TRUE(finished(1)) << "the advertising frame never finished its attempts";
  EXPECT_EQ(Learned(0), "") << "the forum page caught something";
  EXPECT_EQ(Learned(1), "") << "the advertising frame caught something";
  EXPECT_EQ(GetUtf8(binding_.DocumentList[0], "title"), "Forum");
  EXPECT_EQ(Toplevels(), windows) << "a window opened";
  if (row.check) row.check(browser_, binding_, forum_.Url("/forum.html"));
  EXPECT_TRUE(ends_.empty()) << "the web process ended (" << (ends_.empty() ? 0 : ends_[0]) << ")";
}

INSTANTIATE_TEST_SUITE_P(Pages, HostilePageTest, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Hostile>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brevane::testing
