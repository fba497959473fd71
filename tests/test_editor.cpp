// The editor window, headless: its layout, what it shows for the module's state, the gestures
// on both faces and what they write, host changes coming back without a write to the host,
// the owner check, and the website labels.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <thread>

#include "editor/KVX_WebAddress.h"
#include "gui/KVX_GuiLabel.h"
#include "gui/KVX_GuiSlider.h"
#include "gui/KVX_GuiStitchedButton.h"
#include "gui/KVX_GuiStitchedDial.h"
#include "gui/KVX_GuiStitchedPngList.h"
#include "gui/KVX_GuiStitchedSwitch.h"
#include "platform/KVX_ExtCtrls.h"
#include "platform/KVX_Menus.h"
#include "platform/KVX_Shell.h"
#include "test_editor_fixture.h"

using namespace kvx;
using namespace kvx::test;

namespace {

const std::vector<float> CDefaults = {100, 0, 0, 0, 0, 1, 1, 0, 0, 0};

// Host value of a parameter value (every parameter here is linear).
float HostValue(float Min, float Max, float Value) { return (Value - Min) / (Max - Min); }

// The pixels of a control's rectangle on the presented screen.
std::vector<uint32_t> ScreenPixels(const THeadlessWindowBackend& B, const TControl* C) {
  const TPoint P = PointOf(C, 0, 0);
  std::vector<uint32_t> Result;
  for (int32_t y = 0; y < C->Height(); ++y)
    for (int32_t x = 0; x < C->Width(); ++x) Result.push_back(B.ScreenPixel(P.X + x, P.Y + y));
  return Result;
}

// The white ink in a control's rectangle: the sum of each pixel's darkest channel.
long Ink(const THeadlessWindowBackend& B, const TControl* C) {
  long n = 0;
  for (uint32_t p : ScreenPixels(B, C)) n += std::min({p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF});
  return n;
}

}  // namespace

// ---- what the host sees -----------------------------------------------------------------------

TEST_F(EditorFixture, TheEffectDeclaresAndSizesItsEditor) {
  EXPECT_TRUE((Effect->EffectFlags & (1 << effFlagsHasEditor)) != 0);
  EXPECT_EQ(Dispatch(Effect, effCanDo, 0, 0, const_cast<char*>("conformsToWindowRules")), 1);
  ERect* Rect = nullptr;
  EXPECT_EQ(Dispatch(Effect, effEditGetRect, 0, 0, &Rect), 1);
  ASSERT_NE(Rect, nullptr);
  EXPECT_EQ((std::vector<int>{Rect->top, Rect->left, Rect->bottom, Rect->right}), (std::vector<int>{0, 0, 353, 254}));
  // Before the window exists the stated size is answered too.
  Close();
  Rect = nullptr;
  EXPECT_EQ(Dispatch(Effect, effEditGetRect, 0, 0, &Rect), 1);
  EXPECT_EQ((std::vector<int>{Rect->top, Rect->left, Rect->bottom, Rect->right}), (std::vector<int>{0, 0, 353, 254}));
  EXPECT_EQ(Dispatch(Effect, effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(Module->EditorForm(), nullptr);
}

TEST_F(EditorFixture, OpenedWindowIsEmbeddedBorderlessWithTheFrontFace) {
  EXPECT_EQ(Backend->Parent(), CParent);
  EXPECT_TRUE(Backend->Visible());
  EXPECT_EQ(Window->BorderStyle(), bsNone);
  EXPECT_EQ(Window->ClientWidth(), 254);
  EXPECT_EQ(Window->ClientHeight(), 353);
  EXPECT_EQ(Window->Caption(), "KVX ub37t v0.7");
  EXPECT_TRUE(Window->PanelFront->Visible());
  EXPECT_FALSE(Window->PanelBack->Visible());
  EXPECT_EQ(Window->PanelFront->BoundsRect(), (TRect{0, 0, 254, 353}));
}

// Every component with its face, place, size and visibility (after loading and FormShow).
TEST_F(EditorFixture, LayoutPlacesEveryComponent) {
  struct TRow {
    const TControl* Control;
    const TControl* Face;
    TRect Bounds;
    bool Visible;
    const char* Hint;
    bool ShowHint;
  };
  const TWndGUI& W = *Window;
  const TRow Rows[] = {
      {W.ImgFront, W.PanelFront, {0, 0, 254, 353}, true, "", false},
      {W.LblByKVX, W.PanelFront, {158, 172, 220, 195}, true, "Visit website", true},
      {W.LblInputLevelCaption, W.PanelFront, {8, 327, 208, 337}, true, "", false},
      {W.LEDOff, W.PanelFront, {207, 103, 216, 112}, false, "", false},
      {W.LEDOn, W.PanelFront, {194, 89, 229, 124}, true, "", false},
      {W.ImgRotateFront, W.PanelFront, {118, 296, 136, 310}, true, "To options window", true},
      {W.DialLevel, W.PanelFront, {31, 37, 90, 96}, true, "", false},
      {W.DialOutput, W.PanelFront, {163, 37, 222, 96}, true, "", false},
      {W.DialTone, W.PanelFront, {97, 37, 156, 96}, true, "", false},
      {W.ButtonBypass, W.PanelFront, {80, 201, 174, 295}, true, "", false},
      {W.SliderInput, W.PanelFront, {9, 338, 244, 345}, true, "", false},
      {W.ImgBack, W.PanelBack, {0, 0, 254, 353}, true, "", false},
      {W.ImgRotateBack, W.PanelBack, {118, 296, 136, 310}, true, "To main window", true},
      {W.LblWebSite, W.PanelBack, {48, 267, 205, 290}, true, "Visit website", true},
      {W.SwitchStereoMono, W.PanelBack, {19, 197, 57, 235}, true, "Stereo", false},
      {W.DialDrive, W.PanelBack, {43, 62, 93, 112}, true, "", false},
      {W.SwitchSymmetric, W.PanelBack, {128, 134, 166, 172}, true, "Asymmetrical", false},
      {W.SwitchOversampling, W.PanelBack, {128, 64, 166, 102}, true, "Oversampling", false},
      {W.SwitchMode, W.PanelBack, {19, 134, 57, 172}, true, "Mode", false},
  };
  for (const TRow& R : Rows) {
    SCOPED_TRACE(R.Control->Name());
    EXPECT_EQ(R.Control->Parent(), R.Face);
    EXPECT_EQ(R.Control->BoundsRect(), R.Bounds);
    EXPECT_EQ(R.Control->Visible(), R.Visible);
    EXPECT_EQ(R.Control->Hint(), R.Hint);
    EXPECT_EQ(R.Control->ShowHint(), R.ShowHint);
  }
  // Paint order on the front face: the picture at the bottom, the LEDs and arrow above it.
  EXPECT_EQ(W.PanelFront->IndexOfControl(W.ImgFront), 0);
  EXPECT_LT(W.PanelFront->IndexOfControl(W.LEDOff), W.PanelFront->IndexOfControl(W.LEDOn));

  // The stitched artwork, decoded after loading.
  struct TItem {
    const char* Name;
    int32_t Glyphs, Width, Height;
  };
  const TItem Items[] = {{"Button", 2, 94, 188}, {"Knob", 100, 59, 5900}, {"Knob2", 100, 50, 5000},
                         {"Switch2", 2, 38, 76}, {"Switch3", 3, 38, 114}};
  ASSERT_EQ(W.GSPL->Count(), 5);
  for (int32_t i = 0; i < 5; ++i) {
    const TGuiStitchedPNGCollectionItem* Item = W.GSPL->GetItems(i);
    EXPECT_EQ(Item->DisplayName(), Items[i].Name);
    EXPECT_EQ(Item->GlyphCount(), Items[i].Glyphs);
    EXPECT_EQ(Item->StitchKind(), skVertical);
    EXPECT_EQ(Item->PixelMap().Width(), Items[i].Width);
    EXPECT_EQ(Item->PixelMap().Height(), Items[i].Height);
  }
  EXPECT_EQ(W.DialLevel->ImageIndex(), 1);
  EXPECT_EQ(W.DialDrive->ImageIndex(), 2);
  EXPECT_EQ(W.ButtonBypass->ImageIndex(), 0);
  EXPECT_EQ(W.SwitchOversampling->ImageIndex(), 4);
  EXPECT_EQ(W.SwitchMode->ImageIndex(), 3);
  EXPECT_EQ(W.SliderInput->PopupMenu(), W.SliderPopupMenu);
  ASSERT_EQ(W.SliderPopupMenu->Count(), 1);
  EXPECT_EQ(W.SliderPopupMenu->Item(0)->Caption(), "Set to default (0)");
  EXPECT_EQ(W.LblWebSite->Caption(), std::string(CMakerHostName));
}

// ---- the module's state shown ---------------------------------------------------------------

TEST_F(EditorFixture, FormShowBringsEveryControlToTheModule) {
  // Defaults: Drive 100 on its last glyph, the other knobs at their values, Symmetric up.
  EXPECT_EQ(Window->DialDrive->Value(), 100.0f);
  EXPECT_EQ(Window->DialDrive->GlyphIndex(), 99);
  EXPECT_EQ(Window->DialTone->GlyphIndex(), 50);  // 0.5 x 99 rounds to even
  EXPECT_EQ(Window->DialLevel->GlyphIndex(), 0);
  EXPECT_EQ(Window->SwitchSymmetric->GlyphIndex(), 0);
  EXPECT_EQ(Window->SwitchOversampling->GlyphIndex(), 0);
  EXPECT_EQ(Window->LblInputLevelCaption->Caption(), "INPUT LEVEL 0dB");
  EXPECT_TRUE(Window->LEDOn->Visible());

  // A characteristic setting made while the editor is closed shows at the next open.
  Close();
  const std::pair<int32_t, float> Settings[] = {{0, 80}, {1, -6}, {2, 100}, {9, -20}, {4, 1},
                                                {5, 0},  {6, 16}, {7, 1},   {8, 35},  {3, 1}};
  for (auto [Index, Value] : Settings) Module->SetParameter(Index, Value);
  Open();
  const TWndGUI& W = *Window;
  EXPECT_EQ(W.DialDrive->Value(), 80.0f);
  EXPECT_EQ(W.DialDrive->GlyphIndex(), 79);  // 0.8 x 99 = 79.2
  EXPECT_EQ(W.DialTone->Value(), -6.0f);
  EXPECT_EQ(W.DialLevel->GlyphIndex(), 99);
  EXPECT_EQ(W.DialOutput->Value(), -20.0f);
  EXPECT_EQ(W.SwitchStereoMono->GlyphIndex(), 1);
  EXPECT_EQ(W.SwitchSymmetric->GlyphIndex(), 1);
  EXPECT_EQ(W.SwitchOversampling->GlyphIndex(), 2);
  EXPECT_EQ(W.SwitchMode->GlyphIndex(), 1);
  EXPECT_EQ(W.SliderInput->Value(), 35.0f);
  EXPECT_EQ(W.LblInputLevelCaption->Caption(), "INPUT LEVEL 3.5dB");
  EXPECT_FALSE(W.LEDOn->Visible());
  EXPECT_TRUE(W.LEDOff->Visible());
  // Bringing the controls up to date tells the host nothing.
  EXPECT_EQ(Automations().size(), 0u);
}

TEST_F(EditorFixture, InputCaptionFollowsTheInputLevel) {
  const std::pair<float, const char*> Cases[] = {
      {0, "INPUT LEVEL 0dB"}, {35, "INPUT LEVEL 3.5dB"}, {-200, "INPUT LEVEL -20dB"},
      {200, "INPUT LEVEL 20dB"}, {-1, "INPUT LEVEL -0.1dB"}, {123, "INPUT LEVEL 12.3dB"}};
  for (auto [Value, Caption] : Cases) {
    Module->SetParameter(8, Value);
    EXPECT_EQ(Window->LblInputLevelCaption->Caption(), Caption) << Value;
    EXPECT_EQ(Window->SliderInput->Value(), Value);
  }
}

TEST_F(EditorFixture, PixelsFollowTheControls) {
  Pump();
  // The LED: lit by default; bypassed, the lit LED's glow is gone from its box.
  const std::vector<uint32_t> Lit = ScreenPixels(*Backend, Window->LEDOn);
  HostSets(3, 1.0f);
  Pump();
  const std::vector<uint32_t> Unlit = ScreenPixels(*Backend, Window->LEDOn);
  EXPECT_NE(Lit, Unlit);
  HostSets(3, 0.0f);
  Pump();
  EXPECT_EQ(ScreenPixels(*Backend, Window->LEDOn), Lit);

  // A knob shows its glyph: another value, other pixels; the same value, the same pixels.
  const std::vector<uint32_t> Level0 = ScreenPixels(*Backend, Window->DialLevel);
  const std::vector<uint32_t> Tone0 = ScreenPixels(*Backend, Window->DialTone);
  HostSets(2, 0.5f);
  Pump();
  EXPECT_NE(ScreenPixels(*Backend, Window->DialLevel), Level0);
  EXPECT_EQ(ScreenPixels(*Backend, Window->DialTone), Tone0);
  HostSets(2, 0.0f);
  Pump();
  EXPECT_EQ(ScreenPixels(*Backend, Window->DialLevel), Level0);

  // The caption: longer text, more white ink.
  const long Short = Ink(*Backend, Window->LblInputLevelCaption);
  HostSets(8, 0.0f);  // -200: "INPUT LEVEL -20dB"
  Pump();
  EXPECT_GT(Ink(*Backend, Window->LblInputLevelCaption), Short + 255 * 10);
}

// ---- gestures ---------------------------------------------------------------------------------

// Each gesture on the front face, the parameters it leaves and what the host is told.
TEST_F(EditorFixture, FrontFaceGestures) {
  struct TCase {
    const char* Name;
    std::function<void()> Gesture;
    int32_t Index;
    float Expected;
    float HostExpected;  // the last amAutomate value for Index
  };
  const TCase Cases[] = {
      {"Level 40 px up", [&] { Drag(Window->DialLevel, -40); }, 2, 10, 0.1f},
      {"Level 40 px up with Shift", [&] { Drag(Window->DialLevel, -40, TShiftState{ssShift}); }, 2, 11, 0.11f},
      {"Level one wheel notch", [&] { Wheel(Window->DialLevel, 120); }, 2, 11.25f, 0.1125f},
      {"Tone 40 px up", [&] { Drag(Window->DialTone, -40); }, 1, 3, HostValue(-15, 15, 3)},
      {"Output 80 px down", [&] { Drag(Window->DialOutput, 80); }, 9, -40, HostValue(-100, 100, -40)},
      {"Output beyond the top", [&] { Drag(Window->DialOutput, -400); }, 9, 100, 1.0f},
      {"Level Ctrl + right click", [&] { CtrlClick(Window->DialLevel, mbRight); }, 2, 0, 0.0f},
      {"slider at its right end", [&] { Click(PointOf(Window->SliderInput, 234, 3)); }, 8, 200, 1.0f},
      {"slider at its left end", [&] { Click(PointOf(Window->SliderInput, 0, 3)); }, 8, -200, 0.0f},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    Host.Clear();
    C.Gesture();
    EXPECT_NEAR(Module->GetParameter(C.Index), C.Expected, 1e-3);
    const std::vector<TAutomation> A = Automations();
    ASSERT_FALSE(A.empty());
    EXPECT_EQ(A.back().Index, C.Index);
    EXPECT_NEAR(A.back().Value, C.HostExpected, 1e-5);
    for (const TAutomation& Each : A) EXPECT_EQ(Each.Index, C.Index);
  }
}

TEST_F(EditorFixture, BypassButtonTogglesAndTheLEDFollows) {
  const TPoint P = CentreOf(Window->ButtonBypass);
  Backend->InjectMouseMove(P.X, P.Y);
  Backend->InjectMouseDown(P.X, P.Y);
  Pump();
  EXPECT_EQ(Window->ButtonBypass->GlyphIndex(), 1);  // pressed while held
  EXPECT_EQ(Module->GetParameter(3), 0.0f);
  Backend->InjectMouseUp(P.X, P.Y);
  Pump();
  EXPECT_EQ(Window->ButtonBypass->GlyphIndex(), 0);
  EXPECT_EQ(Module->GetParameter(3), 1.0f);
  EXPECT_TRUE(Module->Bypass());
  EXPECT_FALSE(Window->LEDOn->Visible());
  EXPECT_TRUE(Window->LEDOff->Visible());
  EXPECT_EQ(Automations(), (std::vector<TAutomation>{{3, 1.0f}}));

  Host.Clear();
  Click(Window->ButtonBypass);
  EXPECT_EQ(Module->GetParameter(3), 0.0f);
  EXPECT_TRUE(Window->LEDOn->Visible());
  EXPECT_FALSE(Window->LEDOff->Visible());
  EXPECT_EQ(Automations(), (std::vector<TAutomation>{{3, 0.0f}}));

  // Pressed and released outside: no click, nothing written.
  Host.Clear();
  Backend->InjectMouseDown(P.X, P.Y);
  Backend->InjectMouseMove(5, 5);
  Backend->InjectMouseUp(5, 5);
  Pump();
  EXPECT_EQ(Module->GetParameter(3), 0.0f);
  EXPECT_TRUE(Automations().empty());

  // From the host: the LED switches, the button's glyph stays.
  HostSets(3, 1.0f);
  Pump();
  EXPECT_TRUE(Window->LEDOff->Visible());
  EXPECT_EQ(Window->ButtonBypass->GlyphIndex(), 0);
  EXPECT_TRUE(Automations().empty());
}

TEST_F(EditorFixture, SliderPopupMenuResetsTheInputLevel) {
  Module->SetParameter(8, 35);
  Host.Clear();
  const TPoint P = CentreOf(Window->SliderInput);
  Backend->InjectMouseMove(P.X, P.Y);
  Backend->InjectMouseDown(P.X, P.Y, mbRight);
  Backend->InjectMouseUp(P.X, P.Y, mbRight);
  Pump();
  ASSERT_EQ(Window->ActivePopupMenu(), Window->SliderPopupMenu);
  EXPECT_EQ(Module->GetParameter(8), 35.0f) << "a right click alone changes nothing";
  const TRect Item = Window->PopupItemRect(0);
  EXPECT_TRUE(Item.Bottom <= Window->ClientHeight() && Item.Top >= 0) << "the menu fits inside the window";
  // The item's caption is drawn: pixels other than the item's face (plain or highlighted).
  const uint32_t Face = Backend->ScreenPixel(Item.Left + 2, Item.Top + 2);
  int32_t TextPixels = 0;
  for (int32_t y = Item.Top + 1; y < Item.Bottom - 1; ++y)
    for (int32_t x = Item.Left + 1; x < Item.Right - 1; ++x) TextPixels += Backend->ScreenPixel(x, y) != Face;
  EXPECT_GT(TextPixels, 40) << "Set to default (0)";
  Click(TPoint{(Item.Left + Item.Right) / 2, (Item.Top + Item.Bottom) / 2});
  EXPECT_EQ(Window->ActivePopupMenu(), nullptr);
  EXPECT_EQ(Module->GetParameter(8), 0.0f);
  EXPECT_EQ(Window->SliderInput->Value(), 0.0f);
  EXPECT_EQ(Window->LblInputLevelCaption->Caption(), "INPUT LEVEL 0dB");
  EXPECT_EQ(Automations(), (std::vector<TAutomation>{{8, 0.5f}}));
}

TEST_F(EditorFixture, BackFaceSwitchesWriteTheirParameters) {
  Click(Window->ImgRotateFront);
  ASSERT_TRUE(Window->PanelBack->Visible());
  struct TCase {
    const char* Name;
    TGuiStitchedSwitch* Switch;
    TMouseButton Button;
    int32_t Glyph;
    int32_t Index;
    float Expected;
  };
  TWndGUI& W = *Window;
  const TCase Cases[] = {
      {"stereo on", W.SwitchStereoMono, mbLeft, 1, 4, 1},
      {"stereo off", W.SwitchStereoMono, mbLeft, 0, 4, 0},
      {"asymmetric", W.SwitchSymmetric, mbLeft, 1, 5, 0},  // glyph inverted
      {"symmetric", W.SwitchSymmetric, mbLeft, 0, 5, 1},
      {"8x", W.SwitchOversampling, mbLeft, 1, 6, 8},
      {"16x", W.SwitchOversampling, mbLeft, 2, 6, 16},
      {"1x (wraps)", W.SwitchOversampling, mbLeft, 0, 6, 1},
      {"16x (right click back)", W.SwitchOversampling, mbRight, 2, 6, 16},
      {"second mode", W.SwitchMode, mbLeft, 1, 7, 1},
      {"first mode", W.SwitchMode, mbRight, 0, 7, 0},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    Host.Clear();
    Click(C.Switch, C.Button);
    EXPECT_EQ(C.Switch->GlyphIndex(), C.Glyph);
    EXPECT_EQ(Module->GetParameter(C.Index), C.Expected);
    const float Max = C.Index == 6 ? 16.0f : 1.0f, Min = C.Index == 6 ? 1.0f : 0.0f;
    EXPECT_EQ(Automations(), (std::vector<TAutomation>{{C.Index, HostValue(Min, Max, C.Expected)}}));
  }
  EXPECT_EQ(Module->OSFactor(), 16);

  // Drive on the back face: a drag and Ctrl + right click back to the dial's own default, 0.
  Host.Clear();
  Drag(W.DialDrive, 40);
  EXPECT_NEAR(Module->GetParameter(0), 90, 1e-3);
  CtrlClick(W.DialDrive, mbRight);
  EXPECT_EQ(Module->GetParameter(0), 0.0f);
  EXPECT_EQ(W.DialDrive->Value(), 0.0f);
  EXPECT_EQ(Automations().back(), (TAutomation{0, 0.0f}));
}

TEST_F(EditorFixture, CtrlClickOnEitherFaceResetsEverything) {
  for (bool Back : {false, true}) {
    SCOPED_TRACE(Back ? "back face" : "front face");
    const std::pair<int32_t, float> Settings[] = {{0, 80}, {1, -6}, {2, 100}, {9, -20}, {4, 1},
                                                  {5, 0},  {6, 16}, {7, 1},   {8, 35},  {3, 1}};
    for (auto [Index, Value] : Settings) Module->SetParameter(Index, Value);
    TImage* Face = Back ? Window->ImgBack : Window->ImgFront;
    // A point of the face's picture that no control covers.
    const TPoint P = PointOf(Face, 10, 10);
    Host.Clear();
    Click(P);  // without Ctrl: nothing
    EXPECT_EQ(Module->GetParameter(0), 80.0f);
    EXPECT_TRUE(Automations().empty());
    Backend->SetModifiers(TShiftState{ssCtrl});
    Click(P);
    Backend->SetModifiers(TShiftState{});
    EXPECT_EQ(Parameters(), CDefaults);
    EXPECT_EQ(Automations().size(), 10u);
    // The controls followed.
    EXPECT_EQ(Window->DialDrive->Value(), 100.0f);
    EXPECT_EQ(Window->DialOutput->Value(), 0.0f);
    EXPECT_EQ(Window->SwitchSymmetric->GlyphIndex(), 0);
    EXPECT_EQ(Window->SwitchOversampling->GlyphIndex(), 0);
    EXPECT_TRUE(Window->LEDOn->Visible());
    EXPECT_EQ(Window->LblInputLevelCaption->Caption(), "INPUT LEVEL 0dB");
    if (!Back) Click(Window->ImgRotateFront);
  }
  // Ctrl + left click on a knob is the knob's: no reset.
  Click(Window->ImgRotateBack);
  Module->SetParameter(2, 50);
  CtrlClick(Window->DialTone);
  EXPECT_EQ(Module->GetParameter(2), 50.0f);
}

TEST_F(EditorFixture, FacesFlipAndKeepTheirControls) {
  Drag(Window->DialLevel, -40);
  Click(Window->ImgRotateFront);
  EXPECT_FALSE(Window->PanelFront->Visible());
  EXPECT_TRUE(Window->PanelBack->Visible());
  EXPECT_EQ(Window->PanelBack->BoundsRect(), (TRect{0, 0, 254, 353}));
  EXPECT_EQ(Window->ClientWidth(), 254);
  Click(Window->SwitchStereoMono);
  Pump();
  // What the back face shows where the front face's knob was.
  EXPECT_NE(ScreenPixels(*Backend, Window->DialDrive).size(), 0u);
  Click(Window->ImgRotateBack);
  EXPECT_TRUE(Window->PanelFront->Visible());
  EXPECT_FALSE(Window->PanelBack->Visible());
  EXPECT_EQ(Window->PanelFront->BoundsRect(), (TRect{0, 0, 254, 353}));
  EXPECT_EQ(Window->ClientWidth(), 254);
  EXPECT_NEAR(Window->DialLevel->Value(), 10, 1e-3);
  EXPECT_EQ(Window->SwitchStereoMono->GlyphIndex(), 1);
  EXPECT_EQ(Module->GetParameter(4), 1.0f);
  // A new window starts at the front.
  Click(Window->ImgRotateFront);
  Close();
  Open();
  EXPECT_TRUE(Window->PanelFront->Visible());
  EXPECT_EQ(Window->SwitchStereoMono->GlyphIndex(), 1);
}

// ---- host changes -----------------------------------------------------------------------------

// A host-side change moves its control and tells the host nothing, from the host's UI thread
// (the editor's) and from any other thread (applied at the next pump).
TEST_F(EditorFixture, HostAutomationMovesTheControlsWithoutWritingBack) {
  struct TCase {
    int32_t Index;
    float HostValue;
    std::function<bool()> Shown;
  };
  TWndGUI& W = *Window;
  const TCase Cases[] = {
      {0, 0.5f, [&] { return W.DialDrive->Value() == 50.0f; }},
      {1, 0.0f, [&] { return W.DialTone->Value() == -15.0f; }},
      {2, 1.0f, [&] { return W.DialLevel->Value() == 100.0f; }},
      {3, 1.0f, [&] { return W.LEDOff->Visible() && !W.LEDOn->Visible(); }},
      {4, 1.0f, [&] { return W.SwitchStereoMono->GlyphIndex() == 1; }},
      {5, 0.0f, [&] { return W.SwitchSymmetric->GlyphIndex() == 1; }},
      {5, 1.0f, [&] { return W.SwitchSymmetric->GlyphIndex() == 0; }},
      // 1 + 0.2 x 15 = 4 is stored as 8: the switch shows 8x, nothing is sent back.
      {6, 0.2f, [&] { return W.SwitchOversampling->GlyphIndex() == 1 && Module->GetParameter(6) == 8.0f; }},
      {6, 1.0f, [&] { return W.SwitchOversampling->GlyphIndex() == 2; }},
      {7, 1.0f, [&] { return W.SwitchMode->GlyphIndex() == 1; }},
      {8, 0.25f, [&] { return W.SliderInput->Value() == -100.0f && W.LblInputLevelCaption->Caption() == "INPUT LEVEL -10dB"; }},
      {9, 0.75f, [&] { return W.DialOutput->Value() == 50.0f; }},
  };
  for (bool OtherThread : {false, true}) {
    for (const TCase& C : Cases) {
      SCOPED_TRACE(testing::Message() << "parameter " << C.Index << (OtherThread ? " from another thread" : ""));
      Host.Clear();
      if (OtherThread) {
        std::thread([&] { HostSets(C.Index, C.HostValue); }).join();
        EXPECT_FALSE(C.Shown()) << "nothing moves before the editor's pump";
        Pump();
      } else {
        HostSets(C.Index, C.HostValue);
      }
      EXPECT_TRUE(C.Shown());
      EXPECT_TRUE(Automations().empty());
    }
    // Back to the defaults for the second round, through the host.
    for (int32_t i = 0; i < 10; ++i) Module->ApplyParameter(i, CDefaults[i]);
    Pump();
  }
}

TEST_F(EditorFixture, OversamplingFactorOutsideTheSwitchShowsTheFirstPosition) {
  Module->SetParameter(6, 16);
  ASSERT_EQ(Window->SwitchOversampling->GlyphIndex(), 2);
  Host.Clear();
  Module->ApplyOSFactor(4);
  Window->UpdateOversampling();
  EXPECT_EQ(Window->SwitchOversampling->GlyphIndex(), 0);
  EXPECT_TRUE(Automations().empty());
}

// ---- the owner check and the website ---------------------------------------------------------

TEST(EditorOwner, AWindowOfAnotherModuleRefusesToWrite) {
  TVSTModule Other;
  TWndGUI W(&Other, std::make_unique<THeadlessWindowBackend>());
  std::vector<std::string> Errors;
  W.OnException = [&](TObject*, const std::string& Message) { Errors.push_back(Message); };
  W.SetVisible(true);
  W.ProcessMessages();
  // UpdateLED checks the owner (at FormShow and when called).
  ASSERT_FALSE(Errors.empty());
  EXPECT_NE(Errors[0].find("Assertion failure (GUI"), std::string::npos) << Errors[0];
  Errors.clear();
  const bool LedWasOn = W.LEDOn->Visible();
  W.UpdateLED();
  EXPECT_EQ(Errors.size(), 1u);
  EXPECT_EQ(W.LEDOn->Visible(), LedWasOn);
  // A click on the bypass button reaches its handler, which stops before touching anything.
  auto* Backend = static_cast<THeadlessWindowBackend*>(W.Backend());
  Errors.clear();
  const TPoint P = CentreOf(W.ButtonBypass);
  Backend->InjectMouseMove(P.X, P.Y);
  Backend->InjectMouseDown(P.X, P.Y);
  Backend->InjectMouseUp(P.X, P.Y);
  W.ProcessMessages();
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors[0].find("Assertion failure (GUI"), std::string::npos);
}

TEST_F(EditorFixture, WebsiteCaptionFitsItsLabel) {
  // The caption and any host name the setting allows (18 characters) fit the label's 157 pixels.
  TGuiOversampledGDIFont& Font = Window->LblWebSite->GuiFont();
  EXPECT_LE(Font.TextExtent(std::string(CMakerHostName)).cx, Window->LblWebSite->Width());
  EXPECT_LE(Font.TextExtent(std::string(18, 'W')).cx, Window->LblWebSite->Width());
  EXPECT_GT(Font.TextExtent(std::string(18, 'W')).cx, 100) << "the label's own face measures the text";
  EXPECT_EQ(HostNameOf("https://www.kvx.example/"), "www.kvx.example");
  EXPECT_EQ(HostNameOf("http://kvx.example:8080/a?b"), "kvx.example");
  EXPECT_EQ(HostNameOf("kvx.example"), "kvx.example");
}

TEST_F(EditorFixture, WebsiteLabelsOpenTheMakersAddress) {
  // A stand-in opener that writes the address it was given.
  const std::string Dir = testing::TempDir();
  const std::string Script = Dir + "/kvx-open.sh", Out = Dir + "/kvx-opened.txt";
  std::remove(Out.c_str());
  {
    std::ofstream S(Script);
    S << "#!/bin/sh\nprintf '%s' \"$1\" >> '" << Out << "'\n";
  }
  ASSERT_EQ(std::system(("chmod +x '" + Script + "'").c_str()), 0);
  SetShellOpenProgram(Script);
  Click(Window->LblByKVX);
  Click(Window->ImgRotateFront);
  Click(Window->LblWebSite);
  for (int i = 0; i < 200 && ShellChildrenPending() > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Pump();
  }
  SetShellOpenProgram("xdg-open");
  std::ifstream In(Out);
  std::string Opened((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  EXPECT_EQ(Opened, std::string(CMakerWebAddress) + std::string(CMakerWebAddress));
  EXPECT_TRUE(Automations().empty());
}
