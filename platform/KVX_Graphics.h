// Geometry and colour types shared by the drawing units and the window-system layer: the one
// TRect of the system, points, and window-system colours with the system-colour table.
#pragma once

#include <algorithm>
#include <cstdint>

namespace kvx {

// A window-system colour: 0x00BBGGRR; a negative value names a system colour by its low byte.
using TColor = int32_t;

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  constexpr bool operator==(const TPoint&) const = default;
};

constexpr TPoint Point(int32_t X, int32_t Y) { return TPoint{X, Y}; }

// Left and Top inclusive, Right and Bottom exclusive.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  // True when the rectangle covers no pixel.
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(TPoint P) const {
    return P.X >= Left && P.X < Right && P.Y >= Top && P.Y < Bottom;
  }
  constexpr bool operator==(const TRect&) const = default;
};

constexpr TRect Rect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  return TRect{Left, Top, Right, Bottom};
}
constexpr TRect Bounds(int32_t Left, int32_t Top, int32_t Width, int32_t Height) {
  return TRect{Left, Top, Left + Width, Top + Height};
}
// The common part; an empty result is the empty rectangle (0, 0, 0, 0).
constexpr TRect IntersectRect(const TRect& A, const TRect& B) {
  const TRect R{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
                std::min(A.Bottom, B.Bottom)};
  return R.IsEmpty() ? TRect{} : R;
}
// The smallest rectangle covering both; an empty operand is ignored.
constexpr TRect UnionRect(const TRect& A, const TRect& B) {
  if (A.IsEmpty()) return B.IsEmpty() ? TRect{} : B;
  if (B.IsEmpty()) return A;
  return TRect{std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
               std::max(A.Bottom, B.Bottom)};
}
constexpr TRect OffsetRect(const TRect& R, int32_t Dx, int32_t Dy) {
  return TRect{R.Left + Dx, R.Top + Dy, R.Right + Dx, R.Bottom + Dy};
}
constexpr bool Intersects(const TRect& A, const TRect& B) { return !IntersectRect(A, B).IsEmpty(); }

// ---- colours ---------------------------------------------------------------------------------

// System colour indices (the low byte of a negative TColor).
enum TSysColorIndex : uint8_t {
  COLOR_SCROLLBAR, COLOR_BACKGROUND, COLOR_ACTIVECAPTION, COLOR_INACTIVECAPTION, COLOR_MENU,
  COLOR_WINDOW, COLOR_WINDOWFRAME, COLOR_MENUTEXT, COLOR_WINDOWTEXT, COLOR_CAPTIONTEXT,
  COLOR_ACTIVEBORDER, COLOR_INACTIVEBORDER, COLOR_APPWORKSPACE, COLOR_HIGHLIGHT,
  COLOR_HIGHLIGHTTEXT, COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_GRAYTEXT, COLOR_BTNTEXT,
  COLOR_INACTIVECAPTIONTEXT, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW, COLOR_3DLIGHT,
  COLOR_INFOTEXT, COLOR_INFOBK, COLOR_HOTLIGHT = 26, COLOR_GRADIENTACTIVECAPTION,
  COLOR_GRADIENTINACTIVECAPTION, COLOR_MENUHILIGHT, COLOR_MENUBAR, CSysColorCount
};

constexpr TColor CSysColorFlag = static_cast<TColor>(0xFF000000u);
constexpr TColor SysColor(TSysColorIndex Index) { return CSysColorFlag | Index; }

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clGray = 0x808080;
constexpr TColor clNone = 0x1FFFFFFF;  // no colour: nothing is filled
constexpr TColor clBtnFace = SysColor(COLOR_BTNFACE);
constexpr TColor clBtnText = SysColor(COLOR_BTNTEXT);
constexpr TColor clWindow = SysColor(COLOR_WINDOW);
constexpr TColor clWindowText = SysColor(COLOR_WINDOWTEXT);
constexpr TColor clHighlight = SysColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clMenu = SysColor(COLOR_MENU);
constexpr TColor clMenuText = SysColor(COLOR_MENUTEXT);
constexpr TColor clInfoBk = SysColor(COLOR_INFOBK);
constexpr TColor clInfoText = SysColor(COLOR_INFOTEXT);
constexpr TColor clBtnShadow = SysColor(COLOR_BTNSHADOW);

// The layer's system-colour table (0x00BBGGRR per index, a light desktop scheme); an index
// outside the table gives black. This is the one table the window system resolves through.
uint32_t GetSysColor(int32_t Index);
// A colour as 0x00BBGGRR: system colours resolved through GetSysColor, the high byte cleared.
uint32_t ColorToRGB(TColor Color);
// The colour as the straight 0xAARRGGBB word of a 32-bit surface, opaque.
constexpr uint32_t RGBToARGB(uint32_t BGR) {
  return 0xFF000000u | ((BGR & 0xFF) << 16) | (BGR & 0xFF00) | ((BGR >> 16) & 0xFF);
}

}  // namespace kvx
