// The seam between the window-system layer and a native window system. Everything above this
// header (components, controls, compositor, timers) is the same for every backend; a backend
// implements TWindowBackend for the one native window of a form and registers a factory.
//
// How a backend plugs in (see also docs/platform-layer.md):
// - Implement TWindowBackend. The layer calls SetParentWindow, SetBounds, SetBorderStyle,
//   SetCaption and SetVisible in any order; create the native window lazily (at the first call
//   that needs it) as a child of the parent handle, or top-level when the parent is 0.
// - PutImage hands over a finished 32-bit top-down surface (bytes B, G, R, A) and the region
//   of it that changed; copy that region to the window. The surface always has the window's
//   client size; the layer owns it and keeps it alive only for the call.
// - Invalidate asks for an expose: the layer will repaint and present at its next pump (a
//   backend may also report nekExpose itself when the window system asks for a redraw).
// - PollEvent is called repeatedly at every pump until it answers false; it must never block.
//   Positions are client coordinates of the form; Shift is the modifier and button state at
//   the time of the event (before a press, i.e. not yet including the pressed button).
// - The pointer operations act on the real pointer. WarpPointer must make the window system
//   report the motion it causes as a normal nekMouseMove (as a real X server does), so the
//   layer sees the same echo on every backend; no event when the pointer is already there.
// - Call SetWindowBackendFactory(YourFactory) once (for instance when the display opens);
//   forms created afterwards get your backend. Without a factory forms are headless.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/KVX_Canvas.h"
#include "platform/KVX_Graphics.h"
#include "platform/KVX_Types.h"

namespace kvx {

// A native window handle as a host passes it (an X11 Window id on Linux).
using TNativeWindowHandle = intptr_t;

enum TBorderStyle : uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

// Modifier keys and mouse buttons held.
enum TShiftStateMember : uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateMember, uint8_t>;
// The shift-state member of a held button.
constexpr TShiftStateMember ButtonShift(TMouseButton Button) {
  return Button == mbLeft ? ssLeft : Button == mbRight ? ssRight : ssMiddle;
}
// The buttons of a shift state.
constexpr TShiftState CButtonsHeld{ssLeft, ssRight, ssMiddle};

enum TNativeEventKind : uint8_t {
  nekNone,
  nekMouseDown,   // Button, Shift, Position
  nekMouseUp,     // Button, Shift, Position
  nekMouseMove,   // Shift, Position
  nekMouseWheel,  // WheelDelta (120 per notch, positive away from the user), Shift, Position
  nekMouseLeave,  // the pointer left the native window
  nekKeyDown,     // Key (virtual key code), Shift
  nekKeyUp,       // Key, Shift
  nekExpose,      // Region needs repainting
  nekFocusOut,    // the window lost the keyboard focus
  nekClose        // the window system asks the window to close
};

struct TNativeEvent {
  TNativeEventKind Kind = nekNone;
  TPoint Position;  // client coordinates
  TMouseButton Button = mbLeft;
  TShiftState Shift;
  int32_t WheelDelta = 0;
  uint16_t Key = 0;
  TRect Region;
};

// Virtual key codes the layer knows by number.
constexpr uint16_t VK_LBUTTON = 1;
constexpr uint16_t VK_RBUTTON = 2;
constexpr uint16_t VK_MBUTTON = 4;
constexpr uint16_t VK_ESCAPE = 27;
constexpr uint16_t VK_SHIFT = 16;
constexpr uint16_t VK_CONTROL = 17;
constexpr uint16_t VK_MENU = 18;  // Alt

enum TCursor : int8_t { crNone = -1, crDefault = 0 };

// The native half of one form.
class TWindowBackend {
 public:
  virtual ~TWindowBackend() = default;

  // Window management.
  virtual void SetParentWindow(TNativeWindowHandle Parent) = 0;
  virtual void SetVisible(bool Visible) = 0;
  virtual void SetBorderStyle(TBorderStyle Style) = 0;
  // Position in the parent (or on the desktop) and the client size.
  virtual void SetBounds(const TRect& Bounds) = 0;
  virtual void SetCaption(const std::string& Caption) = 0;
  virtual void Invalidate() = 0;
  // The native window, 0 while none exists.
  virtual TNativeWindowHandle Handle() const = 0;
  // The area a top-level window is centred in.
  virtual TRect DesktopRect() const = 0;

  // Presentation of a finished surface region (client coordinates, inside the surface).
  virtual void PutImage(const TSurface& Surface, const TRect& Region) = 0;

  // The next pending event, without blocking; false when there is none.
  virtual bool PollEvent(TNativeEvent& Event) = 0;

  // Pointer and keyboard.
  virtual void SetCursor(TCursor Cursor) = 0;
  // Moves the pointer to a client position of this window.
  virtual void WarpPointer(TPoint Client) = 0;
  virtual TPoint ClientToScreen(TPoint Client) const = 0;
  virtual TPoint ScreenToClient(TPoint Screen) const = 0;
  // The pointer position in client coordinates.
  virtual TPoint PointerPosition() const = 0;
  // Modifiers and buttons held now (used outside an event dispatch).
  virtual TShiftState QueryShiftState() const = 0;
};

// Creates the backend of a new form; may answer null, then the form is headless.
using TWindowBackendFactory = std::unique_ptr<TWindowBackend> (*)();
void SetWindowBackendFactory(TWindowBackendFactory Factory);
TWindowBackendFactory WindowBackendFactory();
// The registered factory's backend, or a headless one.
std::unique_ptr<TWindowBackend> CreateWindowBackend();

}  // namespace kvx
