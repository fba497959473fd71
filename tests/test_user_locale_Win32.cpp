// On Windows the decimal separator comes from the user locale the program starts in, which Wine
// takes from the environment it is started with. ctest runs this suite under a decimal-point and
// a decimal-comma locale and names the separator each one must give.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/KVX_NumberFormat.h"
#include "support/LoadedPlugin.h"

using namespace kvx;

namespace {

std::string ExpectedSeparator() {
  const char* Expected = std::getenv("KVX_EXPECTED_DECIMAL_SEPARATOR");
  return Expected ? Expected : "";
}

}  // namespace

TEST(UserLocale, TextsFollowTheLocaleTheProgramStartsIn) {
  const std::string Separator = ExpectedSeparator();
  ASSERT_FALSE(Separator.empty()) << "KVX_EXPECTED_DECIMAL_SEPARATOR names the separator of the locale";
  EXPECT_EQ(UserDecimalSeparator(), Separator);

  // The plug-in shows its numbers with it (Tone at host value 0.25 is -7.5 dB, Drive's host
  // value 0.5 through the vendor extension); the host's own C locale stays as it is.
  test::TLoadedPlugin Plugin;
  Plugin.SetParameter(1, 0.25f);
  EXPECT_EQ(Plugin.ParameterDisplay(1), "-7" + Separator + "5");
  char Buffer[64] = {};
  Plugin.Dispatch(effVendorSpecific, 7, 0, Buffer, 0.5f);
  EXPECT_EQ(std::string(Buffer), "0" + Separator + "5%");
  EXPECT_EQ(std::string(std::localeconv()->decimal_point), ".");
}
