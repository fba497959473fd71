// The general number format, the parser and the user's decimal separator.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "platform/KVX_NumberFormat.h"
#include "support/KVX_TestHost.h"

using namespace kvx;

TEST(NumberFormat, GeneralFormat) {
  struct Case {
    double Value;
    int Digits;
    const char* Text;
  } Cases[] = {
      {50, 4, "50"},          {-7.5, 4, "-7.5"},         {8.5, 4, "8.5"},          {12.34567, 4, "12.35"},
      {0.0, 4, "0"},          {-0.0, 4, "0"},            {-200, 4, "-200"},        {1000, 4, "1000"},
      {9999.4, 4, "9999"},    {9999.6, 4, "1E4"},        {12346, 4, "1.235E4"},    {0.0001, 4, "0.0001"},
      {0.00001, 4, "0.00001"}, {0.000001, 4, "1E-6"},    {-0.000004, 5, "-4E-6"},  {0.5, 5, "0.5"},
      {0.123456, 5, "0.12346"}, {100, 3, "100"},         {1000, 3, "1E3"},          {1.0 / 3, 9, "0.333333333"},
  };
  for (const Case& c : Cases) EXPECT_EQ(FloatToStrGeneral(c.Value, c.Digits, "."), c.Text) << c.Value;
  EXPECT_EQ(FloatToStrGeneral(-7.5, 4, ","), "-7,5");
  EXPECT_EQ(FloatToStrGeneral(12346, 4, ","), "1,235E4");
  EXPECT_EQ(FloatToStrGeneral(std::nan(""), 4, "."), "NAN");
  EXPECT_EQ(FloatToStrGeneral(-INFINITY, 4, "."), "-INF");
  EXPECT_EQ(FloatToStrShortest(0.1f, "."), "0.1");
  EXPECT_EQ(FloatToStrShortest(1.0f / 3.0f, ","), "0,33333334");
}

TEST(NumberFormat, RoundingHalvesToEven) {
  struct Case {
    double Value;
    int Decimals;
    double Rounded;
  } Cases[] = {{0.5, 0, 0.0}, {1.5, 0, 2.0}, {2.5, 0, 2.0}, {-2.5, 0, -2.0}, {12.34567, 4, 12.3457},
               {0.00004, 4, 0.0}, {0.00005, 4, 0.0}, {2.25, 1, 2.2}};
  for (const Case& c : Cases) EXPECT_DOUBLE_EQ(RoundToDecimals(c.Value, c.Decimals), c.Rounded) << c.Value;
  EXPECT_TRUE(std::isnan(RoundToDecimals(std::nan(""), 4)));
  EXPECT_EQ(RoundToDecimals(1e300, 4), 1e300);
}

TEST(NumberFormat, Parser) {
  struct Case {
    const char* Text;
    const char* Separator;
    bool Ok;
    double Value;
  } Cases[] = {
      {"1.5", ".", true, 1.5},    {"1,5", ",", true, 1.5},    {"1.5", ",", false, 0},
      {"1,5", ".", false, 0},     {"-3", ".", true, -3},      {"+2", ".", true, 2},
      {".5", ".", true, 0.5},     {"5.", ".", true, 5},       {"2E3", ".", true, 2000},
      {"2e-3", ".", true, 0.002}, {"2E", ".", false, 0},      {"", ".", false, 0},
      {"-", ".", false, 0},       {".", ".", false, 0},       {"1.2.3", ".", false, 0},
      {" 1", ".", false, 0},      {"1 ", ".", false, 0},      {"0x10", ".", false, 0},
      {"1\xD9\xAB" "5", "\xD9\xAB", true, 1.5},
  };
  for (const Case& c : Cases) {
    double v = -99;
    EXPECT_EQ(TryStrToFloat(c.Text, c.Separator, v), c.Ok) << c.Text;
    EXPECT_EQ(v, c.Ok ? c.Value : -99) << c.Text;
  }
}

TEST(NumberFormat, SeparatorOfTheUserLocale) {
  struct Case {
    const char* Variable;
    const char* Locale;
    const char* Separator;
  } Cases[] = {{"LC_ALL", "C", "."},
               {"LC_ALL", "en_US.UTF-8", "."},
               {"LC_ALL", "de_DE.UTF-8", ","},
               {"LC_NUMERIC", "de_DE.UTF-8", ","},
               {"LC_ALL", "xx_NOT_INSTALLED", "."}};
  for (const Case& c : Cases) {
    kvx::test::TScopedEnv ClearAll("LC_ALL", nullptr);
    kvx::test::TScopedEnv Set(c.Variable, c.Locale);
    EXPECT_EQ(UserDecimalSeparator(), c.Separator) << c.Variable << "=" << c.Locale;
  }
  // The process's own locale is never touched.
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
}
