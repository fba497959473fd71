// A backend without a display: it keeps the window state, holds the presented image in a
// surface a test can read, and delivers events that a test injects. Pointer operations act on
// a pointer of its own, so a warp produces the motion echo a real window system sends.
#pragma once

#include <deque>
#include <vector>

#include "platform/KVX_Backend.h"

namespace kvx {

class THeadlessWindowBackend : public TWindowBackend {
 public:
  THeadlessWindowBackend();

  void SetParentWindow(TNativeWindowHandle Parent) override { FParent = Parent; }
  void SetVisible(bool Visible) override { FVisible = Visible; }
  void SetBorderStyle(TBorderStyle Style) override { FBorderStyle = Style; }
  void SetBounds(const TRect& Bounds) override;
  void SetCaption(const std::string& Caption) override { FCaption = Caption; }
  void Invalidate() override { ++FInvalidateCount; }
  TNativeWindowHandle Handle() const override;
  TRect DesktopRect() const override { return FDesktop; }
  void PutImage(const TSurface& Surface, const TRect& Region) override;
  bool PollEvent(TNativeEvent& Event) override;
  void SetCursor(TCursor Cursor) override { FCursor = Cursor; }
  void WarpPointer(TPoint Client) override;
  TPoint ClientToScreen(TPoint Client) const override;
  TPoint ScreenToClient(TPoint Screen) const override;
  TPoint PointerPosition() const override { return FPointer; }
  TShiftState QueryShiftState() const override { return FShift; }

  // What the layer told the window.
  TNativeWindowHandle Parent() const { return FParent; }
  bool Visible() const { return FVisible; }
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  TRect Bounds() const { return FBounds; }
  const std::string& Caption() const { return FCaption; }
  int InvalidateCount() const { return FInvalidateCount; }
  TCursor Cursor() const { return FCursor; }

  // The presented image (client size) and the regions of every PutImage since the last
  // ClearPresented.
  const TBitmap& Screen() const { return FScreen; }
  uint32_t ScreenPixel(int32_t X, int32_t Y) const { return FScreen.Canvas().Pixel(X, Y); }
  const std::vector<TRect>& Presented() const { return FPresented; }
  void ClearPresented() { FPresented.clear(); }

  // Injected input, delivered at the next pump in order. The shift state tracks the buttons:
  // a press adds its button after the event, a release removes it.
  void InjectMouseDown(int32_t X, int32_t Y, TMouseButton Button = mbLeft);
  void InjectMouseUp(int32_t X, int32_t Y, TMouseButton Button = mbLeft);
  void InjectMouseMove(int32_t X, int32_t Y);
  void InjectWheel(int32_t X, int32_t Y, int32_t Delta);
  void InjectMouseLeave();
  void InjectKeyDown(uint16_t Key) { InjectKey(nekKeyDown, Key); }
  void InjectKeyUp(uint16_t Key) { InjectKey(nekKeyUp, Key); }
  void InjectExpose(const TRect& Region);
  void InjectEvent(const TNativeEvent& Event) { FQueue.push_back(Event); }
  // Modifiers held for the events injected from now on (ssShift, ssAlt, ssCtrl).
  void SetModifiers(TShiftState Modifiers);
  size_t PendingEvents() const { return FQueue.size(); }

  // Screen geometry: where the window's client origin lies on the screen, and the desktop.
  void SetScreenOrigin(TPoint Origin) { FScreenOrigin = Origin; }
  void SetDesktopRect(const TRect& Desktop) { FDesktop = Desktop; }

 private:
  TNativeEvent MouseEvent(TNativeEventKind Kind, int32_t X, int32_t Y);
  void InjectKey(TNativeEventKind Kind, uint16_t Key);
  TNativeWindowHandle FParent = 0;
  bool FVisible = false;
  TBorderStyle FBorderStyle = bsSingle;
  TRect FBounds;
  std::string FCaption;
  int FInvalidateCount = 0;
  TCursor FCursor = crDefault;
  TBitmap FScreen;
  std::vector<TRect> FPresented;
  std::deque<TNativeEvent> FQueue;
  TShiftState FShift;
  TPoint FPointer{-1, -1};
  TPoint FScreenOrigin;
  TRect FDesktop{0, 0, 1920, 1080};
};

}  // namespace kvx
