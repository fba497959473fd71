// Linux: faces chosen through fontconfig, rasterised by FreeType.
#include "platform/KVX_Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// Weak, so that a program with a list of its own (the artwork tool) keeps its own.
// fontconfig keeps what FcInit allocates for the whole process, and this library never calls
// FcFini (the host may still be using fontconfig): those blocks are fontconfig's, not leaks of
// ours. The leak checker of a sanitizer build reads this list.
extern "C" __attribute__((weak, visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
#endif

namespace kvx {

// ---- the shared FreeType library and the fontconfig choice --------------------------------------

namespace {

// Guards the FreeType library (faces are created and freed through it) and the choice cache.
// fontconfig is initialised once and never finalised: the host may use it as well.
std::mutex GFontMutex;
FT_Library GLibrary = nullptr;
int GLibraryUsers = 0;

FT_Library AcquireLibrary() {
  if (GLibraryUsers == 0 && FT_Init_FreeType(&GLibrary) != 0) {
    GLibrary = nullptr;
    return nullptr;
  }
  ++GLibraryUsers;
  return GLibrary;
}

void ReleaseLibrary() {
  if (--GLibraryUsers == 0) {
    FT_Done_FreeType(GLibrary);
    GLibrary = nullptr;
  }
}

// The em size in pixels that a description asks for before the face is known (positive heights
// are cell heights, close to 1.17 em for common faces).
double NominalPixelSize(int32_t Height) {
  if (Height < 0) return -static_cast<double>(Height);
  if (Height > 0) return Height / 1.17;
  return 12.0;
}

const char* CharsetLanguage(TFontCharset Charset) {
  switch (Charset) {
    case 128: return "ja";      // Shift-JIS
    case 129: return "ko";      // Hangul
    case 134: return "zh-cn";   // GB 2312
    case 136: return "zh-tw";   // Big5
    case 161: return "el";      // Greek
    case 162: return "tr";      // Turkish
    case 163: return "vi";      // Vietnamese
    case 177: return "he";      // Hebrew
    case 178: return "ar";      // Arabic
    case 186: return "lt";      // Baltic
    case 204: return "ru";      // Russian
    case 222: return "th";      // Thai
    case 238: return "pl";      // Eastern European
    default: return nullptr;
  }
}

std::string Lowered(std::string Text) {
  for (char& c : Text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return Text;
}

using TChoiceKey = std::tuple<std::string, int32_t, bool, bool, TFontCharset, TFontPitch>;
std::map<TChoiceKey, TFontFaceInfo>& ChoiceCache() {
  static std::map<TChoiceKey, TFontFaceInfo> Cache;
  return Cache;
}

std::string PatternString(FcPattern* Pattern, const char* Object) {
  FcChar8* Value = nullptr;
  if (FcPatternGetString(Pattern, Object, 0, &Value) != FcResultMatch || !Value) return {};
  return reinterpret_cast<const char*>(Value);
}

int PatternInteger(FcPattern* Pattern, const char* Object, int Default) {
  int Value = Default;
  if (FcPatternGetInteger(Pattern, Object, 0, &Value) != FcResultMatch) return Default;
  return Value;
}

// Asks fontconfig; called with GFontMutex held, once per distinct key.
TFontFaceInfo MatchFace(const TFont& Font) {
  TFontFaceInfo Info;
  static const bool Initialised = FcInit() == FcTrue;
  if (!Initialised) return Info;

  const bool Bold = Font.Style().Contains(fsBold);
  const bool Italic = Font.Style().Contains(fsItalic);
  const std::string Fallback = Font.Pitch() == fpVariable ? "sans-serif" : "monospace";
  FcPattern* Pattern = FcPatternCreate();
  if (!Pattern) return Info;
  const std::string Name = Lowered(Font.Name());
  if (Name == "default" || Name.empty()) {
    FcPatternAddString(Pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  } else {
    FcPatternAddString(Pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(Font.Name().c_str()));
    FcPatternAddString(Pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(Fallback.c_str()));
  }
  FcPatternAddInteger(Pattern, FC_WEIGHT, Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(Pattern, FC_SLANT, Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  if (Font.Pitch() == fpFixed) FcPatternAddInteger(Pattern, FC_SPACING, FC_MONO);
  // fontconfig assumes 75 dpi for point sizes; the pixel size is what the face is scaled to.
  FcPatternAddDouble(Pattern, FC_PIXEL_SIZE, NominalPixelSize(Font.Height()));
  FcPatternAddBool(Pattern, FC_SCALABLE, FcTrue);
  if (const char* Language = CharsetLanguage(Font.Charset()))
    FcPatternAddString(Pattern, FC_LANG, reinterpret_cast<const FcChar8*>(Language));
  FcConfigSubstitute(nullptr, Pattern, FcMatchPattern);
  FcDefaultSubstitute(Pattern);

  FcResult Result = FcResultNoMatch;
  FcPattern* Match = FcFontMatch(nullptr, Pattern, &Result);
  FcPatternDestroy(Pattern);
  if (!Match) return Info;
  Info.FileName = PatternString(Match, FC_FILE);
  if (!Info.FileName.empty()) {
    Info.Family = PatternString(Match, FC_FAMILY);
    Info.Style = PatternString(Match, FC_STYLE);
    const int Weight = PatternInteger(Match, FC_WEIGHT, FC_WEIGHT_REGULAR);
    const int Slant = PatternInteger(Match, FC_SLANT, FC_SLANT_ROMAN);
    Info.SyntheticBold = Bold && Weight < FC_WEIGHT_DEMIBOLD;
    Info.SyntheticItalic = Italic && Slant == FC_SLANT_ROMAN;
  }
  FcPatternDestroy(Match);
  return Info;
}

TFontFaceInfo ChooseFace(const TFont& Font) {
  const TChoiceKey Key{Lowered(Font.Name()), Font.Height(), Font.Style().Contains(fsBold),
                       Font.Style().Contains(fsItalic), Font.Charset(), Font.Pitch()};
  auto& Cache = ChoiceCache();
  auto Found = Cache.find(Key);
  if (Found != Cache.end()) return Found->second;
  return Cache.emplace(Key, MatchFace(Font)).first->second;
}

// Decodes one UTF-8 character at Text[Pos] and moves Pos past it; malformed bytes give U+FFFD.
char32_t NextCharacter(std::string_view Text, size_t& Pos) {
  const auto Byte = [&](size_t i) { return static_cast<uint8_t>(Text[i]); };
  const uint8_t Lead = Byte(Pos++);
  if (Lead < 0x80) return Lead;
  int Count = 0;
  char32_t Code = 0;
  char32_t Least = 0;
  if ((Lead & 0xE0) == 0xC0) {
    Count = 1, Code = Lead & 0x1F, Least = 0x80;
  } else if ((Lead & 0xF0) == 0xE0) {
    Count = 2, Code = Lead & 0x0F, Least = 0x800;
  } else if ((Lead & 0xF8) == 0xF0) {
    Count = 3, Code = Lead & 0x07, Least = 0x10000;
  } else {
    return 0xFFFD;
  }
  for (int i = 0; i < Count; ++i) {
    if (Pos >= Text.size() || (Byte(Pos) & 0xC0) != 0x80) return 0xFFFD;
    Code = (Code << 6) | (Byte(Pos++) & 0x3F);
  }
  if (Code < Least || Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF)) return 0xFFFD;
  return Code;
}

}  // namespace

// ---- the rasteriser ---------------------------------------------------------------------------

// One FreeType face scaled to the description's height, with the synthetic styles it needs.
class TFontRasterizer {
 public:
  TFontRasterizer(const TFont& Font, const TFontFaceInfo& Info, bool Antialiased)
      : FAntialiased(Antialiased) {
    std::lock_guard<std::mutex> Lock(GFontMutex);
    FLibrary = AcquireLibrary();
    if (!FLibrary) return;
    if (FT_New_Face(FLibrary, Info.FileName.c_str(), 0, &FFace) != 0) {
      FFace = nullptr;
      return;
    }
    if (!Scale(Font.Height())) {
      FT_Done_Face(FFace);
      FFace = nullptr;
      return;
    }
    FBold = Info.SyntheticBold;
    FItalic = Info.SyntheticItalic;
    FUnderline = Font.Style().Contains(fsUnderline);
    FStrikeOut = Font.Style().Contains(fsStrikeOut);
    const double Angle = Font.Orientation() / 10.0 * 3.14159265358979323846 / 180.0;
    FCos = std::cos(Angle);
    FSin = std::sin(Angle);
    FRotated = Font.Orientation() % 3600 != 0;
  }

  ~TFontRasterizer() {
    std::lock_guard<std::mutex> Lock(GFontMutex);
    if (FFace) FT_Done_Face(FFace);
    if (FLibrary) ReleaseLibrary();
  }

  bool Valid() const { return FFace != nullptr; }
  int32_t Ascent() const { return FAscent; }
  int32_t Descent() const { return FDescent; }

  TTextExtent Extent(std::string_view Text) {
    TTextExtent Result;
    if (!FFace) return Result;
    int64_t Width = 0;
    for (size_t Pos = 0; Pos < Text.size();)
      Width += Advance(FT_Get_Char_Index(FFace, NextCharacter(Text, Pos)));
    Result.cx = static_cast<int32_t>(std::min<int64_t>(Width, INT32_MAX));
    Result.cy = FAscent + FDescent;
    return Result;
  }

  void Draw(std::string_view Text, int32_t X, int32_t Y, const TByteRows& Rows) {
    if (!FFace || !Rows.Data || Rows.Width <= 0 || Rows.Height <= 0) return;
    // The baseline's origin: the cell's top-left moved down by the ascent, turned with the text.
    const double OriginX = X + FAscent * FSin;
    const double OriginY = Y + FAscent * FCos;
    int64_t Pen = 0;
    for (size_t Pos = 0; Pos < Text.size();) {
      const FT_UInt Glyph = FT_Get_Char_Index(FFace, NextCharacter(Text, Pos));
      const double GlyphX = OriginX + Pen * FCos;
      const double GlyphY = OriginY - Pen * FSin;
      Pen += DrawGlyph(Glyph, GlyphX, GlyphY, Rows);
    }
    if (!FRotated && Pen > 0) {
      const int64_t Baseline = int64_t{Y} + FAscent;
      if (FUnderline) FillRows(X, X + Pen, Baseline + FUnderlineTop, FLineThickness, Rows);
      if (FStrikeOut) FillRows(X, X + Pen, Baseline + FStrikeOutTop, FLineThickness, Rows);
    }
  }

 private:
  // Sizes the face to the height and derives the cell. False when the face cannot be scaled.
  bool Scale(int32_t Height) {
    if (!FT_IS_SCALABLE(FFace) || FFace->units_per_EM == 0) return false;
    const double UnitsPerEm = FFace->units_per_EM;
    // The cell: the face's Windows metrics where it has them, else its typographic ones.
    double CellAscent = FFace->ascender;
    double CellDescent = -static_cast<double>(FFace->descender);
    auto* Os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(FFace, FT_SFNT_OS2));
    if (Os2 && Os2->version != 0xFFFF && Os2->usWinAscent + Os2->usWinDescent > 0) {
      CellAscent = Os2->usWinAscent;
      CellDescent = Os2->usWinDescent;
    }
    if (CellAscent + CellDescent <= 0) CellAscent = UnitsPerEm, CellDescent = 0;
    double Em = 0;
    if (Height > 0) {
      Em = Height * UnitsPerEm / (CellAscent + CellDescent);
      FAscent = static_cast<int32_t>(std::nearbyint(Height * CellAscent / (CellAscent + CellDescent)));
      FDescent = Height - FAscent;
    } else {
      Em = Height < 0 ? -static_cast<double>(Height) : 12.0;
      FAscent = static_cast<int32_t>(std::nearbyint(CellAscent * Em / UnitsPerEm));
      FDescent = static_cast<int32_t>(std::nearbyint(CellDescent * Em / UnitsPerEm));
    }
    // FreeType's limit for a character size.
    if (Em <= 0 || Em > 16384) return false;
    if (FT_Set_Char_Size(FFace, 0, static_cast<FT_F26Dot6>(std::nearbyint(Em * 64)), 72, 72) != 0)
      return false;
    FScale = Em / UnitsPerEm;
    FEmboldenStrength = static_cast<FT_Pos>(std::nearbyint(Em * 64 / 24));
    FEmboldenAdvance = static_cast<int32_t>(std::nearbyint(Em / 24));

    FLineThickness = std::max<int64_t>(1, std::llround(FFace->underline_thickness * FScale));
    FUnderlineTop = -std::llround(FFace->underline_position * FScale) - FLineThickness / 2;
    double Strike = CellAscent * 0.3;
    if (Os2 && Os2->version != 0xFFFF && Os2->yStrikeoutPosition > 0) Strike = Os2->yStrikeoutPosition;
    FStrikeOutTop = -std::llround(Strike * FScale);
    return true;
  }

  // Whole pixels, as the platform's text layout steps them.
  int32_t Advance(FT_UInt Glyph) {
    if (FT_Load_Glyph(FFace, Glyph, LoadFlags()) != 0) return 0;
    return LoadedAdvance();
  }

  // The advance of the glyph in the slot (transforming the outline does not change it).
  int32_t LoadedAdvance() const {
    const int32_t Base = static_cast<int32_t>((FFace->glyph->linearHoriAdvance + 0x8000) >> 16);
    return Base + (FBold ? FEmboldenAdvance : 0);
  }

  FT_Int32 LoadFlags() const {
    // The outline as designed, not grid-fitted: the same coverage on every desktop and at
    // every oversampling factor.
    return FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;
  }

  // Draws the glyph with its origin at (X, Y) and answers its advance.
  int32_t DrawGlyph(FT_UInt Glyph, double X, double Y, const TByteRows& Rows) {
    if (FT_Load_Glyph(FFace, Glyph, LoadFlags()) != 0) return 0;
    FT_GlyphSlot Slot = FFace->glyph;
    const int32_t Result = LoadedAdvance();
    if (Slot->format != FT_GLYPH_FORMAT_OUTLINE) return Result;
    FT_Outline* Outline = &Slot->outline;
    if (FItalic) {
      FT_Matrix Shear{0x10000, 0x0366A, 0, 0x10000};
      FT_Outline_Transform(Outline, &Shear);
    }
    if (FBold) FT_Outline_Embolden(Outline, FEmboldenStrength);
    if (FRotated) {
      FT_Matrix Turn{static_cast<FT_Fixed>(std::lround(FCos * 0x10000)),
                     static_cast<FT_Fixed>(std::lround(-FSin * 0x10000)),
                     static_cast<FT_Fixed>(std::lround(FSin * 0x10000)),
                     static_cast<FT_Fixed>(std::lround(FCos * 0x10000))};
      FT_Outline_Transform(Outline, &Turn);
    }
    // The whole pixels place the bitmap; the fraction moves the outline.
    const double FloorX = std::floor(X);
    const double FloorY = std::floor(Y);
    if (std::fabs(FloorX) > 1e9 || std::fabs(FloorY) > 1e9) return Result;
    FT_Outline_Translate(Outline, static_cast<FT_Pos>(std::lround((X - FloorX) * 64)),
                         -static_cast<FT_Pos>(std::lround((Y - FloorY) * 64)));
    if (FT_Render_Glyph(Slot, FAntialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0)
      return Result;
    const FT_Bitmap& Bitmap = Slot->bitmap;
    const int64_t Left = static_cast<int64_t>(FloorX) + Slot->bitmap_left;
    const int64_t Top = static_cast<int64_t>(FloorY) - Slot->bitmap_top;
    const int64_t FromRow = std::max<int64_t>(0, -Top);
    const int64_t ToRow = std::min<int64_t>(Bitmap.rows, Rows.Height - Top);
    const int64_t FromColumn = std::max<int64_t>(0, -Left);
    const int64_t ToColumn = std::min<int64_t>(Bitmap.width, Rows.Width - Left);
    const bool Mono = Bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    for (int64_t r = FromRow; r < ToRow; ++r) {
      const uint8_t* Source = Bitmap.buffer + r * Bitmap.pitch;
      uint8_t* Destination = Rows.Data + (Top + r) * Rows.Stride + Left;
      for (int64_t c = FromColumn; c < ToColumn; ++c) {
        const uint8_t Coverage =
            Mono ? ((Source[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0) : Source[c];
        if (Coverage > Destination[c]) Destination[c] = Coverage;
      }
    }
    return Result;
  }

  // Full coverage in Thickness rows from Top, columns From up to To.
  static void FillRows(int64_t From, int64_t To, int64_t Top, int64_t Thickness,
                       const TByteRows& Rows) {
    From = std::max<int64_t>(From, 0);
    To = std::min<int64_t>(To, Rows.Width);
    if (To <= From) return;
    for (int64_t r = std::max<int64_t>(Top, 0); r < std::min<int64_t>(Top + Thickness, Rows.Height); ++r)
      std::memset(Rows.Data + r * Rows.Stride + From, 255, static_cast<size_t>(To - From));
  }

  FT_Library FLibrary = nullptr;
  FT_Face FFace = nullptr;
  bool FAntialiased = true;
  bool FBold = false;
  bool FItalic = false;
  bool FUnderline = false;
  bool FStrikeOut = false;
  bool FRotated = false;
  double FCos = 1.0;
  double FSin = 0.0;
  double FScale = 0.0;
  int32_t FAscent = 0;
  int32_t FDescent = 0;
  FT_Pos FEmboldenStrength = 0;
  int32_t FEmboldenAdvance = 0;
  int64_t FLineThickness = 1;
  int64_t FUnderlineTop = 0;
  int64_t FStrikeOutTop = 0;
};

// ---- TPlatformFont ----------------------------------------------------------------------------

namespace {
bool IsAntialiased(TFontQuality Quality) {
  return Quality != fqNonAntialiased && Quality != fqDraft;
}
}  // namespace

TPlatformFont::TPlatformFont(const TFont& Font) {
  TFontFaceInfo Info;
  {
    std::lock_guard<std::mutex> Lock(GFontMutex);
    Info = ChooseFace(Font);
  }
  Open(Font, Info);
}

TPlatformFont::~TPlatformFont() = default;

std::unique_ptr<TPlatformFont> TPlatformFont::FromFile(const TFont& Font,
                                                       const std::string& FileName,
                                                       bool SyntheticBold, bool SyntheticItalic) {
  std::unique_ptr<TPlatformFont> Result(new TPlatformFont());
  TFontFaceInfo Info;
  Info.FileName = FileName;
  Info.Family = FileName;
  Info.SyntheticBold = SyntheticBold;
  Info.SyntheticItalic = SyntheticItalic;
  Result->Open(Font, Info);
  return Result;
}

void TPlatformFont::Open(const TFont& Font, const TFontFaceInfo& Face) {
  FAntialiased = IsAntialiased(Font.Quality());
  if (Face.FileName.empty()) return;
  auto Rasterizer = std::make_unique<TFontRasterizer>(Font, Face, FAntialiased);
  if (!Rasterizer->Valid()) return;
  FFace = Face;
  FRasterizer = std::move(Rasterizer);
}

bool TPlatformFont::HasFace() const { return FRasterizer != nullptr; }

int32_t TPlatformFont::Ascent() const { return FRasterizer ? FRasterizer->Ascent() : 0; }

int32_t TPlatformFont::Descent() const { return FRasterizer ? FRasterizer->Descent() : 0; }

TTextExtent TPlatformFont::TextExtent(std::string_view Text) const {
  return FRasterizer ? FRasterizer->Extent(Text) : TTextExtent{};
}

void TPlatformFont::TextOut(std::string_view Text, int32_t X, int32_t Y,
                            const TByteRows& Rows) const {
  if (FRasterizer) FRasterizer->Draw(Text, X, Y, Rows);
}

}  // namespace kvx
