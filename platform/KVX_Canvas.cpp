#include "platform/KVX_Canvas.h"

#include <cmath>
#include <cstring>

namespace kvx {

// ---- TFont -----------------------------------------------------------------------------------

void TFont::Changed() {
  if (OnChange) OnChange(this);
}

void TFont::SetName(const std::string& Value) {
  if (Value == FName) return;
  FName = Value;
  Changed();
}

void TFont::SetHeight(int32_t Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  Changed();
}

int32_t TFont::Size() const {
  return static_cast<int32_t>(std::nearbyint(-static_cast<double>(FHeight) * 72.0 / 96.0));
}

void TFont::SetSize(int32_t Value) {
  SetHeight(-static_cast<int32_t>(std::nearbyint(static_cast<double>(Value) * 96.0 / 72.0)));
}

void TFont::SetStyle(TFontStyles Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}

void TFont::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}

void TFont::SetCharset(uint8_t Value) {
  if (Value == FCharset) return;
  FCharset = Value;
  Changed();
}

void TFont::SetPitch(TFontPitch Value) {
  if (Value == FPitch) return;
  FPitch = Value;
  Changed();
}

void TFont::SetOrientation(int32_t Value) {
  if (Value == FOrientation) return;
  FOrientation = Value;
  Changed();
}

void TFont::SetQuality(TFontQuality Value) {
  if (Value == FQuality) return;
  FQuality = Value;
  Changed();
}

void TFont::Assign(const TPersistent& Source) {
  const auto* F = dynamic_cast<const TFont*>(&Source);
  if (F == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  if (Equals(*F)) return;
  FName = F->FName;
  FHeight = F->FHeight;
  FStyle = F->FStyle;
  FColor = F->FColor;
  FCharset = F->FCharset;
  FPitch = F->FPitch;
  FOrientation = F->FOrientation;
  FQuality = F->FQuality;
  Changed();
}

bool TFont::Equals(const TPersistent& Obj) const {
  const auto* F = dynamic_cast<const TFont*>(&Obj);
  if (F == nullptr) return false;
  return FName == F->FName && FHeight == F->FHeight && FStyle == F->FStyle && FColor == F->FColor &&
         FCharset == F->FCharset && FPitch == F->FPitch && FOrientation == F->FOrientation &&
         FQuality == F->FQuality;
}

// ---- TCanvas ---------------------------------------------------------------------------------

namespace {

uint8_t GreyOf(uint32_t ARGB) {
  const uint32_t B = ARGB & 0xFF, G = (ARGB >> 8) & 0xFF, R = (ARGB >> 16) & 0xFF;
  return static_cast<uint8_t>((R * 77 + G * 150 + B * 29 + 128) >> 8);
}

uint32_t ReadPixel(const uint8_t* P, TPixelFormat Format) {
  switch (Format) {
    case pf8bit:
      return 0xFF000000u | (uint32_t{P[0]} * 0x010101u);
    case pf24bit:
      return 0xFF000000u | uint32_t{P[0]} | (uint32_t{P[1]} << 8) | (uint32_t{P[2]} << 16);
    case pf32bit:
    default: {
      uint32_t V;
      std::memcpy(&V, P, 4);
      return V;
    }
  }
}

void WritePixel(uint8_t* P, TPixelFormat Format, uint32_t ARGB) {
  switch (Format) {
    case pf8bit:
      P[0] = GreyOf(ARGB);
      break;
    case pf24bit:
      P[0] = static_cast<uint8_t>(ARGB);
      P[1] = static_cast<uint8_t>(ARGB >> 8);
      P[2] = static_cast<uint8_t>(ARGB >> 16);
      break;
    case pf32bit:
    default:
      std::memcpy(P, &ARGB, 4);
      break;
  }
}

// Every byte c of X becomes (c * W + 128) >> 8, two bytes per multiply (W <= 255 keeps each
// product inside its 16-bit lane).
inline uint32_t ScaleBytes(uint32_t X, uint32_t W) {
  const uint32_t Low = ((((X & 0x00FF00FFu) * W) + 0x00800080u) & 0xFF00FF00u) >> 8;
  const uint32_t High = ((((X >> 8) & 0x00FF00FFu) * W) + 0x00800080u) & 0xFF00FF00u;
  return Low | High;
}

// Straight-alpha source over an opaque destination: per byte (F * a + 128) >> 8 plus
// (B * (255 - a) + 128) >> 8, alpha forced to 255 -- the same weights as the maps' opaque blend,
// whose two terms never carry into the neighbouring byte.
inline uint32_t BlendOver(uint32_t F, uint32_t B) {
  const uint32_t A = F >> 24;
  if (A == 0) return B;
  if (A == 255) return F;
  return (ScaleBytes(F, A) + ScaleBytes(B, 255 - A)) | 0xFF000000u;
}

}  // namespace

void TCanvas::SetSurface(const TSurface& Surface) {
  FSurface = Surface;
  FOrigin = TPoint{};
  FClip = FSurface.IsEmpty() ? TRect{} : TRect{0, 0, FSurface.Width, FSurface.Height};
  FSaved.clear();
}

int32_t TCanvas::SaveDC() {
  FSaved.push_back(TState{FOrigin, FClip});
  return static_cast<int32_t>(FSaved.size());
}

void TCanvas::RestoreDC(int32_t Saved) {
  if (FSaved.empty()) return;
  size_t Index = FSaved.size() - 1;
  if (Saved > 0) {
    if (static_cast<size_t>(Saved) > FSaved.size()) return;
    Index = static_cast<size_t>(Saved) - 1;
  }
  FOrigin = FSaved[Index].Origin;
  FClip = FSaved[Index].Clip;
  FSaved.resize(Index);
}

void TCanvas::IntersectClipRect(const TRect& R) {
  FClip = IntersectRect(FClip, OffsetRect(R, FOrigin.X, FOrigin.Y));
}

void TCanvas::SelectClipRect(const TRect& R) {
  const TRect Whole = FSurface.IsEmpty() ? TRect{} : TRect{0, 0, FSurface.Width, FSurface.Height};
  FClip = IntersectRect(Whole, OffsetRect(R, FOrigin.X, FOrigin.Y));
}

void TCanvas::FillRect(const TRect& R, TColor Color) {
  if (Color == clNone) return;
  FillRectARGB(R, RGBToARGB(ColorToRGB(Color)));
}

void TCanvas::FillRectARGB(const TRect& R, uint32_t ARGB) {
  const TRect D = IntersectRect(FClip, OffsetRect(R, FOrigin.X, FOrigin.Y));
  if (D.IsEmpty()) return;
  const int32_t Bpp = BytesPerPixel(FSurface.Format);
  const size_t RowBytes = static_cast<size_t>(D.Width()) * static_cast<size_t>(Bpp);
  // The first row pixel by pixel, every further row a copy of it.
  uint8_t* First = FSurface.Row(D.Top) + static_cast<intptr_t>(D.Left) * Bpp;
  if (FSurface.Format == pf8bit) {
    std::memset(First, GreyOf(ARGB), RowBytes);
  } else {
    for (uint8_t* P = First; P < First + RowBytes; P += Bpp) WritePixel(P, FSurface.Format, ARGB);
  }
  for (int32_t Y = D.Top + 1; Y < D.Bottom; ++Y)
    std::memcpy(FSurface.Row(Y) + static_cast<intptr_t>(D.Left) * Bpp, First, RowBytes);
}

namespace {

// The destination rectangle (device) and the matching source origin of a copy, clipped to the
// source, the clip rectangle and the surface.
bool ClipCopy(const TRect& Clip, TPoint Origin, int32_t X, int32_t Y, const TSurface& Source,
              const TRect& SourceRect, TRect& Dest, TPoint& SourceOrigin) {
  if (Source.IsEmpty()) return false;
  const TRect S = IntersectRect(SourceRect, TRect{0, 0, Source.Width, Source.Height});
  if (S.IsEmpty()) return false;
  // Where the clipped source rectangle lands (device coordinates).
  const int32_t Dx = X + Origin.X + (S.Left - SourceRect.Left);
  const int32_t Dy = Y + Origin.Y + (S.Top - SourceRect.Top);
  Dest = IntersectRect(Clip, Bounds(Dx, Dy, S.Width(), S.Height()));
  if (Dest.IsEmpty()) return false;
  SourceOrigin = TPoint{S.Left + (Dest.Left - Dx), S.Top + (Dest.Top - Dy)};
  return true;
}

}  // namespace

void TCanvas::CopyRect(int32_t X, int32_t Y, const TSurface& Source, const TRect& SourceRect) {
  TRect D;
  TPoint S;
  if (!ClipCopy(FClip, FOrigin, X, Y, Source, SourceRect, D, S)) return;
  const int32_t SBpp = BytesPerPixel(Source.Format), DBpp = BytesPerPixel(FSurface.Format);
  for (int32_t Row = 0; Row < D.Height(); ++Row) {
    const uint8_t* Src = Source.Row(S.Y + Row) + static_cast<intptr_t>(S.X) * SBpp;
    uint8_t* Dst = FSurface.Row(D.Top + Row) + static_cast<intptr_t>(D.Left) * DBpp;
    if (Source.Format == FSurface.Format) {
      std::memmove(Dst, Src, static_cast<size_t>(D.Width()) * static_cast<size_t>(DBpp));
      continue;
    }
    for (int32_t i = 0; i < D.Width(); ++i, Src += SBpp, Dst += DBpp)
      WritePixel(Dst, FSurface.Format, ReadPixel(Src, Source.Format));
  }
}

void TCanvas::BlendRect(int32_t X, int32_t Y, const TSurface& Source, const TRect& SourceRect) {
  if (Source.Format != pf32bit) {
    CopyRect(X, Y, Source, SourceRect);
    return;
  }
  TRect D;
  TPoint S;
  if (!ClipCopy(FClip, FOrigin, X, Y, Source, SourceRect, D, S)) return;
  const int32_t DBpp = BytesPerPixel(FSurface.Format);
  for (int32_t Row = 0; Row < D.Height(); ++Row) {
    const uint8_t* Src = Source.Row(S.Y + Row) + static_cast<intptr_t>(S.X) * 4;
    uint8_t* Dst = FSurface.Row(D.Top + Row) + static_cast<intptr_t>(D.Left) * DBpp;
    if (FSurface.Format == pf32bit) {
      for (int32_t i = 0; i < D.Width(); ++i, Src += 4, Dst += 4) {
        uint32_t F, B;
        std::memcpy(&F, Src, 4);
        if ((F >> 24) == 0) continue;
        std::memcpy(&B, Dst, 4);
        B = BlendOver(F, B);
        std::memcpy(Dst, &B, 4);
      }
      continue;
    }
    for (int32_t i = 0; i < D.Width(); ++i, Src += 4, Dst += DBpp) {
      const uint32_t F = ReadPixel(Src, pf32bit);
      const uint32_t A = F >> 24;
      if (A == 0) continue;
      WritePixel(Dst, FSurface.Format, A == 255 ? F : BlendOver(F, ReadPixel(Dst, FSurface.Format)));
    }
  }
}

void TCanvas::BitBlt(int32_t X, int32_t Y, int32_t Width, int32_t Height, const TCanvas& Source,
                     int32_t SourceX, int32_t SourceY) {
  CopyRect(X, Y, Source.FSurface, Bounds(SourceX, SourceY, Width, Height));
}

uint32_t TCanvas::Pixel(int32_t X, int32_t Y) const {
  const TPoint D{X + FOrigin.X, Y + FOrigin.Y};
  if (FSurface.IsEmpty() || !TRect{0, 0, FSurface.Width, FSurface.Height}.Contains(D)) return 0;
  return ReadPixel(FSurface.Row(D.Y) + static_cast<intptr_t>(D.X) * BytesPerPixel(FSurface.Format),
                   FSurface.Format);
}

void TCanvas::SetPixel(int32_t X, int32_t Y, uint32_t ARGB) {
  const TPoint D{X + FOrigin.X, Y + FOrigin.Y};
  if (!FClip.Contains(D)) return;
  WritePixel(FSurface.Row(D.Y) + static_cast<intptr_t>(D.X) * BytesPerPixel(FSurface.Format),
             FSurface.Format, ARGB);
}

// ---- TBitmap ---------------------------------------------------------------------------------

TBitmap::TBitmap(int32_t Width, int32_t Height, TPixelFormat Format) : FFormat(Format) {
  SetSize(Width, Height);
}

void TBitmap::SetSize(int32_t Width, int32_t Height) {
  if (Width < 0) throw EArgumentError("Width may not be negative!");
  if (Height < 0) throw EArgumentError("Height may not be negative!");
  if (Width == FWidth && Height == FHeight && (!FBits.empty() || Empty())) return;
  FWidth = Width;
  FHeight = Height;
  Reallocate();
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == FFormat) return;
  FFormat = Value;
  Reallocate();
}

void TBitmap::Reallocate() {
  FBits.assign(Empty() ? 0 : static_cast<size_t>(Stride()) * static_cast<size_t>(FHeight), 0);
  FCanvas.SetSurface(Surface());
}

uint8_t* TBitmap::ScanLine(int32_t Y) {
  KVX_ASSERT(Y >= 0 && Y < FHeight, "KVX_Canvas");
  return FBits.data() + static_cast<size_t>(Y) * static_cast<size_t>(Stride());
}

const uint8_t* TBitmap::ScanLine(int32_t Y) const { return const_cast<TBitmap*>(this)->ScanLine(Y); }

TSurface TBitmap::Surface() const {
  if (Empty()) return TSurface{nullptr, FWidth, FHeight, Stride(), FFormat};
  return TSurface{const_cast<uint8_t*>(FBits.data()), FWidth, FHeight, Stride(), FFormat};
}

void TBitmap::Assign(const TPersistent& Source) {
  const auto* B = dynamic_cast<const TBitmap*>(&Source);
  if (B == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  if (B == this) return;
  FWidth = B->FWidth;
  FHeight = B->FHeight;
  FFormat = B->FFormat;
  FBits = B->FBits;
  FCanvas.SetSurface(Surface());
}

}  // namespace kvx
