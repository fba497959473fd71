// A modifier key held down on the X server through XTest, for as long as the object lives, as a
// user holds Ctrl or Shift while clicking: the pointer events of every client then carry it in
// their state. Xlib stays inside the .cpp.
#pragma once

struct _XDisplay;

namespace kvx {

enum THostModifierKey : unsigned char { hmkControl, hmkShift };

class THeldModifierKey {
 public:
  // Presses the key on $DISPLAY; raises EInvalidOperation without a display or XTest.
  explicit THeldModifierKey(THostModifierKey Key);
  // Releases it.
  ~THeldModifierKey();
  THeldModifierKey(const THeldModifierKey&) = delete;
  THeldModifierKey& operator=(const THeldModifierKey&) = delete;

 private:
  _XDisplay* FDisplay = nullptr;
  unsigned int FKeyCode = 0;
};

}  // namespace kvx
