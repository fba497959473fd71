// The plug-in's editor for real under X (an Xvfb of the suite's own when no display is set):
// ub37t.so loaded by a test host, its editor in the host's window, driven with XTest as a user
// would, as a table of gestures and the parameter values and amAutomate calls they give.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/lib/KVX_HostEditor.h"
#include "host/lib/KVX_HostKeyboard.h"
#include "host/lib/KVX_HostPlugin.h"
#include "host/lib/KVX_HostX11.h"
#include "support/KVX_X11TestDisplay.h"

using namespace kvx;

#if defined(__SANITIZE_ADDRESS__)
// The plug-in under test draws its texts through fontconfig, which keeps what it allocates for
// the whole process (the library never calls FcFini, as platform/KVX_Font.cpp explains): those
// blocks are not leaks. This program links none of the font code, so it says so itself.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
#endif

namespace {

const std::string CPlugin = KVX_BUILD_DIR "/ub37t.so";
const std::vector<float> CDefaultHostValues = {1, 0.5f, 0, 0, 0, 1, 0, 0, 0.5f, 0.5f};

struct TPoint2 {
  int32_t X, Y;
};
// Editor coordinates of the controls' centres.
constexpr TPoint2 CLevel{60, 66}, CTone{126, 66}, COutput{192, 66}, CBypass{127, 248}, CSlider{126, 341},
    CArrow{127, 303}, CFaceBackground{10, 10}, CLED{211, 107};
constexpr TPoint2 CDrive{68, 87}, CStereo{38, 216}, CSymmetric{147, 153}, COversampling{147, 83}, CMode{38, 153};

class EditorX11 : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_TRUE(test::RequireX11Display());
    Plugin = std::make_unique<TVstHostPlugin>(CPlugin);
    Plugin->Open();
    Plugin->OnAutomate = [this](int32_t Index, float Value) {
      std::lock_guard<std::mutex> Lock(FMutex);
      FAutomations.emplace_back(Index, Value);
    };
    Session = std::make_unique<TEditorSession>(*Plugin, "ub37t editor test");
    Child = Session->WaitForEditorWindow();
    ASSERT_NE(Child, 0u);
    // Painted: the front face's picture is there.
    ASSERT_TRUE(LoopUntil([&] { return Pixel(CLED) != 0 && Pixel(CLED) != Pixel(CFaceBackground); }));
    Automations();
  }
  void TearDown() override {
    if (Session) {
      EXPECT_EQ(Session->Window().Errors(), 0);
    }
    Session.reset();
    if (Plugin) Plugin->OnAutomate = nullptr;
    if (Plugin && Plugin->IsOpen()) Plugin->Close();
  }

  bool LoopUntil(const std::function<bool()>& Done) {
    for (int i = 0; i < 150; ++i) {
      Session->Idle();
      if (Done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  std::vector<uint32_t> Capture() {
    int32_t w = 0, h = 0;
    return Session->Window().Capture(Child, w, h);
  }
  uint32_t Pixel(TPoint2 P) {
    int32_t w = 0, h = 0;
    const auto px = Session->Window().Capture(Child, w, h);
    return P.X < w && P.Y < h ? px[size_t(P.Y) * size_t(w) + size_t(P.X)] : 0;
  }
  // The amAutomate calls since the last call of this.
  std::vector<std::pair<int32_t, float>> Automations() {
    std::lock_guard<std::mutex> Lock(FMutex);
    std::vector<std::pair<int32_t, float>> Result;
    Result.swap(FAutomations);
    return Result;
  }

  // ---- gestures ----
  void MoveTo(TPoint2 P) {
    Session->Window().MovePointer(Child, P.X, P.Y);
    Session->IdleFor(60);
  }
  void Click(TPoint2 P, unsigned Button = 1) {
    MoveTo(P);
    Session->Window().PressButton(Button);
    Session->Window().ReleaseButton(Button);
    Session->IdleFor(120);
  }
  void CtrlClick(TPoint2 P, unsigned Button = 1) {
    MoveTo(P);
    THeldModifierKey Ctrl(hmkControl);
    Session->IdleFor(30);
    Session->Window().PressButton(Button);
    Session->Window().ReleaseButton(Button);
    Session->IdleFor(120);
  }
  void Drag(TPoint2 P, int32_t Dy) {
    MoveTo(P);
    Session->Window().PressButton(1);
    Session->IdleFor(40);
    for (int i = 1; i <= 4; ++i) {
      Session->Window().MovePointer(Child, P.X, P.Y + Dy * i / 4);
      Session->IdleFor(40);
    }
    Session->Window().ReleaseButton(1);
    Session->IdleFor(120);
  }

  std::unique_ptr<TVstHostPlugin> Plugin;
  std::unique_ptr<TEditorSession> Session;
  THostWindowId Child = 0;

 private:
  std::mutex FMutex;
  std::vector<std::pair<int32_t, float>> FAutomations;
};

struct TGesture {
  const char* Name;
  std::function<void(EditorX11&)> Do;
  int32_t Index;
  float HostValue;  // the parameter afterwards and the last amAutomate value
};

void RunGestures(EditorX11& T, const std::vector<TGesture>& Gestures,
                 const std::function<std::vector<std::pair<int32_t, float>>()>& Automations,
                 const std::function<float(int32_t)>& Parameter) {
  for (const TGesture& G : Gestures) {
    SCOPED_TRACE(G.Name);
    G.Do(T);
    EXPECT_NEAR(Parameter(G.Index), G.HostValue, 1e-4);
    const auto A = Automations();
    ASSERT_FALSE(A.empty());
    for (const auto& [Index, Value] : A) EXPECT_EQ(Index, G.Index);
    EXPECT_NEAR(A.back().second, G.HostValue, 1e-4);
  }
}

}  // namespace

TEST_F(EditorX11, GesturesOnBothFaces) {
  auto& S = *this;
  const std::vector<TGesture> Gestures = {
      {"Level 40 px up", [](EditorX11& T) { T.Drag(CLevel, -40); }, 2, 0.1f},
      {"Tone 40 px up", [](EditorX11& T) { T.Drag(CTone, -40); }, 1, 0.6f},
      {"Output 40 px up", [](EditorX11& T) { T.Drag(COutput, -40); }, 9, 0.6f},
      {"Level Ctrl + right click", [](EditorX11& T) { T.CtrlClick(CLevel, 3); }, 2, 0.0f},
      {"bypass on", [](EditorX11& T) { T.Click(CBypass); }, 3, 1.0f},
      {"bypass off", [](EditorX11& T) { T.Click(CBypass); }, 3, 0.0f},
      {"slider at 3/4", [](EditorX11& T) { T.Click({9 + 176, CSlider.Y}); }, 8, 176.0f / 234.0f},
      {"to the back face", [](EditorX11& T) { T.Click(CArrow); }, -1, 0},
      {"Drive 40 px down", [](EditorX11& T) { T.Drag(CDrive, 40); }, 0, 0.9f},
      {"Drive Ctrl + right click: the dial's default 0", [](EditorX11& T) { T.CtrlClick(CDrive, 3); }, 0, 0.0f},
      {"asymmetric", [](EditorX11& T) { T.Click(CSymmetric); }, 5, 0.0f},
      {"symmetric", [](EditorX11& T) { T.Click(CSymmetric); }, 5, 1.0f},
      {"oversampling 8x", [](EditorX11& T) { T.Click(COversampling); }, 6, 7.0f / 15.0f},
      {"oversampling 16x", [](EditorX11& T) { T.Click(COversampling); }, 6, 1.0f},
      {"oversampling 1x", [](EditorX11& T) { T.Click(COversampling); }, 6, 0.0f},
      {"stereo", [](EditorX11& T) { T.Click(CStereo); }, 4, 1.0f},
      {"second mode", [](EditorX11& T) { T.Click(CMode); }, 7, 1.0f},
  };
  std::vector<TGesture> Writing;
  for (const TGesture& G : Gestures) {
    if (G.Index >= 0) {
      Writing.push_back(G);
      continue;
    }
    RunGestures(S, Writing, [&] { return Automations(); }, [&](int32_t i) { return Plugin->Parameter(i); });
    Writing.clear();
    G.Do(S);
    EXPECT_TRUE(Automations().empty()) << G.Name;
  }
  RunGestures(S, Writing, [&] { return Automations(); }, [&](int32_t i) { return Plugin->Parameter(i); });
}

TEST_F(EditorX11, BypassLEDFollowsAndTheSliderMenuResets) {
  const uint32_t Lit = Pixel(CLED);
  Click(CBypass);
  EXPECT_NE(Pixel(CLED), Lit);
  Click(CBypass);
  EXPECT_EQ(Pixel(CLED), Lit);
  Automations();

  // The slider's menu: a right click opens it inside the window, a click on its item resets.
  Click({9 + 200, CSlider.Y});
  ASSERT_GT(Plugin->Parameter(8), 0.8f);
  Automations();
  const std::vector<uint32_t> Before = Capture();
  Click(CSlider, 3);
  const std::vector<uint32_t> After = Capture();
  ASSERT_EQ(Before.size(), After.size());
  int32_t Left = 254, Top = 353, Right = -1, Bottom = -1;
  for (int32_t y = 0; y < 353; ++y)
    for (int32_t x = 0; x < 254; ++x)
      if (Before[size_t(y) * 254 + size_t(x)] != After[size_t(y) * 254 + size_t(x)]) {
        Left = std::min(Left, x), Right = std::max(Right, x);
        Top = std::min(Top, y), Bottom = std::max(Bottom, y);
      }
  ASSERT_GE(Right, Left) << "no menu appeared";
  EXPECT_TRUE(Automations().empty());
  Click({(Left + Right) / 2, (Top + Bottom) / 2});
  EXPECT_EQ(Plugin->Parameter(8), 0.5f);
  const auto A = Automations();
  ASSERT_EQ(A.size(), 1u);
  EXPECT_EQ(A[0], (std::pair<int32_t, float>{8, 0.5f}));
  EXPECT_EQ(Plugin->ParameterDisplay(8), "0");
}

TEST_F(EditorX11, CtrlClickOnEitherFaceResetsAllTenParameters) {
  for (bool Back : {false, true}) {
    SCOPED_TRACE(Back ? "back" : "front");
    const float Setting[] = {0.8f, 0.3f, 1.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.6f, 0.4f};
    for (int32_t i = 0; i < 10; ++i) Plugin->SetParameter(i, Setting[i]);
    Session->IdleFor(60);
    Click(CFaceBackground);  // without Ctrl nothing happens
    EXPECT_NEAR(Plugin->Parameter(0), 0.8f, 1e-6);
    EXPECT_TRUE(Automations().empty());
    CtrlClick(CFaceBackground);
    for (int32_t i = 0; i < 10; ++i) EXPECT_NEAR(Plugin->Parameter(i), CDefaultHostValues[size_t(i)], 1e-6) << i;
    EXPECT_EQ(Automations().size(), 10u);
    if (!Back) Click(CArrow);
  }
}

TEST_F(EditorX11, FacesFlipAndKeepTheirState) {
  Drag(CLevel, -40);
  const std::vector<uint32_t> Front = Capture();
  Click(CArrow);
  const std::vector<uint32_t> Back = Capture();
  EXPECT_NE(Back, Front);
  Click(CStereo);
  const std::vector<uint32_t> BackStereo = Capture();
  Click(CArrow);
  // Back at the front: the pointer rests on the arrow, whose tool tip may show; compare the
  // knob row, which nothing covers.
  const std::vector<uint32_t> Again = Capture();
  ASSERT_EQ(Again.size(), Front.size());
  for (size_t i = 0; i < 254 * 130; ++i) ASSERT_EQ(Again[i], Front[i]) << "pixel " << i % 254 << "," << i / 254;
  Click(CArrow);
  const std::vector<uint32_t> BackAgain = Capture();
  for (size_t i = 0; i < 254 * 250; ++i) ASSERT_EQ(BackAgain[i], BackStereo[i]) << "pixel " << i % 254 << "," << i / 254;
  EXPECT_EQ(Plugin->Parameter(4), 1.0f);
}

// Host automation moves the controls without a write back, from the host's UI thread (here the
// editor's) and from its audio thread.
TEST_F(EditorX11, HostAutomationIsShownAndNeverSentBack) {
  const std::vector<uint32_t> Start = Capture();
  Plugin->SetParameter(2, 1.0f);  // Level, the UI thread
  ASSERT_TRUE(LoopUntil([&] { return Capture() != Start; }));
  const std::vector<uint32_t> Level = Capture();
  std::thread Audio([&] {
    float L[64] = {}, R[64] = {}, O0[64], O1[64];
    float* In[2] = {L, R};
    float* Out[2] = {O0, O1};
    for (int i = 0; i < 50; ++i) {
      Plugin->Process32(In, Out, 64);
      Plugin->SetParameter(3, 1.0f);  // bypass from the audio thread
      Plugin->SetParameter(6, 0.2f);  // oversampling 4, stored as 8
    }
  });
  Audio.join();
  EXPECT_TRUE(LoopUntil([&] { return Pixel(CLED) != Level[size_t(CLED.Y) * 254 + size_t(CLED.X)]; }));
  Session->IdleFor(100);
  EXPECT_TRUE(Automations().empty());
  EXPECT_NEAR(Plugin->Parameter(6), 7.0f / 15.0f, 1e-6);
}
