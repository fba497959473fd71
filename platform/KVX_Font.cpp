#include "platform/KVX_Font.h"

#include <algorithm>
#include <cmath>

#include "platform/KVX_Forms.h"

namespace kvx {

// ---- sizes ------------------------------------------------------------------------------------

int32_t FontPointsFromHeight(int32_t Height) {
  return -static_cast<int32_t>(std::round(static_cast<double>(Height) * 72.0 / CScreenPixelsPerInch));
}

int32_t FontHeightFromPoints(int32_t Points) {
  const double Height = std::round(static_cast<double>(Points) * CScreenPixelsPerInch / 72.0);
  return -static_cast<int32_t>(std::clamp(Height, -double{INT32_MAX}, double{INT32_MAX}));
}

std::string FontFaceInUse(const TFont& Font) {
  TPlatformFont Platform(Font);
  if (!Platform.HasFace()) return "none";
  const TFontFaceInfo& Face = Platform.Face();
  std::string Text = Face.Family;
  if (!Face.Style.empty()) Text += " " + Face.Style;
  if (Face.SyntheticBold) Text += " (synthetic bold)";
  if (Face.SyntheticItalic) Text += " (synthetic italic)";
  return Text + ", " + Face.FileName;
}

// ---- text of the forms' overlays ----------------------------------------------------------------

namespace {

// Made on the editor's thread at the first overlay and kept for the process.
const TPlatformFont& OverlayFont() {
  static const TPlatformFont Font = [] {
    TFont Description;
    Description.SetName("Lucida Console");
    Description.SetHeight(-11);
    return TPlatformFont(Description);
  }();
  return Font;
}

TPoint MeasureOverlayText(const std::string& Text) {
  const TTextExtent Extent = OverlayFont().TextExtent(Text);
  return TPoint{Extent.cx, Extent.cy};
}

// The coverage of the text becomes the alpha of Color, blended over what the canvas holds.
void DrawOverlayText(TCanvas& Canvas, int32_t X, int32_t Y, const std::string& Text, TColor Color) {
  const TTextExtent Extent = OverlayFont().TextExtent(Text);
  if (Extent.cx <= 0 || Extent.cy <= 0) return;
  TBitmap Coverage(Extent.cx, Extent.cy, pf8bit);
  OverlayFont().TextOut(Text, 0, 0, TByteRows{Coverage.ScanLine(0), Extent.cx, Extent.cy, Coverage.Stride()});
  TBitmap Glyphs(Extent.cx, Extent.cy, pf32bit);
  const uint32_t RGB = RGBToARGB(ColorToRGB(Color)) & 0x00FFFFFFu;
  for (int32_t y = 0; y < Extent.cy; ++y) {
    const uint8_t* From = Coverage.ScanLine(y);
    auto* To = reinterpret_cast<uint32_t*>(Glyphs.ScanLine(y));
    for (int32_t x = 0; x < Extent.cx; ++x) To[x] = (uint32_t{From[x]} << 24) | RGB;
  }
  Canvas.BlendRect(X, Y, Glyphs.Surface(), TRect{0, 0, Extent.cx, Extent.cy});
}

}  // namespace

void UseFontOverlayText() {
  static const bool Registered = [] {
    SetOverlayTextRenderer(TOverlayTextRenderer{&MeasureOverlayText, &DrawOverlayText});
    return true;
  }();
  (void)Registered;
}

}  // namespace kvx
