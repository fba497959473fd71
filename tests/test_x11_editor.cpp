// A plug-in whose editor is a form of the window-system layer, hosted for real under X (Xvfb
// when no display is set): test hosts of ours open it in their own top-level window, read its
// pixels back, drive it with XTest and deliver its events the ways Linux hosts do.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "host/lib/KVX_HostEditor.h"
#include "host/lib/KVX_HostPlugin.h"
#include "host/lib/KVX_HostX11.h"
#include "support/KVX_X11TestDisplay.h"

using namespace kvx;

namespace {

const std::string CPlugin = KVX_TESTPLUGIN_DIR "/x11_editor.so";
constexpr int32_t CW = 254, CH = 353;
constexpr uint32_t CRed = 0xFFFF0000u, CGreen = 0xFF00FF00u, CBlue = 0xFF0000FFu, CGrey = 0xFF404040u;

class X11EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::RequireX11Display());
    Plugin = std::make_unique<TVstHostPlugin>(CPlugin);
    Plugin->Open();
    void* lib = dlopen(CPlugin.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(lib, nullptr);
    TakeLogFn = reinterpret_cast<const char* (*)()>(dlsym(lib, "kvx_x11_editor_take_log"));
    ConnectionsFn = reinterpret_cast<int (*)()>(dlsym(lib, "kvx_x11_editor_open_connections"));
    dlclose(lib);
    ASSERT_NE(TakeLogFn, nullptr);
    ASSERT_NE(ConnectionsFn, nullptr);
  }
  void TearDown() override {
    Session.reset();
    if (Plugin && Plugin->IsOpen()) Plugin->Close();
    Plugin.reset();
  }

  void OpenEditor(THostEventDelivery Delivery = hedNone) {
    Session = std::make_unique<TEditorSession>(*Plugin, "x11 editor test", Delivery);
  }
  THostWindowId EditorChild() {
    const auto c = Session->Window().Children(Session->Window().Window());
    return c.size() == 1 ? c[0] : 0;
  }
  // Runs the host's loop (Idle: with effEditIdle or without) until Done, for about three seconds.
  bool LoopUntil(const std::function<bool()>& Done, bool SendIdle = true) {
    for (int i = 0; i < 150; ++i) {
      Session->Idle(SendIdle);
      if (Done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  uint32_t Pixel(int32_t X, int32_t Y) {
    int32_t w = 0, h = 0;
    const auto px = Session->Window().Capture(EditorChild(), w, h);
    if (X >= w || Y >= h) return 0;
    return px[size_t(Y) * size_t(w) + size_t(X)];
  }
  std::string Log() { return TakeLogFn(); }

  std::unique_ptr<TVstHostPlugin> Plugin;
  std::unique_ptr<TEditorSession> Session;
  const char* (*TakeLogFn)() = nullptr;
  int (*ConnectionsFn)() = nullptr;
};

}  // namespace

TEST_F(X11EditorTest, TheFormIsAChildAtTheOriginShowingTheCompositorsPixels) {
  OpenEditor();
  // The size was known before the window existed.
  EXPECT_EQ(Session->SizeBeforeOpenWidth(), CW);
  EXPECT_EQ(Session->SizeBeforeOpenHeight(), CH);
  ASSERT_NE(Session->WaitForEditorWindow(), 0u);
  TWindowGeometry g;
  ASSERT_TRUE(Session->Window().Geometry(EditorChild(), g));
  EXPECT_EQ(g, (TWindowGeometry{0, 0, CW, CH, 24, true}));
  ASSERT_TRUE(LoopUntil([&] { return Pixel(30, 30) == CRed; }));
  EXPECT_EQ(Pixel(30, 130), CBlue);
  EXPECT_EQ(Pixel(5, 5), CGrey);
  EXPECT_EQ(Pixel(CW - 1, CH - 1), CGrey);
  EXPECT_EQ(ConnectionsFn(), 1);
  EXPECT_EQ(Session->Window().Errors(), 0);
}

TEST_F(X11EditorTest, PointerInputReachesTheRightControlInOrder) {
  OpenEditor();
  ASSERT_NE(Session->WaitForEditorWindow(), 0u);
  ASSERT_TRUE(LoopUntil([&] { return Pixel(30, 30) == CRed; }));
  Log();
  THostWindow& w = Session->Window();
  w.MovePointer(EditorChild(), 50, 40);
  Session->IdleFor(100);  // the enter is delivered
  w.PressButton(1);
  w.ReleaseButton(1);
  ASSERT_TRUE(LoopUntil([&] { return Plugin->AutomateCount() >= 1; }));
  EXPECT_EQ(Log(), "toggle enter\ntoggle down left 30,20 -\ntoggle click\ntoggle up left 30,20 L\n");
  EXPECT_TRUE(LoopUntil([&] { return Pixel(30, 30) == CGreen; }));
  EXPECT_GE(Plugin->Parameter(0), 0.5f);

  // One notch over the level bar: one wheel event of 120.
  w.MovePointer(EditorChild(), 60, 140);
  Session->IdleFor(100);
  Log();
  w.PressButton(4);
  w.ReleaseButton(4);
  ASSERT_TRUE(LoopUntil([&] { return Plugin->AutomateCount() >= 2; }));
  EXPECT_EQ(Log(), "level wheel 120\n");
  EXPECT_NEAR(Plugin->Parameter(1), 0.1f, 1e-6f);
  EXPECT_EQ(w.Errors(), 0);
}

TEST_F(X11EditorTest, HostsThatOnlyIdleOrOnlyDeliverEventsGetAResponsiveEditor) {
  struct TCase {
    const char* Name;
    THostEventDelivery Delivery;
    bool SendIdle;
  };
  for (const TCase& c : {TCase{"idle only", hedNone, true}, TCase{"_XEventProc as one item", hedEventProcWhole, false},
                         TCase{"_XEventProc as two halves", hedEventProcHalves, false}}) {
    Session.reset();
    const int64_t before = Plugin->AutomateCount();
    OpenEditor(c.Delivery);
    const THostWindowId child = EditorChild();
    ASSERT_NE(child, 0u) << c.Name;
    if (c.Delivery != hedNone) Session->Window().WatchEditorWindow(child);
    // The editor paints from the host's loop alone.
    const uint32_t off = Plugin->Parameter(0) >= 0.5f ? CGreen : CRed;
    ASSERT_TRUE(LoopUntil([&] { return Pixel(30, 30) == off; }, c.SendIdle)) << c.Name;
    // A click, then the pointer moving on as a user's does.
    Session->Window().Click(child, 40, 40);
    int wiggle = 0;
    ASSERT_TRUE(LoopUntil(
        [&] {
          Session->Window().MovePointer(child, 40 + (++wiggle % 2), 41);
          return Plugin->AutomateCount() > before;
        },
        c.SendIdle))
        << c.Name;
    EXPECT_TRUE(LoopUntil([&] { return Pixel(30, 30) != off; }, c.SendIdle)) << c.Name;
  }
}

TEST_F(X11EditorTest, CloseLeavesNoWindowAndFiftyCyclesUseOneConnection) {
  int most = 0;
  for (int i = 0; i < 50; ++i) {
    ASSERT_NO_THROW(OpenEditor()) << "cycle " << i << " connections " << ConnectionsFn();
    Session->Idle();
    most = std::max(most, ConnectionsFn());
    EXPECT_EQ(Session->Window().Children(Session->Window().Window()).size(), 1u);
    Session->Close();
    EXPECT_TRUE(Session->Window().Children(Session->Window().Window()).empty());
    EXPECT_EQ(Session->Window().Errors(), 0);
    Session.reset();
  }
  EXPECT_EQ(most, 1);
  EXPECT_EQ(ConnectionsFn(), 0);
}

TEST_F(X11EditorTest, TheHostDestroyingItsWindowFirst) {
  OpenEditor();
  ASSERT_NE(Session->WaitForEditorWindow(), 0u);
  Session->Window().Destroy();
  Session->IdleFor(100);
  Session->Close();
  EXPECT_EQ(Session->Window().Errors(), 0);
  EXPECT_EQ(ConnectionsFn(), 0);
}

TEST_F(X11EditorTest, OpeningAgainMovesTheEditorUnderTheNewParent) {
  OpenEditor();
  ASSERT_NE(Session->WaitForEditorWindow(), 0u);
  const THostWindowId first = EditorChild();
  THostWindow other(CW, CH, "second parent");
  other.Show();
  ASSERT_EQ(Plugin->Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(other.Window())), 1);
  EXPECT_TRUE(Session->Window().Children(Session->Window().Window()).empty());
  EXPECT_EQ(other.Children(other.Window()), std::vector<THostWindowId>{first});
  EXPECT_EQ(ConnectionsFn(), 1);
  Session->Close();
  EXPECT_TRUE(other.Children(other.Window()).empty());
  EXPECT_EQ(other.Errors() + Session->Window().Errors(), 0);
}

TEST_F(X11EditorTest, ClosingThePluginWithTheEditorOpenClosesTheEditor) {
  THostWindow host(CW, CH, "effClose host");
  host.Show();
  ASSERT_EQ(Plugin->Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(host.Window())), 1);
  EXPECT_EQ(host.Children(host.Window()).size(), 1u);
  Plugin->Close();
  EXPECT_TRUE(host.Children(host.Window()).empty());
  EXPECT_EQ(ConnectionsFn(), 0);
  EXPECT_EQ(host.Errors(), 0);
}
