// The hand-over of editor updates between threads: on the editor's thread an update runs at once,
// on any other thread it only marks the parameter, and the editor applies the marks at its next
// pump. ThreadSanitizer runs this suite: nothing of the view may be touched off its thread, and a
// close racing the audio thread's marks must be safe. AddressSanitizer runs it too: 50 open and
// close cycles of the real editor under that load leak nothing.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "editor/GUI.h"
#include "effect/Process.h"
#include "gui/KVX_GuiSlider.h"
#include "gui/KVX_GuiStitchedButton.h"
#include "gui/KVX_GuiStitchedDial.h"
#include "gui/KVX_GuiStitchedSwitch.h"
#include "platform/KVX_ExtCtrls.h"
#include "platform/KVX_HeadlessBackend.h"
#include "support/KVX_TestHost.h"
#include "ub37t/KVX_Ub37t.h"

using namespace kvx;
using kvx::test::Dispatch;

namespace {

// A view that shows what the module holds, as the editor window does, and notes on which
// thread every update ran. Plain fields: ThreadSanitizer reports any access off the view's
// thread.
class TRecordingView : public TProcessEditorView {
 public:
  explicit TRecordingView(TProcessModule& Module) : FModule(Module) {}

  void UpdateDrive() override { Show(0); }
  void UpdateTone() override { Show(1); }
  void UpdateLevel() override { Show(2); }
  void UpdateLED() override { Show(3); }
  void UpdateStereoMono() override { Show(4); }
  void UpdateSymmetric() override { Show(5); }
  void UpdateOversampling() override { Show(6); }
  void UpdateMode() override { Show(7); }
  void UpdateInput() override { Show(8); }
  void UpdateOutput() override { Show(9); }

  // Every parameter as the module holds it now.
  void ShowAll() {
    for (int32_t i = 0; i < 10; ++i) Shown[i] = FModule.GetParameter(i);
  }

  std::array<float, 10> Shown{};
  std::array<int, 10> Calls{};
  std::vector<int32_t> Order;
  int CallsOffThread = 0;
  std::thread::id Thread = std::this_thread::get_id();

 private:
  void Show(int32_t Index) {
    if (std::this_thread::get_id() != Thread) ++CallsOffThread;
    Shown[Index] = FModule.GetParameter(Index);
    ++Calls[Index];
    Order.push_back(Index);
  }
  TProcessModule& FModule;
};

class EditorHandOver : public ::testing::Test {
 protected:
  void SetUp() override {
    Effect = InstantiateModule(&kvx::test::QuietHostCallback, ModuleClass<TProcessModule>);
    ASSERT_NE(Effect, nullptr);
    Module = static_cast<TProcessModule*>(Effect->User);
    Dispatch(Effect, effOpen);
  }
  void TearDown() override {
    if (Effect) Dispatch(Effect, effClose);
  }
  TProcessEditorLink& Link() { return Module->EditorLink(); }

  PVSTEffect Effect = nullptr;
  TProcessModule* Module = nullptr;
};

}  // namespace

TEST_F(EditorHandOver, OnTheEditorThreadAnUpdateRunsAtOnce) {
  TRecordingView View(*Module);
  Link().Attach(&View);
  Effect->SetParameter(Effect, 0, 0.25f);  // the host, on the editor's thread
  Module->SetParameter(9, -40);            // the editor's own road
  EXPECT_EQ(View.Calls[0], 1);
  EXPECT_FLOAT_EQ(View.Shown[0], 25.0f);
  EXPECT_EQ(View.Calls[9], 1);
  EXPECT_FLOAT_EQ(View.Shown[9], -40.0f);
  EXPECT_EQ(Link().Marked(), 0u);
  EXPECT_EQ(Link().ApplyMarked(), 0);
  Link().Detach(&View);
}

TEST_F(EditorHandOver, OffTheEditorThreadAChangeOnlyMarksUntilThePump) {
  TRecordingView View(*Module);
  Link().Attach(&View);
  std::thread Other([&] {
    Effect->SetParameter(Effect, 8, 0.75f);  // Input 100
    Effect->SetParameter(Effect, 1, 1.0f);   // Tone 15
    Effect->SetParameter(Effect, 8, 0.0f);   // Input -200: the latest value wins
    Effect->SetParameter(Effect, 6, 0.2f);   // Oversampling 4, stored as 8
  });
  Other.join();
  EXPECT_EQ(View.Order.size(), 0u) << "nothing may reach the view off its thread";
  EXPECT_EQ(Link().Marked(), (1u << 1) | (1u << 6) | (1u << 8));

  // The pump applies each marked parameter once, in index order, with the module's values.
  EXPECT_EQ(Link().ApplyMarked(), 3);
  EXPECT_EQ(View.Order, (std::vector<int32_t>{1, 6, 8}));
  EXPECT_FLOAT_EQ(View.Shown[1], 15.0f);
  EXPECT_FLOAT_EQ(View.Shown[6], 8.0f);
  EXPECT_FLOAT_EQ(View.Shown[8], -200.0f);
  EXPECT_EQ(Link().Marked(), 0u);
  EXPECT_EQ(Link().ApplyMarked(), 0);

  // Another thread may not apply the marks itself.
  std::thread([&] { Effect->SetParameter(Effect, 2, 0.5f); }).join();
  int32_t Applied = -1;
  std::thread([&] { Applied = Link().ApplyMarked(); }).join();
  EXPECT_EQ(Applied, 0);
  EXPECT_EQ(Link().Marked(), 1u << 2);
  Link().Detach(&View);
}

TEST_F(EditorHandOver, MarksAreClearedAtCloseAndIgnoredWithoutAView) {
  TRecordingView View(*Module);
  // Without a view nothing is marked.
  std::thread([&] { Effect->SetParameter(Effect, 0, 0.1f); }).join();
  EXPECT_EQ(Link().Marked(), 0u);

  Link().Attach(&View);
  std::thread([&] { Effect->SetParameter(Effect, 0, 0.2f); }).join();
  EXPECT_NE(Link().Marked(), 0u);
  TRecordingView Stranger(*Module);
  Link().Detach(&Stranger);  // not the attached view: changes nothing
  EXPECT_TRUE(Link().Attached());
  Link().Detach(&View);
  EXPECT_FALSE(Link().Attached());
  EXPECT_EQ(Link().Marked(), 0u);
  std::thread([&] { Effect->SetParameter(Effect, 0, 0.3f); }).join();
  Effect->SetParameter(Effect, 0, 0.4f);
  EXPECT_EQ(Link().Marked(), 0u);
  EXPECT_EQ(View.Order.size(), 0u);
}

// A window whose freeing a host deferred past its module's end must not reach the module's link.
TEST(EditorLink, AViewKnowsItsLinkWhileBothLive) {
  struct TSilentView : TProcessEditorView {
    void UpdateDrive() override {}
    void UpdateTone() override {}
    void UpdateLevel() override {}
    void UpdateLED() override {}
    void UpdateStereoMono() override {}
    void UpdateSymmetric() override {}
    void UpdateOversampling() override {}
    void UpdateMode() override {}
    void UpdateInput() override {}
    void UpdateOutput() override {}
  } First, Second;
  auto Link = std::make_unique<TProcessEditorLink>();
  Link->Attach(&First);
  EXPECT_EQ(First.EditorLink(), Link.get());
  Link->Attach(&Second);  // a new view replaces the old one
  EXPECT_EQ(First.EditorLink(), nullptr);
  EXPECT_EQ(Second.EditorLink(), Link.get());
  Link.reset();
  EXPECT_EQ(Second.EditorLink(), nullptr);
}

// One thread processes audio and automates every parameter; the editor's thread pumps, makes
// its own changes and opens and closes its view again and again.
TEST_F(EditorHandOver, AudioThreadAutomationWhileTheEditorPumpsAndCloses) {
  Dispatch(Effect, effSetSampleRate, 0, 0, nullptr, 44100);
  Dispatch(Effect, effSetBlockSize, 0, 128);
  Dispatch(Effect, effMainsChanged, 0, 1);

  std::atomic<bool> Done{false};
  std::atomic<long> Blocks{0};
  std::thread Audio([&] {
    std::vector<float> L(128, 0.25f), R(128, -0.25f), O0(128), O1(128);
    float* In[2] = {L.data(), R.data()};
    float* Out[2] = {O0.data(), O1.data()};
    long n = 0;
    while (!Done.load() || n < 500) {
      Effect->Process32Replacing(Effect, In, Out, 128);
      for (int32_t p = 0; p < 10; ++p)
        Effect->SetParameter(Effect, p, static_cast<float>((n * 3 + p * 7) % 13) / 12.0f);
      ++n;
      Blocks.store(n);
    }
  });

  auto View = std::make_unique<TRecordingView>(*Module);
  Link().Attach(View.get());
  View->ShowAll();
  int Cycles = 0;
  for (int Round = 0; Round < 400 || Blocks.load() < 2000; ++Round) {
    Link().ApplyMarked();
    Module->SetParameter(Round % 10, static_cast<float>(Round % 3));
    if (Round % 40 == 39) {
      // A close racing the audio thread's marks, then a new view brought up to date.
      EXPECT_EQ(View->CallsOffThread, 0);
      Link().Detach(View.get());
      View = std::make_unique<TRecordingView>(*Module);
      Link().Attach(View.get());
      View->ShowAll();
      ++Cycles;
    }
  }
  Done = true;
  Audio.join();
  EXPECT_GE(Cycles, 10);

  // After the last pump the view shows every parameter's current value.
  Link().ApplyMarked();
  EXPECT_EQ(View->CallsOffThread, 0);
  for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(View->Shown[i], Module->GetParameter(i)) << "parameter " << i;
  Link().Detach(View.get());
}

// The real editor, headless: one thread processes audio and automates every parameter while
// the editor's thread pumps, receives clicks and drags, and closes and opens the editor 50 times.
// At the end the open editor shows every parameter's current value.
TEST(EditorUnderLoad, AutomationClicksAndFiftyOpenCloseCycles) {
  PVSTEffect Effect = InstantiateModule(&kvx::test::QuietHostCallback, &Ub37tModuleClass);
  ASSERT_NE(Effect, nullptr);
  auto* Module = static_cast<TProcessModule*>(Effect->User);
  Dispatch(Effect, effOpen);
  Dispatch(Effect, effSetSampleRate, 0, 0, nullptr, 44100);
  Dispatch(Effect, effSetBlockSize, 0, 64);
  Dispatch(Effect, effMainsChanged, 0, 1);

  std::atomic<bool> Done{false};
  std::atomic<long> Blocks{0};
  std::thread Audio([&] {
    std::vector<float> L(64, 0.25f), R(64, -0.25f), O0(64), O1(64);
    float* In[2] = {L.data(), R.data()};
    float* Out[2] = {O0.data(), O1.data()};
    long n = 0;
    while (!Done.load()) {
      Effect->Process32Replacing(Effect, In, Out, 64);
      Effect->SetParameter(Effect, static_cast<int32_t>(n % 10), static_cast<float>((n * 7) % 11) / 10.0f);
      Blocks.store(++n);
    }
  });

  void* const Parent = reinterpret_cast<void*>(intptr_t{0x4711});
  TWndGUI* Window = nullptr;
  for (int Cycle = 0; Cycle < 50; ++Cycle) {
    ASSERT_EQ(Dispatch(Effect, effEditOpen, 0, 0, Parent), 1);
    Window = dynamic_cast<TWndGUI*>(Module->EditorForm());
    ASSERT_NE(Window, nullptr);
    auto& Backend = static_cast<THeadlessWindowBackend&>(*Window->Backend());
    const long Start = Blocks.load();
    for (int Round = 0; Round < 4 || Blocks.load() < Start + 4; ++Round) {
      // A drag on a knob, a click on the footswitch, the faces flipped now and then.
      const TPoint Knob = Window->DialTone->ClientToParent(TPoint{29, 29}, Window);
      const TPoint Button = Window->ButtonBypass->ClientToParent(TPoint{47, 47}, Window);
      Backend.InjectMouseDown(Knob.X, Knob.Y);
      Backend.InjectMouseMove(Knob.X, Knob.Y - 8 + Round % 16);
      Backend.InjectMouseUp(Knob.X, Knob.Y);
      Backend.InjectMouseDown(Button.X, Button.Y);
      Backend.InjectMouseUp(Button.X, Button.Y);
      if (Round % 5 == 4) Window->UpdateVisibility();
      Dispatch(Effect, effEditIdle);
    }
    if (Cycle < 49) Dispatch(Effect, effEditClose);
  }
  Done = true;
  Audio.join();

  // The last pump applies what the audio thread marked last.
  Dispatch(Effect, effEditIdle);
  EXPECT_EQ(Window->DialDrive->Value(), Module->GetParameter(0));
  EXPECT_EQ(Window->DialTone->Value(), Module->GetParameter(1));
  EXPECT_EQ(Window->DialLevel->Value(), Module->GetParameter(2));
  EXPECT_EQ(Window->LEDOff->Visible(), Module->Bypass());
  EXPECT_EQ(Window->SwitchStereoMono->GlyphIndex(), std::lround(Module->GetParameter(4)));
  EXPECT_EQ(Window->SwitchSymmetric->GlyphIndex(), 1 - std::lround(Module->GetParameter(5)));
  EXPECT_EQ(Window->SwitchMode->GlyphIndex(), std::lround(Module->GetParameter(7)));
  EXPECT_EQ(Window->SliderInput->Value(), Module->GetParameter(8));
  EXPECT_EQ(Window->DialOutput->Value(), Module->GetParameter(9));
  Dispatch(Effect, effEditClose);
  EXPECT_EQ(Module->EditorForm(), nullptr);
  EXPECT_FALSE(Module->EditorLink().Attached());
  Dispatch(Effect, effClose);
}
