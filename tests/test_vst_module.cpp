// The module layers in process: construction, host connection, announcements, processing
// dispatch, editor hosting and the end of a module's life.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "support/KVX_TestHost.h"
#include "support/KVX_TestModules.h"

using namespace kvx;
using namespace kvx::test;

// Allocation counting for the process entries: every allocation of the test program passes here.
// The replacements pair malloc with free by design.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
std::atomic<long> GAllocations{0};
}
void* operator new(std::size_t Size) {
  ++GAllocations;
  if (void* p = std::malloc(Size ? Size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Effect = CreateTestModule(Options());
    ASSERT_NE(Effect, nullptr);
    Module = TestModuleOf(Effect);
    ASSERT_NE(Module, nullptr);
  }
  void TearDown() override {
    if (Effect != nullptr) Dispatch(Effect, effClose);
  }
  virtual TTestModuleOptions Options() { return {}; }
  std::vector<std::string> Events() {
    std::vector<std::string> Result;
    for (const std::string& e : Module->Log)
      if (e.rfind("Param", 0) != 0 && e != "Create") Result.push_back(e);
    return Result;
  }

  TTestHost Host;
  PVSTEffect Effect = nullptr;
  TTestModule* Module = nullptr;
};

}  // namespace

TEST(ModuleRecord, VersionAndUniqueIDRules) {
  TVSTModule m;
  struct Case {
    int32_t Major, Minor, Release, Version;
  } Cases[] = {{1, 2, 3, 1203}, {1, 2, 100, 0x10264}, {0, 7, 0, 700}, {1, 0, 0, 1000}};
  for (const Case& c : Cases) {
    m.SetVersionMajor(c.Major);
    m.SetVersionMinor(c.Minor);
    m.SetVersionRelease(c.Release);
    EXPECT_EQ(m.Record().Version, c.Version);
  }
  struct IdCase {
    std::string Text;
    uint32_t Id;
  } Ids[] = {{std::string("37t\0", 4), 0x33377400u}, {"37t", 0x33377400u}, {"ab", 0x61620000u},
             {"KVXt", 0x4B565874u}};
  for (const IdCase& c : Ids) {
    m.SetUniqueID(c.Text);
    EXPECT_EQ(static_cast<uint32_t>(m.Record().UniqueID), c.Id) << c.Text;
  }
  // The defaults of a bare module.
  TVSTModule Bare;
  EXPECT_EQ(static_cast<uint32_t>(Bare.Record().UniqueID), 0x4E6F4566u);
  EXPECT_EQ(Bare.Record().EffectFlags, EffFlagMask(effFlagsCanReplacing));
  EXPECT_EQ(Bare.SampleRate(), 44100.0f);
  EXPECT_EQ(Bare.BlockSize(), 1024);
  EXPECT_EQ(Bare.CurrentProgram(), -1);
}

TEST(ModuleRecord, MissingConfigurationFails) {
  try {
    TVSTModule m("TMissingModule", nullptr);
    FAIL();
  } catch (const EVstError& e) {
    EXPECT_STREQ(e.what(), "Resource TMissingModule not found");
  }
}

TEST(ModuleHost, HostProductIsAskedUntilKnown) {
  TTestHost Host;
  TVSTModule m;
  EXPECT_EQ(m.HostProduct(), "Unknown");  // no host yet: asks nothing
  Host.ProductString = "";
  m.SetAudioMaster(&TTestHost::Callback);
  EXPECT_EQ(Host.Count(amGetProductString), 1);
  EXPECT_EQ(m.HostProduct(), "Unknown");
  EXPECT_EQ(Host.Count(amGetProductString), 2);
  Host.ProductString = "Some DAW";
  EXPECT_EQ(m.HostProduct(), "Some DAW");
  EXPECT_EQ(m.HostProduct(), "Some DAW");
  EXPECT_EQ(Host.Count(amGetProductString), 3);
}

TEST(ModuleHost, ProductStringReadFromAtMost255Bytes) {
  TTestHost Host;
  Host.OverfillProduct = true;
  TVSTModule m;
  m.SetAudioMaster(&TTestHost::Callback);
  EXPECT_EQ(m.HostProduct(), std::string(255, 'x'));
  m.SetTruncateStrings(true);
  TVSTModule t;
  t.SetTruncateStrings(true);
  t.SetAudioMaster(&TTestHost::Callback);
  EXPECT_EQ(t.HostProduct(), std::string(64, 'x'));
}

TEST(ModuleHost, RefusedHostAndFailedCreationFreeTheModule) {
  TTestHost Host;
  const size_t Owned = OwnedModuleCount();
  int Destroyed = TTestModule::Destroyed;
  Host.VersionAnswer = 0;
  EXPECT_EQ(CreateTestModule(), nullptr);
  EXPECT_EQ(TTestModule::Destroyed, ++Destroyed);
  Host.VersionAnswer = 2400;
  TTestModuleOptions Failing;
  Failing.FailInCreate = true;
  EXPECT_EQ(CreateTestModule(Failing), nullptr);
  EXPECT_EQ(TTestModule::Destroyed, ++Destroyed);
  EXPECT_EQ(OwnedModuleCount(), Owned);
}

TEST(ModuleHost, ModulesStillOpenAreFreedByTheOwner) {
  TTestHost Host;
  const int Destroyed = TTestModule::Destroyed;
  const size_t Owned = OwnedModuleCount();
  ASSERT_NE(CreateTestModule(), nullptr);
  ASSERT_NE(CreateTestModule(), nullptr);
  EXPECT_EQ(OwnedModuleCount(), Owned + 2);
  FreeOwnedModules();
  EXPECT_EQ(OwnedModuleCount(), 0u);
  EXPECT_EQ(TTestModule::Destroyed, Destroyed + 2);
}

TEST_F(ModuleTest, CloseRunsTheHandlerAndFreesEverything) {
  const int Destroyed = TTestModule::Destroyed;
  const size_t Owned = OwnedModuleCount();
  int Parent = 1;
  ASSERT_EQ(Dispatch(Effect, effEditOpen, 0, 0, &Parent), 1);
  EXPECT_EQ(TTestWindow::Alive, 1);
  int Closes = 0;
  Module->OnClose = [&](TBasicVSTModule*) { ++Closes; };
  EXPECT_EQ(Dispatch(Effect, effClose), 1);
  Effect = nullptr;
  EXPECT_EQ(Closes, 1);
  EXPECT_EQ(TTestModule::Destroyed, Destroyed + 1);
  EXPECT_EQ(TTestWindow::Alive, 0);
  EXPECT_EQ(OwnedModuleCount(), Owned - 1);
}

TEST_F(ModuleTest, FailingCloseHandlerStillFreesTheModule) {
  const int Destroyed = TTestModule::Destroyed;
  Module->OnClose = [](TBasicVSTModule*) { throw Exception("close failed"); };
  EXPECT_EQ(Dispatch(Effect, effClose), 0);
  Effect = nullptr;
  EXPECT_EQ(TTestModule::Destroyed, Destroyed + 1);
}

TEST_F(ModuleTest, DispatcherEventFollowsEveryOpcode) {
  std::vector<int32_t> Seen;
  Module->OnDispatcher = [&](TBasicVSTModule*, int32_t Opcode) { Seen.push_back(Opcode); };
  EXPECT_EQ(Dispatch(Effect, effGetVendorVersion), 1200);
  EXPECT_EQ(Dispatch(Effect, 80), 0);
  EXPECT_EQ(Dispatch(Effect, -1), 0);
  EXPECT_EQ(Seen, (std::vector<int32_t>{effGetVendorVersion, 80, -1}));
}

TEST_F(ModuleTest, AnnouncementsFireOnlyOnChangeAndInOrder) {
  struct Case {
    int32_t Opcode;
    intptr_t Value;
    float opt;
    intptr_t Answer;
    std::vector<std::string> Events;
  } Cases[] = {
      {effSetSampleRate, 0, 44100, 1, {}},
      {effSetSampleRate, 0, 48000, 1, {"SampleRate 48000"}},
      {effSetSampleRate, 0, 48000, 1, {}},
      {effSetSampleRate, 0, 0, 1, {}},
      {effSetSampleRate, 0, std::numeric_limits<float>::quiet_NaN(), 1, {}},
      {effSetSampleRate, 0, std::numeric_limits<float>::infinity(), 1, {}},
      {effSetSampleRate, 0, 2.0e7f, 1, {}},
      {effSetSampleRate, 0, -96000, 1, {"SampleRate 96000"}},
      {effSetBlockSize, 1024, 0, 0, {}},
      {effSetBlockSize, 0, 0, 0, {}},
      {effSetBlockSize, -5, 0, 0, {}},
      {effSetBlockSize, 256, 0, 0, {"BlockSize 256"}},
      {effSetBlockSizeAndSampleRate, 512, 44100, 1, {"SampleRate 44100", "BlockSize 512"}},
      {effSetBlockSizeAndSampleRate, 512, 44100, 1, {}},
      {effSetBlockSizeAndSampleRate, 0, 0, 1, {}},
      {effMainsChanged, 0, 0, 0, {"Suspend"}},
      {effMainsChanged, 1, 0, 0, {}},
      {effSetBypass, 1, 0, 1, {"SoftBypass 1"}},
      {effSetBypass, 0, 0, 1, {"SoftBypass 0"}},
  };
  for (const Case& c : Cases) {
    Module->Log.clear();
    EXPECT_EQ(Dispatch(Effect, c.Opcode, 0, c.Value, nullptr, c.opt), c.Answer) << c.Opcode;
    EXPECT_EQ(Events(), c.Events) << "opcode " << c.Opcode << " value " << c.Value << " opt " << c.opt;
  }
  EXPECT_EQ(Module->SampleRate(), 44100.0f);
  EXPECT_EQ(Module->BlockSize(), 512);
  // The accumulating path's buffers keep their size whatever block size is announced.
  EXPECT_EQ(Module->ScratchFrames(), TDspVSTModule::CScratchFrames);
  ASSERT_EQ(Host.Count(amWantMidi), 1);
  for (const THostCall& Call : Host.Calls())
    if (Call.Opcode == amWantMidi) {
      EXPECT_EQ(Call.Value, 1);
    }
  Module->OnSoftBypass = nullptr;
  EXPECT_EQ(Dispatch(Effect, effSetBypass, 0, 1), 0);
}

TEST_F(ModuleTest, HostQueriesOfTheSampleRateAndBlockSize) {
  Host.SampleRateAnswer = 0;
  EXPECT_EQ(Module->UpdateSampleRate(), 0.0f);
  EXPECT_EQ(Module->SampleRate(), 44100.0f);
  Host.SampleRateAnswer = 88200;
  EXPECT_EQ(Module->UpdateSampleRate(), 88200.0f);
  Host.BlockSizeAnswer = 64;
  EXPECT_EQ(Module->UpdateBlockSize(), 64);
  EXPECT_EQ(Events(), (std::vector<std::string>{"SampleRate 88200", "BlockSize 64"}));
}

namespace {

struct TBuffers {
  explicit TBuffers(int Frames, float Fill = 0.0f)
      : In0(Frames), In1(Frames), Out0(Frames, Fill), Out1(Frames, Fill) {
    for (int i = 0; i < Frames; ++i) {
      In0[i] = static_cast<float>(i + 1);
      In1[i] = -static_cast<float>(i + 1);
    }
  }
  std::vector<float> In0, In1, Out0, Out1;
  float* Ins[2] = {In0.data(), In1.data()};
  float* Outs[2] = {Out0.data(), Out1.data()};
};

}  // namespace

TEST_F(ModuleTest, ProcessEntriesBeforeOpenLeaveOutputsUntouched) {
  TBuffers b(8, 7.0f);
  Effect->Process32Replacing(Effect, b.Ins, b.Outs, 8);
  Effect->Process(Effect, b.Ins, b.Outs, 8);
  double* In64[2] = {nullptr, nullptr};
  Effect->Process64Replacing(Effect, In64, In64, 8);
  EXPECT_EQ(Module->ProcessCalls, 0);
  for (float v : b.Out0) EXPECT_EQ(v, 7.0f);
}

TEST_F(ModuleTest, ProcessChecksKeepBadCallsFromTheHandler) {
  Dispatch(Effect, effOpen);
  TBuffers b(8);
  float* OneNull[2] = {b.In0.data(), nullptr};
  struct Case {
    float** Inputs;
    float** Outputs;
    int32_t Frames;
  } Cases[] = {{b.Ins, b.Outs, 0}, {b.Ins, b.Outs, -4}, {nullptr, b.Outs, 8}, {b.Ins, nullptr, 8},
               {nullptr, nullptr, 8}, {OneNull, b.Outs, 8}, {b.Ins, OneNull, 8}};
  for (const Case& c : Cases) {
    Effect->Process32Replacing(Effect, c.Inputs, c.Outputs, c.Frames);
    Effect->Process(Effect, c.Inputs, c.Outputs, c.Frames);
  }
  EXPECT_EQ(Module->ProcessCalls, 0);
  Effect->Process32Replacing(Effect, b.Ins, b.Outs, 8);
  EXPECT_EQ(Module->ProcessCalls, 1);
}

TEST_F(ModuleTest, ReplacingPathsAndHandlerSwap) {
  Dispatch(Effect, effOpen);
  Effect->SetParameter(Effect, 0, 0.25f);  // gain 0.5
  TBuffers b(4, 9.0f);
  Effect->Process32Replacing(Effect, b.Ins, b.Outs, 4);
  EXPECT_EQ(b.Out0, (std::vector<float>{0.5f, 1.0f, 1.5f, 2.0f}));
  EXPECT_EQ(b.Out1, (std::vector<float>{-0.5f, -1.0f, -1.5f, -2.0f}));
  Effect->SetParameter(Effect, 1, 1.0f);  // the bypass handler is in force from now on
  Effect->Process32Replacing(Effect, b.Ins, b.Outs, 4);
  EXPECT_EQ(b.Out0, b.In0);
  std::vector<double> In(4, 2.0), Out(4, 0.0);
  double* Ins[2] = {In.data(), In.data()};
  double* Outs[2] = {Out.data(), Out.data()};
  Effect->Process64Replacing(Effect, Ins, Outs, 4);
  EXPECT_EQ(Out, In);
  Effect->SetParameter(Effect, 1, 0.0f);
  Effect->Process64Replacing(Effect, Ins, Outs, 4);
  EXPECT_EQ(Out, (std::vector<double>(4, 1.0)));
}

TEST_F(ModuleTest, AccumulatingPathAddsInPiecesWithoutAllocating) {
  Dispatch(Effect, effOpen);
  Dispatch(Effect, effSetBlockSize, 0, 16);
  Effect->SetParameter(Effect, 0, 0.5f);  // gain 1
  TBuffers b(40, 100.0f);
  const long Before = GAllocations;
  Effect->Process(Effect, b.Ins, b.Outs, 40);
  EXPECT_EQ(GAllocations - Before, 0);
  ASSERT_EQ(Module->ProcessCalls, 3);
  EXPECT_EQ(Module->Frames[0], 16u);
  EXPECT_EQ(Module->Frames[1], 16u);
  EXPECT_EQ(Module->Frames[2], 8u);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(b.Out0[i], 100.0f + static_cast<float>(i + 1));
    EXPECT_EQ(b.Out1[i], 100.0f - static_cast<float>(i + 1));
  }
  // The replacing paths allocate nothing either.
  const long Replacing = GAllocations;
  Effect->Process32Replacing(Effect, b.Ins, b.Outs, 40);
  EXPECT_EQ(GAllocations - Replacing, 0);
}

TEST_F(ModuleTest, AccumulatingHandlerOfItsOwnTakesPrecedence) {
  Dispatch(Effect, effOpen);
  Module->SetOnProcess([](TDspVSTModule*, const PKVXSingleFixedArray*, const PKVXSingleFixedArray* Outputs,
                          uint32_t Frames) {
    for (uint32_t i = 0; i < Frames; ++i) Outputs[0][i] += 1.0f;
  });
  TBuffers b(4, 1.0f);
  Effect->Process(Effect, b.Ins, b.Outs, 4);
  EXPECT_EQ(b.Out0, (std::vector<float>(4, 2.0f)));
  EXPECT_EQ(Module->ProcessCalls, 0);
}

// ---- editor hosting ------------------------------------------------------------------------------

TEST_F(ModuleTest, EditorRectangleBeforeAndAfterOpen) {
  ERect* Rect = nullptr;
  EXPECT_EQ(Dispatch(Effect, effEditGetRect, 0, 0, &Rect), 0);
  ASSERT_EQ(Rect, &Module->EditorRect());
  EXPECT_EQ(Rect->top, 0);
  EXPECT_EQ(Rect->left, 0);
  EXPECT_EQ(Rect->bottom, 32);
  EXPECT_EQ(Rect->right, 64);
  EXPECT_EQ(Dispatch(Effect, effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(Module->EditorForm(), nullptr);
  int Parent = 0;
  ASSERT_EQ(Dispatch(Effect, effEditOpen, 0, 0, &Parent), 1);
  EXPECT_EQ(Dispatch(Effect, effEditGetRect, 0, 0, &Rect), 1);
  EXPECT_EQ(Rect->bottom, 353);
  EXPECT_EQ(Rect->right, 254);
  EXPECT_EQ(Dispatch(Effect, effEditClose), 0);
  EXPECT_EQ(TTestWindow::Alive, 0);
  EXPECT_EQ(Dispatch(Effect, effEditGetRect, 0, 0, &Rect), 0);
  EXPECT_EQ(Dispatch(Effect, effEditGetRect, 0, 0, nullptr), 0);
}

TEST_F(ModuleTest, OpenEmbedsTheWindowAndReopenReusesIt) {
  int Parent = 0;
  ASSERT_EQ(Dispatch(Effect, effEditOpen, 0, 0, &Parent), 1);
  TTopLevelWindow* Window = Module->EditorForm();
  ASSERT_NE(Window, nullptr);
  EXPECT_EQ(static_cast<TTestWindow*>(Window)->Owner, Module);
  auto* Backend = dynamic_cast<THeadlessWindowBackend*>(Window->Backend());
  ASSERT_NE(Backend, nullptr);
  EXPECT_EQ(Backend->Parent(), reinterpret_cast<TNativeWindowHandle>(&Parent));
  EXPECT_TRUE(Backend->Visible());
  EXPECT_EQ(Backend->BorderStyle(), bsNone);
  EXPECT_EQ(Window->Left(), 0);
  EXPECT_EQ(Window->Top(), 0);
  EXPECT_EQ(Window->Width(), 254);
  EXPECT_EQ(Window->Height(), 353);
  EXPECT_EQ(Backend->InvalidateCount(), 1);
  int OtherParent = 0;
  ASSERT_EQ(Dispatch(Effect, effEditOpen, 0, 0, &OtherParent), 1);
  EXPECT_EQ(Module->EditorForm(), Window);
  EXPECT_EQ(TTestWindow::Alive, 1);
  EXPECT_EQ(Backend->Parent(), reinterpret_cast<TNativeWindowHandle>(&OtherParent));
}

TEST_F(ModuleTest, EditorEventsAndKeys) {
  int Parent = 0;
  int Idles = 0;
  Module->OnEditIdle = [&](TBasicVSTModule*) { ++Idles; };
  Dispatch(Effect, effEditIdle);
  EXPECT_EQ(Idles, 0);
  ASSERT_EQ(Dispatch(Effect, effEditOpen, 0, 0, &Parent), 1);
  Effect->SetParameter(Effect, 0, 0.5f);
  EXPECT_TRUE(Module->EditorNeedUpdate());
  Dispatch(Effect, effEditIdle);
  EXPECT_EQ(Idles, 1);
  EXPECT_FALSE(Module->EditorNeedUpdate());
  Dispatch(Effect, effEditIdle);
  EXPECT_EQ(Idles, 1);
  EXPECT_EQ(Dispatch(Effect, effEditKeyDown, 'a', 0), -1);
  bool KeepWindow = true;
  Module->OnEditClose = [&](TBasicVSTModule*, bool& Destroy) { Destroy = !KeepWindow; };
  Dispatch(Effect, effEditClose);
  EXPECT_EQ(TTestWindow::Alive, 1);
  KeepWindow = false;
  Dispatch(Effect, effEditClose);
  EXPECT_EQ(TTestWindow::Alive, 0);
  int Sizes = 0;
  Module->OnEditGetSize = [&](TBasicVSTModule*, int16_t& Width, int16_t& Height) {
    ++Sizes;
    Width = 300;
    Height = 20;
  };
  ERect* Rect = nullptr;
  // A stated size is answered before the window exists.
  EXPECT_EQ(Dispatch(Effect, effEditGetRect, 0, 0, &Rect), 1);
  EXPECT_EQ(Rect->right, 300);
  EXPECT_EQ(Rect->bottom, 20);
  ASSERT_EQ(Dispatch(Effect, effEditOpen, 0, 0, &Parent), 1);
  EXPECT_EQ(Dispatch(Effect, effEditGetRect, 0, 0, &Rect), 1);
  EXPECT_EQ(Rect->right, 300);
  EXPECT_EQ(Rect->bottom, 353);
  EXPECT_EQ(Sizes, 2);
}

TEST_F(ModuleTest, ModuleLevelHandlerRunsForEveryParameterAtOpen) {
  std::vector<int32_t> Seen;
  Module->OnParameterChange = [&](TBasicVSTModule*, const int32_t Index, float&) { Seen.push_back(Index); };
  int Parent = 0;
  ASSERT_EQ(Dispatch(Effect, effEditOpen, 0, 0, &Parent), 1);
  EXPECT_EQ(Seen, (std::vector<int32_t>{0, 1, 2, 3, 4}));
}

namespace {
class NoEditorTest : public ModuleTest {
  TTestModuleOptions Options() override {
    TTestModuleOptions o;
    o.WithEditor = false;
    return o;
  }
};
}  // namespace

TEST_F(NoEditorTest, EditorOpcodesWithoutTheFlag) {
  Module->SetEditorFormClass(&TTestWindow::Create);
  int Parent = 0;
  EXPECT_EQ(Dispatch(Effect, effEditOpen, 0, 0, &Parent), 0);
  EXPECT_EQ(TTestWindow::Alive, 0);
  EXPECT_EQ(Dispatch(Effect, effEditClose), 0);
}

TEST_F(ModuleTest, CanDoAnswersFollowTheCanDoSet) {
  auto CanDo = [&](const char* Text) { return Dispatch(Effect, effCanDo, 0, 0, const_cast<char*>(Text)); };
  Module->SetCanDos(TVstCanDos{vcdPlugAsSend, vcd2in2out});
  EXPECT_EQ(CanDo("plugAsSend"), 1);
  EXPECT_EQ(CanDo("bypass"), -1);
  EXPECT_EQ(CanDo("hasCockosExtensions"), 0);
  EXPECT_EQ(CanDo("noSuchThing"), 0);
  std::vector<std::string> Asked;
  Module->OnCanDo = [&](TBasicVSTModule*, const std::string& Text) { Asked.push_back(Text); };
  CanDo("2in2out");
  EXPECT_EQ(Asked, (std::vector<std::string>{"2in2out"}));
  // Without the Cockos member the vendor-specific display is not served.
  char Buffer[32] = "untouched";
  EXPECT_EQ(Dispatch(Effect, effVendorSpecific, 7, 0, Buffer, 0.5f), 0);
  EXPECT_STREQ(Buffer, "untouched");
  Module->OnVendorSpecific = [](TBasicVSTModule*, int32_t Index, intptr_t, void*, float) -> intptr_t {
    return Index == 42 ? 17 : 0;
  };
  EXPECT_EQ(Dispatch(Effect, effVendorSpecific, 42, 0, nullptr, 0), 17);
  // An empty product name falls back to the effect name.
  Dispatch(Effect, effGetProductString, 0, 0, Buffer);
  EXPECT_STREQ(Buffer, "Test Module");
}
