// The main of every test suite: GoogleTest's, except that a suite whose tests all skipped
// themselves (and none failed) exits with CSkippedExitCode, so that ctest reports it as skipped
// rather than passed. Every suite sees the same fonts (a suite that set its own configuration
// before main keeps it).
#include <gtest/gtest.h>

#include <cstdlib>

namespace {
constexpr int CSkippedExitCode = 77;
}

int main(int argc, char** argv) {
#ifndef _WIN32
  setenv("FONTCONFIG_FILE", KVX_TEST_FONTS_CONF, 0);
#endif
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
  if (result == 0 && unit.test_to_run_count() > 0 && unit.skipped_test_count() == unit.test_to_run_count())
    return CSkippedExitCode;
  return result;
}
