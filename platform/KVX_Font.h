// Text of the window-system layer: the platform font made from a font description, which
// measures text and rasterises it as 8-bit coverage (text 255 on 0) into the rows of a byte
// buffer. The rasteriser behind it (FreeType through fontconfig on Linux) stays inside this
// unit's implementation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/KVX_Canvas.h"
#include "platform/KVX_Graphics.h"

namespace kvx {

// The font description itself (TFont, its styles, pitch and qualities) is the layer's, in
// KVX_Canvas. The non-antialiased and draft qualities rasterise bi-level coverage (0 or 255),
// every other quality grey levels.
using TFontCharset = uint8_t;

// The logical resolution the editor is designed for.
constexpr int32_t CScreenPixelsPerInch = 96;

// The size in points of a height in pixels, -(Height * 72 / 96), and the height of a size in
// points, -(Points * 96 / 72); both rounded with halves away from zero, as the platform scales
// its fonts (height 14 is 11 points, not 10).
int32_t FontPointsFromHeight(int32_t Height);
int32_t FontHeightFromPoints(int32_t Points);

// A text's extent: the sum of the glyphs' advances and the cell height, in pixels.
struct TTextExtent {
  int32_t cx = 0;
  int32_t cy = 0;
  constexpr bool operator==(const TTextExtent&) const = default;
};

// An 8-bit buffer to draw into: Height rows of Width values, Stride bytes apart.
struct TByteRows {
  uint8_t* Data = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Stride = 0;
};

// What the platform chose for a description.
struct TFontFaceInfo {
  std::string Family;    // empty: no face found
  std::string Style;
  std::string FileName;
  bool SyntheticBold = false;    // bold asked for, only a regular weight found
  bool SyntheticItalic = false;  // italic asked for, only an upright face found
};

class TFontRasterizer;

// A font made from a description, ready to measure and draw. The face is chosen once per
// process for each distinct description (face name, height, weight, italic, charset, pitch):
// the face name first, then, when it is missing, the closest monospace face (a proportional one
// for a variable pitch, the default sans face for "Default"). Without any face the font
// measures 0 x 0 and draws nothing; it never raises. The user's hinting, sub-pixel and LCD-filter
// settings are ignored, so that coverage is the same on every desktop. Text is UTF-8; a
// character that the face lacks is drawn as the face's missing glyph.
class TPlatformFont {
 public:
  explicit TPlatformFont(const TFont& Font);
  ~TPlatformFont();
  TPlatformFont(const TPlatformFont&) = delete;
  TPlatformFont& operator=(const TPlatformFont&) = delete;

  // The face file given instead of a fontconfig choice (a missing file gives no face).
  static std::unique_ptr<TPlatformFont> FromFile(const TFont& Font, const std::string& FileName,
                                                 bool SyntheticBold, bool SyntheticItalic);

  bool HasFace() const;
  const TFontFaceInfo& Face() const { return FFace; }
  // The cell above and below the baseline, in pixels.
  int32_t Ascent() const;
  int32_t Descent() const;
  bool Antialiased() const { return FAntialiased; }

  TTextExtent TextExtent(std::string_view Text) const;
  // Draws Text with the cell's top-left at (X, Y): each touched value becomes the larger of
  // itself and the text's coverage; everything outside the rows is left out.
  void TextOut(std::string_view Text, int32_t X, int32_t Y, const TByteRows& Rows) const;

 private:
  TPlatformFont() = default;
  void Open(const TFont& Font, const TFontFaceInfo& Face);

  TFontFaceInfo FFace;
  bool FAntialiased = true;
  std::unique_ptr<TFontRasterizer> FRasterizer;
};

// Makes the text of the forms' overlays (tool tips, popup menu items) this unit's: an 11-pixel
// "Lucida Console" (or its monospace stand-in), antialiased. Any number of calls; the first one
// registers it.
void UseFontOverlayText();

// The face a description gets in this process ("DejaVu Sans Mono Bold, /usr/share/fonts/...", or
// "none"): for reports and tests.
std::string FontFaceInUse(const TFont& Font);

}  // namespace kvx
