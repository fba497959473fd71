// The window-system layer's backend for X11: a form given a real parent window while a display
// is reachable gets a child window of it (TX11EditorWindow); until then, and when the parent is
// no window on the display, the backend keeps the state the layer gives it and behaves like a
// window that is not shown.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "platform/KVX_Backend.h"
#include "platform/KVX_X11Window.h"

namespace kvx {

class TX11WindowBackend : public TWindowBackend, private TX11WindowSink {
 public:
  TX11WindowBackend() = default;
  ~TX11WindowBackend() override;

  void SetParentWindow(TNativeWindowHandle Parent) override;
  void SetVisible(bool Visible) override;
  void SetBorderStyle(TBorderStyle) override {}
  void SetBounds(const TRect& Bounds) override;
  void SetCaption(const std::string& Caption) override { FCaption = Caption; }
  void Invalidate() override;
  TNativeWindowHandle Handle() const override;
  TRect DesktopRect() const override;
  void PutImage(const TSurface& Surface, const TRect& Region) override;
  bool PollEvent(TNativeEvent& Event) override;
  void SetCursor(TCursor Cursor) override;
  void WarpPointer(TPoint Client) override;
  TPoint ClientToScreen(TPoint Client) const override;
  TPoint ScreenToClient(TPoint Screen) const override;
  TPoint PointerPosition() const override;
  TShiftState QueryShiftState() const override;

  // The native window, null while the form has none.
  TX11EditorWindow* Window() const { return FWindow.get(); }

 private:
  void X11Input(const TX11Input& Input) override;
  void X11Paint(const TRect& Region) override;
  static void EventProc(void* Self);

  std::unique_ptr<TX11EditorWindow> FWindow;
  TNativeWindowHandle FParent = 0;
  TRect FBounds;
  bool FVisible = false;
  std::string FCaption;
  std::deque<TNativeEvent> FQueue;
  bool FPolled = false;
};

// The factory to register with SetWindowBackendFactory.
std::unique_ptr<TWindowBackend> CreateX11WindowBackend();

// Registers the X11 backend for the forms created from now on (once; safe from any thread).
void UseX11WindowBackend();

}  // namespace kvx
