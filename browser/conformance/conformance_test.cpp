// The page-conformance suite as one parameterised test: every fixture of
// the pages folder, run on the engine this program was built with (its host
// comes from SuiteHost). A fixture the data marks as a known difference of
// this engine is skipped with its reason.
#include <gtest/gtest.h>

#include "browser/conformance/conformance.h"

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

// An empty or unreadable fixtures folder must not pass as a suite with
// nothing in it.
TEST(ConformanceSuite, FindsItsFixtures) {
  EXPECT_GE(ListFixtures(PagesRoot()).size(), 7u) << "fixtures folder: " << PagesRoot();
}

}  // namespace
}  // namespace brevane::conformance
