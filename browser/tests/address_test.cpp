// Addresses as the control treats them: the scheme Navigate adds, and the
// absolute addresses relative links stand for.
#include "browser/address.h"

#include <gtest/gtest.h>

namespace brevane {
namespace {

TEST(AddressTest, NavigateAddsHttpOnlyWhereTheControlWould) {
  const struct {
    const char* typed;
    const char* loaded;
  } cases[] = {
      {"bbs.example.com/forum-1.html", "http://bbs.example.com/forum-1.html"},
      {"127.0.0.1:8080/board", "http://127.0.0.1:8080/board"},
      {"localhost:8080/board", "http://localhost:8080/board"},
      {"localhost:8080", "http://localhost:8080"},
      {"http://bbs/x", "http://bbs/x"},
      {"HTTPS://bbs/x", "HTTPS://bbs/x"},
      {"about:blank", "about:blank"},
      {"javascript:void(0)", "javascript:void(0)"},
      {"mailto:a@b", "mailto:a@b"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ControlAddress(c.typed), c.loaded) << c.typed;
}

TEST(AddressTest, RelativeReferencesResolveAgainstThePage) {
  const char* base = "http://bbs.example:81/forum/board.htm?page=2#top";
  const struct {
    const char* reference;
    const char* absolute;
  } cases[] = {
      {"thread/101.htm", "http://bbs.example:81/forum/thread/101.htm"},
      {"/thread/102.htm", "http://bbs.example:81/thread/102.htm"},
      {"../forum/./thread/103.htm?x=1#last", "http://bbs.example:81/forum/thread/103.htm?x=1#last"},
      {"../../../up.htm", "http://bbs.example:81/up.htm"},
      {"./", "http://bbs.example:81/forum/"},
      {"..", "http://bbs.example:81/"},
      {"?page=3", "http://bbs.example:81/forum/board.htm?page=3"},
      {"#bottom", "http://bbs.example:81/forum/board.htm?page=2#bottom"},
      {"", "http://bbs.example:81/forum/board.htm?page=2"},
      {"//ads.example/a.htm", "http://ads.example/a.htm"},
      {"https://other/x", "https://other/x"},
      {"javascript:go()", "javascript:go()"},
  };
  for (const auto& c : cases) EXPECT_EQ(ResolveAddress(base, c.reference), c.absolute) << c.reference;

  // A page without a path, and one shown without an address.
  EXPECT_EQ(ResolveAddress("http://bbs", "a.htm"), "http://bbs/a.htm");
  EXPECT_EQ(ResolveAddress("http://bbs", "?q"), "http://bbs/?q");
  EXPECT_EQ(ResolveAddress("", "a.htm"), "a.htm");
  EXPECT_EQ(ResolveAddress("about:blank", "a.htm"), "a.htm");
}

TEST(AddressTest, SiteIsSchemeAndRegistrableDomain) {
  const struct {
    const char* address;
    const char* site;
  } cases[] = {
      {"http://bbs.Example.com:8080/t?1", "http://example.com"},
      {"https://a.b.example.com.cn/", "https://example.com.cn"},
      {"http://www.forum.co.uk", "http://forum.co.uk"},
      {"http://127.0.0.1:81/post", "http://127.0.0.1"},
      {"http://127.0.0.1@127.0.0.2/ad", "http://127.0.0.2"},
      {"http://127.0.0.2\\@127.0.0.1/ad", "http://127.0.0.2"},
      {"http://[::1]:80/", "http://[::1]"},
      {"http://localhost/", "http://localhost"},
      {"about:blank", ""},
      {"editor.html", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(SiteOf(c.address), c.site) << c.address;
}

}  // namespace
}  // namespace brevane
