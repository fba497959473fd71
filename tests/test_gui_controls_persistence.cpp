// Float properties of the form-stream filer: what a writer stores, a reader hands back unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <vector>

#include "platform/KVX_Persistent.h"
#include "support/KVX_TestFilers.h"

using namespace kvx;

namespace {

// Filers that know only binary properties: floats travel through the fallback encoding.
using TBinaryWriter = test::TBinaryPropertyWriter;
using TBinaryReader = test::TBinaryPropertyReader;

// A filer with a number store of its own overrides the float property.
class TNumberFiler : public TFiler {
 public:
  bool Writing = true;
  std::map<std::string, double> Numbers;
  void DefineBinaryProperty(const std::string&, const TStreamProc&, const TStreamProc&, bool) override {
    ADD_FAILURE() << "a number filer gets no binary property for a float";
  }
  void DefineFloatProperty(const std::string& Name, const TFloatReadProc& ReadData,
                           const TFloatWriteProc& WriteData, bool HasData) override {
    if (Writing) {
      if (HasData) Numbers[Name] = WriteData();
    } else if (auto It = Numbers.find(Name); It != Numbers.end()) {
      ReadData(It->second);
    }
  }
};

// An object with two float properties, each written only when it is 0.
struct TTwoFloats : TPersistent {
  double A = 0, B = 0;
  void DefineProperties(TFiler& Filer) override {
    Filer.DefineFloatProperty("A", [this](double V) { A = V; }, [this] { return A; }, A == 0);
    Filer.DefineFloatProperty("B", [this](double V) { B = V; }, [this] { return B; }, B == 0);
  }
};

}  // namespace

TEST(FilerFloatProperty, BinaryFallbackRoundTripsEveryValue) {
  const double Values[] = {0.0, -0.0, 1.0, -1.5, 0.1, 3.4028234663852886e38, 1e-310,
                           std::numeric_limits<double>::infinity()};
  for (double Value : Values) {
    TBinaryWriter Writer;
    Writer.DefineFloatProperty("Value", nullptr, [&] { return Value; }, true);
    ASSERT_EQ(Writer.Properties["Value"].size(), 8u);
    TBinaryReader Reader;
    Reader.Properties = Writer.Properties;
    double Read = 12345;
    Reader.DefineFloatProperty("Value", [&](double V) { Read = V; }, nullptr, false);
    EXPECT_EQ(std::signbit(Read), std::signbit(Value)) << Value;
    EXPECT_EQ(Read, Value);
  }
  // The byte order is fixed: 1.0 is 0x3FF0000000000000, least significant byte first.
  TBinaryWriter Writer;
  Writer.DefineFloatProperty("One", nullptr, [] { return 1.0; }, true);
  EXPECT_EQ(Writer.Properties["One"], (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
}

TEST(FilerFloatProperty, HasDataDecidesWhatIsWrittenAndOnlyStoredNamesAreRead) {
  TTwoFloats Source;
  Source.B = 2.5;
  TBinaryWriter Writer;
  Source.DefineProperties(Writer);
  EXPECT_EQ(Writer.Properties.count("A"), 1u);
  EXPECT_EQ(Writer.Properties.count("B"), 0u);

  TTwoFloats Target;
  Target.A = 7;
  Target.B = 9;
  TBinaryReader Reader;
  Reader.Properties = Writer.Properties;
  Target.DefineProperties(Reader);
  EXPECT_EQ(Target.A, 0.0) << "the stored 0 replaces the value";
  EXPECT_EQ(Target.B, 9.0) << "an absent property leaves the value alone";

  TNumberFiler Numbers;
  Source.DefineProperties(Numbers);
  ASSERT_EQ(Numbers.Numbers.size(), 1u);
  Numbers.Writing = false;
  Target.A = 7;
  Target.DefineProperties(Numbers);
  EXPECT_EQ(Target.A, 0.0);
}

TEST(FilerFloatProperty, MalformedStoredValueIsRefused) {
  for (size_t Size : {0u, 4u, 9u}) {
    TBinaryReader Reader;
    Reader.Properties["Value"] = std::vector<uint8_t>(Size, 0x40);
    bool Called = false;
    EXPECT_THROW(Reader.DefineFloatProperty("Value", [&](double) { Called = true; }, nullptr, false),
                 EStreamError)
        << Size;
    EXPECT_FALSE(Called);
  }
}

// ---- the dial's zero values --------------------------------------------------------------------

#include "gui/KVX_GuiStitchedDial.h"

TEST(DialFloatProperties, ZeroValuesAreWrittenAndReadStraightIntoTheDial) {
  TGuiStitchedDial Source;
  Source.SetMin(-100);
  Source.SetMax(0);
  Source.SetValue(-50);
  Source.SetDefaultValue(0);
  TBinaryWriter Writer;
  Source.DefineProperties(Writer);
  EXPECT_EQ(Writer.Properties.count("Max"), 1u);
  EXPECT_EQ(Writer.Properties.count("DefaultValue"), 1u);
  EXPECT_EQ(Writer.Properties.count("Value"), 0u) << "a value other than 0 comes through its setter";

  // A layout applies the non-zero values through the setters and the zero ones as floats.
  TGuiStitchedDial Target;
  Target.BeginLoading();
  Target.SetDefaultValue(30);
  Target.SetMin(-100);
  TBinaryReader Reader;
  Reader.Properties = Writer.Properties;
  Target.DefineProperties(Reader);
  Target.EndLoading();
  EXPECT_EQ(Target.Max(), 0);
  EXPECT_EQ(Target.DefaultValue(), 0);
  Target.SetValue(-25);
  EXPECT_FLOAT_EQ(Target.NormalizedValue(), 0.75f) << "the range follows a Max read into its field";
}

TEST(DialFloatProperties, StoredNumbersThatAreNoFiniteFloatAreIgnored) {
  for (double Bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300}) {
    TBinaryWriter Writer;
    Writer.DefineFloatProperty("Value", nullptr, [&] { return Bad; }, true);
    Writer.DefineFloatProperty("Max", nullptr, [&] { return Bad; }, true);
    TGuiStitchedDial Dial;
    Dial.SetValue(40);
    TBinaryReader Reader;
    Reader.Properties = Writer.Properties;
    Dial.BeginLoading();
    Dial.DefineProperties(Reader);
    Dial.EndLoading();
    EXPECT_EQ(Dial.Value(), 40) << Bad;
    EXPECT_EQ(Dial.Max(), 100) << Bad;
  }
}
