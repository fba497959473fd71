// The editor's native window under a real X server (Xvfb, started when no display is set): a
// host window of ours holds it, XTest drives the pointer and XGetImage reads the pixels back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "support/KVX_X11TestDisplay.h"
#include "host/lib/KVX_HostX11.h"
#include "platform/KVX_X11Window.h"

using namespace kvx;

namespace {

constexpr int32_t CW = 254, CH = 353;

// The colour the sink paints at (x, y), with an alpha of 0 that the window must not show.
uint32_t Pattern(int32_t X, int32_t Y) { return static_cast<uint32_t>((X * 7) & 0xFF) << 16 | ((Y * 3) & 0xFF) << 8 | 0x40; }

// Records the input and paints the pattern on demand.
class TRecordingSink : public TX11WindowSink {
 public:
  TX11EditorWindow* Window = nullptr;
  std::vector<TX11Input> Inputs;
  std::vector<TRect> Paints;
  std::vector<uint32_t> Surface = std::vector<uint32_t>(size_t(CW) * CH);
  TRecordingSink() {
    for (int32_t y = 0; y < CH; ++y)
      for (int32_t x = 0; x < CW; ++x) Surface[size_t(y) * CW + x] = Pattern(x, y);
  }
  void X11Input(const TX11Input& Input) override { Inputs.push_back(Input); }
  void X11Paint(const TRect& Region) override {
    Paints.push_back(Region);
    if (Window != nullptr) Window->Put(Surface.data(), CW, CH, CW, Region);
  }
  int Count(TX11InputKind Kind) const {
    int n = 0;
    for (const TX11Input& i : Inputs) n += i.Kind == Kind;
    return n;
  }
};

// Keeps $DISPLAY as it was.
class TScopedDisplay {
 public:
  TScopedDisplay() {
    const char* d = std::getenv("DISPLAY");
    if (d != nullptr) FOld = d;
  }
  ~TScopedDisplay() {
    if (FOld.empty()) unsetenv("DISPLAY");
    else setenv("DISPLAY", FOld.c_str(), 1);
  }

 private:
  std::string FOld;
};

class X11WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::RequireX11Display());
    Host = std::make_unique<THostWindow>(300, 400, "x11 window test");
    Host->Show();
  }

  std::unique_ptr<TX11EditorWindow> Open(THostWindow& Parent) {
    auto w = TX11EditorWindow::Create(Parent.Window(), CW, CH, &Sink);
    if (w) {
      Sink.Window = w.get();
      w->SetVisible(true);
    }
    return w;
  }

  // Pumps (the editor with Pump, the host with Delivery) until Done or about two seconds.
  bool PumpUntil(TX11EditorWindow* Editor, const std::function<bool()>& Done,
                 THostEventDelivery Delivery = hedNone) {
    for (int i = 0; i < 200; ++i) {
      Host->Pump(Delivery);
      if (Editor != nullptr && Delivery == hedNone) Editor->Pump();
      if (Done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  TRecordingSink Sink;
  std::unique_ptr<THostWindow> Host;
};

}  // namespace

TEST_F(X11WindowTest, ChildAtOriginWithItsSizeShowsTheSurfaceOpaque) {
  auto Editor = Open(*Host);
  ASSERT_TRUE(Editor);
  ASSERT_TRUE(PumpUntil(Editor.get(), [&] { return !Sink.Paints.empty(); }));
  EXPECT_EQ(Host->Children(Host->Window()), std::vector<THostWindowId>{Editor->Window()});
  TWindowGeometry g;
  ASSERT_TRUE(Host->Geometry(Editor->Window(), g));
  EXPECT_EQ(g, (TWindowGeometry{0, 0, CW, CH, 24, true}));
  int32_t w = 0, h = 0;
  const std::vector<uint32_t> px = Host->Capture(Editor->Window(), w, h);
  ASSERT_EQ(w, CW);
  ASSERT_EQ(h, CH);
  int wrong = 0;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) wrong += px[size_t(y) * w + x] != (Pattern(x, y) | 0xFF000000u);
  EXPECT_EQ(wrong, 0);
  // The exposes of mapping were painted in one go.
  EXPECT_EQ(Sink.Paints.size(), 1u);
}

TEST_F(X11WindowTest, ThirtyTwoBitParentGetsAnOpaqueChildOfItsDepth) {
  THostWindow Argb(300, 400, "argb parent", 32);
  Argb.Show();
  auto Editor = Open(Argb);
  ASSERT_TRUE(Editor);
  EXPECT_EQ(Editor->Depth(), 32);
  ASSERT_TRUE(PumpUntil(Editor.get(), [&] { return !Sink.Paints.empty(); }));
  int32_t w = 0, h = 0;
  const std::vector<uint32_t> px = Argb.Capture(Editor->Window(), w, h);
  ASSERT_EQ(px.size(), size_t(CW) * CH);
  EXPECT_EQ(px[0], Pattern(0, 0) | 0xFF000000u);
  EXPECT_EQ(px[size_t(100) * CW + 200], Pattern(200, 100) | 0xFF000000u);
  EXPECT_EQ(Argb.Errors(), 0);
}

TEST_F(X11WindowTest, PointerInputArrivesTranslated) {
  auto Editor = Open(*Host);
  ASSERT_TRUE(Editor);
  ASSERT_TRUE(PumpUntil(Editor.get(), [&] { return !Sink.Paints.empty(); }));
  Host->MovePointer(Editor->Window(), 30, 40);
  ASSERT_TRUE(PumpUntil(Editor.get(), [&] { return Sink.Count(xikMove) > 0; }));
  Sink.Inputs.clear();
  Host->PressButton(1);
  Host->ReleaseButton(1);
  ASSERT_TRUE(PumpUntil(Editor.get(), [&] { return Sink.Count(xikButtonUp) > 0; }));
  ASSERT_EQ(Sink.Inputs.size(), 2u);
  EXPECT_EQ(Sink.Inputs[0], (TX11Input{xikButtonDown, xbLeft, 30, 40, xshLeft, 0, 0, 0}));
  EXPECT_EQ(Sink.Inputs[1], (TX11Input{xikButtonUp, xbLeft, 30, 40, 0, 0, 0, 0, xshLeft}));

  // One notch each way: one wheel event of 120, the releases dropped.
  Sink.Inputs.clear();
  Host->PressButton(4);
  Host->ReleaseButton(4);
  Host->PressButton(5);
  Host->ReleaseButton(5);
  ASSERT_TRUE(PumpUntil(Editor.get(), [&] { return Sink.Count(xikWheel) >= 2; }));
  Editor->Pump();
  ASSERT_EQ(Sink.Inputs.size(), 2u);
  EXPECT_EQ(Sink.Inputs[0].WheelDelta, 120);
  EXPECT_EQ(Sink.Inputs[1].WheelDelta, -120);

  // Several moves between two pumps are one move to where the pointer ended.
  Sink.Inputs.clear();
  for (int x = 50; x <= 90; x += 10) Host->MovePointer(Editor->Window(), x, 60);
  Host->Sync();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Editor->Pump();
  ASSERT_EQ(Sink.Count(xikMove), 1);
  EXPECT_EQ(Sink.Inputs.back().X, 90);
  EXPECT_EQ(Sink.Inputs.back().Y, 60);
  EXPECT_EQ(Host->Errors(), 0);
}

TEST_F(X11WindowTest, CloseLeavesNoWindowNoErrorAndGivesTheHandlerBack) {
  ASSERT_TRUE(HostErrorHandlerIsCurrent());
  {
    auto Editor = Open(*Host);
    ASSERT_TRUE(Editor);
    EXPECT_TRUE(TX11Connection::HandlerInstalled());
    EXPECT_FALSE(HostErrorHandlerIsCurrent());
    // An error of the host's own connection still reaches the host's handler.
    TWindowGeometry g;
    EXPECT_FALSE(Host->Geometry(0x7FFFFF0, g));
    EXPECT_EQ(Host->Errors(), 1);
    // One of ours does not.
    EXPECT_FALSE(Editor->SetParent(0x7FFFFF0));
    EXPECT_EQ(Host->Errors(), 1);
    PumpUntil(Editor.get(), [&] { return !Sink.Paints.empty(); });
  }
  EXPECT_TRUE(Host->Children(Host->Window()).empty());
  EXPECT_EQ(TX11Connection::OpenCount(), 0);
  EXPECT_FALSE(TX11Connection::HandlerInstalled());
  EXPECT_TRUE(HostErrorHandlerIsCurrent());
  EXPECT_EQ(Host->Errors(), 1);
}

TEST_F(X11WindowTest, AHandlerTheHostInstalledLaterStaysCurrent) {
  auto Editor = Open(*Host);
  ASSERT_TRUE(Editor);
  ReinstallHostErrorHandler();
  Editor.reset();
  EXPECT_TRUE(HostErrorHandlerIsCurrent());
  // The next editor puts ours on top again.
  Editor = Open(*Host);
  ASSERT_TRUE(Editor);
  EXPECT_FALSE(HostErrorHandlerIsCurrent());
  Editor.reset();
  EXPECT_TRUE(HostErrorHandlerIsCurrent());
}

TEST_F(X11WindowTest, FiftyOpenCloseCyclesUseOneConnectionAtATime) {
  int MaxOpen = 0;
  for (int i = 0; i < 50; ++i) {
    auto Editor = Open(*Host);
    ASSERT_TRUE(Editor);
    Editor->Pump();
    MaxOpen = std::max(MaxOpen, TX11Connection::OpenCount());
  }
  EXPECT_EQ(MaxOpen, 1);
  EXPECT_EQ(TX11Connection::OpenCount(), 0);
  EXPECT_TRUE(Host->Children(Host->Window()).empty());
  EXPECT_EQ(Host->Errors(), 0);
}

TEST_F(X11WindowTest, HostDestroyingItsWindowFirstIsSurvived) {
  // Pumped after the destruction (the DestroyNotify is read there) or closed straight away (the
  // close sequence finds it queued).
  for (const bool PumpFirst : {true, false}) {
    THostWindow Parent(300, 400, "doomed parent");
    Parent.Show();
    auto Editor = Open(Parent);
    ASSERT_TRUE(Editor);
    PumpUntil(Editor.get(), [&] { return !Sink.Paints.empty(); });
    Parent.Destroy();
    if (PumpFirst) {
      ASSERT_TRUE(PumpUntil(Editor.get(), [&] { return Editor->WindowGone(); }));
      Editor->Invalidate(TRect{0, 0, CW, CH});
      Editor->Put(Sink.Surface.data(), CW, CH, CW, TRect{0, 0, CW, CH});
      Editor->Pump();
    }
    Editor.reset();
    EXPECT_EQ(Parent.Errors(), 0) << PumpFirst;
    EXPECT_EQ(TX11Connection::OpenCount(), 0);
  }
}

TEST_F(X11WindowTest, MovingToAnotherParent) {
  auto Editor = Open(*Host);
  ASSERT_TRUE(Editor);
  const THostWindowId First = Editor->Window();
  THostWindow Same(300, 400, "second parent");
  Same.Show();
  ASSERT_TRUE(Editor->SetParent(Same.Window()));
  EXPECT_EQ(Editor->Window(), First);
  EXPECT_TRUE(Host->Children(Host->Window()).empty());
  EXPECT_EQ(Same.Children(Same.Window()), std::vector<THostWindowId>{First});
  // Another depth needs a window of that depth: the old one goes, one new one is made.
  THostWindow Argb(300, 400, "argb parent", 32);
  Argb.Show();
  ASSERT_TRUE(Editor->SetParent(Argb.Window()));
  EXPECT_EQ(Editor->Depth(), 32);
  EXPECT_TRUE(Same.Children(Same.Window()).empty());
  ASSERT_EQ(Argb.Children(Argb.Window()).size(), 1u);
  TWindowGeometry g;
  ASSERT_TRUE(Argb.Geometry(Editor->Window(), g));
  EXPECT_TRUE(g.Mapped);
  EXPECT_EQ(g.X, 0);
  EXPECT_EQ(Same.Errors() + Argb.Errors() + Host->Errors(), 0);
}

TEST_F(X11WindowTest, EventProcIsPublishedBelowFourGigabytesAndBothReadingsWork) {
  ASSERT_NE(TX11EditorWindow::EventProcAddress(), 0u);
  EXPECT_LE(TX11EditorWindow::EventProcAddress(), 0xFFFFFFFFu);
  for (const THostEventDelivery Delivery : {hedEventProcWhole, hedEventProcHalves}) {
    TRecordingSink Own;
    auto Editor = TX11EditorWindow::Create(Host->Window(), CW, CH, &Own);
    ASSERT_TRUE(Editor);
    Own.Window = Editor.get();
    EXPECT_EQ(Host->EventProcItems(Editor->Window()),
              (std::vector<uint64_t>{TX11EditorWindow::EventProcAddress(), 0}));
    Host->WatchEditorWindow(Editor->Window());
    Editor->SetVisible(true);
    // The editor is never pumped here: only the host's calls through the property drive it.
    ASSERT_TRUE(PumpUntil(nullptr, [&] { return !Own.Paints.empty(); }, Delivery)) << int(Delivery);
    Host->MovePointer(Editor->Window(), 12, 34);
    ASSERT_TRUE(PumpUntil(nullptr, [&] { return !Own.Inputs.empty() && Own.Inputs.back().Kind == xikMove; }, Delivery));
    EXPECT_EQ(Own.Inputs.back().X, 12);
    Host->MovePointer(Host->Window(), 290, 390);
  }
}

TEST_F(X11WindowTest, PointerServices) {
  auto Editor = Open(*Host);
  ASSERT_TRUE(Editor);
  Editor->SetBounds(TRect{10, 20, 10 + CW, 20 + CH});
  // No window manager: the host window sits at the screen's origin.
  EXPECT_EQ(Editor->ClientToScreen(TPoint{1, 2}), (TPoint{11, 22}));
  EXPECT_EQ(Editor->ScreenToClient(TPoint{11, 22}), (TPoint{1, 2}));
  PumpUntil(Editor.get(), [&] { return !Sink.Paints.empty(); });
  // A warp is echoed by the server as a motion, which the layer relies on.
  Sink.Inputs.clear();
  Editor->WarpPointer(15, 27);
  ASSERT_TRUE(PumpUntil(Editor.get(), [&] { return Sink.Count(xikMove) > 0; }));
  EXPECT_EQ(Sink.Inputs.back().X, 5);
  EXPECT_EQ(Sink.Inputs.back().Y, 7);
  uint32_t Shift = 1234;
  EXPECT_EQ(Editor->PointerPosition(&Shift), (TPoint{5, 7}));
  EXPECT_EQ(Shift, 0u);
  Editor->SetCursorVisible(false);
  Editor->SetCursorVisible(true);
  EXPECT_EQ(Host->Errors(), 0);
}

// A server of its own, stopped under an open editor: the loss of our connection is our
// connection's own exit handler's (the process-wide I/O handler is the host's, here one that
// lets the process live on); the editor then closes without touching the connection.
TEST(X11WindowLoss, LosingTheServerEndsOnlyTheEditor) {
  TScopedDisplay Restore;
  InstallReturningIOErrorHandler();
  auto Server = std::make_unique<TXvfbServer>();
  Server->Start();
  TRecordingSink Sink;
  auto Editor = TX11EditorWindow::Create(X11RootWindow(), CW, CH, &Sink);
  ASSERT_TRUE(Editor);
  Sink.Window = Editor.get();
  Editor->SetVisible(true);
  Editor->Pump();
  Server.reset();
  for (int i = 0; i < 50 && !Editor->Connection().Broken(); ++i) {
    Editor->Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(Editor->Connection().Broken());
  EXPECT_EQ(HostIOErrors(), 1);
  Editor->Put(Sink.Surface.data(), CW, CH, CW, TRect{0, 0, CW, CH});
  Editor.reset();
  EXPECT_EQ(TX11Connection::OpenCount(), 0);
}
