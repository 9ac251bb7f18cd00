// The real WebBrowser control as the suite's host, and what only a Windows
// PC can show: the control's settings as it reads them back, what it does
// with Offline set, and the document mode each fixture is shown in. These
// are printed as "record:" lines (and kept as test properties) for the
// expectations to be checked against.
#include <gtest/gtest.h>

#include <cstdio>

#include "base/win32/com.h"
#include "browser/late_binding.h"
#include "browser/mshtml/tests/conformance_host.h"

namespace brevane::conformance {

RealControlHost::~RealControlHost() {
  control_.Destroy();
  if (window_) DestroyWindow(window_);
  if (ole_) OleUninitialize();
}

bool RealControlHost::Start(std::string* why) {
  // Wine without its HTML engine has no mshtml.dll to load; a real system
  // always has one.
  const com::Module html("mshtml.dll");
  if (html.get() == nullptr) return *why = "mshtml.dll does not load", false;
  if (first_.port() == 0 || second_.port() == 0) return *why = "no loopback socket", false;
  ole_ = SUCCEEDED(OleInitialize(nullptr));
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  window_ = CreateWindowExW(0, L"STATIC", L"Brevane conformance", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE,
                            0, 0, 820, 600, nullptr, nullptr, instance, nullptr);
  HWND container = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 800, 560,
                                   window_, nullptr, instance, nullptr);
  if (container == nullptr) return *why = "no window", false;
  if (!control_.Create(container)) return *why = "no WebBrowser control", false;
  browser_.NavigateBrowser("about:blank");
  if (browser_.WaitForPage(browser_.BrowserWindowHandle(), 10000) != 1)
    return *why = "the control shows no page", false;
  return true;
}

bool RealControlHost::Serve(const Fixture& fixture, const std::vector<ServedFile>& files) {
  for (const ServedFile& file : files) {
    const std::string type = ContentTypeOf(file.path, fixture.charset);
    first_.AddResponse(file.path, type, file.headers, file.body, file.delay_ms);
    second_.AddResponse(file.path, type, file.headers, file.body, file.delay_ms);
    if (file.changes_later) {
      first_.ChangeAfterFirst(file.path, file.later_body);
      second_.ChangeAfterFirst(file.path, file.later_body);
    }
  }
  return true;
}

namespace {

void Record(const std::string& name, const std::string& value) {
  std::printf("record: %s: %s\n", name.c_str(), value.c_str());
  std::fflush(stdout);
  ::testing::Test::RecordProperty(name, value);
}

std::string Yes(bool value) { return value ? "yes" : "no"; }

const char* kTableOf = "<html><body><table><tr><td>%s</td></tr></table></body></html>";

std::string Page(const char* text) {
  char page[200];
  std::snprintf(page, sizeof page, kTableOf, text);
  return page;
}

TEST(RealControl, RecordsWhatOnlyWindowsShows) {
  RealControlHost* host = SuiteRealControl();
  if (host == nullptr) GTEST_SKIP() << "no real control here: the suite ran against the document double";
  BrowserOperations& browser = host->Operations();
  const WindowHandle control = browser.BrowserWindowHandle();

  // The settings after the first navigation: Microsoft documents each
  // property as reading back what was set.
  const win32::BrowserSettings settings = host->control().ReadSettings();
  Record("settings", "Silent " + Yes(settings.silent) + ", Offline " + Yes(settings.offline) +
                         ", RegisterAsDropTarget " + Yes(settings.drop_target) + ", RegisterAsBrowser " +
                         Yes(settings.as_browser) + ", all taken " + Yes(host->control().settings_applied()));
  EXPECT_TRUE(settings.silent);
  EXPECT_TRUE(settings.offline);
  EXPECT_TRUE(settings.drop_target);
  EXPECT_FALSE(settings.as_browser);

  // Offline: whether a page never visited loads, and whether a board
  // visited again is fetched again or read from the cache.
  testing::LoopbackServer& server = host->first_server();
  server.AddPage("/offline/new.htm", Page("never visited"));
  browser.NavigateBrowser(host->Origin() + "/offline/new.htm");
  const bool loaded = browser.WaitForPage(control, 10000) == 1;
  const bool shown = browser.ReadTableHtml(1).find("never visited") != std::string::npos;
  Record("offline, page never visited", "loaded " + Yes(loaded) + ", shown " + Yes(shown) + ", requests " +
                                            std::to_string(server.Requests("/offline/new.htm")));
  // A board visited twice, changed in between, as the program navigates
  // (navNoReadFromCache): with no cache headers, with "Cache-Control:
  // no-cache" (which no cache may answer without asking the server, so
  // a stale board there means Offline reads the cache whatever the headers
  // say), and, as the control case, with Offline false and no headers.
  auto visit_twice = [&](const std::string& path, const std::string& headers) {
    server.AddResponse(path, "text/html; charset=utf-8", headers, Page("pass 1"));
    browser.NavigateBrowser(host->Origin() + path);
    browser.WaitForPage(control, 10000);
    server.AddResponse(path, "text/html; charset=utf-8", headers, Page("pass 2"));
    browser.NavigateBrowser(host->Origin() + path);
    browser.WaitForPage(control, 10000);
    const bool fresh = browser.ReadTableHtml(1).find("pass 2") != std::string::npos;
    return "second visit shows the new board " + Yes(fresh) + ", requests " + std::to_string(server.Requests(path));
  };
  Record("offline, board visited twice", visit_twice("/offline/board.htm", ""));
  Record("offline, no-cache board visited twice", visit_twice("/offline/no-cache.htm", "Cache-Control: no-cache\r\n"));
  IWebBrowser2* web_browser = host->control().browser();
  const bool online = web_browser && SUCCEEDED(web_browser->put_Offline(VARIANT_FALSE));
  Record("online (Offline false), board visited twice",
         online ? visit_twice("/online/board.htm", "") : std::string("Offline could not be cleared"));
  if (web_browser) web_browser->put_Offline(VARIANT_TRUE);

  // A getter of the page's own on a member the program reads, busy 3 s:
  // whether the engine's call reaches it, what the call gives, how long it
  // holds, and whether the next call to the page is refused at once.
  server.AddPage("/getter/page.htm",
                 "<!DOCTYPE html><html><head><meta http-equiv=X-UA-Compatible content=\"IE=edge\"><title>t</title>"
                 "<script>Object.defineProperty(document, 'title', {get: function () {"
                 " var t = new Date().getTime(); while (new Date().getTime() - t < 3000) {}"
                 " return 'page getter'; }});</script></head><body></body></html>");
  browser.NavigateBrowser(host->Origin() + "/getter/page.htm");
  browser.WaitForPage(control, 10000);
  const std::vector<DomRef>& bound = host->Binding().DocumentList;
  if (!bound.empty()) {
    const ULONGLONG began = GetTickCount64();
    const std::string first = GetText(bound.front(), "title");
    const ULONGLONG held = GetTickCount64() - began;
    const std::string again = GetText(bound.front(), "title");
    Record("page getter on title, 3 s busy", "reads \"" + first + "\" after " + std::to_string(held) +
                                                 " ms; the next read gives \"" + again + "\" after " +
                                                 std::to_string(GetTickCount64() - began - held) + " ms");
  }

  // The document mode of each fixture's entry page.
  const std::string root = FixturesFolder() + "/pages";
  for (const std::string& name : ListFixtures(root)) {
    const Fixture fixture = LoadFixture(root, name);
    host->Serve(fixture, FixtureFiles(fixture, host->Origin(), host->Other()));
    browser.NavigateBrowser(host->Origin() + "/" + fixture.name + "/" + fixture.entry);
    browser.WaitForPage(control, 10000);
    const std::vector<DomRef>& documents = host->Binding().DocumentList;
    const int64_t mode = documents.empty() ? 0 : GetInteger(documents.front(), "documentMode");
    Record("documentMode " + name, std::to_string(mode));
  }
}

}  // namespace
}  // namespace brevane::conformance
