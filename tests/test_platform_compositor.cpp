// The compositor of the form: layers, z-order, clipping, hidden controls, partial repaints,
// the windowed controls' own buffers; pictures; CopyParentImage over a picture on a panel.
#include "test_platform_fixture.h"

#include "gui/KVX_GuiBlend.h"
#include "gui/KVX_GuiPixelMap.h"
#include "png/KVX_GuiPng.h"

using namespace kvx;
using namespace kvx::test;

namespace {

using Compositor = TLayerForm;

TEST_F(Compositor, FullRepaintPaintsEveryLayerInOneCopy) {
  struct {
    int32_t X, Y;
    uint32_t Expected;
    const char* What;
  } const Cases[] = {
      {5, 5, Argb(CForm), "form background"},
      {15, 15, CPictureBlue, "opaque half of the picture"},
      {80, 80, Argb(CPanel), "panel through the transparent half"},
      {40, 40, Argb(CRed), "windowless W1 over the picture"},
      {140, 40, Argb(CGreen), "windowless W2"},
      {50, 150, Argb(CYellow), "windowed C1"},
      {150, 150, Argb(CCyan), "windowed C2"},
      {215, 100, Argb(CForm), "right of the panel"},
  };
  for (const auto& C : Cases) EXPECT_EQ(Screen(C.X, C.Y), C.Expected) << C.What;
  ASSERT_EQ(Backend->Presented().size(), 1u);
  EXPECT_EQ(Backend->Presented()[0], Rect(0, 0, 254, 353));
}

TEST_F(Compositor, WindowedControlsLieAboveWindowlessOnesWhateverTheirOrder) {
  // Created after C1, so above it in z-order, yet windowless: C1 covers it.
  auto* Below = Make<TWindowless>("W3", 0xFF00FF, Bounds(40, 140, 40, 40));
  // Among windowless controls the later one lies above.
  auto* Over = Make<TWindowless>("W4", 0x000080, Bounds(35, 35, 10, 10));
  Form->Update();
  EXPECT_EQ(Screen(65, 165), Argb(CYellow));  // C1 over W3
  EXPECT_EQ(Screen(75, 175), Argb(0xFF00FF));  // W3 outside C1
  EXPECT_EQ(Screen(50, 50), Argb(0x000080));   // W4 over W1
  Over->SendToBack();
  Form->Update();
  EXPECT_EQ(Screen(50, 50), Argb(CRed));
  Below->BringToFront();
  Form->Update();
  EXPECT_EQ(Screen(65, 165), Argb(CYellow));
}

TEST_F(Compositor, ChildrenAreClippedAtTheirParentsEdge) {
  Make<TWindowless>("W3", 0x000080, Bounds(180, 40, 60, 20));
  auto* Wide = Make<TWindowed>("C3", 0x008000, Bounds(180, 200, 60, 20));
  // A windowed child of a windowed control is clipped at that control.
  Make<TWindowed>("C4", 0x800000, Bounds(10, 5, 40, 40), Wide);
  Form->Update();
  EXPECT_EQ(Screen(205, 55), Argb(0x000080));
  EXPECT_EQ(Screen(215, 55), Argb(CForm));
  EXPECT_EQ(Screen(195, 212), Argb(0x008000));
  EXPECT_EQ(Screen(205, 220), Argb(0x800000));
  EXPECT_EQ(Screen(215, 220), Argb(CForm));
  EXPECT_EQ(Screen(205, 235), Argb(CPanel));  // below C3: C4 does not spill out of it
}

TEST_F(Compositor, HiddenControlsAreNeitherPaintedNorShown) {
  W1->Hide();
  C1->Hide();
  ResetCounts();
  Form->Invalidate();
  Form->Update();
  EXPECT_EQ(Screen(40, 40), CPictureBlue);
  EXPECT_EQ(Screen(50, 150), Argb(CPanel));
  EXPECT_EQ(W1->Paints, 0);
  EXPECT_EQ(C1->Paints, 0);
  C1->Show();
  Form->Update();
  EXPECT_EQ(Screen(50, 150), Argb(CYellow));
}

TEST_F(Compositor, InvalidatingOneControlRepaintsOnlyItsRegion) {
  ResetCounts();
  W1->SetFill(0x123456);
  Form->Update();
  EXPECT_EQ(Backend->Presented(), std::vector<TRect>{Bounds(30, 30, 30, 30)});
  EXPECT_EQ(Screen(40, 40), Argb(0x123456));
  EXPECT_EQ(W1->Paints, 1);
  EXPECT_EQ(W2->Paints + C1->Paints + C2->Paints, 0);

  ResetCounts();
  C2->SetFill(0x654321);
  Form->Update();
  EXPECT_EQ(Backend->Presented(), std::vector<TRect>{Bounds(130, 130, 40, 40)});
  EXPECT_EQ(Screen(150, 150), Argb(0x654321));
  EXPECT_EQ(C2->Paints, 1);
  EXPECT_EQ(W1->Paints + W2->Paints + C1->Paints, 0);

  ResetCounts();
  Form->Update();
  EXPECT_TRUE(Backend->Presented().empty());  // nothing invalid, nothing presented
}

TEST_F(Compositor, AWindowedControlKeepsItsBufferWhenItsParentRepaints) {
  ResetCounts();
  Panel->Invalidate();
  Form->Update();
  EXPECT_EQ(C1->Paints, 0);
  EXPECT_EQ(W1->Paints, 1);
  EXPECT_EQ(Screen(50, 150), Argb(CYellow));
}

TEST_F(Compositor, MovingAControlRepaintsWhatItUncovered) {
  W1->SetLeft(60);
  Form->Update();
  EXPECT_EQ(Screen(35, 40), CPictureBlue);
  EXPECT_EQ(Screen(85, 40), Argb(CRed));
  C1->SetTop(200);
  Form->Update();
  EXPECT_EQ(Screen(50, 150), Argb(CPanel));
  EXPECT_EQ(Screen(50, 215), Argb(CYellow));
}

TEST_F(Compositor, SystemColoursResolveThroughTheLayersTable) {
  Panel->SetColor(clBtnFace);
  Form->Update();
  EXPECT_EQ(Screen(80, 80), RGBToARGB(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), ColorToRGB(clBtnFace));
  EXPECT_EQ(GetSysColor(200), 0u);
}

TEST_F(Compositor, AnErrorInAPaintHandlerIsReportedAndThePaintGoesOn) {
  std::vector<std::string> Errors;
  Form->OnException = [&](TObject*, const std::string& Message) { Errors.push_back(Message); };
  class TFailing : public TGraphicControl {
   public:
    using TGraphicControl::TGraphicControl;
    void Paint() override { throw EInvalidOperation("paint failed"); }
  };
  auto* Bad = new TFailing(Form.get());
  Bad->SetBounds(0, 200, 10, 10);
  Bad->SetParent(Panel);
  W2->SetFill(0x0000AA);
  Form->Update();
  EXPECT_EQ(Errors, std::vector<std::string>{"paint failed"});
  EXPECT_EQ(Screen(140, 40), Argb(0x0000AA));
}

// ---- pictures --------------------------------------------------------------------------------

TEST(Picture, ScalesDownProportionallyWithAnAreaAverage) {
  TImage Image;
  TBitmap Art(4, 2, pf32bit);
  // Columns: opaque red, opaque blue, transparent, opaque white.
  for (int32_t y = 0; y < 2; ++y) {
    Art.Canvas().SetPixel(0, y, 0xFFFF0000);
    Art.Canvas().SetPixel(1, y, 0xFF0000FF);
    Art.Canvas().SetPixel(2, y, 0x00000000);
    Art.Canvas().SetPixel(3, y, 0xFFFFFFFF);
  }
  Image.Picture().SetBitmap(Art);
  Image.SetProportional(true);
  Image.SetTransparent(true);
  Image.SetBounds(0, 0, 2, 2);
  EXPECT_EQ(Image.DestRect(), Rect(0, 0, 2, 1));
  TBitmap Target(2, 2, pf32bit);
  Image.PaintControl(Target.Canvas());
  // Red and blue average to purple; the transparent pixel does not darken the white one, it
  // only halves its coverage: half-white over the zero target.
  EXPECT_EQ(Target.Canvas().Pixel(0, 0), 0xFF800080u);
  EXPECT_EQ(Target.Canvas().Pixel(1, 0), 0xFF808080u);
  EXPECT_EQ(Target.Canvas().Pixel(0, 1), 0u);  // outside the scaled picture, transparent

  // A picture smaller than its box keeps its size; auto-size takes the picture's.
  Image.SetBounds(0, 0, 10, 10);
  EXPECT_EQ(Image.DestRect(), Rect(0, 0, 4, 2));
  Image.SetAutoSize(true);
  EXPECT_EQ(Image.BoundsRect(), Rect(0, 0, 4, 2));
}

TEST(Picture, LoadsThroughARegisteredLoaderAndRefusesUnknownData) {
  TPicture Picture;
  TMemoryStream Data;
  const char Bytes[] = "\x01not an image";
  Data.WriteBuffer(Bytes, sizeof Bytes);
  Data.SetPosition(0);
  EXPECT_THROW(Picture.LoadFromStream(Data), EInvalidOperation);
  RegisterPictureLoader([](TStream& S, TBitmap& B) {
    uint8_t First = 0;
    if (S.Read(&First, 1) != 1 || First != 1) return false;
    B.SetSize(3, 2);
    return true;
  });
  Data.SetPosition(0);
  Picture.LoadFromStream(Data);
  EXPECT_EQ(Picture.Width(), 3);
  EXPECT_EQ(Picture.Height(), 2);
}

// The PNG codec as the picture's loader, as the editor registers it.
bool LoadPng(TStream& Stream, TBitmap& Bitmap) {
  if (!TPortableNetworkGraphicPixel32::CanLoad(Stream)) return false;
  TPortableNetworkGraphicPixel32 Png;
  Png.LoadFromStream(Stream);
  TGuiPixelMapMemory Map;
  Map.SetSize(Png.Width(), Png.Height());
  Png.DrawToPixelMap(Map);
  Bitmap.SetSize(Map.Width(), Map.Height());
  Map.PaintTo(Bitmap.Canvas());
  return true;
}

TEST_F(Compositor, APictureShowsAPngWithItsAlphaOverTheParent) {
  RegisterPictureLoader(LoadPng);
  TFileStream File(std::string(KVX_PNGSUITE_DIR) + "/basn6a08.png", fmOpenRead);
  auto* Png = new TImage(Form.get());
  Png->SetBounds(120, 200, 10, 10);
  Png->SetParent(Panel);
  Png->SetTransparent(true);
  Png->SetAutoSize(true);
  Png->Picture().LoadFromStream(File);
  ASSERT_EQ(Png->BoundsRect(), Bounds(120, 200, 32, 32));
  Form->Update();
  TGuiPixelMapMemory Decoded;
  Decoded.SetSize(32, 32);
  Decoded.Draw(Png->Picture().Bitmap());
  int Translucent = 0;
  for (int32_t Y = 0; Y < 32; Y += 3)
    for (int32_t X = 0; X < 32; X += 3) {
      const TPixel32 P = Decoded.Pixel(X, Y);
      Translucent += P.A > 0 && P.A < 255;
      EXPECT_EQ(Screen(130 + X, 210 + Y), OpaqueBlend(P, TPixel32::FromARGB(Argb(CPanel))).ARGB());
    }
  EXPECT_GT(Translucent, 0);  // the image really has partial alpha to blend
}

// ---- CopyParentImage -------------------------------------------------------------------------

TEST_F(Compositor, CopyParentImageTakesThePictureAndTheWindowlessSiblingBelow) {
  // Below the control: S1 overlapping its bottom-right corner. Above it: S2 on its top-left.
  auto* S1 = Make<TWindowless>("S1", 0x00AAAA, Bounds(50, 50, 30, 30));
  auto* X = Make<TWindowed>("X", 0x000000, Bounds(30, 30, 40, 40));
  Make<TWindowless>("S2", 0xAA00AA, Bounds(20, 20, 20, 20));
  // W1 (20..50, below X) overlaps too; hide it so the picture shows at the top-left.
  W1->Hide();
  TGuiPixelMapMemory Map;
  Map.SetSize(X->Width(), X->Height());
  Map.CopyParentImage(*X);
  struct {
    int32_t X, Y;
    uint32_t Expected;
    const char* What;
  } const Cases[] = {
      {5, 5, CPictureBlue, "the picture, not S2 above the control"},
      {25, 5, Argb(CPanel), "the panel through the picture's transparent half"},
      {30, 30, Argb(S1->Fill()), "S1 below the control"},
      {15, 25, CPictureBlue, "the picture left of S1"},
  };
  for (const auto& C : Cases) EXPECT_EQ(Map.Pixel(C.X, C.Y).ARGB(), C.Expected) << C.What;
}

TEST_F(Compositor, CopyParentImageOfAControlOnTheFormAndWithoutParent) {
  auto* OnForm = Make<TWindowed>("F", 0, Bounds(220, 300, 20, 20), Form.get());
  TGuiPixelMapMemory Map;
  Map.SetSize(20, 20);
  Map.CopyParentImage(*OnForm);
  EXPECT_EQ(Map.Pixel(10, 10).ARGB(), Argb(CForm));

  TWindowed Orphan(nullptr, "O", nullptr, 0);
  Orphan.SetBounds(0, 0, 20, 20);
  Map.Clear(TPixel32::FromARGB(0x11223344));
  Map.CopyParentImage(Orphan);
  EXPECT_EQ(Map.Pixel(10, 10).ARGB(), 0x11223344u);
}

}  // namespace
