#include "host/lib/KVX_HostKeyboard.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "platform/KVX_Types.h"

namespace kvx {

THeldModifierKey::THeldModifierKey(THostModifierKey Key) {
  FDisplay = XOpenDisplay(nullptr);
  if (FDisplay == nullptr) throw EInvalidOperation("No X display to press a key on");
  int Event = 0, Error = 0, Major = 0, Minor = 0;
  FKeyCode = XKeysymToKeycode(FDisplay, Key == hmkControl ? XK_Control_L : XK_Shift_L);
  if (!XTestQueryExtension(FDisplay, &Event, &Error, &Major, &Minor) || FKeyCode == 0) {
    XCloseDisplay(FDisplay);
    FDisplay = nullptr;
    throw EInvalidOperation("The X server cannot press keys (no XTest)");
  }
  XTestFakeKeyEvent(FDisplay, FKeyCode, True, CurrentTime);
  XSync(FDisplay, False);
}

THeldModifierKey::~THeldModifierKey() {
  if (FDisplay == nullptr) return;
  XTestFakeKeyEvent(FDisplay, FKeyCode, False, CurrentTime);
  XSync(FDisplay, False);
  XCloseDisplay(FDisplay);
}

}  // namespace kvx
