// Components and the control tree: ownership and destruction order, controls with an owner
// and a parent, borrowed references to dying controls, notification orders, loading,
// auto-size, the form's window operations and hosting, timers.
#include "test_platform_fixture.h"

#include <algorithm>

#include "platform/KVX_Menus.h"
#include "support/KVX_TestHost.h"
#include "support/KVX_TestModules.h"

using namespace kvx;
using namespace kvx::test;

namespace {

// A non-visual component that logs its destruction.
class TMarker : public TComponent {
 public:
  TMarker(TComponent* AOwner, const std::string& Name, TLog* Log) : TComponent(AOwner), FLog(Log) { SetName(Name); }
  ~TMarker() override { FLog->push_back(Name() + ":destroyed"); }

 private:
  TLog* FLog;
};

size_t IndexOf(const TLog& Log, const std::string& Line) {
  return static_cast<size_t>(std::find(Log.begin(), Log.end(), Line) - Log.begin());
}

// ---- ownership -------------------------------------------------------------------------------

TEST(Ownership, AFormFreesItsControlsFirstThenItsOtherComponents) {
  TLog Log;
  auto* Form = new TForm;
  // Created first, freed last: the controls go with their parents before the other components.
  new TMarker(Form, "List", &Log);
  auto* Menu = new TPopupMenu(Form);
  auto* Item = new TMenuItem(Form);
  Menu->Add(Item);
  auto* Face = new TPanel(Form);
  Face->SetParent(Form);
  auto* Inner = new TPanel(Form);
  Inner->SetParent(Face);
  auto* A = new TWindowless(Form, "A", &Log, clRed);
  A->SetParent(Inner);
  auto* B = new TWindowed(Form, "B", &Log, clRed);
  B->SetParent(Face);
  auto* Nested = new TWindowless(Form, "N", &Log, clRed);
  Nested->SetParent(B);
  Nested->SetPopupMenu(Menu);
  delete Form;
  Log.erase(std::remove_if(Log.begin(), Log.end(),
                           [](const std::string& L) { return L.find(":destroyed") == std::string::npos; }),
            Log.end());
  ASSERT_EQ(Log.size(), 4u);
  EXPECT_LT(IndexOf(Log, "A:destroyed"), IndexOf(Log, "List:destroyed"));
  EXPECT_LT(IndexOf(Log, "N:destroyed"), IndexOf(Log, "List:destroyed"));
  EXPECT_EQ(Log.back(), "List:destroyed");
}

TEST(Ownership, AControlWithAnOwnerAndAParentLeavesBothWhenEitherFreesIt) {
  TLog Log;
  TForm Form;
  auto* Panel = new TPanel(&Form);
  Panel->SetParent(&Form);
  {
    // The owner goes first: the control leaves its parent.
    TComponent Owner;
    auto* C = new TWindowless(&Owner, "C", &Log, clRed);
    C->SetParent(Panel);
    EXPECT_EQ(Panel->ControlCount(), 1);
  }
  EXPECT_EQ(Panel->ControlCount(), 0);
  // The parent goes first: the control leaves its owner, which does not free it again.
  auto* Holder = new TComponent;
  auto* Other = new TPanel(Holder);
  Other->SetParent(&Form);
  auto* D = new TWindowed(&Form, "D", &Log, clRed);
  D->SetParent(Other);
  const int32_t Owned = Form.ComponentCount();
  delete Holder;
  EXPECT_EQ(Form.ComponentCount(), Owned - 1);
  EXPECT_EQ(Form.FindComponent("D"), nullptr);
  EXPECT_EQ(IndexOf(Log, "C:destroyed") + 1, Log.size() - 2);  // C went when its owner went
  EXPECT_EQ(Log.back(), "D:destroyed");
}

TEST(Ownership, NamesAreUniqueAmongAnOwnersComponents) {
  TLog Log;
  TForm Form;
  new TWindowless(&Form, "Knob", &Log, clRed);
  EXPECT_THROW(new TWindowless(&Form, "KNOB", &Log, clRed), EInvalidOperation);
  EXPECT_EQ(Form.ComponentCount(), 1);
}

using References = TLayerForm;

TEST_F(References, AControlDestroyedWhilePressedLeavesNoDanglingCaptureOrHover) {
  Backend->InjectMouseMove(50, 150);
  Backend->InjectMouseDown(50, 150);
  Pump();
  ASSERT_EQ(Form->CaptureControl(), C1);
  ASSERT_EQ(Form->HoverControl(), C1);
  delete C1;
  EXPECT_EQ(Form->CaptureControl(), nullptr);
  EXPECT_EQ(Form->HoverControl(), nullptr);
  Log.clear();
  Backend->InjectMouseMove(40, 40);
  Backend->InjectMouseUp(40, 40);
  Pump();
  EXPECT_EQ(Log, (TLog{"W1:enter", "W1:move(10,10)", "W1:upL(10,10)"}));
}

TEST_F(References, AHandlerMayFreeTheFocusedOrTheToolTipControl) {
  C2->SetTabStop(true);
  C2->SetFocus();
  ASSERT_EQ(Form->ActiveControl(), C2);
  W1->OnClick = [this](TObject*) {
    delete C2;
    delete W2;
  };
  W2->SetHint("tip");
  W2->SetShowHint(true);
  Backend->InjectMouseDown(40, 40);
  Backend->InjectMouseUp(40, 40);
  Pump();
  EXPECT_EQ(Form->ActiveControl(), nullptr);
  EXPECT_EQ(Panel->IndexOfControl(C2), -1);
  // The hovered control freed by a timer between two events.
  ASSERT_EQ(Form->HoverControl(), W1);
  static int64_t Now = 0;
  SetClock([] { return Now; });
  TTimer Timer(nullptr);
  Timer.SetInterval(10);
  Timer.OnTimer = [this](TObject* Sender) {
    delete W1;
    static_cast<TTimer*>(Sender)->SetEnabled(false);
  };
  Now += 10;
  Pump();
  SetClock(nullptr);
  EXPECT_EQ(Form->HoverControl(), nullptr);
  Log.clear();
  Backend->InjectMouseMove(50, 150);
  Pump();
  EXPECT_EQ(Log, (TLog{"C1:enter", "C1:move(20,20)"}));
  EXPECT_EQ(Form->HoverControl(), C1);
}

// ---- notifications ---------------------------------------------------------------------------

using Notifications = TLayerForm;

TEST_F(Notifications, BoundsChangesDeliverResizeThenMoveBeforeAnyPaint) {
  ResetCounts();
  W1->SetBounds(25, 25, 35, 30);
  C1->SetBounds(20, 120, 50, 50);
  C1->SetBounds(25, 125, 50, 50);
  EXPECT_EQ(Log, (TLog{"W1:resize(35,30)", "W1:moved(25,25)", "C1:resize(50,50)", "C1:moved(25,125)"}));
  EXPECT_EQ(W1->Paints + C1->Paints, 0);
  Form->Update();
  EXPECT_EQ(C1->Paints, 1);
  EXPECT_EQ(Screen(74, 174), Argb(CYellow));
}

TEST_F(Notifications, ColourFontAndEnabledChangesReachTheirControls) {
  W2->SetParentColor(true);
  EXPECT_EQ(W2->Color(), CPanel);
  Log.clear();
  Panel->SetColor(0x111111);
  // Every child hears of it; the one that follows takes the colour.
  EXPECT_NE(std::find(Log.begin(), Log.end(), "W1:parentcolor"), Log.end());
  EXPECT_EQ(IndexOf(Log, "W2:parentcolor") + 1, IndexOf(Log, "W2:color"));
  EXPECT_EQ(std::count(Log.begin(), Log.end(), "W1:color"), 0);
  EXPECT_EQ(W2->Color(), 0x111111);
  W2->SetColor(0x222222);
  EXPECT_FALSE(W2->ParentColor());

  Log.clear();
  TFont Font;
  Font.SetName("Lucida Console");
  Font.SetHeight(-11);
  Form->SetFont(Font);
  EXPECT_TRUE(W1->Font().Equals(Font));  // through the panel, which follows the form
  EXPECT_TRUE(W1->ParentFont());
  EXPECT_NE(std::find(Log.begin(), Log.end(), "W1:font"), Log.end());
  W1->Font().SetHeight(14);
  EXPECT_FALSE(W1->ParentFont());
  Font.SetHeight(-9);
  Form->SetFont(Font);
  EXPECT_EQ(W1->Font().Height(), 14);

  Log.clear();
  C1->SetEnabled(false);
  C1->SetEnabled(false);
  EXPECT_EQ(Log, TLog{"C1:enabled"});
}

TEST(Loading, LoadedRunsAfterTheLayoutOnOwnedComponentsThenTheOwner) {
  TLog Log;
  auto Form = std::make_unique<TForm>();
  Form->BeginLoading();
  auto* Panel = new TPanel(Form.get());
  Panel->SetParent(Form.get());
  Panel->SetAutoSize(true);
  auto* A = new TWindowless(Form.get(), "A", &Log, clRed);
  A->SetBounds(10, 10, 20, 20);
  A->SetParent(Panel);
  auto* B = new TWindowed(Form.get(), "B", &Log, clRed);
  B->SetBounds(40, 10, 20, 30);
  B->SetParent(Panel);
  // Created while their owner loads, they load too: no auto-size yet.
  EXPECT_TRUE(A->ComponentState().Contains(csLoading));
  EXPECT_EQ(Panel->Width(), 0);
  Log.clear();
  Form->EndLoading();
  // In creation order: the panel first (its auto-size moves the children), then A and B.
  EXPECT_EQ(Log, (TLog{"A:moved(0,0)", "B:moved(30,0)", "A:loaded", "B:loaded"}));
  EXPECT_FALSE(A->ComponentState().Contains(csLoading));
  EXPECT_FALSE(Form->ComponentState().Contains(csLoading));
  EXPECT_EQ(Panel->BoundsRect(), Rect(0, 0, 50, 30));
  EXPECT_EQ(A->BoundsRect(), Rect(0, 0, 20, 20));
  EXPECT_EQ(B->BoundsRect(), Rect(30, 0, 50, 30));
}

TEST(AutoSize, TheFormAndItsFacesSizeToTheVisibleFace) {
  TLog Log;
  TForm Form;
  auto Face = [&](int32_t Left, bool Visible) {
    auto* P = new TPanel(&Form);
    P->SetBevelOuter(bvNone);
    P->SetBounds(Left, 0, 254, 353);
    P->SetVisible(Visible);
    P->SetParent(&Form);
    auto* Art = new TWindowless(&Form, "", &Log, clRed);
    Art->SetBounds(0, 0, 254, 353);
    Art->SetParent(P);
    P->SetAutoSize(true);
    return P;
  };
  TPanel* Front = Face(0, true);
  TPanel* Back = Face(300, false);
  Form.SetBounds(0, 0, 554, 353);
  Form.SetAutoSize(true);
  EXPECT_EQ(Form.ClientWidth(), 254);
  EXPECT_EQ(Form.ClientHeight(), 353);
  Front->Hide();
  Back->Show();
  EXPECT_EQ(Back->BoundsRect(), Rect(0, 0, 254, 353));
  EXPECT_EQ(Form.ClientWidth(), 254);
  Back->Hide();
  Front->Show();
  EXPECT_EQ(Front->BoundsRect(), Rect(0, 0, 254, 353));
  EXPECT_EQ(Form.ClientWidth(), 254);
}

// ---- the form's window -----------------------------------------------------------------------

TEST(FormWindow, ShowFiresOnShowAndCentresAFormWithoutParent) {
  auto Owned = std::make_unique<THeadlessWindowBackend>();
  THeadlessWindowBackend* Backend = Owned.get();
  Backend->SetDesktopRect(Rect(0, 0, 1000, 800));
  TForm Form(nullptr, std::move(Owned));
  Form.SetBounds(0, 0, 254, 353);
  Form.SetPosition(poDesktopCenter);
  int Shown = 0;
  bool VisibleAtOnShow = true;
  Form.OnShow = [&](TObject*) {
    ++Shown;
    VisibleAtOnShow = Backend->Visible();
  };
  Form.Show();
  EXPECT_EQ(Shown, 1);
  EXPECT_FALSE(VisibleAtOnShow);  // OnShow runs before the window appears
  EXPECT_TRUE(Backend->Visible());
  EXPECT_EQ(Backend->Bounds(), Bounds(373, 223, 254, 353));
  Form.Hide();
  // Embedded in a host window: shown where it is.
  Form.SetParentWindow(42);
  Form.SetBounds(0, 0, 254, 353);
  Form.Show();
  EXPECT_EQ(Shown, 2);
  EXPECT_EQ(Backend->Parent(), 42);
  EXPECT_EQ(Backend->Bounds(), Bounds(0, 0, 254, 353));
  Form.SetBorderStyle(bsNone);
  EXPECT_EQ(Backend->BorderStyle(), bsNone);
  Form.SetCaption("KVX ub37t v0.7");
  EXPECT_EQ(Backend->Caption(), "KVX ub37t v0.7");
  EXPECT_EQ(Form.ClientWidth(), 254);
}

TEST(FormWindow, TheHostsIdleCallsPumpTheOpenEditor) {
  TTestHost Host;
  PVSTEffect Effect = CreateTestModule();
  ASSERT_NE(Effect, nullptr);
  TTestModule* Module = TestModuleOf(Effect);
  int Parent = 0;
  ASSERT_EQ(Dispatch(Effect, effEditOpen, 0, 0, &Parent), 1);
  TTopLevelWindow* Window = Module->EditorForm();
  auto* Backend = dynamic_cast<THeadlessWindowBackend*>(Window->Backend());
  ASSERT_NE(Backend, nullptr);
  Window->SetColor(0x336699);
  int Clicks = 0;
  Window->OnClick = [&](TObject*) { ++Clicks; };
  Backend->InjectMouseDown(10, 10);
  Backend->InjectMouseUp(10, 10);
  Dispatch(Effect, effEditIdle);
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(Backend->ScreenPixel(100, 100), Argb(0x336699));
  EXPECT_EQ(Backend->PendingEvents(), 0u);
  Dispatch(Effect, effClose);
}

// ---- timers ----------------------------------------------------------------------------------

int64_t GTimerNow = 0;

TEST(Timers, ATimerFiresOncePerDueIntervalAtThePump) {
  SetClock([] { return GTimerNow; });
  GTimerNow = 0;
  TForm Form;
  TTimer Timer(&Form);  // freed by its scope before the form
  Timer.SetInterval(100);
  int Fired = 0;
  Timer.OnTimer = [&](TObject*) { ++Fired; };
  GTimerNow = 99;
  Form.ProcessMessages();
  EXPECT_EQ(Fired, 0);
  GTimerNow = 100;
  Form.ProcessMessages();
  EXPECT_EQ(Fired, 1);
  GTimerNow = 350;  // a late pump fires once, not twice
  Form.ProcessMessages();
  EXPECT_EQ(Fired, 2);
  Timer.SetEnabled(false);
  GTimerNow = 1000;
  Form.ProcessMessages();
  EXPECT_EQ(Fired, 2);
  Timer.OnTimer = [](TObject*) { throw EInvalidOperation("timer failed"); };
  Timer.SetEnabled(true);
  GTimerNow = 1100;
  Form.ProcessMessages();  // reported, not thrown
  SetClock(nullptr);
}

}  // namespace
