// The buffered control base, stitched image lists and the dial, switch and button, driven through
// a headless form: pixels are read from what the form presents, input is injected into its
// backend.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "gui/KVX_GuiGraphicControl.h"
#include "gui/KVX_GuiStitchedButton.h"
#include "gui/KVX_GuiStitchedDial.h"
#include "gui/KVX_GuiStitchedPngList.h"
#include "gui/KVX_GuiStitchedSwitch.h"
#include "platform/KVX_ExtCtrls.h"
#include "platform/KVX_Forms.h"
#include "platform/KVX_HeadlessBackend.h"

using namespace kvx;

namespace {

// Glyph g is a solid colour of its own; its top-left pixel is transparent, so the control's
// background shows through there.
uint32_t GlyphColor(int32_t G) {
  return 0xFF000000u | (uint32_t(G & 0xFF) << 16) | (uint32_t(255 - (G & 0xFF)) << 8) | 0x40u;
}

// The picture behind every control: each pixel names its position.
uint32_t BackdropColor(int32_t X, int32_t Y) {
  return 0xFF000000u | (uint32_t(X * 2 & 0xFF) << 16) | (uint32_t(Y * 2 & 0xFF) << 8) | 0x11u;
}

void MakeStitchedPicture(TGuiPixelMapMemory& Map, int32_t Glyphs, TGuiStitchKind Kind, int32_t W, int32_t H) {
  Map.SetSize(Kind == skVertical ? W : W * Glyphs, Kind == skVertical ? H * Glyphs : H);
  for (int32_t g = 0; g < Glyphs; ++g)
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) {
        const int32_t Px = Kind == skVertical ? x : g * W + x;
        const int32_t Py = Kind == skVertical ? g * H + y : y;
        Map.PixelPointer(Px, Py)->SetARGB(x == 0 && y == 0 ? 0 : GlyphColor(g));
      }
}

// A control that counts its rebuilds.
template <class TBase>
class TCounting : public TBase {
 public:
  using TBase::TBase;
  int BufferRebuilds = 0;
  int BackRebuilds = 0;
  void ResetCounts() { BufferRebuilds = BackRebuilds = 0; }
  // Lets a test make the maps lag the control's size.
  void ShrinkBuffer() { this->FBuffer->SetSize(1, 1); }
  void CallRebuildBuffer() { this->RebuildBuffer(); }

 protected:
  void RebuildBuffer() override {
    ++BufferRebuilds;
    TBase::RebuildBuffer();
  }
  void RebuildBackBuffer() override {
    ++BackRebuilds;
    TBase::RebuildBackBuffer();
  }
};

using TCountingSwitch = TCounting<TGuiStitchedSwitch>;
using TCountingDial = TCounting<TGuiStitchedDial>;

}  // namespace

class ControlsTest : public testing::Test {
 protected:
  static constexpr int32_t CFormSize = 120;

  void SetUp() override {
    Form = std::make_unique<TForm>(nullptr, std::make_unique<THeadlessWindowBackend>());
    Backend = static_cast<THeadlessWindowBackend*>(Form->Backend());
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(0, 0, CFormSize, CFormSize);
    Form->SetColor(clWhite);
    Backdrop = new TImage(Form.get());
    Backdrop->SetParent(Form.get());
    Backdrop->SetBounds(0, 0, CFormSize, CFormSize);
    TBitmap Picture(CFormSize, CFormSize);
    for (int32_t y = 0; y < CFormSize; ++y)
      for (int32_t x = 0; x < CFormSize; ++x) Picture.Canvas().SetPixel(x, y, BackdropColor(x, y));
    Backdrop->Picture().SetBitmap(Picture);
    List = new TGuiStitchedPNGList(Form.get());
    Form->Show();
  }

  void TearDown() override { Form.reset(); }

  TGuiStitchedPNGCollectionItem* AddItem(int32_t Glyphs, int32_t W = 8, int32_t H = 8,
                                         TGuiStitchKind Kind = skVertical) {
    TGuiStitchedPNGCollectionItem* Item = List->Add();
    TGuiPixelMapMemory Picture;
    MakeStitchedPicture(Picture, Glyphs, Kind, W, H);
    Item->SetStitchKind(Kind);
    Item->SetGlyphCount(Glyphs);
    Item->SetPixelMap(Picture);
    return Item;
  }

  template <class T>
  T* AddControl(int32_t X, int32_t Y, int32_t W, int32_t H, int32_t ImageIndex = 0) {
    T* Control = new T(Form.get());
    Control->SetParent(Form.get());
    Control->SetBounds(X, Y, W, H);
    Control->SetTransparent(true);
    Control->SetImageList(List);
    Control->SetImageIndex(ImageIndex);
    return Control;
  }

  void Pump() { Form->ProcessMessages(); }
  uint32_t Screen(int32_t X, int32_t Y) const { return Backend->ScreenPixel(X, Y); }

  // Every pixel of the control's rectangle shows glyph G (its transparent corner the backdrop).
  void ExpectShowsGlyph(const TControl& C, int32_t G) {
    for (int32_t y = 0; y < C.Height(); ++y)
      for (int32_t x = 0; x < C.Width(); ++x) {
        const uint32_t Expected = x == 0 && y == 0 ? BackdropColor(C.Left(), C.Top()) : GlyphColor(G);
        ASSERT_EQ(Screen(C.Left() + x, C.Top() + y), Expected) << "glyph " << G << " at " << x << ", " << y;
      }
  }
  void ExpectShowsBackdrop(const TRect& R) {
    for (int32_t y = R.Top; y < R.Bottom; ++y)
      for (int32_t x = R.Left; x < R.Right; ++x) ASSERT_EQ(Screen(x, y), BackdropColor(x, y)) << x << ", " << y;
  }

  std::unique_ptr<TForm> Form;
  THeadlessWindowBackend* Backend = nullptr;
  TImage* Backdrop = nullptr;
  TGuiStitchedPNGList* List = nullptr;
};

// ---- stitched glyphs on screen -----------------------------------------------------------------

TEST_F(ControlsTest, StitchedControlShowsTheClampedGlyphOverItsParent) {
  AddItem(100);
  auto* Switch = AddControl<TGuiStitchedSwitch>(10, 20, 8, 8);
  const struct {
    int32_t Set, Shown;
  } Cases[] = {{3, 3}, {-5, 0}, {1000, 99}, {42, 42}};
  for (const auto& C : Cases) {
    Switch->SetGlyphIndex(C.Set);
    Pump();
    EXPECT_EQ(Switch->GlyphIndex(), C.Shown);
    ExpectShowsGlyph(*Switch, C.Shown);
  }
  // Without an item the index stays -1.
  auto* Unlinked = AddControl<TGuiStitchedSwitch>(40, 20, 8, 8, -1);
  Unlinked->SetGlyphIndex(5);
  EXPECT_EQ(Unlinked->GlyphIndex(), -1);
}

TEST_F(ControlsTest, ControlLargerThanItsGlyphDrawsOnlyWhatThePictureHolds) {
  AddItem(4);
  // Taller and wider than a glyph, showing the last glyph: its rows past the picture and its
  // columns past the picture's width keep the background.
  auto* Big = AddControl<TGuiStitchedSwitch>(30, 30, 12, 12);
  Big->SetGlyphIndex(2);
  Pump();
  // Glyph 2 of a 12-row control starts at picture row 24: the last 8 rows of the picture.
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 12; ++x) {
      const int32_t Row = 24 + y;
      const bool Inside = x < 8 && Row < 32;
      const bool Corner = x == 0 && Row % 8 == 0;
      const uint32_t Expected = !Inside || Corner ? BackdropColor(30 + x, 30 + y) : GlyphColor(Row / 8);
      ASSERT_EQ(Screen(30 + x, 30 + y), Expected) << x << ", " << y;
    }
}

TEST_F(ControlsTest, ArtworkFromPngDecodesIntoTheItemAndReachesLinkedControls) {
  TGuiPixelMapMemory Picture;
  MakeStitchedPicture(Picture, 4, skHorizontal, 6, 5);
  TPortableNetworkGraphicPixel32 Png;
  Png.Assign(Picture);
  TGuiStitchedPNGCollectionItem* Item = List->Add();
  Item->SetGlyphCount(4);
  auto* Switch = AddControl<TGuiStitchedSwitch>(5, 5, 6, 5);
  Switch->SetGlyphIndex(3);
  Item->SetPortableNetworkGraphic(Png);
  EXPECT_EQ(Item->Width(), 24);
  EXPECT_EQ(Item->Height(), 5);
  Pump();
  ExpectShowsGlyph(*Switch, 3);
}

// ---- the paint scheme --------------------------------------------------------------------------

TEST_F(ControlsTest, RebuildsHappenOnlyWhenTheirFlagsAskAndOncePerPaint) {
  AddItem(4);
  auto* Control = AddControl<TCountingSwitch>(10, 10, 8, 8);
  Pump();
  EXPECT_EQ(Control->BackRebuilds, 1);
  EXPECT_EQ(Control->BufferRebuilds, 1);

  Control->ResetCounts();
  Control->RequestBufferUpdate();
  Control->RequestBufferUpdate();
  Pump();
  EXPECT_EQ(Control->BufferRebuilds, 1) << "two requests, one rebuild";
  EXPECT_EQ(Control->BackRebuilds, 0) << "a foreground change keeps the background";

  // A plain repaint is a copy: nothing is rebuilt, the pixels are presented again.
  Control->ResetCounts();
  Backend->ClearPresented();
  Control->Invalidate();
  Pump();
  EXPECT_EQ(Control->BufferRebuilds + Control->BackRebuilds, 0);
  EXPECT_FALSE(Backend->Presented().empty());
  ExpectShowsGlyph(*Control, 0);

  // Setting the value it already has requests nothing.
  Control->ResetCounts();
  Control->SetTransparent(true);
  EXPECT_FALSE(Control->BackBufferUpdatePending());
  Pump();
  EXPECT_EQ(Control->BackRebuilds, 0);
}

TEST_F(ControlsTest, MovesAndColourChangesRebuildTheBackgroundOnlyWhereItChanged) {
  AddItem(4);
  auto* Transparent = AddControl<TCountingSwitch>(10, 10, 8, 8);
  auto* Opaque = AddControl<TCountingSwitch>(40, 10, 8, 8);
  Opaque->SetTransparent(false);
  Opaque->SetColor(clBlack);
  Pump();
  Transparent->ResetCounts();
  Opaque->ResetCounts();

  Transparent->SetLeft(12);
  Opaque->SetLeft(42);
  Pump();
  EXPECT_EQ(Transparent->BackRebuilds, 1) << "a transparent control shows another part of its parent";
  EXPECT_EQ(Opaque->BackRebuilds, 0);
  ExpectShowsGlyph(*Transparent, 0);
  EXPECT_EQ(Screen(42, 10), 0xFF000000u) << "the opaque control's corner shows its own colour";

  Transparent->ResetCounts();
  Transparent->SetColor(clRed);
  Opaque->SetColor(clBlue);
  Pump();
  EXPECT_EQ(Transparent->BackRebuilds, 0);
  EXPECT_EQ(Opaque->BackRebuilds, 1);
  EXPECT_EQ(Screen(42, 10), 0xFF0000FFu);
}

TEST_F(ControlsTest, EmptyControlPaintsNothing) {
  AddItem(4);
  auto* Empty = AddControl<TCountingSwitch>(20, 20, 8, 8);
  Empty->SetGlyphIndex(1);
  Pump();
  Empty->SetBounds(20, 20, 0, 0);
  Empty->RequestBufferUpdate();
  Pump();
  EXPECT_EQ(Empty->Buffer()->DataSize(), 0);
  EXPECT_EQ(Empty->BackBuffer()->DataSize(), 0);
  ExpectShowsBackdrop(TRect{18, 18, 30, 30});
}

TEST_F(ControlsTest, ComposingFromMapsThatLagTheControlIsAnAssertionFailure) {
  AddItem(4);
  auto* Control = AddControl<TCountingSwitch>(20, 20, 8, 8);
  Pump();
  Control->ShrinkBuffer();
  try {
    Control->CallRebuildBuffer();
    FAIL() << "no assertion failure";
  } catch (const EAssertionFailed& E) {
    EXPECT_EQ(std::string(E.what()).rfind("Assertion failure (KVX_GuiCustomControl, line ", 0), 0u) << E.what();
  }
}

namespace {
class TTestGraphic : public TCustomGuiGraphicControl {
 public:
  using TCustomGuiGraphicControl::TCustomGuiGraphicControl;
};
}  // namespace

TEST_F(ControlsTest, WindowlessControlPaintsItsOpaqueBackgroundAndCallsOnPaint) {
  auto* Graphic = new TTestGraphic(Form.get());
  Graphic->SetParent(Form.get());
  Graphic->SetBounds(50, 50, 10, 6);
  Graphic->SetColor(clRed);
  int Paints = 0;
  Graphic->OnPaint = [&](TObject* Sender) {
    EXPECT_EQ(Sender, Graphic);
    ++Paints;
  };
  Pump();
  EXPECT_GE(Paints, 1);
  EXPECT_EQ(Screen(50, 50), 0xFFFF0000u);
  EXPECT_EQ(Screen(59, 55), 0xFFFF0000u);
  EXPECT_EQ(Screen(60, 55), BackdropColor(60, 55));

  Graphic->SetTransparent(true);
  Pump();
  ExpectShowsBackdrop(TRect{50, 50, 60, 56});
}

// ---- links between items, lists and controls ---------------------------------------------------

TEST_F(ControlsTest, LoweringTheGlyphCountMovesControlsToTheLastGlyph) {
  TGuiStitchedPNGCollectionItem* Item = AddItem(4);
  auto* Switch = AddControl<TGuiStitchedSwitch>(10, 10, 8, 8);
  Switch->SetGlyphIndex(3);
  Switch->SetDefaultGlyphIndex(3);
  Item->SetGlyphCount(2);
  EXPECT_EQ(Switch->GlyphIndex(), 1);
  EXPECT_EQ(Switch->DefaultGlyphIndex(), 1);
  EXPECT_THROW(Item->SetGlyphCount(0), EArgumentError);
  EXPECT_EQ(Item->GlyphCount(), 2);
}

TEST_F(ControlsTest, AutoSizedControlsFollowTheGlyphSize) {
  TGuiStitchedPNGCollectionItem* Item = AddItem(4, 6, 5, skHorizontal);  // picture 24 x 5
  auto* Switch = AddControl<TGuiStitchedSwitch>(10, 10, 30, 30);
  auto* Fixed = AddControl<TGuiStitchedSwitch>(50, 10, 30, 30);
  Switch->SetAutoSize(true);
  EXPECT_EQ(Switch->Width(), 6);
  EXPECT_EQ(Switch->Height(), 5);
  Item->SetStitchKind(skVertical);  // the same picture read as 4 stacked glyphs of 24 x 1
  EXPECT_EQ(Switch->Width(), 24);
  EXPECT_EQ(Switch->Height(), 1);
  Item->SetGlyphCount(2);
  EXPECT_EQ(Switch->Height(), 2);
  EXPECT_EQ(Fixed->Width(), 30) << "a control without auto-size keeps its size";
  Pump();
  EXPECT_EQ(Switch->Buffer()->Width(), 24) << "the maps follow the new size";
  EXPECT_EQ(Switch->Buffer()->Height(), 2);
}

TEST_F(ControlsTest, DeletingAnItemLeavesItsControlsWithoutImage) {
  AddItem(4);
  AddItem(4);
  auto* A = AddControl<TGuiStitchedSwitch>(10, 10, 8, 8, 0);
  auto* B = AddControl<TGuiStitchedSwitch>(30, 10, 8, 8, 0);
  auto* Other = AddControl<TGuiStitchedSwitch>(50, 10, 8, 8, 1);
  A->SetGlyphIndex(2);
  Pump();
  List->StitchedPNGs().Delete(0);
  for (auto* C : {A, B}) {
    EXPECT_EQ(C->ImageIndex(), -1);
    EXPECT_EQ(C->GlyphIndex(), -1);
    EXPECT_EQ(C->ImageItem(), nullptr);
  }
  EXPECT_EQ(Other->ImageIndex(), 0) << "the remaining item moved up";
  Pump();
  // Without an image, a switch shows its state colour (red for -1); the dial, having none,
  // would show its background.
  EXPECT_EQ(Screen(11, 11), 0xFFFF0000u);
}

TEST_F(ControlsTest, ItemPictureAssignmentKeepsTheItemsOwnResizeHandling) {
  TGuiStitchedPNGCollectionItem* Item = AddItem(4);
  auto* Switch = AddControl<TGuiStitchedSwitch>(10, 10, 8, 8);
  Pump();
  TGuiPixelMapMemory Source;
  MakeStitchedPicture(Source, 4, skVertical, 8, 8);
  int SourceResizes = 0;
  Source.SetOnResize([&](TGuiCustomMap*) { ++SourceResizes; });
  Item->SetPixelMap(Source);
  EXPECT_TRUE(Item->PixelMap().Equals(Source));
  Pump();
  Item->SetHeight(40);
  EXPECT_EQ(SourceResizes, 0) << "the source's handler was not taken over";
  EXPECT_TRUE(Switch->BufferUpdatePending()) << "the linked control heard of the resize";
}

TEST_F(ControlsTest, ListIndexErrorsNameTheIndex) {
  AddItem(2);
  try {
    List->GetItems(5);
    FAIL();
  } catch (const EArgumentError& E) {
    EXPECT_NE(std::string(E.what()).find('5'), std::string::npos) << E.what();
  }
  EXPECT_THROW(List->GetItems(-1), EArgumentError);
}

TEST_F(ControlsTest, UpdateLocksRedrawOnceAtTheLastEndUpdate) {
  AddItem(4);
  auto* Switch = AddControl<TCountingSwitch>(10, 10, 8, 8);
  Pump();
  Switch->ResetCounts();
  Switch->BeginUpdate();
  Switch->BeginUpdate();
  Switch->SetGlyphIndex(1);
  Switch->SetGlyphIndex(2);
  Switch->EndUpdate();
  Pump();
  EXPECT_EQ(Switch->BufferRebuilds, 0) << "still locked";
  Switch->EndUpdate();
  Pump();
  EXPECT_EQ(Switch->BufferRebuilds, 1);
  ExpectShowsGlyph(*Switch, 2);

  try {
    Switch->EndUpdate();
    FAIL();
  } catch (const EInvalidOperation& E) {
    EXPECT_STREQ(E.what(), "Control is not locked");
  }
  EXPECT_EQ(Switch->LockCount(), 0);
}

TEST_F(ControlsTest, LoadingLinksByIndexAndDropsAnIndexPastTheList) {
  AddItem(4);
  auto* Linked = new TGuiStitchedDial(Form.get());
  auto* Past = new TGuiStitchedSwitch(Form.get());
  for (TGuiCustomStitchedControl* C : {static_cast<TGuiCustomStitchedControl*>(Linked),
                                       static_cast<TGuiCustomStitchedControl*>(Past)}) {
    C->SetParent(Form.get());
    C->SetTransparent(true);
  }
  Form->BeginLoading();
  Linked->SetBounds(10, 10, 8, 8);
  Linked->SetImageList(List);
  Linked->SetImageIndex(0);
  Linked->SetValue(70);  // 0.7 x 3 = 2.1: glyph 2
  Past->SetBounds(30, 10, 8, 8);
  Past->SetImageList(List);
  Past->SetImageIndex(7);
  Past->SetGlyphIndex(2);
  Form->EndLoading();
  EXPECT_EQ(Linked->ImageIndex(), 0);
  EXPECT_EQ(Linked->GlyphIndex(), 2);
  EXPECT_EQ(Past->ImageIndex(), -1);
  EXPECT_EQ(Past->ImageItem(), nullptr);
  Pump();
  ExpectShowsGlyph(*Linked, 2);
}

TEST_F(ControlsTest, LayoutArtworkIsDecodedAfterTheControlsHaveLinked) {
  // The layout's order: controls first, then the list with its PNG bytes.
  auto* Dial = new TGuiStitchedDial(Form.get());
  Dial->SetParent(Form.get());
  Dial->SetTransparent(true);
  delete List;
  List = new TGuiStitchedPNGList(Form.get());
  TGuiStitchedPNGCollectionItem* Item = List->Add();
  TGuiPixelMapMemory Picture;
  MakeStitchedPicture(Picture, 4, skVertical, 8, 8);
  TPortableNetworkGraphicPixel32 Encoder;
  Encoder.Assign(Picture);
  TMemoryStream Bytes;
  Encoder.SaveToStream(Bytes);

  Form->BeginLoading();
  Bytes.SetPosition(0);
  Item->PortableNetworkGraphic().LoadFromStream(Bytes);
  Item->SetGlyphCount(4);
  Item->SetStitchKind(skVertical);
  Dial->SetBounds(20, 20, 8, 8);
  Dial->SetImageList(List);
  Dial->SetImageIndex(0);
  Dial->SetValue(100);
  Form->EndLoading();
  EXPECT_TRUE(Item->PixelMap().Equals(Picture));
  Pump();
  ExpectShowsGlyph(*Dial, 3);
}

TEST_F(ControlsTest, ControlsFreedBeforeTheirListLeaveNoLinkBehind) {
  TGuiStitchedPNGCollectionItem* Item = AddItem(4);
  auto* A = AddControl<TGuiStitchedSwitch>(10, 10, 8, 8);
  auto* B = AddControl<TGuiStitchedDial>(30, 10, 8, 8);
  Pump();
  delete A;
  EXPECT_EQ(Item->LinkedControlCount(), 1);
  EXPECT_EQ(List->LinkedControlCount(), 1);
  delete B;
  EXPECT_EQ(Item->LinkedControlCount(), 0);
  EXPECT_EQ(List->LinkedControlCount(), 0);
  // Changes of the item and the list's end touch no freed control (ASan would see it).
  Item->SetGlyphCount(2);
  Item->SetHeight(20);
  delete List;
  List = nullptr;
}

TEST_F(ControlsTest, ListFreedBeforeItsControlsLeavesThemWithoutImage) {
  AddItem(4);
  auto* Switch = AddControl<TGuiStitchedSwitch>(10, 10, 8, 8);
  auto* Dial = AddControl<TGuiStitchedDial>(30, 10, 8, 8);
  Switch->SetGlyphIndex(2);
  Pump();
  delete List;
  List = nullptr;
  EXPECT_EQ(Switch->ImageList(), nullptr);
  EXPECT_EQ(Switch->ImageItem(), nullptr);
  EXPECT_EQ(Dial->ImageItem(), nullptr);
  EXPECT_EQ(Switch->GlyphIndex(), -1);
  Pump();
  ExpectShowsBackdrop(TRect{30, 10, 38, 18});
}

// ---- the dial ----------------------------------------------------------------------------------

namespace {

struct TInput {
  enum TKind { Down, Move, Up, Wheel } Kind;
  int32_t X = 0, Y = 0;  // control client coordinates
  TMouseButton Button = mbLeft;
  int32_t Delta = 0;
  TShiftState Modifiers;
};

TInput Down(int32_t X, int32_t Y, TMouseButton B = mbLeft, TShiftState M = {}) { return {TInput::Down, X, Y, B, 0, M}; }
TInput Move(int32_t X, int32_t Y, TShiftState M = {}) { return {TInput::Move, X, Y, mbLeft, 0, M}; }
TInput Up(int32_t X, int32_t Y, TMouseButton B = mbLeft) { return {TInput::Up, X, Y, B, 0, {}}; }
TInput Wheel(int32_t Delta, TShiftState M = {}) { return {TInput::Wheel, 4, 4, mbLeft, Delta, M}; }

}  // namespace

class DialTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    AddItem(100);
    Dial = AddControl<TCountingDial>(30, 40, 8, 8);
    Dial->OnChange = [this](TObject*) { ++Changes; };
    Pump();
  }
  void Play(const std::vector<TInput>& Inputs, bool PumpEach = true) {
    for (const TInput& I : Inputs) {
      Backend->SetModifiers(I.Modifiers);
      const int32_t X = Dial->Left() + I.X, Y = Dial->Top() + I.Y;
      switch (I.Kind) {
        case TInput::Down: Backend->InjectMouseDown(X, Y, I.Button); break;
        case TInput::Move: Backend->InjectMouseMove(X, Y); break;
        case TInput::Up: Backend->InjectMouseUp(X, Y, I.Button); break;
        case TInput::Wheel: Backend->InjectWheel(X, Y, I.Delta); break;
      }
      if (PumpEach) Pump();
    }
    Backend->SetModifiers({});
    Pump();
  }
  TCountingDial* Dial = nullptr;
  int Changes = 0;
};

TEST_F(DialTest, DragWheelAndResetMoveTheValue) {
  const struct {
    const char* Name;
    float Start;
    bool Wrap;
    std::vector<TInput> Inputs;
    float Expected;
  } Cases[] = {
      {"40 pixels up", 0, false, {Down(4, 4), Move(4, -36), Up(4, -36)}, 10},
      {"40 pixels up in two steps", 0, false, {Down(4, 4), Move(4, -16), Move(4, -36), Up(4, -36)}, 10},
      {"40 pixels down", 50, false, {Down(4, 4), Move(4, 44), Up(4, 44)}, 40},
      {"fine drag with Shift", 0, false, {Down(4, 4), Move(4, -36, {ssShift}), Up(4, -36)}, 1},
      {"one wheel notch", 0, false, {Wheel(120)}, 0.25f},
      {"one notch down", 50, false, {Wheel(-120)}, 49.75f},
      {"fine notch with Shift", 0, false, {Wheel(120, {ssShift})}, 0.025f},
      {"beyond the top stops at Max", 95, false, {Down(4, 4), Move(4, -36), Up(4, -36)}, 100},
      {"beyond the top wraps to Min", 95, true, {Down(4, 4), Move(4, -36), Up(4, -36)}, 5},
      {"below the bottom wraps to Max", 5, true, {Down(4, 4), Move(4, 44), Up(4, 44)}, 95},
      {"Ctrl + right click resets", 30, false, {Down(4, 4, mbRight, {ssCtrl}), Up(4, 4, mbRight)}, 20},
      {"a plain right click does not", 30, false, {Down(4, 4, mbRight), Up(4, 4, mbRight)}, 30},
      {"moves without a button do not", 30, false, {Move(4, 4), Move(4, -36)}, 30},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Dial->SetDefaultValue(20);
    Dial->SetWrap(C.Wrap);
    Dial->SetValue(C.Start);
    Changes = 0;
    Play(C.Inputs);
    EXPECT_NEAR(Dial->Value(), C.Expected, 1e-4);
    EXPECT_EQ(Changes > 0, C.Expected != C.Start) << "OnChange fires exactly when the value moves";
  }
}

TEST_F(DialTest, ValueShowsItsGlyphAndDragsContinueFromAProgramSetValue) {
  const struct {
    float Value;
    int32_t Glyph;
  } Glyphs[] = {{0, 0}, {50, 50}, {100, 99}, {25, 25}};  // 49.5 rounds to the even 50
  for (const auto& G : Glyphs) {
    Dial->SetValue(G.Value);
    Pump();
    EXPECT_EQ(Dial->GlyphIndex(), G.Glyph) << G.Value;
    ExpectShowsGlyph(*Dial, G.Glyph);
  }
  Dial->SetValue(50);
  Play({Down(4, 4), Move(4, -36), Up(4, -36)});
  EXPECT_NEAR(Dial->Value(), 60, 1e-4);
}

TEST_F(DialTest, LockedCursorStaysAtTheCentreAndTheWarpEchoMovesNothing) {
  Dial->SetLockCursor(true);
  const TPoint Centre{Dial->Left() + 4, Dial->Top() + 4};
  Play({Down(4, 4), Move(4, -6)});  // 10 pixels up
  EXPECT_NEAR(Dial->Value(), 2.5f, 1e-4);
  EXPECT_EQ(Backend->PointerPosition(), Centre) << "the pointer was put back";
  EXPECT_EQ(Backend->Cursor(), crNone);
  EXPECT_EQ(Backend->PendingEvents(), 0u) << "the echo was delivered";
  Play({Move(4, -16)});  // 20 up from the centre: the echo did not swallow this move
  EXPECT_NEAR(Dial->Value(), 7.5f, 1e-4);
  // A move reported at the centre needs no warp; the next real move still counts.
  Play({Move(4, 4), Move(4, -36)});
  EXPECT_NEAR(Dial->Value(), 17.5f, 1e-4);
  Play({Up(4, -36)});
  EXPECT_EQ(Backend->Cursor(), crDefault);
  EXPECT_EQ(Backend->PointerPosition(), Centre);
  EXPECT_NEAR(Dial->Value(), 17.5f, 1e-4);
}

TEST_F(DialTest, RangeSettersKeepTheValueInsideAndRefuseBadBounds) {
  Dial->SetValue(150);
  EXPECT_EQ(Dial->Value(), 100) << "stored clamped";
  Changes = 0;
  Dial->SetValue(100);
  EXPECT_EQ(Changes, 0) << "the same value again fires nothing";

  Dial->SetValue(80);
  Dial->SetMax(50);
  EXPECT_EQ(Dial->Value(), 50);
  EXPECT_EQ(Dial->GlyphIndex(), 99) << "the glyph follows";
  Dial->SetMin(60 - 70);
  EXPECT_EQ(Dial->Value(), 50);

  try {
    Dial->SetMax(-20);
    FAIL();
  } catch (const EInvalidOperation& E) {
    const std::string M = E.what();
    EXPECT_NE(M.find("-9"), std::string::npos) << M;  // Min + 1
    EXPECT_NE(M.find("2147483647"), std::string::npos) << M;
  }
  EXPECT_EQ(Dial->Max(), 50);
  try {
    Dial->SetMin(70);
    FAIL();
  } catch (const EInvalidOperation& E) {
    const std::string M = E.what();
    EXPECT_NE(M.find("-2147483647"), std::string::npos) << M;
    EXPECT_NE(M.find("49"), std::string::npos) << M;  // Max - 1
  }
  EXPECT_EQ(Dial->Min(), -10);

  // A range of 0 shows glyph 0.
  Dial->SetMin(50);
  EXPECT_EQ(Dial->GlyphIndex(), 0);
}

TEST_F(DialTest, NumbersThatAreNotFiniteNeverReachTheValueOrTheGlyph) {
  const float NaN = std::numeric_limits<float>::quiet_NaN();
  const float Inf = std::numeric_limits<float>::infinity();
  Dial->SetValue(40);
  Dial->SetValue(NaN);
  Dial->SetDefaultValue(NaN);
  Dial->SetMin(NaN);
  Dial->SetMax(NaN);
  Dial->SetMax(Inf);
  Dial->SetCurveMapping(NaN);
  EXPECT_EQ(Dial->Value(), 40);
  EXPECT_EQ(Dial->Min(), 0);
  EXPECT_EQ(Dial->Max(), 100);
  EXPECT_EQ(Dial->CurveMapping(), 0);
  // Positions that cannot be wrapped, from a zero scroll range or huge steps, end at once.
  Dial->SetWrap(true);
  Dial->SetScrollRange(0);
  Play({Down(4, 4), Move(4, -36), Wheel(120), Up(4, -36)});
  Dial->SetScrollRange(1e-30f);
  Play({Wheel(120), Wheel(-120 * 1000)});
  EXPECT_TRUE(std::isfinite(Dial->Value()));
  EXPECT_TRUE(Dial->Value() >= 0 && Dial->Value() <= 100);
  EXPECT_TRUE(Dial->GlyphIndex() >= 0 && Dial->GlyphIndex() <= 99);
  // A range too wide for floats gives no position: the value still stays a number.
  Dial->SetScrollRange(400);
  Dial->SetMin(-3e38f);
  Dial->SetMax(3e38f);
  Play({Down(4, 4), Move(4, -36), Up(4, -36)});
  EXPECT_FALSE(std::isnan(Dial->Value()));
  EXPECT_FALSE(std::isnan(Dial->NormalizedPosition()));
}

TEST_F(DialTest, CurveGivesTheUpperRangeMoreGlyphs) {
  Dial->SetCurveMapping(1);  // exponent 2
  Dial->SetValue(50);
  EXPECT_FLOAT_EQ(Dial->NormalizedPosition(), 0.25f);
  EXPECT_EQ(Dial->GlyphIndex(), 25);  // 0.25 x 99 = 24.75
  Play({Down(4, 4), Move(4, -96), Up(4, -96)});  // position 0.25 + 0.25
  EXPECT_NEAR(Dial->Value(), 100 * std::sqrt(0.5f), 1e-3);
}

// ---- the switch --------------------------------------------------------------------------------

TEST_F(ControlsTest, SwitchClicksStepAndWrap) {
  AddItem(3);
  AddItem(2);
  const struct {
    int32_t Item, Start;
    TMouseButton Button;
    bool ReadOnly;
    int32_t Expected;
  } Cases[] = {
      {0, 2, mbLeft, false, 0},  {0, 2, mbRight, false, 1}, {0, 0, mbRight, false, 2},
      {0, 0, mbLeft, false, 1},  {1, 1, mbLeft, false, 0},  {1, 0, mbRight, false, 1},
      {0, 1, mbMiddle, false, 1}, {0, 1, mbLeft, true, 1},  {0, 1, mbRight, true, 1},
  };
  auto* Switch = AddControl<TGuiStitchedSwitch>(10, 10, 8, 8);
  int Downs = 0;
  Switch->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int32_t, int32_t) { ++Downs; };
  for (const auto& C : Cases) {
    Switch->SetImageIndex(C.Item);
    Switch->SetGlyphIndex(C.Start);
    Switch->SetReadOnly(C.ReadOnly);
    Downs = 0;
    Backend->InjectMouseDown(12, 12, C.Button);
    Backend->InjectMouseUp(12, 12, C.Button);
    Pump();
    EXPECT_EQ(Switch->GlyphIndex(), C.Expected) << C.Item << " " << C.Start << " " << int(C.Button);
    EXPECT_EQ(Downs, 1) << "OnMouseDown fires also when read-only";
    ExpectShowsGlyph(*Switch, C.Expected);
  }
}

TEST_F(ControlsTest, SwitchWithoutArtworkShowsItsStateInColour) {
  auto* Switch = new TGuiStitchedSwitch(Form.get());
  Switch->SetParent(Form.get());
  Form->BeginLoading();
  Switch->SetBounds(10, 10, 6, 6);
  Switch->SetGlyphIndex(0);
  Form->EndLoading();
  Pump();
  EXPECT_EQ(Screen(10, 10), 0xFF00FF00u) << "green at position 0";
  EXPECT_EQ(Screen(15, 15), 0xFF00FF00u);
  Backend->InjectMouseDown(12, 12);
  Backend->InjectMouseUp(12, 12);
  Pump();
  EXPECT_EQ(Switch->GlyphIndex(), -1);
  EXPECT_EQ(Screen(12, 12), 0xFFFF0000u) << "red for any other position";

  // Clearing the list of a switch with artwork leaves it at -1 too.
  AddItem(2);
  auto* Linked = AddControl<TGuiStitchedSwitch>(30, 10, 8, 8);
  Linked->SetImageList(nullptr);
  EXPECT_EQ(Linked->GlyphIndex(), -1);
  Pump();
  EXPECT_EQ(Screen(33, 13), 0xFFFF0000u);
}

// ---- the button --------------------------------------------------------------------------------

TEST_F(ControlsTest, ButtonGlyphFollowsThePointerAndClicksNeedARelease) {
  struct TStep {
    TInput::TKind Kind;
    int32_t X, Y;
    int32_t Glyph;
  };
  const struct {
    const char* Name;
    int32_t Glyphs;
    std::vector<TStep> Steps;
    int Clicks;
  } Cases[] = {
      {"two glyphs, click inside", 2,
       {{TInput::Move, 4, 4, 0}, {TInput::Down, 4, 4, 1}, {TInput::Up, 4, 4, 0}}, 1},
      {"two glyphs, released outside", 2,
       {{TInput::Down, 4, 4, 1}, {TInput::Move, 30, 30, 1}, {TInput::Up, 30, 30, 0}}, 0},
      {"four glyphs: hover, press, release inside, leave", 4,
       {{TInput::Move, 4, 4, 3}, {TInput::Down, 4, 4, 1}, {TInput::Up, 4, 4, 3}, {TInput::Move, 40, 40, 0}}, 1},
      // The pointer's leave is reported once the capture ends with the release, so the
      // button does not stay drawn pressed.
      {"four glyphs, released outside", 4,
       {{TInput::Move, 4, 4, 3}, {TInput::Down, 4, 4, 1}, {TInput::Move, 40, 40, 1}, {TInput::Up, 40, 40, 0}}, 0},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    List->StitchedPNGs().Clear();
    AddItem(C.Glyphs);
    auto* Button = AddControl<TGuiStitchedButton>(20, 20, 8, 8);
    int Clicks = 0, Downs = 0;
    Button->OnClick = [&](TObject*) { ++Clicks; };
    Button->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int32_t, int32_t) { ++Downs; };
    Backend->InjectMouseMove(100, 100);
    Pump();
    for (const TStep& S : C.Steps) {
      const int32_t X = 20 + S.X, Y = 20 + S.Y;
      if (S.Kind == TInput::Move) Backend->InjectMouseMove(X, Y);
      if (S.Kind == TInput::Down) Backend->InjectMouseDown(X, Y);
      if (S.Kind == TInput::Up) Backend->InjectMouseUp(X, Y);
      Pump();
      ASSERT_EQ(Button->GlyphIndex(), S.Glyph) << "after step " << int(S.Kind);
      ExpectShowsGlyph(*Button, S.Glyph);
    }
    EXPECT_EQ(Clicks, C.Clicks);
    EXPECT_EQ(Downs, 0) << "the button does not report OnMouseDown";
    delete Button;
  }
}

TEST_F(ControlsTest, DisabledButtonShowsItsGlyphAndReportsNothing) {
  AddItem(4);
  auto* Button = AddControl<TGuiStitchedButton>(20, 20, 8, 8);
  int Clicks = 0;
  Button->OnClick = [&](TObject*) { ++Clicks; };
  Backend->InjectMouseMove(24, 24);
  Pump();
  EXPECT_EQ(Button->GlyphIndex(), 3);
  Button->SetEnabled(false);
  EXPECT_EQ(Button->GlyphIndex(), 2);
  // Disabling lets go of the hover; once enabled, the next move over it shows it hovered.
  Button->SetEnabled(true);
  EXPECT_EQ(Button->GlyphIndex(), 0);
  Backend->InjectMouseMove(25, 24);
  Pump();
  EXPECT_EQ(Button->GlyphIndex(), 3);
  Button->SetEnabled(false);
  Backend->InjectMouseDown(24, 24);
  Backend->InjectMouseUp(24, 24);
  Pump();
  EXPECT_EQ(Button->GlyphIndex(), 2);
  EXPECT_EQ(Clicks, 0);
  ExpectShowsGlyph(*Button, 2);
}
