// Input through the headless backend: event sequences and the notifications each control
// receives, popup menus, tool tips against a fake clock, the key state of the event being
// dispatched, pointer operations with the warp echo, and errors in handlers.
#include "test_platform_fixture.h"

#include <functional>

#include "platform/KVX_Menus.h"

using namespace kvx;
using namespace kvx::test;

namespace {

int64_t GNow = 0;
int64_t FakeClock() { return GNow; }

class Input : public TLayerForm {
 protected:
  void SetUp() override {
    GNow = 1000;
    SetClock(FakeClock);
    TLayerForm::SetUp();
  }
  void TearDown() override { SetClock(nullptr); }
};

// One injected event: d(own), u(p), m(ove), w(heel), l(eave).
struct TStep {
  char Kind;
  int32_t X = 0;
  int32_t Y = 0;
  TMouseButton Button = mbLeft;
  int32_t Delta = 0;
};

void Inject(THeadlessWindowBackend& B, const TStep& S) {
  switch (S.Kind) {
    case 'd': B.InjectMouseDown(S.X, S.Y, S.Button); break;
    case 'u': B.InjectMouseUp(S.X, S.Y, S.Button); break;
    case 'm': B.InjectMouseMove(S.X, S.Y); break;
    case 'w': B.InjectWheel(S.X, S.Y, S.Delta); break;
    case 'l': B.InjectMouseLeave(); break;
    default: FAIL() << "unknown step " << S.Kind;
  }
}

struct TCase {
  const char* Name;
  std::function<void(Input&)> Setup;
  std::vector<TStep> Steps;
  TLog Expected;
};

// Form positions: W1 30..60 x 30..60, W2 130..160 x 30..60, C1 30..70 x 130..170,
// C2 130..170 x 130..170 (positions in the log are client coordinates of the control).
TEST_F(Input, EventSequencesReachTheRightControlsInOrder) {
  const TCase Cases[] = {
      {"a click is reported before the release", nullptr,
       {{'m', 40, 40}, {'d', 40, 40}, {'u', 41, 41}},
       {"W1:enter", "W1:move(10,10)", "W1:downL(10,10)", "W1:click", "W1:upL(11,11)"}},
      {"a release outside: capture keeps the moves, no click, then leave", nullptr,
       {{'m', 50, 150}, {'d', 50, 150}, {'m', 5, 5}, {'u', 5, 5}},
       {"C1:enter", "C1:move(20,20)", "C1:downL(20,20)", "C1:move(-25,-125)", "C1:upL(-25,-125)",
        "C1:leave"}},
      {"a windowless control captures too; hover waits for the release", nullptr,
       {{'d', 40, 40}, {'m', 140, 40}, {'u', 140, 40}},
       {"W1:enter", "W1:downL(10,10)", "W1:move(110,10)", "W1:upL(110,10)", "W1:leave", "W2:enter"}},
      {"enter and leave come in pairs", nullptr,
       {{'m', 40, 40}, {'m', 140, 40}, {'m', 150, 150}, {'l'}},
       {"W1:enter", "W1:move(10,10)", "W1:leave", "W2:enter", "W2:move(10,10)", "W2:leave", "C2:enter",
        "C2:move(20,20)", "C2:leave"}},
      {"wheel deltas of 120 per notch", nullptr,
       {{'w', 150, 150, mbLeft, 120}, {'w', 150, 150, mbLeft, -240}},
       {"C2:enter", "C2:wheel(120)", "C2:wheel(-240)"}},
      {"a right click is no click", nullptr,
       {{'d', 40, 40, mbRight}, {'u', 40, 40, mbRight}},
       {"W1:enter", "W1:downR(10,10)", "W1:upR(10,10)"}},
      {"a second press in time is a double click", nullptr,
       {{'d', 40, 40}, {'u', 40, 40}, {'d', 40, 40}, {'u', 40, 40}},
       {"W1:enter", "W1:downL(10,10)", "W1:click", "W1:upL(10,10)", "W1:dblclick", "W1:downL(10,10)",
        "W1:click", "W1:upL(10,10)"}},
      {"a hidden control receives nothing", [](Input& T) { T.W1->Hide(); },
       {{'m', 40, 40}, {'d', 40, 40}, {'u', 40, 40}, {'w', 40, 40, mbLeft, 120}},
       {}},
      {"a disabled control receives nothing", [](Input& T) { T.C1->SetEnabled(false); },
       {{'m', 50, 150}, {'d', 50, 150}, {'u', 50, 150}},
       {}},
      {"nor do the children of a disabled parent", [](Input& T) { T.Panel->SetEnabled(false); },
       {{'m', 40, 40}, {'d', 40, 40}, {'u', 40, 40}, {'m', 150, 150}},
       {}},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TearDown();
    SetUp();
    if (C.Setup) C.Setup(*this);
    Log.clear();
    for (const TStep& S : C.Steps) Inject(*Backend, S);
    Pump();
    EXPECT_EQ(Log, C.Expected);
    EXPECT_EQ(Form->CaptureControl(), nullptr);
  }
}

TEST_F(Input, ClientAndScreenCoordinatesAndTheWarpEcho) {
  Backend->SetScreenOrigin(TPoint{100, 200});
  EXPECT_EQ(W1->ClientToScreen(TPoint{1, 2}), (TPoint{131, 232}));
  EXPECT_EQ(C1->ScreenToClient(TPoint{131, 332}), (TPoint{1, 2}));
  Backend->InjectMouseMove(40, 40);
  Pump();
  Log.clear();
  // The pointer moved by the layer reports its motion like any other.
  TScreen::SetCursorPos(W1->ClientToScreen(TPoint{20, 20}));
  Pump();
  EXPECT_EQ(Log, TLog{"W1:move(20,20)"});
  EXPECT_EQ(TScreen::CursorPos(), (TPoint{150, 250}));
  // No motion, no echo.
  Log.clear();
  TScreen::SetCursorPos(TPoint{150, 250});
  Pump();
  EXPECT_TRUE(Log.empty());
  TScreen::SetCursor(crNone);
  EXPECT_EQ(Backend->Cursor(), crNone);
  TScreen::SetCursor(crDefault);
  EXPECT_EQ(Backend->Cursor(), crDefault);
}

TEST_F(Input, TheCtrlTestReadsTheStateOfTheEventBeingDispatched) {
  std::vector<bool> CtrlSeen;
  W1->OnClick = [&](TObject*) { CtrlSeen.push_back(GetKeyState(VK_CONTROL) < 0); };
  Backend->SetModifiers(TShiftState{ssCtrl});
  Backend->InjectMouseDown(40, 40);
  Backend->InjectMouseUp(40, 40);
  // The key is up again by the time the form pumps; the click still saw it down.
  Backend->SetModifiers(TShiftState{});
  Backend->InjectMouseDown(40, 40);
  GNow += 1000;  // no double click
  Pump();
  Backend->InjectMouseUp(40, 40);
  Pump();
  EXPECT_EQ(CtrlSeen, (std::vector<bool>{true, false}));
  EXPECT_GE(GetKeyState(VK_CONTROL), 0);
  Backend->SetModifiers(TShiftState{ssCtrl, ssShift});
  EXPECT_LT(GetKeyState(VK_CONTROL), 0);
  EXPECT_LT(GetKeyState(VK_SHIFT), 0);
  EXPECT_GE(GetKeyState(VK_MENU), 0);
}

TEST_F(Input, AnErrorInAHandlerIsReportedAndTheReleaseStillArrives) {
  std::vector<std::string> Errors;
  Form->OnException = [&](TObject*, const std::string& Message) { Errors.push_back(Message); };
  W1->OnClick = [](TObject*) { throw EInvalidOperation("click failed"); };
  Backend->InjectMouseDown(40, 40);
  Backend->InjectMouseUp(40, 40);
  Pump();
  EXPECT_EQ(Errors, std::vector<std::string>{"click failed"});
  EXPECT_EQ(Log.back(), "W1:upL(10,10)");
  EXPECT_EQ(Form->CaptureControl(), nullptr);
}

TEST_F(Input, KeysGoToTheFocusedControl) {
  std::vector<uint16_t> Keys;
  C2->SetTabStop(true);
  C2->OnKeyDown = [&](TObject*, uint16_t& Key, TShiftState) { Keys.push_back(Key); };
  Backend->InjectKeyDown('A');  // nobody focused: the form takes it
  Backend->InjectMouseDown(150, 150);
  Backend->InjectMouseUp(150, 150);
  Backend->InjectKeyDown('B');
  Pump();
  EXPECT_TRUE(C2->Focused());
  EXPECT_EQ(Keys, std::vector<uint16_t>{'B'});
}

// ---- popup menu ------------------------------------------------------------------------------

class PopupMenu : public Input {
 protected:
  void SetUp() override {
    Input::SetUp();
    // Like the editor's slider: 235 x 7, 8 pixels above the form's bottom edge.
    Slider = Make<TWindowless>("S", 0x72A96A, Bounds(9, 338, 235, 7), Form.get());
    Menu = new TPopupMenu(Form.get());
    Item = new TMenuItem(Form.get());
    Item->SetCaption("Set to default (0)");
    Item->OnClick = [this](TObject*) { ++Clicks; };
    Menu->Add(Item);
    Slider->SetPopupMenu(Menu);
    Form->Update();
    Log.clear();
  }
  void RightClick(int32_t X, int32_t Y) {
    Backend->InjectMouseDown(X, Y, mbRight);
    Backend->InjectMouseUp(X, Y, mbRight);
    Pump();
  }
  TWindowless* Slider = nullptr;
  TPopupMenu* Menu = nullptr;
  TMenuItem* Item = nullptr;
  int Clicks = 0;
};

TEST_F(PopupMenu, ARightClickOpensItUpwardInsideTheFormAndItsItemRunsTheHandler) {
  TBitmap Before;
  Before.Assign(Backend->Screen());
  RightClick(200, 341);
  ASSERT_EQ(Form->ActivePopupMenu(), Menu);
  EXPECT_EQ(Menu->PopupComponent(), Slider);
  const TRect R = Form->PopupMenuRect();
  EXPECT_LE(R.Bottom, 341);  // no room below the slider: it opens upward
  EXPECT_GE(R.Top, 0);
  EXPECT_GE(R.Left, 0);
  EXPECT_LE(R.Right, 254);  // pushed left to fit
  EXPECT_EQ(Screen(R.Left + 3, R.Bottom - 2), Argb(clMenu));
  const TRect ItemRect = Form->PopupItemRect(0);
  const TPoint Centre{(ItemRect.Left + ItemRect.Right) / 2, (ItemRect.Top + ItemRect.Bottom) / 2};
  Log.clear();
  Backend->InjectMouseMove(Centre.X, Centre.Y);
  Pump();
  EXPECT_EQ(Screen(Centre.X, ItemRect.Top + 1), Argb(clHighlight));
  Backend->InjectMouseDown(Centre.X, Centre.Y);
  Backend->InjectMouseUp(Centre.X, Centre.Y);
  Pump();
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(Form->ActivePopupMenu(), nullptr);
  EXPECT_TRUE(Log.empty());  // the menu's input reaches no control
  // Closed: what lay beneath shows again.
  EXPECT_EQ(Screen(R.Left + 3, R.Bottom - 2), Before.Canvas().Pixel(R.Left + 3, R.Bottom - 2));
}

TEST_F(PopupMenu, APressOutsideClosesItAndGoesNowhereElse) {
  RightClick(20, 341);
  ASSERT_NE(Form->ActivePopupMenu(), nullptr);
  Log.clear();
  Backend->InjectMouseDown(40, 40);
  Backend->InjectMouseUp(40, 40);
  Pump();
  EXPECT_EQ(Form->ActivePopupMenu(), nullptr);
  EXPECT_EQ(Clicks, 0);
  // The press closed the menu; neither it nor its release reached W1.
  EXPECT_EQ(Log, (TLog{"S:leave", "W1:enter"}));
  RightClick(20, 341);
  Backend->InjectKeyDown(VK_ESCAPE);
  Pump();
  EXPECT_EQ(Form->ActivePopupMenu(), nullptr);
}

TEST_F(PopupMenu, ItClosesWhenItsControlDiesAndForgetsIt) {
  RightClick(20, 341);
  ASSERT_NE(Form->ActivePopupMenu(), nullptr);
  delete Slider;
  EXPECT_EQ(Form->ActivePopupMenu(), nullptr);
  EXPECT_EQ(Menu->PopupComponent(), nullptr);
  const int32_t Owned = Form->ComponentCount();
  delete Menu;  // its item goes with it and leaves the form
  EXPECT_EQ(Form->ComponentCount(), Owned - 2);
  Pump();
}

// ---- tool tips -------------------------------------------------------------------------------

TEST_F(Input, AToolTipAppearsAfterTheRestAndGoesOnLeave) {
  W1->SetHint("Visit website");
  W1->SetShowHint(true);
  W2->SetHint("not shown");
  Backend->InjectMouseMove(40, 40);
  Pump();
  GNow += 300;
  Backend->InjectMouseMove(42, 42);  // moving restarts the rest
  Pump();
  GNow += 499;
  Pump();
  EXPECT_EQ(Form->HintControl(), nullptr);
  GNow += 1;
  Pump();
  ASSERT_EQ(Form->HintControl(), W1);
  const TRect R = Form->HintRect();
  EXPECT_GT(R.Top, 42);  // below the pointer
  EXPECT_EQ(Screen(R.Left + 2, R.Top + 2), Argb(clInfoBk));
  Backend->InjectMouseMove(140, 40);  // onto W2, whose hint is not shown
  Pump();
  EXPECT_EQ(Form->HintControl(), nullptr);
  EXPECT_NE(Screen(R.Left + 2, R.Top + 2), Argb(clInfoBk));
  GNow += 2000;
  Pump();
  EXPECT_EQ(Form->HintControl(), nullptr);
}

TEST_F(Input, AToolTipNearTheEdgeStaysInsideTheFormAndAPressHidesIt) {
  auto* Corner = Make<TWindowless>("K", 0x000080, Bounds(230, 340, 20, 10), Form.get());
  Corner->SetHint("A rather long tool tip text");
  Corner->SetShowHint(true);
  Backend->InjectMouseMove(245, 348);
  Pump();
  GNow += 500;
  Pump();
  ASSERT_EQ(Form->HintControl(), Corner);
  const TRect R = Form->HintRect();
  EXPECT_EQ(IntersectRect(R, Form->ClientRect()), R);
  Backend->InjectMouseDown(245, 348);
  Pump();
  EXPECT_EQ(Form->HintControl(), nullptr);
}

}  // namespace
