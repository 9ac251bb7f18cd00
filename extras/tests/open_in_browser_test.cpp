#include "extras/open_in_browser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace brevane {
namespace {

TEST(IsWebAddress, OnlyHttpAndHttpsAddresses) {
  EXPECT_TRUE(IsWebAddress("http://bbs.example/thread-1.html"));
  EXPECT_TRUE(IsWebAddress("https://bbs.example/"));
  EXPECT_TRUE(IsWebAddress("HTTP://BBS.EXAMPLE/"));
  EXPECT_TRUE(IsWebAddress("hTtPs://x"));
  EXPECT_TRUE(IsWebAddress("http://bbs.example/\xB0\xE6\xBF\xE9"));  // GBK path

  EXPECT_FALSE(IsWebAddress(""));
  EXPECT_FALSE(IsWebAddress("http://"));
  EXPECT_FALSE(IsWebAddress("file:///etc/passwd"));
  EXPECT_FALSE(IsWebAddress("javascript:alert(1)"));
  EXPECT_FALSE(IsWebAddress("/usr/bin/xterm"));
  EXPECT_FALSE(IsWebAddress("thread-1.html"));
  EXPECT_FALSE(IsWebAddress("C:\\Windows\\system32\\calc.exe"));
  EXPECT_FALSE(IsWebAddress("  http://bbs.example/"));
  EXPECT_FALSE(IsWebAddress("httpx://bbs.example/"));
  EXPECT_FALSE(IsWebAddress("ftp://bbs.example/"));
  EXPECT_FALSE(IsWebAddress("http:/bbs.example/"));
  EXPECT_FALSE(IsWebAddress("http://bbs.example/\n--new-window"));
}

TEST(OpenInBrowser, OnlyWebAddressesReachTheLauncher) {
  std::vector<Text> launched;
  const BrowserLauncher launcher = [&](const Text& a) { launched.push_back(a); };
  for (const char* address : {"http://a.example/1", "file:///tmp/x.desktop", "", "javascript:x",
                              "../x.exe", "https://b.example/2"}) {
    OpenInBrowserWith(address, launcher);
  }
  EXPECT_THAT(launched, ::testing::ElementsAre("http://a.example/1", "https://b.example/2"));
}

}  // namespace
}  // namespace brevane
