// Parameter properties, conversions, the single road of a change, texts and host text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "effect/Process.h"
#include "platform/KVX_System.h"
#include "support/KVX_TestHost.h"
#include "support/KVX_TestModules.h"

using namespace kvx;
using namespace kvx::test;

namespace {

// A property of a bare module, configured as a row of the effect's table.
struct TPropertyFixture {
  TVSTModule Module;
  TCustomVstParameterProperty& Add(float Min, float Max, bool Switch = false) {
    TCustomVstParameterProperty* p = Module.ParameterProperties().Add();
    p->SetMin(Min);
    p->SetMax(Max);
    if (Switch) p->SetFlags(TVstParameterPropertiesFlags{ppfParameterIsSwitch});
    return *p;
  }
};

}  // namespace

TEST(ParameterConversion, HostToParameterUnits) {
  TPropertyFixture f;
  TCustomVstParameterProperty& Drive = f.Add(0, 100);
  TCustomVstParameterProperty& Tone = f.Add(-15, 15);
  TCustomVstParameterProperty& Input = f.Add(-200, 200);
  TCustomVstParameterProperty& Bypass = f.Add(0, 1, true);
  TCustomVstParameterProperty& Oversampling = f.Add(1, 16);
  struct Case {
    TCustomVstParameterProperty* Property;
    float Host;
    float Value;
  } Cases[] = {
      {&Drive, 0.5f, 50.0f},       {&Drive, 0.37f, 37.0f},      {&Tone, 0.5f, 0.0f},
      {&Tone, 0.0f, -15.0f},       {&Input, 0.75f, 100.0f},     {&Bypass, 0.5f, 0.0f},
      {&Bypass, 0.5000001f, 1.0f}, {&Bypass, 0.51f, 1.0f},      {&Bypass, 0.2f, 0.0f},
      {&Oversampling, 0.5f, 8.5f}, {&Drive, -3.0f, 0.0f},       {&Drive, 7.0f, 100.0f},
      {&Tone, -3.0f, -15.0f},      {&Tone, 7.0f, 15.0f},
  };
  for (const Case& c : Cases)
    EXPECT_NEAR(c.Property->VSTParameter2Parameter(c.Host), c.Value, 4e-6f * std::fabs(c.Value) + 1e-6f)
        << c.Property->Index() << " at " << c.Host;
}

TEST(ParameterConversion, ParameterToHostUnits) {
  TPropertyFixture f;
  TCustomVstParameterProperty& Drive = f.Add(0, 100);
  TCustomVstParameterProperty& Tone = f.Add(-15, 15);
  TCustomVstParameterProperty& Input = f.Add(-200, 200);
  TCustomVstParameterProperty& Oversampling = f.Add(1, 16);
  TCustomVstParameterProperty& Empty = f.Add(3, 3);
  struct Case {
    TCustomVstParameterProperty* Property;
    float Value;
    float Host;
  } Cases[] = {{&Drive, 100, 1.0f},          {&Tone, 0, 0.5f},      {&Oversampling, 8, 7.0f / 15.0f},
               {&Drive, -5, 0.0f},           {&Input, 250, 1.0f},   {&Empty, 3, 0.0f},
               {&Drive, std::numeric_limits<float>::quiet_NaN(), 0.0f}};
  for (const Case& c : Cases)
    EXPECT_FLOAT_EQ(c.Property->Parameter2VSTParameter(c.Value), c.Host) << c.Property->Index();
}

TEST(ParameterConversion, CurvesRoundTrip) {
  TPropertyFixture f;
  TCustomVstParameterProperty& Log = f.Add(20, 20000);
  Log.SetCurve(ctLogarithmic);
  EXPECT_FLOAT_EQ(Log.CurveFactor(), 1000.0f);
  TCustomVstParameterProperty& Exp = f.Add(0, 10);
  Exp.SetCurveFactor(50);
  Exp.SetCurve(ctExponential);
  TCustomVstParameterProperty& Freq = f.Add(20, 20000);
  Freq.SetCurve(ctFrequencyScale);
  for (TCustomVstParameterProperty* p : {&Log, &Exp, &Freq}) {
    for (float x : {0.0f, 0.1f, 0.25f, 0.5f, 0.9f, 1.0f}) {
      const float v = p->VSTParameter2Parameter(x);
      EXPECT_NEAR(p->Parameter2VSTParameter(v), x, 2e-5f) << "curve " << int(p->Curve()) << " at " << x;
    }
  }
  // The logarithmic curve at its ends and in the middle: ((CF + 1)^x - 1) / CF of the range.
  EXPECT_FLOAT_EQ(Log.VSTParameter2Parameter(0), 20.0f);
  EXPECT_FLOAT_EQ(Log.VSTParameter2Parameter(1), 20000.0f);
  EXPECT_NEAR(Log.VSTParameter2Parameter(0.5f),
              static_cast<float>((std::sqrt(1001.0) - 1.0) / 1000.0 * 19980.0 + 20.0), 0.01f);
}

TEST(ParameterProperty, NamesLabelsAndSmoothing) {
  TPropertyFixture f;
  TCustomVstParameterProperty& p = f.Add(0, 1);
  EXPECT_EQ(p.DisplayName(), "Parameter 1");
  EXPECT_EQ(f.Add(0, 1).DisplayName(), "Parameter 2");
  p.SetShortLabel("");
  p.SetDisplayName("Symmetric");
  EXPECT_EQ(p.ShortLabel(), "Symmetr");
  p.SetDisplayName("Stereo");  // the short label no longer equals the old name
  EXPECT_EQ(p.ShortLabel(), "Symmetr");
  p.SetShortLabel("Stereo");
  p.SetDisplayName("Mono");
  EXPECT_EQ(p.ShortLabel(), "Mono");
  p.SetDisplayName(std::string(70, 'n'));
  EXPECT_EQ(p.DisplayName(), std::string(64, 'n'));
  struct Case {
    float Factor, Stored;
  } Cases[] = {{1.0f, 0.0f}, {-0.1f, 0.0f}, {0.9f, 0.9f}, {std::nanf(""), 0.0f}, {0.0f, 0.0f}};
  for (const Case& c : Cases) {
    p.SetSmoothingFactor(0.5f);
    p.SetSmoothingFactor(c.Factor);
    EXPECT_EQ(p.SmoothingFactor(), c.Stored) << c.Factor;
  }
  p.SetSmoothingFactor(0.5f);
  p.SetMin(0);
  p.SetMax(1);
  EXPECT_FLOAT_EQ(p.VSTParameter2Parameter(1.0f), 0.5f);  // half-way from the state 0
  EXPECT_FLOAT_EQ(p.VSTParameter2Parameter(1.0f), 0.75f);
}

TEST(ParameterProperty, Categories) {
  TPropertyFixture f;
  TCustomVstParameterProperty& a = f.Add(0, 1);
  TCustomVstParameterProperty& b = f.Add(0, 1);
  f.Module.ParameterCategories().Add()->SetDisplayName("Highpass Filter");
  f.Module.ParameterCategories().CheckParametersInUse();
  EXPECT_EQ(f.Module.ParameterCategories()[0].ParametersInCategory(), 0);
  EXPECT_EQ(a.CategoryIndex(), 0);
  a.SetCategory("Drive Section");
  b.SetCategory("Drive Section");
  EXPECT_EQ(f.Module.ParameterCategories().Count(), 2);
  EXPECT_EQ(a.CategoryIndex(), 2);
  EXPECT_EQ(f.Module.ParameterCategories()[1].ParametersInCategory(), 2);
  b.SetCategoryIndex(1);
  EXPECT_EQ(b.Category(), "Highpass Filter");
  EXPECT_EQ(f.Module.ParameterCategories()[1].ParametersInCategory(), 1);
  b.SetCategoryIndex(7);
  EXPECT_EQ(b.Category(), "");
  a.SetCategory(std::string(30, 'c'));
  EXPECT_EQ(a.Category().size(), 23u);
}

// ---- the road of a change ------------------------------------------------------------------------

namespace {
class ParameterRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Effect = CreateTestModule();
    ASSERT_NE(Effect, nullptr);
    Module = TestModuleOf(Effect);
    Module->Log.clear();
    Host.Clear();
  }
  void TearDown() override { Dispatch(Effect, effClose); }
  std::string Display(int32_t Index) {
    char Buffer[64] = {};
    Dispatch(Effect, effGetParamDisplay, Index, 0, Buffer);
    return Buffer;
  }
  TTestHost Host;
  PVSTEffect Effect = nullptr;
  TTestModule* Module = nullptr;
};
}  // namespace

TEST_F(ParameterRoadTest, HostChangesRunTheHandlerWithoutEcho) {
  Effect->SetParameter(Effect, 0, 0.75f);
  EXPECT_EQ(Module->Log, (std::vector<std::string>{"Param 0 1.5"}));
  EXPECT_FLOAT_EQ(Module->GetParameter(0), 1.5f);
  EXPECT_FLOAT_EQ(Module->Programs()[0].Parameter(0), 1.5f);
  EXPECT_EQ(Host.Count(amAutomate), 0);
  EXPECT_TRUE(Module->EditorNeedUpdate());
}

TEST_F(ParameterRoadTest, NaNHostValueLeavesTheParameter) {
  Effect->SetParameter(Effect, 0, 0.25f);
  Module->Log.clear();
  Effect->SetParameter(Effect, 0, std::numeric_limits<float>::quiet_NaN());
  Module->SetVSTParameter(0, -std::numeric_limits<float>::quiet_NaN());
  EXPECT_TRUE(Module->Log.empty());
  EXPECT_FLOAT_EQ(Module->GetParameter(0), 0.5f);
  EXPECT_EQ(Host.Count(amAutomate), 0);
  // Infinities are clamped like any value outside 0..1.
  Effect->SetParameter(Effect, 0, std::numeric_limits<float>::infinity());
  EXPECT_FLOAT_EQ(Module->GetParameter(0), 2.0f);
}

TEST_F(ParameterRoadTest, ModuleSetterTellsTheHostTheValuePassed) {
  Module->SetParameter(0, 1.0f);
  EXPECT_EQ(Module->Log, (std::vector<std::string>{"Param 0 1"}));
  ASSERT_EQ(Host.Count(amAutomate), 1);
  EXPECT_EQ(Host.Calls().back().Index, 0);
  EXPECT_FLOAT_EQ(Host.Calls().back().opt, 0.5f);
  // The handler of "Limited" caps the value; the host hears the value before the cap.
  Module->SetParameter(3, 0.8f);
  EXPECT_FLOAT_EQ(Module->GetParameter(3), 0.5f);
  EXPECT_FLOAT_EQ(Host.Calls().back().opt, 0.8f);
  // Not automatable: no amAutomate. Invalid index: nothing.
  Module->SetParameter(4, 0.0f);
  Module->SetParameter(5, 0.0f);
  Module->SetParameter(-1, 0.0f);
  EXPECT_EQ(Host.Count(amAutomate), 2);
  Module->SetVSTParameter(0, 0.25f);
  EXPECT_FLOAT_EQ(Host.Calls().back().opt, 0.25f);
  EXPECT_FLOAT_EQ(Module->GetParameter(0), 0.5f);
  EXPECT_THROW(Module->ApplyParameter(5, 0.0f), EArgumentError);
  EXPECT_THROW(Module->GetParameterByName("Nothing"), EArgumentError);
  Module->SetParameterByName("Freq", 440.0f);
  EXPECT_FLOAT_EQ(Module->GetParameterByName("Freq"), 440.0f);
}

TEST_F(ParameterRoadTest, OutOfRangeHostIndexReportsSizeFailure) {
  int Failures = 0;
  Module->OnParameterSizeFailed = [&](TBasicVSTModule*) { ++Failures; };
  Effect->SetParameter(Effect, 5, 0.5f);
  Effect->SetParameter(Effect, -1, 0.5f);
  EXPECT_EQ(Failures, 2);
  EXPECT_TRUE(Module->Log.empty());
}

TEST_F(ParameterRoadTest, DisplayTextsRoundToFourPlaces) {
  struct Case {
    float Value;
    const char* Text;
  } Cases[] = {{50, "50"},         {-7.5f, "-7.5"},      {8.5f, "8.5"},      {12.34567f, "12.35"},
               {0.00004f, "0"},    {-0.00004f, "0"},     {-200, "-200"},     {0.12345f, "0.1235"},
               {1.99996f, "2"},    {0.0001f, "0.0001"},  {1999.6f, "2000"}};
  for (const Case& c : Cases) {
    Module->ApplyParameter(2, c.Value);
    EXPECT_EQ(Display(2), c.Text) << c.Value;
  }
  Module->ApplyParameter(2, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(Display(2), "error");
  Module->ParameterProperties()[2].OnCustomParameterDisplay = [](TBasicVSTModule*, const int32_t,
                                                                  std::string& Text) { Text += "!"; };
  Module->ApplyParameter(2, 3);
  EXPECT_EQ(Display(2), "3!");
  EXPECT_EQ(Module->GetParameterString(2), "3! Hz");
  EXPECT_EQ(Display(7), "");
}

TEST_F(ParameterRoadTest, TruncatedTexts) {
  Module->SetTruncateStrings(true);
  Module->ParameterProperties()[2].SetDisplayName("Frequency of it");
  Module->ApplyParameter(2, 1234.5678f);
  char Buffer[64];
  Dispatch(Effect, effGetParamName, 2, 0, Buffer);
  EXPECT_STREQ(Buffer, "Frequenc");
  Dispatch(Effect, effGetParamDisplay, 2, 0, Buffer);
  EXPECT_STREQ(Buffer, "1235");
}

TEST_F(ParameterRoadTest, DefaultTextParser) {
  struct Case {
    const char* Locale;
    const char* Text;
    float Value;
  } Cases[] = {
      {"C", "1.5 kHz", 1500.0f},  {"de_DE.UTF-8", "1.5 kHz", 100.0f}, {"de_DE.UTF-8", "1,5 kHz", 1500.0f},
      {"C", "2K", 2048.0f},       {"C", "abc", 100.0f},              {"C", "  440Hz \t", 440.0f},
      {"C", "0.5G", 524288.0f},   {"C", "300 mHz", 0.3f},            {"C", "5E", 100.0f},
      {"C", "-", 100.0f},         {"C", "1.2.3", 100.0f},            {"C", "2E3", 2000.0f},
  };
  for (const Case& c : Cases) {
    TScopedEnv All("LC_ALL", c.Locale);
    PVSTEffect e = CreateTestModule();
    TTestModule* m = TestModuleOf(e);
    m->ApplyParameter(2, 100.0f);
    EXPECT_EQ(Dispatch(e, effString2Parameter, 2, 0, const_cast<char*>(c.Text)), 1);
    EXPECT_FLOAT_EQ(m->GetParameter(2), c.Value) << c.Locale << " '" << c.Text << "'";
    Dispatch(e, effClose);
  }
  // On a property with the unit dB, blanks and the unit around the number.
  TVSTModule m;
  TCustomVstParameterProperty* p = m.ParameterProperties().Add();
  p->SetMin(-20);
  p->SetMax(20);
  p->SetUnits("dB");
  p->SetUseDefaultString2ParameterHandler(true);
  EXPECT_TRUE(m.StringToParameter(0, "  -3dB  "));
  EXPECT_FLOAT_EQ(m.GetParameter(0), -3.0f);
  EXPECT_THROW(m.StringToParameter(1, "1"), EArgumentError);
}

TEST_F(ParameterRoadTest, ParameterPropertiesRecord) {
  EXPECT_EQ(Dispatch(Effect, effGetParameterProperties, 0, 0, nullptr), 0);
  TCustomVstParameterProperty& p = Module->ParameterProperties()[0];
  p.SetReportVST2Properties(true);
  EXPECT_EQ(Dispatch(Effect, effGetParameterProperties, 0, 0, nullptr), 1);
  TVstParameterProperties r;
  std::memset(&r, 0x55, sizeof(r));
  EXPECT_EQ(Dispatch(Effect, effGetParameterProperties, 0, 0, &r), 1);
  EXPECT_STREQ(r.label, "Gain");
  EXPECT_EQ(r.flags, 0);
  EXPECT_EQ(r.minInteger, 0);
  EXPECT_EQ(r.maxInteger, 0);
  EXPECT_EQ(r.stepInteger, 1);
  EXPECT_EQ(r.largeStepInteger, 2);
  EXPECT_FLOAT_EQ(r.stepFloat, 0.01f);
  EXPECT_FLOAT_EQ(r.largeStepFloat, 0.05f);
  EXPECT_EQ(r.displayIndex, 0);
  for (uint8_t b : r.future) EXPECT_EQ(b, 0);
  p.SetFlags(TVstParameterPropertiesFlags{ppfParameterUsesIntegerMinMax, ppfParameterUsesFloatStep,
                                          ppfParameterUsesIntStep, ppfParameterSupportsDisplayIndex,
                                          ppfParameterSupportsDisplayCategory});
  p.SetMinInteger(-4);
  p.SetMaxInteger(4);
  p.SetLargeStepInteger(3);
  p.SetCategory("Level");
  EXPECT_EQ(Dispatch(Effect, effGetParameterProperties, 0, 0, &r), 1);
  EXPECT_EQ(r.flags, 1 + 2 + 4 + 8 + 16 + 32 - 1);
  EXPECT_EQ(r.minInteger, -4);
  EXPECT_EQ(r.maxInteger, 4);
  EXPECT_EQ(r.largeStepInteger, 3);
  EXPECT_FLOAT_EQ(r.stepFloat, 0.5f);  // a step of 1 over the range 0..2
  EXPECT_FLOAT_EQ(r.smallStepFloat, 0.25f);
  EXPECT_FLOAT_EQ(r.largeStepFloat, 1.0f);
  EXPECT_STREQ(r.categoryLabel, "Level");
  EXPECT_EQ(r.category, 1);
  EXPECT_EQ(r.numParametersInCategory, 1);
  EXPECT_EQ(Dispatch(Effect, effGetParameterProperties, 9, 0, &r), 0);
}

// ---- the effect's declaration ------------------------------------------------------------------

TEST(ProcessModuleDeclaration, TableAndDefaults) {
  TTestHost Host;
  PVSTEffect Effect = InstantiateModule(&TTestHost::Callback, &ModuleClass<TProcessModule>);
  ASSERT_NE(Effect, nullptr);
  auto* m = dynamic_cast<TProcessModule*>(TBasicVSTModule::ModuleOf(Effect));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(Host.Count(amAutomate), 0);
  struct Row {
    const char* Name;
    const char* Short;
    const char* Units;
    float Min, Max;
    int32_t MinInt, MaxInt;
    uint8_t Flags;
    float Small, Large;
    int32_t LargeInt;
    float Default;
  } Rows[] = {
      {"Drive", "Drive", "%", 0, 100, 0, 100, 14, 0.5f, 2, 2, 100},
      {"Tone", "Tone", "dB", -15, 15, -15, 15, 14, 0.5f, 2, 2, 0},
      {"Level", "Level", "%", 0, 100, 0, 100, 14, 0.5f, 2, 2, 0},
      {"Bypass", "Bypass", "On/Off", 0, 1, 0, 1, 1, 1, 1, 1, 0},
      {"Stereo", "Stereo", "On/Off", 0, 1, 0, 1, 1, 1, 1, 1, 0},
      {"Symmetric", "Symmetr", "On/Off", 0, 1, 0, 1, 1, 1, 1, 1, 1},
      {"Oversampling", "Oversam", "1x/8x/16x", 1, 16, 1, 16, 14, 1, 1, 1, 1},
      {"Mode", "Mode", "On/Off", 0, 1, 0, 1, 1, 1, 1, 1, 0},
      {"Input", "Input", "dB *0,1", -200, 200, -200, 200, 14, 0.5f, 2, 2, 0},
      {"Output", "Output", "dB *0,1", -100, 100, -100, 100, 14, 0.5f, 2, 2, 0},
  };
  ASSERT_EQ(m->ParameterProperties().Count(), 10);
  for (int32_t i = 0; i < 10; ++i) {
    const Row& r = Rows[i];
    const TCustomVstParameterProperty& p = m->ParameterProperties()[i];
    EXPECT_EQ(p.DisplayName(), r.Name);
    EXPECT_EQ(p.ShortLabel(), r.Short);
    EXPECT_EQ(p.Units(), r.Units);
    EXPECT_EQ(p.Min(), r.Min);
    EXPECT_EQ(p.Max(), r.Max);
    EXPECT_EQ(p.MinInteger(), r.MinInt);
    EXPECT_EQ(p.MaxInteger(), r.MaxInt);
    EXPECT_EQ(p.Flags().Mask(), r.Flags) << r.Name;
    EXPECT_EQ(p.StepFloat(), 1.0f);
    EXPECT_EQ(p.SmallStepFloat(), r.Small);
    EXPECT_EQ(p.LargeStepFloat(), r.Large);
    EXPECT_EQ(p.StepInteger(), 1);
    EXPECT_EQ(p.LargeStepInteger(), r.LargeInt);
    EXPECT_EQ(p.Curve(), ctLinear);
    EXPECT_EQ(p.CurveFactor(), 1.0f);
    EXPECT_TRUE(p.CanBeAutomated());
    EXPECT_EQ(p.Category(), "");
    EXPECT_EQ(m->GetParameter(i), r.Default) << r.Name;
    EXPECT_EQ(m->Programs()[0].Parameter(i), r.Default) << r.Name;
  }
  EXPECT_EQ(m->Programs().Count(), 1);
  EXPECT_EQ(m->Programs()[0].DisplayName(), "");
  EXPECT_EQ(m->ParameterCategories().Count(), 1);
  EXPECT_EQ(m->ParameterCategories()[0].DisplayName(), "Highpass Filter");
  EXPECT_EQ(m->ParameterCategories()[0].ParametersInCategory(), 0);
  EXPECT_EQ(m->ProcessPrecisition(), pp64);
  EXPECT_EQ(m->PlugCategory(), vpcEffect);
  EXPECT_EQ(m->CanDos(), (TVstCanDos{vcdPlugAsChannelInsert, vcdPlugAsSend, vcd2in2out, vcdBypass, vcdConformsToWindowRules,
                                     vcdCockosExtension}));
  EXPECT_EQ(m->Version(), "0.7");
  EXPECT_EQ(m->SampleRate(), 44100.0f);
  EXPECT_EQ(m->Flags().Contains(effFlagsHasEditor), NativeEditorAvailable());
  EXPECT_FALSE(m->Flags().Contains(effFlagsProgramChunks));
  for (int32_t i = 0; i < 10; ++i) m->SetParameter(i, 0.3f);
  Host.Clear();
  m->SetParamsToDefault();
  EXPECT_EQ(Host.Count(amAutomate), 10);
  for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(m->GetParameter(i), Rows[i].Default);
  EXPECT_EQ(Dispatch(Effect, effClose), 1);
}
