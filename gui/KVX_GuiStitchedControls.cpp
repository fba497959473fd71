#include "gui/KVX_GuiStitchedControls.h"

#include <algorithm>

namespace kvx {

void DrawStitchedGlyph(const TGuiCustomPixelMap& Picture, TGuiStitchKind Kind, int32_t GlyphIndex,
                       TGuiCustomPixelMap& Target) {
  if (GlyphIndex < 0 || Picture.IsEmpty() || Target.IsEmpty()) return;
  const int64_t Width = Target.Width();
  const int64_t Height = Target.Height();
  // The glyph's origin in the picture; 64-bit so that a large index cannot wrap around.
  int64_t SourceX = 0, SourceY = 0;
  if (Kind == skHorizontal) {
    SourceX = GlyphIndex * Width;
  } else if (Kind == skVertical) {
    SourceY = GlyphIndex * Height;
  } else {
    return;
  }
  if (SourceX >= Picture.Width() || SourceY >= Picture.Height()) return;
  const int32_t Columns = static_cast<int32_t>(std::min<int64_t>(Width, Picture.Width() - SourceX));
  const int32_t Rows = static_cast<int32_t>(std::min<int64_t>(Height, Picture.Height() - SourceY));
  const TPixel32* Source = Picture.GetScanLine(static_cast<int32_t>(SourceY)) + SourceX;
  if (Columns == Width && Columns == Picture.Width()) {
    // Rows of glyph and target are one contiguous run each.
    OpaqueBlendRow(Source, Target.DataPointer(), Columns * Rows);
    return;
  }
  for (int32_t y = 0; y < Rows; ++y)
    OpaqueBlendRow(Source + int64_t{y} * Picture.Width(), Target.GetScanLine(y), Columns);
}

}  // namespace kvx
