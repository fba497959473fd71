// Fonts of the window-system layer: the font description that controls carry, and the platform
// font made from it, which measures text and rasterises it as 8-bit coverage (text 255 on 0)
// into the rows of a byte buffer. The rasteriser behind it (FreeType through fontconfig) stays
// inside this unit's implementation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/KVX_Graphics.h"
#include "platform/KVX_Persistent.h"
#include "platform/KVX_Types.h"

namespace kvx {

enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle, uint8_t>;

enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };

// How the glyphs are rasterised: the non-antialiased and draft qualities give bi-level coverage
// (0 or 255), every other quality grey levels.
enum TFontQuality : uint8_t {
  fqDefault,
  fqDraft,
  fqProof,
  fqNonAntialiased,
  fqAntialiased,
  fqClearType,
  fqClearTypeNatural
};

// Character sets by their window-system numbers; the font prefers faces covering the language.
using TFontCharset = uint8_t;
constexpr TFontCharset ANSI_CHARSET = 0;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset SYMBOL_CHARSET = 2;

// The logical resolution the editor is designed for.
constexpr int32_t CScreenPixelsPerInch = 96;

// A font description: face name, height in pixels, style, colour, charset, pitch, orientation
// and output quality. A positive height is the cell height (ascent + descent), a negative one
// the character height (the em size). The size in points is derived from the height.
class TFont : public TPersistent {
 public:
  TFont() = default;
  std::string ClassName() const override { return "TFont"; }

  // "Default" names the platform's default face.
  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value);
  int32_t Height() const { return FHeight; }
  void SetHeight(int32_t Value);
  // -(Height * 72 / PixelsPerInch), rounded with halves away from zero; setting a size S sets
  // the height to -(S * PixelsPerInch / 72), rounded the same way.
  int32_t Size() const;
  void SetSize(int32_t Value);
  int32_t PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int32_t Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TFontCharset Charset() const { return FCharset; }
  void SetCharset(TFontCharset Value);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch Value);
  // Angle of the text's baseline in tenths of a degree, counter-clockwise.
  int32_t Orientation() const { return FOrientation; }
  void SetOrientation(int32_t Value);
  TFontQuality Quality() const { return FQuality; }
  void SetQuality(TFontQuality Value);

  const TNotifyEvent& OnChange() const { return FOnChange; }
  void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }

  // From another font: every setting, with one notification when any differed; the
  // destination keeps its OnChange.
  void Assign(const TPersistent& Source) override;
  void AssignTo(TPersistent& Dest) const override;
  bool Equals(const TPersistent& Obj) const override;

 protected:
  virtual void Changed();

 private:
  std::string FName = "Default";
  int32_t FHeight = -11;
  int32_t FPixelsPerInch = CScreenPixelsPerInch;
  TFontStyles FStyle;
  TColor FColor = 0;
  TFontCharset FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = fpDefault;
  int32_t FOrientation = 0;
  TFontQuality FQuality = fqDefault;
  TNotifyEvent FOnChange;
};

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

// The face a description gets in this process ("DejaVu Sans Mono Bold, /usr/share/fonts/...", or
// "none"): for reports and tests.
std::string FontFaceInUse(const TFont& Font);

}  // namespace kvx
