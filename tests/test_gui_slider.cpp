// The slider's bar: pixels of the editor's slider worked out by hand at the ends and at the fill
// edge, square borders with a fractional ring, writes kept inside the map, degenerate ranges,
// and a saved picture of the whole bar. The slider control in a headless form: its value model
// and range errors, clicks and drags, transparency, text, assignment and persistence.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include <map>
#include <memory>

#include "gui/KVX_GuiPixelMap.h"
#include "gui/KVX_GuiSlider.h"
#include "platform/KVX_Forms.h"
#include "platform/KVX_HeadlessBackend.h"
#include "platform/KVX_Streams.h"
#include "png/KVX_GuiPng.h"

using namespace kvx;

namespace {

const TPixel32 CWhite{255, 255, 255, 255};
const TPixel32 CBlack{0, 0, 0, 255};
// The editor's slide colour #6A9B72.
const TColor CSlideColor = 0x729B6A;
const TPixel32 CSlide{0x72, 0x9B, 0x6A, 255};

TPixel32 WithAlpha(TPixel32 P, uint8_t A) {
  P.A = A;
  return P;
}

// A pixel map inside a larger block whose pixels around it must stay as they are: a write past
// either end of the map shows in the guards.
class TGuardedMap : public TGuiCustomPixelMap {
 public:
  static constexpr int32_t CGuard = 64;
  static constexpr TPixel32 CGuardPixel{1, 2, 3, 4};
  TGuardedMap(int32_t W, int32_t H, TPixel32 Fill)
      : FStore(size_t(W) * H + 2 * CGuard, CGuardPixel) {
    FWidth = W;
    FHeight = H;
    FDataSize = W * H * 4;
    FDataPointer = FStore.data() + CGuard;
    std::fill_n(FDataPointer, size_t(W) * H, Fill);
  }
  void Resize(int32_t, int32_t) override {}
  void Turn(bool) override {}
  bool GuardsIntact() const {
    for (int32_t i = 0; i < CGuard; ++i)
      if (!(FStore[i] == CGuardPixel) || !(FStore[FStore.size() - 1 - i] == CGuardPixel)) return false;
    return true;
  }

 private:
  std::vector<TPixel32> FStore;
};

// The editor's input slider: 235 x 7, range -200..200, radius 10 (limited to 3.5 by the height),
// no border width (so a one-pixel outline in the slide colour), on a white track.
TSliderAppearance EditorSlider(float Value) {
  TSliderAppearance Look;
  Look.SlideColor = CSlideColor;
  Look.Color = 0xFFFFFF;
  Look.BorderColor = 0x000000;
  Look.BorderWidth = 0;
  Look.BorderRadius = 10;
  Look.Min = -200;
  Look.Max = 200;
  Look.Value = Value;
  return Look;
}

void SavePng(const TGuiCustomPixelMap& Map, const std::string& Name) {
  const std::filesystem::path Dir = std::filesystem::path(KVX_BUILD_DIR) / "tests" / "pictures";
  std::filesystem::create_directories(Dir);
  TPortableNetworkGraphicPixel32 Png;
  Png.Assign(Map);
  TFileStream File((Dir / Name).string(), fmCreate);
  Png.SaveToStream(File);
}

}  // namespace

TEST(SliderDrawing, FastSqrt) {
  for (float X : {0.25f, 2.25f, 6.25f, 6.5f, 8.5f, 100.0f, 12345.0f})
    EXPECT_NEAR(FastSqrt(X), std::sqrt(X), std::sqrt(X) * 1e-5f) << X;
}

TEST(SliderDrawing, EditorSliderAtMinMidwayAndMax) {
  // r = 3.5, b = 1: in = 2.5, inStart = 1.5, outStart = 2.5; four corner rows, mirrored.
  //  row 0: x0 = round(0.55) = 1. (1, 0): d^2 = 1.5^2 + 2.5^2 = 8.5, beyond in^2: slide at alpha
  //         round((3.5 - 2.9155) * 255) = 149. (117, 0): d^2 = 6.25 = in^2, weight 255: slide.
  //  row 1: (117, 1): d^2 = 2.25 = inStart^2, weight round((1 - (2.5 - 1.5)) * 255) = 0: fill.
  //  row 3 (its own mirror, blended twice): (0, 3): d^2 = 2.5^2 + 0.5^2 = 6.5, alpha
  //         round((3.5 - 2.5495) * 255) = 242; (1, 3): d^2 = 2.5, weight
  //         round((1 - (2.5 - 1.5811)) * 255) = 21 of slide over the fill (the mix's alpha is
  //         254, so the white shows through a little, twice).
  const TPixel32 Edge149 = OpaqueBlend(WithAlpha(CSlide, 149), CWhite);
  const TPixel32 Edge242 = OpaqueBlend(WithAlpha(CSlide, 242), OpaqueBlend(WithAlpha(CSlide, 242), CWhite));
  const auto Inner = [&](TPixel32 Fill) {
    const TPixel32 Mix = WeightedMix(CSlide, Fill, 21);
    return OpaqueBlend(Mix, OpaqueBlend(Mix, CWhite));
  };
  const struct {
    float Value;
    TPixel32 Middle, FillEnd, Inner;
  } Cases[] = {
      // p = 0: the track is white inside the outline.
      {-200, CWhite, CWhite, Inner(CWhite)},
      // p = round(235 * 0.5) = 118 (halves to even): columns up to 117 slide, 118 white.
      {0, CSlide, CWhite, Inner(CSlide)},
      // p = 235: all slide.
      {200, CSlide, CSlide, Inner(CSlide)},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Value);
    TGuardedMap Map(235, 7, CWhite);
    DrawSlider(Map, EditorSlider(Case.Value));
    EXPECT_TRUE(Map.GuardsIntact());
    EXPECT_EQ(Map.Pixel(0, 0), CWhite) << "outside the round end";
    EXPECT_EQ(Map.Pixel(234, 6), CWhite);
    EXPECT_EQ(Map.Pixel(1, 0), Edge149);
    EXPECT_EQ(Map.Pixel(233, 6), Edge149);
    EXPECT_EQ(Map.Pixel(117, 0), CSlide) << "the outline";
    EXPECT_EQ(Map.Pixel(117, 6), CSlide);
    EXPECT_EQ(Map.Pixel(0, 3), Edge242);
    EXPECT_EQ(Map.Pixel(234, 3), Edge242);
    EXPECT_EQ(Map.Pixel(1, 3), Case.Inner);
    EXPECT_EQ(Map.Pixel(117, 1), Case.Middle);
    EXPECT_EQ(Map.Pixel(117, 3), Case.Middle);
    EXPECT_EQ(Map.Pixel(118, 3), Case.FillEnd);
  }

  // The whole bar, four times enlarged, at the three values, for a look.
  TGuiPixelMapMemory Picture;
  Picture.SetSize(4 * 235 + 8, 3 * (4 * 7 + 4) + 4);
  Picture.Clear(TPixel32{0x30, 0x30, 0x30, 255});
  int Row = 0;
  for (float Value : {-200.0f, 0.0f, 200.0f}) {
    TGuiPixelMapMemory Bar;
    Bar.SetSize(235, 7);
    Bar.Clear(CWhite);
    DrawSlider(Bar, EditorSlider(Value));
    for (int32_t Y = 0; Y < 4 * 7; ++Y)
      for (int32_t X = 0; X < 4 * 235; ++X)
        *Picture.PixelPointer(4 + X, 4 + Row * 32 + Y) = Bar.Pixel(X / 4, Y / 4);
    ++Row;
  }
  SavePng(Picture, "slider_editor.png");
}

TEST(SliderDrawing, RightEndStaysInsideTheRow) {
  // Radius 1 on an even width: the corner row's right end rounds to column W.
  for (auto [W, H, Radius, Border] :
       {std::tuple{100, 2, 1.0f, 1.0f}, {100, 3, 1.0f, 1.0f}, {6, 2, 1.0f, 1.0f}, {1, 1, 10.0f, 1.0f},
        {2, 2, 1.0f, 0.0f}, {7, 4, 2.0f, 1.0f}, {40, 12, 5.0f, 2.5f}, {41, 13, 6.0f, 7.0f}}) {
    SCOPED_TRACE(testing::Message() << W << " x " << H << " r " << Radius << " b " << Border);
    TGuardedMap Map(W, H, CWhite);
    TSliderAppearance Look;
    Look.BorderRadius = Radius;
    Look.BorderWidth = Border;
    Look.BorderColor = 0;
    DrawSlider(Map, Look);
    EXPECT_TRUE(Map.GuardsIntact());
  }
}

TEST(SliderDrawing, SquareBorderWithAFractionalRing) {
  // Border width 2.5: two opaque rings, the third at alpha round(0.5 * 255) = 128.
  TGuardedMap Map(20, 10, CWhite);
  TSliderAppearance Look;
  Look.BorderWidth = 2.5f;
  Look.BorderColor = 0x000000;
  Look.Color = 0xFFFFFF;
  Look.SlideColor = CSlideColor;
  Look.Value = 100;
  DrawSlider(Map, Look);
  EXPECT_TRUE(Map.GuardsIntact());
  const TPixel32 Ring = OpaqueBlend(WithAlpha(CBlack, 128), CSlide);
  for (auto [X, Y, Expected] : {std::tuple{0, 0, CBlack}, {1, 1, CBlack}, {19, 9, CBlack},
                                {18, 5, CBlack}, {2, 2, Ring}, {17, 7, Ring}, {10, 2, Ring},
                                {3, 3, CSlide}, {16, 6, CSlide}})
    EXPECT_EQ(Map.Pixel(X, Y), Expected) << X << ", " << Y;

  // A negative radius counts as square corners; a huge width frames only what fits.
  TGuiPixelMapMemory Square, Negative;
  Square.SetSize(20, 10), Negative.SetSize(20, 10);
  Look.BorderRadius = -3;
  DrawSlider(Negative, Look);
  Look.BorderRadius = 0;
  DrawSlider(Square, Look);
  EXPECT_TRUE(Negative.Equals(Square));
  Look.BorderWidth = 1e9f;
  TGuardedMap Thick(20, 10, CWhite);
  DrawSlider(Thick, Look);
  EXPECT_TRUE(Thick.GuardsIntact());
  EXPECT_EQ(Thick.Pixel(10, 5), CBlack);
}

TEST(SliderDrawing, DegenerateRangesDrawTheLeftEnd) {
  // Max = Min (a 0 / 0 position), NaN values and exponents: drawn as at Min, never a NaN
  // rounded to a column.
  const float NaN = std::numeric_limits<float>::quiet_NaN();
  TGuiPixelMapMemory Reference;
  Reference.SetSize(30, 6);
  TSliderAppearance AtMin;
  AtMin.BorderRadius = 2;
  AtMin.Value = AtMin.Min;
  DrawSlider(Reference, AtMin);
  for (auto Change : std::vector<void (*)(TSliderAppearance&)>{
           [](TSliderAppearance& L) { L.Min = L.Max = L.Value = 5; },
           [](TSliderAppearance& L) { L.Value = std::numeric_limits<float>::quiet_NaN(); },
           [](TSliderAppearance& L) { L.Max = -L.Max; },
           [](TSliderAppearance& L) { L.BorderRadius = std::numeric_limits<float>::quiet_NaN(), L.BorderRadius = 2; }}) {
    TSliderAppearance Look = AtMin;
    Change(Look);
    TGuiPixelMapMemory Map;
    Map.SetSize(30, 6);
    DrawSlider(Map, Look);
    EXPECT_TRUE(Map.Equals(Reference));
  }
  TSliderAppearance Look = AtMin;
  Look.CurveMappingExp = NaN;
  Look.BorderWidth = NaN;
  TGuardedMap Map(30, 6, CWhite);
  EXPECT_NO_THROW(DrawSlider(Map, Look));
  EXPECT_TRUE(Map.GuardsIntact());
}

TEST(SliderDrawing, CurveMovesTheFillEdge) {
  // Exponent 2: a quarter of the range is shown at the middle, sqrt(0.25) = 0.5.
  TSliderAppearance Look;
  Look.Value = 25;
  Look.CurveMappingExp = 2;
  Look.SlideColor = CSlideColor;
  Look.Color = 0xFFFFFF;
  TGuiPixelMapMemory Map;
  Map.SetSize(40, 6);
  DrawSlider(Map, Look);
  EXPECT_EQ(Map.Pixel(19, 3), CSlide);
  EXPECT_EQ(Map.Pixel(20, 3), CWhite);
  EXPECT_FLOAT_EQ(MapCurve(0.5f, 2.0f), 0.25f);
  EXPECT_FLOAT_EQ(MapCurve(-0.5f, 2.0f), -0.25f);
  EXPECT_FLOAT_EQ(UnmapCurve(-0.25f, 2.0f), -0.5f);
}

// ---- the control --------------------------------------------------------------------------------

namespace {

// A headless form (grey) holding the editor's slider at 9, 338, as the layout makes it.
class SliderForm : public ::testing::Test {
 protected:
  static constexpr TColor CFormColor = 0x404040;

  void SetUp() override {
    auto Owned = std::make_unique<THeadlessWindowBackend>();
    Backend = Owned.get();
    Form = std::make_unique<TForm>(nullptr, std::move(Owned));
    Form->SetBounds(0, 0, 254, 353);
    Form->SetColor(CFormColor);
    Slider = new TGuiSlider(Form.get());
    Slider->SetBounds(9, 338, 235, 7);
    Slider->SetMin(-200);
    Slider->SetMax(200);
    Slider->SetValue(0);
    Slider->SetDefaultValue(0);
    Slider->SetColor(clWhite);
    Slider->SetSlideColor(CSlideColor);
    Slider->SetBorderColor(clBlack);
    Slider->SetBorderRadius(10);
    Slider->SetBorderWidth(0);
    Slider->SetTransparent(true);
    Slider->SetParent(Form.get());
    Slider->OnChange = [this](TObject* Sender) {
      EXPECT_EQ(Sender, Slider);
      Changes.push_back(Slider->Value());
    };
    Form->Show();
    Form->Update();
  }

  // The presented pixel at a slider position.
  TPixel32 At(int32_t X, int32_t Y) const {
    return TPixel32::FromARGB(Backend->ScreenPixel(9 + X, 338 + Y));
  }
  void Pump() { Form->ProcessMessages(); }

  THeadlessWindowBackend* Backend = nullptr;
  std::unique_ptr<TForm> Form;
  TGuiSlider* Slider = nullptr;
  std::vector<float> Changes;
};

// A filer that keeps binary properties by name, for writing and reading back.
class TPropertyStore : public TFiler {
 public:
  bool Writing = true;
  std::map<std::string, std::vector<uint8_t>> Properties;
  void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                            const TStreamProc& WriteData, bool HasData) override {
    if (Writing) {
      if (!HasData) return;
      TMemoryStream Stream;
      WriteData(Stream);
      Properties[Name] = Stream.Data();
    } else if (auto It = Properties.find(Name); It != Properties.end()) {
      TMemoryStream Stream(It->second);
      ReadData(Stream);
    }
  }
};

}  // namespace

TEST_F(SliderForm, PaintsTheBarOverTheParent) {
  EXPECT_EQ(At(117, 0), CSlide) << "the outline";
  EXPECT_EQ(At(117, 3), CSlide) << "filled up to the middle";
  EXPECT_EQ(At(118, 3), CWhite);
  EXPECT_EQ(At(0, 0), ColorToPixel32(CFormColor)) << "transparent: the form shows at the corner";
  // Opaque, the corner is the slider's own colour.
  Slider->SetTransparent(false);
  Pump();
  EXPECT_EQ(At(0, 0), CWhite);
  Slider->SetTransparent(true);
  Pump();
  EXPECT_EQ(At(0, 0), ColorToPixel32(CFormColor));
}

TEST_F(SliderForm, ClicksAndDragsSetTheValue) {
  const struct {
    std::vector<std::pair<char, int32_t>> Events;  // d = press, m = move, u = release at X
    float Value;
  } Cases[] = {
      {{{'d', 0}, {'u', 0}}, -200},                     // the left end is Min
      {{{'d', 234}, {'u', 234}}, 200},                  // the right end is Max
      {{{'d', 117}, {'m', 300}, {'u', 300}}, 200},      // dragged past the right end
      {{{'d', 117}, {'m', -50}, {'u', -50}}, -200},     // and past the left end
      {{{'d', 117}, {'u', 117}}, 0},                    // 117 / 234 is the middle
      // a move without a button does nothing; a drag to 58 gives -200 + 400 * 58 / 234
      {{{'m', 50}, {'d', 200}, {'m', 58}, {'u', 58}}, -200.0f + 400.0f * 58 / 234},
  };
  for (const auto& Case : Cases) {
    Slider->SetValue(17);
    for (auto [Kind, X] : Case.Events) {
      if (Kind == 'd') Backend->InjectMouseDown(9 + X, 340);
      if (Kind == 'm') Backend->InjectMouseMove(9 + X, 340);
      if (Kind == 'u') Backend->InjectMouseUp(9 + X, 340);
    }
    Pump();
    EXPECT_NEAR(Slider->Value(), Case.Value, 1e-4) << Case.Events.size();
  }
  // The bar follows: p = round(235 * 99.15 / 400) = round(58.25).
  EXPECT_EQ(At(57, 3), CSlide);
  EXPECT_EQ(At(58, 3), CWhite);
}

TEST_F(SliderForm, ReadOnlyIgnoresTheMouseButReportsIt) {
  Slider->SetReadOnly(true);
  int Downs = 0, Moves = 0;
  Slider->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int32_t, int32_t) { ++Downs; };
  Slider->OnMouseMove = [&](TObject*, TShiftState, int32_t, int32_t) { ++Moves; };
  Backend->InjectMouseDown(9 + 10, 340);
  Backend->InjectMouseMove(9 + 200, 340);
  Backend->InjectMouseUp(9 + 200, 340);
  Pump();
  EXPECT_EQ(Slider->Value(), 0);
  EXPECT_TRUE(Changes.empty());
  EXPECT_EQ(Downs, 1);
  EXPECT_GE(Moves, 1);
}

TEST_F(SliderForm, RangeErrorsAndClamps) {
  try {
    Slider->SetMax(-300);
    ADD_FAILURE() << "Max below Min accepted";
  } catch (const ESliderRangeError& E) {
    EXPECT_EQ(E.Lower(), -199);
    EXPECT_EQ(E.Upper(), 2147483647.0);
  }
  try {
    Slider->SetMin(250);
    ADD_FAILURE() << "Min above Max accepted";
  } catch (const ESliderRangeError& E) {
    EXPECT_EQ(E.Lower(), -2147483647.0);
    EXPECT_EQ(E.Upper(), 199);
  }
  EXPECT_EQ(Slider->Min(), -200);
  EXPECT_EQ(Slider->Max(), 200);

  // A new Min above the value moves it (and the default) up, without OnChange.
  Slider->SetMin(50);
  EXPECT_EQ(Slider->Value(), 50);
  EXPECT_EQ(Slider->DefaultValue(), 50);
  Slider->SetMax(60);
  Slider->SetValue(1000);
  EXPECT_EQ(Slider->Value(), 60);
  Slider->SetDefaultValue(-5);
  EXPECT_EQ(Slider->DefaultValue(), 50);
  EXPECT_EQ(Changes, std::vector<float>{60});

  // No NaN or infinity gets into the model.
  const float NaN = std::numeric_limits<float>::quiet_NaN();
  const float Inf = std::numeric_limits<float>::infinity();
  Slider->SetValue(NaN);
  Slider->SetMin(NaN);
  Slider->SetMax(Inf);
  Slider->SetMin(-Inf);
  Slider->SetDefaultValue(NaN);
  Slider->SetBorderWidth(NaN);
  Slider->SetBorderRadius(Inf);
  Slider->SetCurveMapping(NaN);
  EXPECT_EQ(Slider->Value(), 60);
  EXPECT_EQ(Slider->Min(), 50);
  EXPECT_EQ(Slider->Max(), 60);
  EXPECT_EQ(Slider->DefaultValue(), 50);
  EXPECT_EQ(Slider->BorderWidth(), 0);
  EXPECT_EQ(Slider->BorderRadius(), 10);
  EXPECT_EQ(Slider->CurveMapping(), 0);
  Slider->SetValue(-Inf);
  EXPECT_EQ(Slider->Value(), 50) << "an infinity clamps";
  // A curve exponent far out stays a finite power of two.
  Slider->SetCurveMapping(1000);
  EXPECT_TRUE(std::isfinite(Slider->CurveMappingExp()));
}

TEST_F(SliderForm, DegenerateSizesAndRangesStayDefined) {
  // Max = Min: the drawing's position is 0 / 0; one pixel wide: the click's is X / 0.
  Slider->SetMin(5);
  Slider->SetMax(5);
  Pump();
  Form->Update();
  Slider->SetBounds(9, 338, 1, 7);
  Slider->SetMin(0);
  Slider->SetMax(10);
  Backend->InjectMouseDown(9, 340);
  Backend->InjectMouseUp(9, 340);
  Pump();
  EXPECT_EQ(Slider->Value(), 0);
  Slider->SetBounds(9, 338, 0, 0);
  Pump();
  EXPECT_EQ(Slider->Buffer().DataSize(), 0);
}

TEST_F(SliderForm, CurveMapsThePointer) {
  // Exponent 2: the middle of the bar is a quarter of the range.
  Slider->SetCurveMapping(1);
  EXPECT_EQ(Slider->CurveMappingExp(), 2.0f);
  Slider->SetMin(0);
  Backend->InjectMouseDown(9 + 117, 340);
  Backend->InjectMouseUp(9 + 117, 340);
  Pump();
  EXPECT_FLOAT_EQ(Slider->Value(), 50);
  EXPECT_EQ(At(117, 3), CSlide);
  EXPECT_EQ(At(118, 3), CWhite);
}

TEST_F(SliderForm, ShowTextWritesCaptionAndValue) {
  std::vector<std::string> Texts;
  Slider->OnGetText = [&](TObject*, std::string& Text) { Texts.push_back(Text); };
  Slider->SetBounds(9, 300, 235, 30);
  Slider->SetFontOversampling(fo4x);
  Slider->SetValue(3.25f);
  Slider->SetShowText(true);
  Slider->SetCaption("Gain");
  Pump();
  ASSERT_FALSE(Texts.empty());
  EXPECT_EQ(Texts.back(), "Gain: 3.25");
  Slider->SetCaption("");
  Pump();
  EXPECT_EQ(Texts.back(), "3.25");
  // The text is drawn in the font colour around the middle.
  TFont Font;
  Font.SetName("Lucida Console");
  Font.SetHeight(-20);
  Font.SetColor(0x0000FF);
  Slider->SetFont(Font);
  Pump();
  int Red = 0;
  for (int32_t Y = 0; Y < 30; ++Y)
    for (int32_t X = 90; X < 145; ++X) {
      const TPixel32 P = TPixel32::FromARGB(Backend->ScreenPixel(9 + X, 300 + Y));
      Red += P.R > 200 && P.G < 100 && P.B < 100;
    }
  EXPECT_GT(Red, 10);
}

TEST_F(SliderForm, AssignKeepsTheBuffersOfItsOwnSize) {
  TGuiSlider Other;
  Other.SetBounds(0, 0, 400, 20);
  Other.SetMin(0);
  Other.SetMax(10);
  Other.SetValue(10);
  Other.SetSlideColor(0x0000FF);
  Other.SetBorderRadius(2);
  int OtherChanges = 0;
  Other.OnChange = [&](TObject*) { ++OtherChanges; };
  Slider->Assign(Other);
  EXPECT_EQ(Slider->Max(), 10);
  EXPECT_EQ(Slider->Value(), 10);
  EXPECT_EQ(Slider->Buffer().Width(), 235);
  EXPECT_EQ(Slider->BackBuffer().Width(), 235);
  Pump();
  EXPECT_EQ(At(117, 3), ColorToPixel32(0x0000FF)) << "drawn at its own size in the new colour";
  Slider->SetValue(0);
  EXPECT_EQ(OtherChanges, 1) << "the handler came along";
}

TEST_F(SliderForm, ZeroValuesTravelAsFloatProperties) {
  TPropertyStore Store;
  Slider->SetMin(-10);
  Slider->SetMax(0);
  Slider->SetValue(0);
  Slider->SetDefaultValue(0);
  Slider->DefineProperties(Store);
  EXPECT_EQ(Store.Properties.size(), 3u);
  for (const char* Name : {"Value", "DefaultValue", "Max"}) EXPECT_EQ(Store.Properties.count(Name), 1u) << Name;

  TGuiSlider Loaded;
  Loaded.SetValue(7);
  Store.Writing = false;
  Loaded.DefineProperties(Store);
  EXPECT_EQ(Loaded.Value(), 0);
  EXPECT_EQ(Loaded.DefaultValue(), 0);
  EXPECT_EQ(Loaded.Max(), 0);

  // Values other than 0 are not written.
  TPropertyStore Other;
  Slider->SetMax(5);
  Slider->SetValue(3);
  Slider->SetDefaultValue(2);
  Slider->DefineProperties(Other);
  EXPECT_TRUE(Other.Properties.empty());
}
