// The main of every test suite: GoogleTest's, except that a suite whose tests all skipped
// themselves (and none failed) exits with CSkippedExitCode, so that ctest reports it as skipped
// rather than passed.
#include <gtest/gtest.h>

namespace {
constexpr int CSkippedExitCode = 77;
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
  if (result == 0 && unit.test_to_run_count() > 0 && unit.skipped_test_count() == unit.test_to_run_count())
    return CSkippedExitCode;
  return result;
}
