// Drawing surfaces of the window-system layer: a canvas over a top-down surface (8, 24 or 32
// bits per pixel) with saved and restored state, viewport origin and clip rectangle; platform
// bitmaps that own such a surface and carry a canvas of their own; font settings.
//
// Coordinates handed to a canvas are logical: the device pixel is logical + viewport origin.
// Every drawing operation is clipped to the clip rectangle (device coordinates) and to the
// surface, so a painter can never write outside what it was given.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/KVX_Graphics.h"
#include "platform/KVX_Persistent.h"
#include "platform/KVX_Types.h"

namespace kvx {

enum TPixelFormat : uint8_t { pf8bit, pf24bit, pf32bit };

// Bytes per pixel of a format.
constexpr int32_t BytesPerPixel(TPixelFormat Format) {
  return Format == pf8bit ? 1 : Format == pf24bit ? 3 : 4;
}
// A platform row: whole 4-byte units, as bitmap rows are addressed by the platform.
constexpr int32_t BitmapRowStride(int32_t Width, TPixelFormat Format) {
  return (Width * BytesPerPixel(Format) + 3) & ~3;
}

// A borrowed top-down pixel area. 32 bits: bytes B, G, R, A (0xAARRGGBB little-endian, straight
// alpha); 24 bits: B, G, R; 8 bits: a grey level (or coverage) per byte.
struct TSurface {
  uint8_t* Bits = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Stride = 0;  // bytes from one row to the next
  TPixelFormat Format = pf32bit;

  bool IsEmpty() const { return Bits == nullptr || Width <= 0 || Height <= 0; }
  uint8_t* Row(int32_t Y) const { return Bits + static_cast<intptr_t>(Y) * Stride; }
};

// ---- fonts -----------------------------------------------------------------------------------

enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle, uint8_t>;
enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };
enum TFontQuality : uint8_t {
  fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType, fqClearTypeNatural
};
constexpr uint8_t DEFAULT_CHARSET = 1;

// The settings of a font. The text units turn them into a platform font; this class only
// keeps them and tells OnChange about every change.
class TFont : public TPersistent {
 public:
  TFont() = default;
  std::string ClassName() const override { return "TFont"; }

  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value);
  // Negative: character height in pixels; positive: cell height in pixels.
  int32_t Height() const { return FHeight; }
  void SetHeight(int32_t Value);
  // Point size at 96 pixels per inch: -Height * 72 / 96, rounded.
  int32_t Size() const;
  void SetSize(int32_t Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  uint8_t Charset() const { return FCharset; }
  void SetCharset(uint8_t Value);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch Value);
  // Tenths of a degree, counter-clockwise.
  int32_t Orientation() const { return FOrientation; }
  void SetOrientation(int32_t Value);
  TFontQuality Quality() const { return FQuality; }
  void SetQuality(TFontQuality Value);

  // From another font: every setting, then one OnChange.
  void Assign(const TPersistent& Source) override;
  bool Equals(const TPersistent& Obj) const override;

  TNotifyEvent OnChange;

 protected:
  virtual void Changed();

 private:
  std::string FName = "Tahoma";
  int32_t FHeight = -11;
  TFontStyles FStyle;
  TColor FColor = clWindowText;
  uint8_t FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = fpDefault;
  int32_t FOrientation = 0;
  TFontQuality FQuality = fqDefault;
};

// ---- canvas ----------------------------------------------------------------------------------

// Drawing onto a surface. The canvas does not own its surface; a bitmap or the compositor
// hands it one. Without a surface every operation does nothing.
class TCanvas {
 public:
  TCanvas() = default;
  explicit TCanvas(const TSurface& Surface) { SetSurface(Surface); }
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // A new surface resets the state: origin (0, 0), clip = the whole surface, no saved states.
  void SetSurface(const TSurface& Surface);
  const TSurface& Surface() const { return FSurface; }
  bool HasSurface() const { return !FSurface.IsEmpty(); }

  // Drawing state: SaveDC pushes origin and clip and answers the new depth; RestoreDC(-1)
  // pops the last state, RestoreDC(n) returns to the state saved as number n.
  int32_t SaveDC();
  void RestoreDC(int32_t Saved = -1);
  TPoint ViewportOrg() const { return FOrigin; }
  // The device position of logical (0, 0); absolute, not added to the previous origin.
  void SetViewportOrg(TPoint Origin) { FOrigin = Origin; }
  void SetViewportOrg(int32_t X, int32_t Y) { FOrigin = TPoint{X, Y}; }
  // The clip rectangle in logical coordinates.
  TRect ClipRect() const { return OffsetRect(FClip, -FOrigin.X, -FOrigin.Y); }
  // The clip rectangle in device coordinates (inside the surface).
  TRect DeviceClipRect() const { return FClip; }
  // Narrows the clip rectangle to R (logical coordinates).
  void IntersectClipRect(const TRect& R);
  // Replaces the clip rectangle by R (logical), still limited to the surface.
  void SelectClipRect(const TRect& R);

  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }

  // Fills R (logical) with an opaque colour; clNone fills nothing.
  void FillRect(const TRect& R, TColor Color);
  // Fills R with a 0xAARRGGBB word written as it is (no blending; on 8 bits the grey level).
  void FillRectARGB(const TRect& R, uint32_t ARGB);

  // Copies a rectangle of Source (in Source's own pixels) to logical (X, Y), converting the
  // format; no blending: the SRCCOPY of the platform. 8-bit sources are grey levels.
  void CopyRect(int32_t X, int32_t Y, const TSurface& Source, const TRect& SourceRect);
  // The same with the source's straight alpha blended over what the canvas holds (the
  // destination is taken as opaque); for 8- and 24-bit sources it is CopyRect.
  void BlendRect(int32_t X, int32_t Y, const TSurface& Source, const TRect& SourceRect);
  // Copies from another canvas's surface (device coordinates of Source).
  void BitBlt(int32_t X, int32_t Y, int32_t Width, int32_t Height, const TCanvas& Source,
              int32_t SourceX, int32_t SourceY);

  // The pixel at logical (X, Y) as 0xAARRGGBB (8 bits: grey, 24 bits: A = 255); 0 outside.
  uint32_t Pixel(int32_t X, int32_t Y) const;
  void SetPixel(int32_t X, int32_t Y, uint32_t ARGB);

 private:
  struct TState {
    TPoint Origin;
    TRect Clip;
  };
  TSurface FSurface;
  TPoint FOrigin;
  TRect FClip;  // device coordinates
  std::vector<TState> FSaved;
  TFont FFont;
};

// ---- platform bitmaps ------------------------------------------------------------------------

// A bitmap that owns a zero-filled top-down surface whose rows are whole 4-byte units
// (BitmapRowStride) and carries a canvas bound to it. A new size or format reallocates the
// surface (its content becomes zero) and rebinds the canvas.
class TBitmap : public TPersistent {
 public:
  TBitmap() = default;
  TBitmap(int32_t Width, int32_t Height, TPixelFormat Format = pf32bit);
  std::string ClassName() const override { return "TBitmap"; }

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  TPixelFormat PixelFormat() const { return FFormat; }
  // Negative sizes raise EArgumentError.
  void SetSize(int32_t Width, int32_t Height);
  void SetPixelFormat(TPixelFormat Value);
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  int32_t Stride() const { return BitmapRowStride(FWidth, FFormat); }

  uint8_t* ScanLine(int32_t Y);
  const uint8_t* ScanLine(int32_t Y) const;
  TSurface Surface() const;
  TCanvas& Canvas() { return FCanvas; }
  const TCanvas& Canvas() const { return FCanvas; }

  // From another bitmap: size, format and pixels.
  void Assign(const TPersistent& Source) override;

 private:
  void Reallocate();
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  TPixelFormat FFormat = pf32bit;
  std::vector<uint8_t> FBits;
  TCanvas FCanvas;
};

}  // namespace kvx
