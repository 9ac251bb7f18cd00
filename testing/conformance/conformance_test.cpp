// The page-conformance suite as one parameterised test: every fixture of
// the pages folder, run on the engine this program was built with (its host
// comes from SuiteHost). A fixture the data marks as a known difference of
// this engine is skipped with its reason.
#include <gtest/gtest.h>

#include "testing/conformance/conformance.h"

namespace brevane::conformance {

// Defined once per engine's test program.
ConformanceHost& SuiteHost();

namespace {

std::string PagesRoot() { return FixturesFolder() + "/pages"; }

class ConformanceTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ConformanceTest, MatchesInternetExplorer) {
  Fixture fixture = LoadFixture(PagesRoot(), GetParam());
  ConformanceHost& host = SuiteHost();
  auto known = fixture.known.find(host.EngineName());
  if (known != fixture.known.end()) GTEST_SKIP() << "known difference of " << host.EngineName() << ": " << known->second;
  for (const std::string& failure : RunFixture(host, fixture)) ADD_FAILURE() << failure;
}

std::string FixtureTestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name;
  for (char c : info.param) name += (c == '-' ? '_' : c);
  return name;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ConformanceTest, ::testing::ValuesIn(ListFixtures(PagesRoot())), FixtureTestName);

// The data format: set-up lines, operations with and without keys, empty
// values, continuation lines joined with CR LF, and lines it rejects.
TEST(ConformanceSuite, ReadsTheDataFormat) {
  Fixture fixture = ParseFixture("f",
                                 "# comment\r\n"
                                 "entry = a.htm\r\n"
                                 "charset = gbk\n"
                                 "known webkit = cannot\n"
                                 "table 3 =\n"
                                 "form id==x = <FORM>\n"
                                 "> <INPUT>\n"
                                 ">\n"
                                 "> </FORM>\n"
                                 "click 7 = a = b\n"
                                 "bogus 1 = x\n"
                                 "no equals sign\n"
                                 "latency = 150\n"
                                 "slow a.htm = 20\n"
                                 "script a.htm = fetch c.js | frame box | write <p><br></p> | wait 5\n"
                                 "script b.htm = fetch c.js | jump\n"
                                 "latency = soon\n");
  EXPECT_EQ(fixture.entry, "a.htm");
  EXPECT_EQ(fixture.charset, "gbk");
  EXPECT_EQ(fixture.known["webkit"], "cannot");
  ASSERT_EQ(fixture.steps.size(), 3u);
  EXPECT_EQ(fixture.steps[0].verb, "table");
  EXPECT_EQ(fixture.steps[0].key, "3");
  EXPECT_EQ(fixture.steps[0].expected, "");
  EXPECT_EQ(fixture.steps[1].key, "id==x");
  EXPECT_EQ(fixture.steps[1].expected, "<FORM>\r\n<INPUT>\r\n\r\n</FORM>");
  EXPECT_EQ(fixture.steps[1].line, 6);
  EXPECT_EQ(fixture.steps[2].expected, "a = b");
  EXPECT_EQ(fixture.errors.size(), 4u);
  EXPECT_EQ(AnswerDelay(fixture, "a.htm"), 170);
  EXPECT_EQ(AnswerDelay(fixture, "c.js"), 150);
  ASSERT_EQ(fixture.scripts["a.htm"].size(), 4u);
  EXPECT_EQ(fixture.scripts["a.htm"][1].action, "frame");
  EXPECT_EQ(fixture.scripts["a.htm"][2].argument, "<p><br></p>");
  EXPECT_EQ(fixture.scripts["a.htm"][3].argument, "5");
  EXPECT_FALSE(ParseFixture("g", "wait = 1\n").errors.empty());  // no entry page
  EXPECT_EQ(Substitute("{origin}/{host}/{other}", "http://a:1", "http://b:2"), "http://a:1/a:1/http://b:2");
}

// A fixture over TLS: its first origin is the host's secure one.
TEST(ConformanceSuite, ReadsFixturesOverTls) {
  EXPECT_TRUE(ParseFixture("h", "entry = a.htm\ntls = yes\n").tls);
  EXPECT_FALSE(ParseFixture("h", "entry = a.htm\n").tls);
  EXPECT_EQ(SecureForm("http://bbs.example"), "https://bbs.example");
}

// An empty or unreadable fixtures folder must not pass as a suite with
// nothing in it.
TEST(ConformanceSuite, FindsItsFixtures) {
  EXPECT_GE(ListFixtures(PagesRoot()).size(), 7u) << "fixtures folder: " << PagesRoot();
}

}  // namespace
}  // namespace brevane::conformance
