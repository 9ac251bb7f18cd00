// The web view never writes to the user's disk: a page that answers with an
// attachment, a type the view cannot show, or a link with a download
// attribute leaves the download folder exactly as it was. The program runs
// with a scratch home whose download folder holds one file a hostile forum
// page would try to replace.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "browser/webkit/tests/harness.h"

namespace brevane::testing {
namespace {

namespace fs = std::filesystem;

// Set before GLib or WebKit first asks for the home and download folders.
const fs::path kHome = [] {
  char pattern[] = "/tmp/brevane-download-test-XXXXXX";
  fs::path home = mkdtemp(pattern);
  fs::create_directories(home / "config");
  fs::create_directories(home / "Downloads");
  std::ofstream(home / "config" / "user-dirs.dirs") << "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n";
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
  return home;
}();

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The download folder and the home folder's visible files: where a saved
// download would land (WebKit's own caches live in hidden folders).
std::set<std::string> Listing(const fs::path& home) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(home))
    if (entry.path().filename().string()[0] != '.') names.insert(entry.path().string());
  for (const auto& entry : fs::recursive_directory_iterator(home / "Downloads")) names.insert(entry.path().string());
  return names;
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WebViewHarness::Get();
    started_ = 0;
    handler_ = g_signal_connect(webkit_web_view_get_context(WebViewHarness::Get().view()), "download-started",
                                G_CALLBACK(+[](WebKitWebContext*, WebKitDownload*, gpointer count) {
                                  ++*static_cast<int*>(count);
                                }),
                                &started_);
    victim_ = kHome / "Downloads" / "notes.txt";
    std::ofstream(victim_, std::ios::binary) << "the user's own notes";
    before_ = Listing(kHome);
  }
  void TearDown() override {
    g_signal_handler_disconnect(webkit_web_view_get_context(WebViewHarness::Get().view()), handler_);
  }

  // Loads the address and then gives the view time to act on whatever it
  // received; a refused response ends the load without a page.
  void Visit(const std::string& uri) {
    WebViewHarness::Get().LoadUri(uri);
    WebViewHarness::Get().RunUntil([] { return false; }, 1500);
  }

  void ExpectDiskUntouched() {
    EXPECT_EQ(ReadFile(victim_), "the user's own notes");
    EXPECT_EQ(Listing(kHome), before_);
  }

  LoopbackServer server_;
  fs::path victim_;
  std::set<std::string> before_;
  int started_ = 0;
  gulong handler_ = 0;
};

TEST_F(DownloadTest, AttachmentsAndUnshownTypesAreNeitherSavedNorAllowedToReplaceAFile) {
  server_.AddResponse("/attach", "text/plain", "Content-Disposition: attachment; filename=\"notes.txt\"\r\n",
                      "planted by the page");
  server_.AddResponse("/planted", "text/html", "Content-Disposition: attachment; filename=\"evil.desktop\"\r\n",
                      "[Desktop Entry]\nExec=true\n");
  server_.AddResponse("/binary", "application/x-brevane-unknown", "", std::string(4096, 'x'));
  for (const char* path : {"/attach", "/planted", "/binary"}) {
    SCOPED_TRACE(path);
    Visit(server_.Url(path));
    ExpectDiskUntouched();
  }
  // Refused at the response: no download ever started.
  EXPECT_EQ(started_, 0);
}

TEST_F(DownloadTest, ADownloadLinkStartsNothingThatLasts) {
  server_.AddResponse("/file", "text/plain", "", "planted by the page");
  server_.AddPage("/page", "<html><body><a id=d href=\"/file\" download=\"notes.txt\">get</a>"
                           "<script>document.getElementById('d').click()</script></body></html>");
  Visit(server_.Url("/page"));
  ExpectDiskUntouched();
}

TEST_F(DownloadTest, OrdinaryPagesStillShow) {
  server_.AddPage("/board", "<html><head><title>Board</title></head><body>x</body></html>");
  WebKitWebView* view = WebViewHarness::Get().view();
  webkit_web_view_load_uri(view, server_.Url("/board").c_str());
  EXPECT_TRUE(WebViewHarness::Get().RunUntil(
      [view] { return g_strcmp0(webkit_web_view_get_title(view), "Board") == 0; }, 20000));
  ExpectDiskUntouched();
}

}  // namespace
}  // namespace brevane::testing
