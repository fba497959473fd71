// The label in a headless form: alignment (a centred caption wider than the label is clipped on
// both sides), the shadow beneath the text, transparency over the parent's picture, rebuilds
// only on change, and the editor's two captions in a saved picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "gui/KVX_GuiLabel.h"
#include "gui/KVX_GuiPixelMap.h"
#include "platform/KVX_ExtCtrls.h"
#include "platform/KVX_Forms.h"
#include "platform/KVX_HeadlessBackend.h"
#include "platform/KVX_Streams.h"
#include "png/KVX_GuiPng.h"

using namespace kvx;

namespace {

// Form 254 x 353 > a picture covering it: the left half blue, the right half red. Labels are
// added by the tests, owned by the form.
class LabelForm : public ::testing::Test {
 protected:
  static constexpr uint32_t CBlue = 0xFF0000FF;  // ARGB
  static constexpr uint32_t CRed = 0xFFFF0000;

  void SetUp() override {
    auto Owned = std::make_unique<THeadlessWindowBackend>();
    Backend = Owned.get();
    Form = std::make_unique<TForm>(nullptr, std::move(Owned));
    Form->SetBounds(0, 0, 254, 353);
    Form->SetColor(clBlack);
    auto* Picture = new TImage(Form.get());
    TBitmap Art(254, 353, pf32bit);
    Art.Canvas().FillRectARGB(TRect{0, 0, 127, 353}, CBlue);
    Art.Canvas().FillRectARGB(TRect{127, 0, 254, 353}, CRed);
    Picture->Picture().SetBitmap(Art);
    Picture->SetBounds(0, 0, 254, 353);
    Picture->SetParent(Form.get());
    Form->Show();
  }

  // A label as the editor lays them out: Lucida Console, white, 16 times oversampled.
  TGuiLabel* AddLabel(const TRect& Bounds, const std::string& Caption, int32_t Height,
                      TFontStyles Style = {}) {
    auto* Label = new TGuiLabel(Form.get());
    Label->SetBoundsRect(Bounds);
    TFont Font;
    Font.SetName("Lucida Console");
    Font.SetHeight(Height);
    Font.SetStyle(Style);
    Font.SetColor(clWhite);
    Label->SetFont(Font);
    Label->SetFontOversampling(fo16x);
    Label->SetCaption(Caption);
    Label->SetParent(Form.get());
    return Label;
  }

  TPixel32 At(int32_t X, int32_t Y) const { return TPixel32::FromARGB(Backend->ScreenPixel(X, Y)); }
  void Pump() { Form->ProcessMessages(); }

  THeadlessWindowBackend* Backend = nullptr;
  std::unique_ptr<TForm> Form;
};

// The caption drawn by a lone font at (X, 0) onto a black map, for comparison.
struct TReference : TGuiPixelMapMemory {
  TReference(int32_t W, int32_t H, const std::string& Text, int32_t Height, TFontStyles Style,
             int32_t X) {
    SetSize(W, H);
    Clear(TPixel32{0, 0, 0, 255});
    TGuiOversampledGDIFont Font;
    TFont Description;
    Description.SetName("Lucida Console");
    Description.SetHeight(Height);
    Description.SetStyle(Style);
    Description.SetColor(clWhite);
    Font.SetFont(Description);
    Font.SetFontOversampling(fo16x);
    Font.TextOut(Text, this, X, 0);
  }
};

}  // namespace

TEST_F(LabelForm, AlignmentPlacesTheCaption) {
  // INPUT LEVEL at height -9 is 61 pixels wide.
  const struct {
    TAlignment Alignment;
    int32_t Width;
    int32_t X;  // where the text starts in the label
  } Cases[] = {{taLeftJustify, 100, 0},
               {taRightJustify, 100, 39},
               {taCenter, 100, 19},   // 39 / 2
               {taCenter, 21, -20}};  // -40 / 2: wider than the label, cut on both sides
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Width);
    auto* Label = AddLabel(TRect{10, 100, 10 + Case.Width, 110}, "INPUT LEVEL", -9);
    Label->SetAlignment(Case.Alignment);
    Label->SetColor(clBlack);
    Form->Update();
    TReference Text(200, 10, "INPUT LEVEL", -9, {}, 40);
    long Ink = 0;
    for (int32_t Y = 0; Y < 10; ++Y)
      for (int32_t X = 0; X < Case.Width; ++X) {
        // White text on black: the red channel is the text's coverage.
        ASSERT_EQ(At(10 + X, 100 + Y).R, Text.Pixel(40 + X - Case.X, Y).R) << X << ", " << Y;
        Ink += At(10 + X, 100 + Y).R;
      }
    EXPECT_GT(Ink, 2000);
    delete Label;
  }
}

TEST_F(LabelForm, ShadowLiesOnePixelDownRightBeneathTheText) {
  auto* Plain = AddLabel(TRect{10, 10, 72, 33}, "by KVX", 14, {fsBold});
  auto* Shadowed = AddLabel(TRect{10, 50, 72, 73}, "by KVX", 14, {fsBold});
  TGuiShadow Shadow;
  Shadow.SetVisible(true);
  Shadow.SetColor(0x00FF00);
  Shadowed->SetShadow(Shadow);
  for (auto* L : {Plain, Shadowed}) L->SetColor(clBlack);
  Form->Update();
  int ShadowOnly = 0;
  for (int32_t Y = 1; Y < 23; ++Y)
    for (int32_t X = 1; X < 62; ++X) {
      const uint8_t Text = At(10 + X, 10 + Y).R, UpLeft = At(9 + X, 9 + Y).R;
      const TPixel32 P = At(10 + X, 50 + Y);
      if (Text == 0) {
        ASSERT_EQ(P.G, UpLeft) << X << ", " << Y;
        ShadowOnly += UpLeft > 0;
      } else if (Text >= 253) {
        ASSERT_GE(P.R, 253) << "the text lies above its shadow";
      }
    }
  EXPECT_GT(ShadowOnly, 20);
}

TEST_F(LabelForm, TransparentLabelShowsThePictureAroundTheGlyphs) {
  // Across the picture's blue and red halves.
  auto* Label = AddLabel(TRect{100, 200, 162, 223}, "by KVX", 14, {fsBold});
  Label->SetTransparent(true);
  Form->Update();
  TReference Text(62, 23, "by KVX", 14, {fsBold}, 0);
  int Around = 0, Glyph = 0;
  for (int32_t Y = 0; Y < 23; ++Y)
    for (int32_t X = 0; X < 62; ++X) {
      const TPixel32 P = At(100 + X, 200 + Y);
      const uint8_t Coverage = Text.Pixel(X, Y).R;
      if (Coverage == 0) {
        ASSERT_EQ(P.ARGB(), 100 + X < 127 ? CBlue : CRed) << X << ", " << Y;
        ++Around;
      } else if (Coverage >= 253) {
        EXPECT_GE(std::min({P.R, P.G, P.B}), 250);
        ++Glyph;
      }
    }
  EXPECT_GT(Around, 500);
  EXPECT_GT(Glyph, 10);
}

TEST_F(LabelForm, RebuildsOnlyOnChange) {
  auto* Label = AddLabel(TRect{10, 10, 110, 20}, "INPUT LEVEL", -9);
  Form->Update();
  EXPECT_FALSE(Label->BufferUpdatePending());
  Label->SetCaption("INPUT LEVEL");
  Label->SetAlignment(taLeftJustify);
  EXPECT_FALSE(Label->BufferUpdatePending()) << "the same caption again";
  Label->SetCaption("INPUT LEVEL 0dB");
  EXPECT_TRUE(Label->BufferUpdatePending());
  Form->Update();
  EXPECT_FALSE(Label->BufferUpdatePending());
  // The control's font reaches the GUI font.
  TFont Bigger;
  Bigger.Assign(Label->Font());
  Bigger.SetHeight(-12);
  Label->SetFont(Bigger);
  EXPECT_EQ(Label->GuiFont().Font().Height(), -12);
  EXPECT_EQ(Label->GuiFont().ScaledFont().Height(), -192);
  EXPECT_TRUE(Label->BufferUpdatePending());
  // An empty caption draws nothing over the background.
  Label->SetColor(clBlack);
  Label->SetCaption("");
  Form->Update();
  for (int32_t X = 10; X < 110; ++X) EXPECT_EQ(At(X, 15).ARGB(), 0xFF000000u);
}

TEST_F(LabelForm, EditorCaptionsPicture) {
  // The two sizes the editor uses, over the picture's two halves, saved enlarged for a look.
  auto* ByKvx = AddLabel(TRect{96, 172, 158, 195}, "by KVX", 14, {fsBold});
  auto* Input = AddLabel(TRect{8, 327, 208, 337}, "INPUT LEVEL -12.5dB", -9);
  for (auto* L : {ByKvx, Input}) L->SetTransparent(true);
  Form->Update();
  TGuiPixelMapMemory Picture;
  Picture.SetSize(4 * 210, 4 * 30);
  int Lit = 0;
  for (int32_t Y = 0; Y < 30; ++Y)
    for (int32_t X = 0; X < 210; ++X) {
      const TPixel32 P = Y < 20 ? At(X + 22, Y + 172) : At(X, Y - 20 + 327);
      Lit += std::min({P.R, P.G, P.B}) > 200;
      for (int32_t i = 0; i < 16; ++i) *Picture.PixelPointer(4 * X + i % 4, 4 * Y + i / 4) = P;
    }
  EXPECT_GT(Lit, 30);
  const std::filesystem::path Dir = std::filesystem::path(KVX_BUILD_DIR) / "tests" / "pictures";
  std::filesystem::create_directories(Dir);
  TPortableNetworkGraphicPixel32 Png;
  Png.Assign(Picture);
  TFileStream File((Dir / "label_editor.png").string(), fmCreate);
  Png.SaveToStream(File);
}
