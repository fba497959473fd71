// Windows: no face finder or rasteriser yet. The Windows build shows no editor, and every font
// there is a font without a face: it measures 0 x 0 and draws nothing, as anywhere a machine has
// no fonts at all. The editor's Windows backend brings the system's text.
#include "platform/KVX_Font.h"

namespace kvx {

class TFontRasterizer {};

TPlatformFont::TPlatformFont(const TFont& Font) { Open(Font, TFontFaceInfo{}); }

TPlatformFont::~TPlatformFont() = default;

std::unique_ptr<TPlatformFont> TPlatformFont::FromFile(const TFont& Font, const std::string&, bool, bool) {
  std::unique_ptr<TPlatformFont> Result(new TPlatformFont());
  Result->Open(Font, TFontFaceInfo{});
  return Result;
}

void TPlatformFont::Open(const TFont& Font, const TFontFaceInfo&) {
  FAntialiased = Font.Quality() != fqNonAntialiased && Font.Quality() != fqDraft;
}

bool TPlatformFont::HasFace() const { return false; }

int32_t TPlatformFont::Ascent() const { return 0; }

int32_t TPlatformFont::Descent() const { return 0; }

TTextExtent TPlatformFont::TextExtent(std::string_view) const { return {}; }

void TPlatformFont::TextOut(std::string_view, int32_t, int32_t, const TByteRows&) const {}

}  // namespace kvx
