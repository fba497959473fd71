#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "host/lib/KVX_HostParameters.h"
#include "host/lib/KVX_HostPlugin.h"
#include "host/lib/KVX_HostSystem.h"

using namespace kvx;

namespace {

const std::string CGain = KVX_TESTPLUGIN_DIR "/gain" KVX_MODULE_SUFFIX;

std::string LoadError(const std::string& File) {
  try {
    TVstHostPlugin p(File);
  } catch (const EVstError& e) {
    return e.what();
  }
  return {};
}

}  // namespace

TEST(HostPlugin, LoadErrorsAreOneClearLine) {
  const std::string text = (std::filesystem::temp_directory_path() / "kvx_not_a_library.so").string();
  std::ofstream(text) << "plain text";
  struct TCase {
    std::string File, Reason;
  } cases[] = {{"/nonexistent/plugin.so", "no such file"},
               {text, "not a loadable shared library"},
               {KVX_TESTPLUGIN_DIR "/not_vst" KVX_MODULE_SUFFIX, "not a VST 2.4 plug-in"},
               {KVX_TESTPLUGIN_DIR, "folder"}};
  for (const TCase& c : cases) {
    const std::string message = LoadError(c.File);
    EXPECT_NE(message.find(c.Reason), std::string::npos) << c.File << ": " << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
  std::filesystem::remove(text);
}

// File names are UTF-8 on every system: a plug-in in a folder and under a name outside ASCII
// loads (on Windows through the UTF-16 API, which the system's code page cannot stand in for).
TEST(HostPlugin, LoadsFromANameOutsideAscii) {
  namespace fs = std::filesystem;
  const std::string folder = Utf8FromPath(fs::temp_directory_path()) + "/kvx_\u00fcml\u00e4ut_\u65e5\u672c";
  const std::string file = folder + "/g\u00e4in" KVX_MODULE_SUFFIX;
  fs::create_directories(PathFromUtf8(folder));
  fs::copy_file(CGain, PathFromUtf8(file), fs::copy_options::overwrite_existing);
  {
    TVstHostPlugin p(file);
    p.Open();
    EXPECT_EQ(p.EffectName(), "KVX test gain");
  }
  fs::remove_all(PathFromUtf8(folder));
}

// What the plug-in hears when it asks the host.
TEST(HostPlugin, CallbackAnswersAsAVst24Host) {
  TVstHostPlugin p(CGain, 48000, 256);
  p.Open();
  PVSTEffect e = p.Effect();
  ASSERT_EQ(e->ReservedForHost, &p);
  EXPECT_EQ(HostCallback(e, amVersion, 0, 0, nullptr, 0), 2400);
  EXPECT_EQ(HostCallback(nullptr, amVersion, 0, 0, nullptr, 0), 2400);
  char text[256] = {};
  EXPECT_EQ(HostCallback(e, amGetProductString, 0, 0, text, 0), 1);
  EXPECT_STREQ(text, "vsthost");
  EXPECT_EQ(HostCallback(e, hostop::amGetVendorString, 0, 0, text, 0), 1);
  EXPECT_STREQ(text, "KVX");
  EXPECT_EQ(HostCallback(e, amGetProductString, 0, 0, nullptr, 0), 0);
  EXPECT_EQ(HostCallback(e, amGetSampleRate, 0, 0, nullptr, 0), 48000);
  EXPECT_EQ(HostCallback(e, amGetBlockSize, 0, 0, nullptr, 0), 256);
  p.SetSampleRate(96000);
  p.SetBlockSize(64);
  EXPECT_EQ(HostCallback(e, amGetSampleRate, 0, 0, nullptr, 0), 96000);
  EXPECT_EQ(HostCallback(e, amGetBlockSize, 0, 0, nullptr, 0), 64);
  EXPECT_EQ(HostCallback(e, amAutomate, 1, 0, nullptr, 0.5f), 0);
  EXPECT_EQ(HostCallback(e, amAutomate, 2, 0, nullptr, 0.25f), 0);
  EXPECT_EQ(p.AutomateCount(), 2);
  EXPECT_EQ(HostCallback(e, amIOChanged, 0, 0, nullptr, 0), 1);
  EXPECT_TRUE(p.IOChanged());
  EXPECT_EQ(HostCallback(e, hostop::amGetCurrentProcessLevel, 0, 0, nullptr, 0), 1);
  EXPECT_EQ(HostCallback(e, hostop::amPinConnected, 1, 0, nullptr, 0), 0);  // input 2: connected
  EXPECT_EQ(HostCallback(e, hostop::amPinConnected, 2, 1, nullptr, 0), 1);  // output 3: none
  EXPECT_EQ(HostCallback(e, 9999, 0, 0, nullptr, 0), 0);
  struct TCanDo {
    const char* Text;
    intptr_t Answer;
  } cando[] = {{"acceptIOChanges", 1}, {"startStopProcess", 1}, {"sizeWindow", -1},
               {"sendVstTimeInfo", -1}, {"offline", -1}, {"somethingElse", 0}};
  for (const TCanDo& c : cando) {
    std::vector<char> t(c.Text, c.Text + std::strlen(c.Text) + 1);
    EXPECT_EQ(HostCallback(e, hostop::amCanDo, 0, 0, t.data(), 0), c.Answer) << c.Text;
  }
  EXPECT_EQ(HostCallback(e, hostop::amCanDo, 0, 0, nullptr, 0), 0);
}

TEST(HostPlugin, HelpersReadTheRecordAndTexts) {
  TVstHostPlugin p(CGain);
  p.Open();
  EXPECT_EQ(p.NumParams(), 3);
  EXPECT_EQ(p.NumInputs(), 2);
  EXPECT_TRUE(p.HasFlag(effFlagsCanDoubleReplacing));
  EXPECT_EQ(p.EffectName(), "KVX test gain");
  EXPECT_EQ(p.ParameterName(1), "Mix");
  EXPECT_EQ(p.ParameterDisplay(1), "100.0");
  EXPECT_EQ(p.CanDo("bypass"), 1);
  p.SetProgramName("a name longer than twenty-four bytes");
  EXPECT_EQ(p.ProgramName(), std::string("a name longer than twenty-four bytes").substr(0, 23));
  EXPECT_EQ(FourCharacterText(0x33377400), "'37t\\0'");
  EXPECT_EQ(FourCharacterText(0x56737450), "'VstP'");
  EXPECT_EQ(FlagNames(0x1019), "HasEditor CanMono CanReplacing CanDoubleReplacing");
  EXPECT_EQ(CategoryName(1), "Effect");
  EXPECT_EQ(CategoryName(99), "?");
}

TEST(HostParameters, ParseDisplayNumber) {
  struct TCase {
    const char* Text;
    bool Ok;
    double Value;
    int Decimals;
  } cases[] = {{"80.0", true, 80, 1},   {"-6,02 dB", true, -6.02, 2}, {"16x", true, 16, 0},
               {"  +3", true, 3, 0},    {"1e-3", true, 0.001, 0},     {"0.5%", true, 0.5, 1},
               {"abc", false, 0, 0},    {"-inf", false, 0, 0},        {".", false, 0, 0},
               {"", false, 0, 0},       {"- 5", false, 0, 0},         {"5.", true, 5, 0}};
  for (const TCase& c : cases) {
    double v = -1;
    int d = -1;
    EXPECT_EQ(ParseDisplayNumber(c.Text, v, &d), c.Ok) << c.Text;
    if (!c.Ok) continue;
    EXPECT_DOUBLE_EQ(v, c.Value) << c.Text;
    EXPECT_EQ(d, c.Decimals) << c.Text;
  }
}

// Displayed units to host values: linear through the displayed range, bisection for the dB
// display of the gain, texts for the mode, raw values after @.
TEST(HostParameters, DisplayedValuesMapToHostValues) {
  TVstHostPlugin p(CGain);
  p.Open();
  struct TCase {
    int32_t Index;
    const char* Value;
    const char* Display;
  } cases[] = {{1, "80", "80.0"},   {1, "0", "0.0"},       {1, "33,3", "33.3"},  {1, "100 %", "100.0"},
               {0, "-6", "-6.00"},  {0, "-40", "-40.00"},  {0, "6.02", "6.02"},  {0, "-inf", "-inf"},
               {0, "0 dB", "0.00"}, {2, "half", "Half"},   {2, "CLEAN", "Clean"}};
  for (const TCase& c : cases) {
    const float x = HostValueForDisplay(p, c.Index, c.Value);
    EXPECT_EQ(p.Parameter(c.Index), x) << c.Value;
    EXPECT_EQ(p.ParameterDisplay(c.Index), c.Display) << c.Value;
  }
  // Linear: exactly the host value of the same number written raw.
  EXPECT_EQ(HostValueForDisplay(p, 1, "80"), HostValueForDisplay(p, 1, "@0.8"));
  EXPECT_EQ(HostValueForDisplay(p, 1, "@0.8"), 0.8f);
  // Bisection lands in the middle of what the display rounds to -6.00: near the exact value.
  EXPECT_NEAR(HostValueForDisplay(p, 0, "-6"), 0.5 * std::pow(10.0, -6.0 / 20), 1e-5);

  // A value that cannot be set leaves the parameter as it was.
  const char* const bad[][2] = {{"1", "101"}, {"1", "-1"}, {"0", "7"}, {"0", "abc"}, {"2", "loud"},
                                {"1", "@1.5"}, {"1", "@x"}, {"1", ""}, {"1", "2x4"}, {"2", "on"}};
  for (const auto& b : bad) {
    const int32_t index = std::atoi(b[0]);
    p.SetParameter(index, 0.375f);
    EXPECT_THROW(HostValueForDisplay(p, index, b[1]), EArgumentError) << b[1];
    EXPECT_EQ(p.Parameter(index), 0.375f) << b[1];
  }
}

TEST(HostParameters, SettingsNameParametersIgnoringCase) {
  TVstHostPlugin p(CGain);
  p.Open();
  ApplyParameterSettings(p, {"mix=50", " GAIN =@0.25", "Mode=Half"});
  // "on" and "off" only where the texts do not say otherwise.
  EXPECT_THROW(ApplyParameterSettings(p, {"Mode=on"}), EArgumentError);
  EXPECT_EQ(p.Parameter(1), 0.5f);
  EXPECT_EQ(p.Parameter(0), 0.25f);
  EXPECT_GE(p.Parameter(2), 0.5f);
  EXPECT_EQ(FindParameter(p, "MODE"), 2);
  EXPECT_EQ(FindParameter(p, "Mod"), -1);
  try {
    ApplyParameterSettings(p, {"Drive=80"});
    ADD_FAILURE();
  } catch (const EArgumentError& e) {
    EXPECT_STREQ(e.what(), "unknown parameter 'Drive' (parameters: Gain, Mix, Mode)");
  }
  EXPECT_THROW(ApplyParameterSettings(p, {"Mix"}), EArgumentError);
  EXPECT_THROW(ApplyParameterSettings(p, {"=5"}), EArgumentError);
}
