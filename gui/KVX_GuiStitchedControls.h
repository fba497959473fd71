// Stitched images: one picture holding every frame (glyph) of a control side by side or stacked,
// and the drawing of one glyph into a control's buffer.
#pragma once

#include <cstdint>

#include "gui/KVX_GuiPixelMap.h"

namespace kvx {

// How the glyphs of a stitched picture are laid out: left to right, or top to bottom.
enum TGuiStitchKind : uint8_t { skHorizontal, skVertical };

// Blends glyph GlyphIndex of Picture over Target, whose size is the control's: the glyph's
// top-left pixel is column GlyphIndex x Target width of row 0 (horizontal) or row GlyphIndex x
// Target height (vertical). Only the part of that glyph lying inside both the picture and the
// target is drawn, so a control larger than its glyph, a cut-short last glyph or a control wider
// than the picture never reads outside the picture. When the sizes agree, a vertical glyph is
// one block, blended with a single row call.
void DrawStitchedGlyph(const TGuiCustomPixelMap& Picture, TGuiStitchKind Kind, int32_t GlyphIndex,
                       TGuiCustomPixelMap& Target);

}  // namespace kvx
