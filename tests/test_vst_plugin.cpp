// The plug-in as a host sees it: the library loaded as a host loads it and driven through its
// record.
#include <gtest/gtest.h>

#include <cmath>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/KVX_System.h"
#include "support/KVX_TestHost.h"

using namespace kvx;
using namespace kvx::test;

namespace {

const std::string CPluginPath = KVX_BUILD_DIR "/ub37t" KVX_MODULE_SUFFIX;

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Library.Loaded()) << Library.Error();
    ASSERT_NE(Library.Entry(), nullptr);
    Effect = Library.Entry()(&TTestHost::Callback);
    ASSERT_NE(Effect, nullptr);
  }
  void TearDown() override {
    if (Effect != nullptr) {
      EXPECT_EQ(Dispatch(Effect, effClose), 1);
    }
  }
  std::string Text(int32_t Opcode, int32_t Index = 0) {
    char Buffer[256];
    std::memset(Buffer, '#', sizeof(Buffer));
    Dispatch(Effect, Opcode, Index, 0, Buffer);
    return std::string(Buffer, strnlen(Buffer, sizeof(Buffer)));
  }

  TTestHost Host;
  TPluginLibrary Library{CPluginPath};
  PVSTEffect Effect = nullptr;
};

}  // namespace

TEST_F(PluginTest, RecordAsAHostReadsIt) {
  EXPECT_EQ(reinterpret_cast<void*>(Library.Entry()), reinterpret_cast<void*>(Library.MainEntry()));
  EXPECT_EQ(Effect->Magic, 0x56737450);
  EXPECT_EQ(Effect->numParams, 10);
  EXPECT_EQ(Effect->numPrograms, 1);
  EXPECT_EQ(Effect->numInputs, 2);
  EXPECT_EQ(Effect->numOutputs, 2);
  // HasEditor where the platform can show it, CanMono, CanReplacing, CanDoubleReplacing.
  EXPECT_EQ(Effect->EffectFlags, NativeEditorAvailable() ? 0x1019 : 0x1018);
  EXPECT_EQ(static_cast<uint32_t>(Effect->UniqueID), 0x33377400u);
  EXPECT_EQ(Effect->Version, 700);
  EXPECT_EQ(Effect->IORatio, 1.0f);
  EXPECT_EQ(Effect->InitialDelay, 0);
  EXPECT_EQ(Effect->ReservedForHost, nullptr);
  EXPECT_EQ(Effect->AudioEffectPtr, nullptr);
  EXPECT_NE(Effect->User, nullptr);
  for (uint8_t b : Effect->Future) EXPECT_EQ(b, 0);
  // The host was asked for its version and product, and nothing was automated while the
  // defaults were set.
  const auto Calls = Host.Calls();
  ASSERT_GE(Calls.size(), 2u);
  EXPECT_EQ(Calls[0].Opcode, amVersion);
  EXPECT_EQ(Calls[1].Opcode, amGetProductString);
  EXPECT_EQ(Host.Count(amAutomate), 0);
}

TEST_F(PluginTest, DispatcherAnswersForThisEffect) {
  char Buffer[256] = {};
  TVstPatchChunkInfo Info{};
  Info.PluginUniqueID = Effect->UniqueID;
  TVstPatchChunkInfo Other{};
  Other.PluginUniqueID = 0x41424344;
  struct Case {
    int32_t Opcode;
    int32_t Index;
    intptr_t Value;
    void* ptr;
    intptr_t Answer;
  } Cases[] = {
      {effGetVu, 0, 0, nullptr, 0},
      {effIdentify, 0, 0, nullptr, 0x4E764566},
      {effProcessEvents, 0, 0, Buffer, 1},
      {effGetNumProgramCategories, 0, 0, nullptr, 1},
      {effConnectInput, 0, 1, nullptr, 1},
      {effConnectOutput, 1, 0, nullptr, 1},
      {effGetPlugCategory, 0, 0, nullptr, vpcEffect},
      {effProcessVarIo, 0, 0, Buffer, 0},
      {effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(Buffer), Buffer + 8, 1},
      {effSetSpeakerArrangement, 0, 0, Buffer, 0},
      {effGetVendorVersion, 0, 0, nullptr, 700},
      {effGetTailSize, 0, 0, nullptr, 0},
      {effKeysRequired, 0, 0, nullptr, 1},
      {effGetVstVersion, 0, 0, nullptr, 2400},
      {effGetCurrentMidiProgram, 0, 0, nullptr, -1},
      {effShellGetNextPlugin, 0, 0, Buffer, 0},
      {effStartProcess, 0, 0, nullptr, 0},
      {effStopProcess, 0, 0, nullptr, 0},
      {effSetTotalSampleToProcess, 0, 4096, nullptr, 4096},
      {effSetPanLaw, 0, plEqualPower, nullptr, 0},
      {effSetBypass, 0, 1, nullptr, 1},
      {effSetProcessPrecision, 0, pp64, nullptr, 1},
      {effSetProcessPrecision, 0, pp32, nullptr, 1},
      {effGetProgram, 0, 0, nullptr, 0},
      {effGetProgramNameIndexed, 0, 0, Buffer, 1},
      {effGetProgramNameIndexed, 1, 0, Buffer, 0},
      {effCanBeAutomated, 0, 0, nullptr, 1},
      {effCanBeAutomated, 10, 0, nullptr, 1},
      {effGetParameterProperties, 0, 0, Buffer, 0},
      {effString2Parameter, 0, 0, const_cast<char*>("50"), 0},
      {effBeginLoadProgram, 0, 0, &Info, 1},
      {effBeginLoadProgram, 0, 0, &Other, -1},
      {effBeginLoadBank, 0, 0, &Info, 1},
      {effBeginSetProgram, 0, 0, nullptr, 0},
      {effEndSetProgram, 0, 0, nullptr, 0},
      {effEditKeyDown, 'a', 0, nullptr, -1},
      {effEditKeyUp, 'a', 0, nullptr, -1},
      {effSetEditKnobMode, 0, 2, nullptr, 0},
      {effGetChunk, 0, 0, Buffer, 0},
      {effSetChunk, 0, 4, Buffer, 0},
  };
  for (const Case& c : Cases)
    EXPECT_EQ(Dispatch(Effect, c.Opcode, c.Index, c.Value, c.ptr), c.Answer) << "opcode " << c.Opcode;
  const int32_t Inert[] = {effCopyProgram,     effGetCurrentPosition,  effGetDestinationBuffer,
                           effOfflineNotify,   effOfflinePrepare,      effOfflineRun,
                           effGetErrorText,    effIdle,                effGetIcon,
                           effSetViewPosition, effGetMidiProgramName,  effGetMidiProgramCategory,
                           effHasMidiProgramsChanged, effGetMidiKeyName, effGetSpeakerArrangement,
                           effGetNumMidiInputChannels, effGetNumMidiOutputChannels, effEditDraw,
                           effEditMouse,       effEditKey,             effEditTop,
                           effEditSleep};
  for (int32_t Opcode : Inert) EXPECT_EQ(Dispatch(Effect, Opcode, 0, 0, Buffer), 0) << "opcode " << Opcode;
}

TEST_F(PluginTest, NamesAndParameterTexts) {
  EXPECT_EQ(Text(effGetEffectName), "KVX ub37t v0.7");
  EXPECT_EQ(Text(effGetVendorString), "KVX");
  EXPECT_EQ(Text(effGetProductString), "KVX ub37t v0.7");
  EXPECT_EQ(Text(effGetProgramName), "");
  const char* Names[] = {"Drive", "Tone", "Level", "Bypass", "Stereo", "Symmetric", "Oversampling",
                         "Mode", "Input", "Output"};
  const char* Labels[] = {"%", "dB", "%", "On/Off", "On/Off", "On/Off", "1x/8x/16x", "On/Off",
                          "dB *0,1", "dB *0,1"};
  const char* Displays[] = {"100", "0", "0", "0", "0", "1", "1", "0", "0", "0"};
  const float HostValues[] = {1.0f, 0.5f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.5f, 0.5f};
  for (int32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(Text(effGetParamName, i), Names[i]);
    EXPECT_EQ(Text(effGetParamLabel, i), Labels[i]);
    EXPECT_EQ(Text(effGetParamDisplay, i), Displays[i]) << i;
    EXPECT_FLOAT_EQ(Effect->GetParameter(Effect, i), HostValues[i]) << i;
  }
  EXPECT_EQ(Text(effGetParamName, 10), "");
}

TEST_F(PluginTest, CanDoAnswers) {
  // What the effect does answers 1; every other text of the table answers -1 ("cannot").
  const std::set<std::string> Does = {"plugAsChannelInsert", "plugAsSend", "2in2out", "bypass",
                                      "conformsToWindowRules"};
  for (const char* Text : CVstCanDoTexts) {
    const intptr_t Expected = std::strcmp(Text, "hasCockosExtensions") == 0
                                  ? static_cast<intptr_t>(static_cast<int32_t>(0xBEEF0000u))
                                  : Does.count(Text) ? 1 : -1;
    EXPECT_EQ(Dispatch(Effect, effCanDo, 0, 0, const_cast<char*>(Text)), Expected) << Text;
  }
  EXPECT_EQ(static_cast<uint64_t>(Dispatch(Effect, effCanDo, 0, 0, const_cast<char*>("hasCockosExtensions"))),
            0xFFFFFFFFBEEF0000ull);
  struct Case {
    const char* Text;
    intptr_t Answer;
  } Cases[] = {{"bypass", 1}, {"Bypass", 0}, {"", 0}, {"receiveVstEvents ", 0}, {"2in2out", 1}};
  for (const Case& c : Cases)
    EXPECT_EQ(Dispatch(Effect, effCanDo, 0, 0, const_cast<char*>(c.Text)), c.Answer) << c.Text;
  EXPECT_EQ(Dispatch(Effect, effCanDo, 0, 0, nullptr), 0);
}

TEST_F(PluginTest, PinProperties) {
  TVstPinProperties Pin;
  std::memset(&Pin, 0xEE, sizeof(Pin));
  EXPECT_EQ(Dispatch(Effect, effGetInputProperties, 1, 0, &Pin), 1);
  EXPECT_STREQ(Pin.Caption, "Input #2");
  EXPECT_STREQ(Pin.ShortLabel, "In2");
  EXPECT_EQ(Pin.ArrangementType, 1);
  // Only the low byte of the flags is written.
  EXPECT_EQ(static_cast<uint32_t>(Pin.Flags), 0xEEEEEE03u);
  EXPECT_EQ(Dispatch(Effect, effGetOutputProperties, 0, 0, &Pin), 1);
  EXPECT_STREQ(Pin.Caption, "Output #1");
  EXPECT_STREQ(Pin.ShortLabel, "Out1");
  std::memset(&Pin, 0, sizeof(Pin));
  EXPECT_EQ(Dispatch(Effect, effGetInputProperties, 2, 0, &Pin), 0);
  EXPECT_EQ(Pin.Caption[0], 0);
  EXPECT_EQ(Dispatch(Effect, effGetOutputProperties, -1, 0, &Pin), 0);
  EXPECT_EQ(Dispatch(Effect, effGetOutputProperties, 0, 0, nullptr), 0);
}

TEST_F(PluginTest, CockosVendorExtension) {
  char Buffer[64];
  EXPECT_EQ(Dispatch(Effect, effVendorSpecific, 7, 0, Buffer, 0.5f), 0xBEEF);
  EXPECT_STREQ(Buffer, "0.5%");
  EXPECT_EQ(Dispatch(Effect, effVendorSpecific, 7, 8, Buffer, 0.123456f), 0xBEEF);
  EXPECT_STREQ(Buffer, "0.12346dB *0,1");
  std::strcpy(Buffer, "untouched");
  EXPECT_EQ(Dispatch(Effect, effVendorSpecific, 7, 10, Buffer, 0.5f), 0);
  EXPECT_EQ(Dispatch(Effect, effVendorSpecific, 7, -1, Buffer, 0.5f), 0);
  EXPECT_EQ(Dispatch(Effect, effVendorSpecific, 7, 0, nullptr, 0.5f), 0);
  EXPECT_STREQ(Buffer, "untouched");
  unsigned char Range[8];
  std::memset(Range, 0xAA, sizeof(Range));
  EXPECT_EQ(Dispatch(Effect, effVendorSpecific, static_cast<int32_t>(0xDEADBEF0u), 3, Range), 0xBEEF);
  int32_t Low;
  float High;
  std::memcpy(&Low, Range, 4);
  std::memcpy(&High, Range + 4, 4);
  EXPECT_EQ(Low, 0);
  EXPECT_EQ(High, 1.0f);
  EXPECT_EQ(Dispatch(Effect, effVendorSpecific, 8, 0, Buffer, 0.5f), 0);
}

TEST_F(PluginTest, HostParameterChangesAreNotEchoed) {
  Host.Clear();
  Effect->SetParameter(Effect, 1, 0.25f);
  Effect->SetParameter(Effect, 3, 0.5f);
  EXPECT_FLOAT_EQ(Effect->GetParameter(Effect, 1), 0.25f);
  EXPECT_EQ(Text(effGetParamDisplay, 3), "0");
  EXPECT_EQ(Host.Count(amAutomate), 0);
  // effString2Parameter without a parser answers 0 and re-sends the current value.
  EXPECT_EQ(Dispatch(Effect, effString2Parameter, 0, 0, const_cast<char*>("20")), 0);
  EXPECT_EQ(Text(effGetParamDisplay, 0), "100");
  ASSERT_EQ(Host.Count(amAutomate), 1);
  EXPECT_EQ(Host.Calls().back().Index, 0);
  EXPECT_EQ(Host.Calls().back().opt, 1.0f);
}

TEST_F(PluginTest, ProgramName) {
  const std::string Sixty(60, 'p');
  EXPECT_EQ(Dispatch(Effect, effSetProgramName, 0, 0, const_cast<char*>(Sixty.c_str())), 0);
  char Buffer[64];
  std::memset(Buffer, '#', sizeof(Buffer));
  Dispatch(Effect, effGetProgramName, 0, 0, Buffer);
  // A host's program-name buffer holds 24 bytes: 23 characters and the terminator.
  EXPECT_EQ(std::string(Buffer), std::string(23, 'p'));
  EXPECT_EQ(Buffer[24], '#');
  EXPECT_EQ(Host.Count(amUpdateDisplay), 0);
}

TEST_F(PluginTest, EditorSizeIsStatedBeforeOpening) {
  // Hosts that size their window first see the whole face; without a parent nothing opens.
  ERect* Rect = nullptr;
  EXPECT_EQ(Dispatch(Effect, effEditGetRect, 0, 0, &Rect), 1);
  ASSERT_NE(Rect, nullptr);
  EXPECT_EQ(Rect->bottom, 353);
  EXPECT_EQ(Rect->right, 254);
  EXPECT_EQ(Dispatch(Effect, effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(Dispatch(Effect, effEditClose), 0);
  EXPECT_EQ(Dispatch(Effect, effEditIdle), 0);
  EXPECT_EQ(Dispatch(Effect, effCanDo, 0, 0, const_cast<char*>("conformsToWindowRules")), 1);
}

TEST_F(PluginTest, BadInputAnswersSafely) {
  char Buffer[64] = {};
  for (int32_t Opcode : {80, -1, 1000, INT32_MIN})
    EXPECT_EQ(Dispatch(Effect, Opcode, 0, 0, Buffer), 0) << Opcode;
  for (int32_t Opcode : {effGetEffectName, effGetVendorString, effGetProductString, effGetParamName,
                         effGetParamLabel, effGetParamDisplay, effGetProgramName, effSetProgramName,
                         effEditGetRect, effCanDo, effString2Parameter, effBeginLoadBank,
                         effBeginLoadProgram, effGetInputProperties, effGetChunk, effSetChunk,
                         effGetProgramNameIndexed, effVendorSpecific})
    EXPECT_EQ(Dispatch(Effect, Opcode, 0, 0, nullptr), 0) << Opcode;
  EXPECT_EQ(Dispatch(Effect, effString2Parameter, 10, 0, const_cast<char*>("1")), 0);
  EXPECT_EQ(Dispatch(Effect, effString2Parameter, -1, 0, const_cast<char*>("1")), 0);
  EXPECT_EQ(Effect->GetParameter(Effect, 10), 0.0f);
  EXPECT_EQ(Effect->GetParameter(Effect, -1), 0.0f);
  Effect->SetParameter(Effect, 10, 0.5f);
  Effect->SetParameter(Effect, -7, 0.5f);
  Effect->SetParameter(Effect, 0, std::nanf(""));
  EXPECT_EQ(Effect->GetParameter(Effect, 0), 1.0f);
  Dispatch(Effect, effSetProgram, 0, 5);
  Dispatch(Effect, effSetProgram, 0, -1);
  EXPECT_EQ(Dispatch(Effect, effGetProgram), 0);
  // Entries called without a record, or with a record whose User was cleared.
  EXPECT_EQ(Effect->Dispatcher(nullptr, effGetVendorVersion, 0, 0, nullptr, 0), 0);
  EXPECT_EQ(Effect->GetParameter(nullptr, 0), 0.0f);
  Effect->SetParameter(nullptr, 0, 0.5f);
  float In[4] = {1, 2, 3, 4}, Out[4] = {};
  float* Ins[2] = {In, In};
  float* Outs[2] = {Out, Out};
  Effect->Process32Replacing(nullptr, Ins, Outs, 4);
  void* User = Effect->User;
  Effect->User = nullptr;
  EXPECT_EQ(Dispatch(Effect, effGetVendorVersion), 0);
  EXPECT_EQ(Dispatch(Effect, effClose), 0);
  EXPECT_EQ(Effect->GetParameter(Effect, 0), 0.0f);
  Effect->SetParameter(Effect, 0, 0.0f);
  Effect->Process32Replacing(Effect, Ins, Outs, 4);
  Effect->User = Buffer;  // not the module behind the record
  EXPECT_EQ(Dispatch(Effect, effGetVendorVersion), 0);
  Effect->User = User;
  EXPECT_EQ(Dispatch(Effect, effGetVendorVersion), 700);
  EXPECT_EQ(Effect->GetParameter(Effect, 0), 1.0f);
  for (float v : Out) EXPECT_EQ(v, 0.0f);
}

TEST(PluginEntry, HostRefusingVersionGetsNoRecord) {
  TTestHost Host;
  Host.VersionAnswer = 0;
  TPluginLibrary Library(CPluginPath);
  ASSERT_TRUE(Library.Loaded()) << Library.Error();
  EXPECT_EQ(Library.Entry()(&TTestHost::Callback), nullptr);
  EXPECT_EQ(Library.Entry()(nullptr), nullptr);
}

// Display texts follow the decimal separator of the user's locale, read from the environment
// when the module is created; the process's own locale stays as it is.
TEST(PluginLocale, DisplayTextsInPointAndCommaLocales) {
  struct Case {
    const char* Locale;
    const char* Tone;
    const char* Cockos;
  } Cases[] = {{"C", "-7.5", "0.25dB"}, {"en_US.UTF-8", "-7.5", "0.25dB"},
               {"de_DE.UTF-8", "-7,5", "0,25dB"}};
  TPluginLibrary Library(CPluginPath);
  ASSERT_TRUE(Library.Loaded()) << Library.Error();
  for (const Case& c : Cases) {
    TScopedEnv All("LC_ALL", c.Locale);
    TTestHost Host;
    PVSTEffect Effect = Library.Entry()(&TTestHost::Callback);
    ASSERT_NE(Effect, nullptr);
    Effect->SetParameter(Effect, 1, 0.25f);
    char Buffer[64] = {};
    Dispatch(Effect, effGetParamDisplay, 1, 0, Buffer);
    EXPECT_STREQ(Buffer, c.Tone) << c.Locale;
    Dispatch(Effect, effVendorSpecific, 7, 1, Buffer, 0.25f);
    EXPECT_STREQ(Buffer, c.Cockos) << c.Locale;
    EXPECT_EQ(Dispatch(Effect, effClose), 1);
  }
  EXPECT_STREQ(std::localeconv()->decimal_point, ".");
}

