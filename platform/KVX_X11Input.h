// Turns the X events of one pump into the window-system layer's input: X reports a button's
// state as it was before the event, counts wheel notches as buttons 4 to 7, sends a motion event
// for every pixel and an expose event for every rectangle. The layer wants the buttons held
// after the event, one wheel event of 120 per notch, one move per pump and one paint.
// Kept free of Xlib types so that it is tested without a server.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/KVX_Graphics.h"

namespace kvx {

// The X event kinds the translator reads (their X protocol numbers).
enum TX11EventKind : int32_t {
  xekKeyPress = 2,
  xekButtonPress = 4,
  xekButtonRelease = 5,
  xekMotionNotify = 6,
  xekEnterNotify = 7,
  xekLeaveNotify = 8,
  xekFocusIn = 9,
  xekFocusOut = 10,
  xekExpose = 12,
  xekDestroyNotify = 17,
  xekConfigureNotify = 22,
};

// X's key and button state bits.
enum : uint32_t {
  xsShift = 1u << 0,
  xsControl = 1u << 2,
  xsMod1 = 1u << 3,  // Alt
  xsButton1 = 1u << 8,
  xsButton2 = 1u << 9,
  xsButton3 = 1u << 10,
};

// What the translator needs of one X event.
struct TX11RawEvent {
  int32_t Kind = 0;
  uint32_t Button = 0;  // buttons: 1 left, 2 middle, 3 right, 4/5 wheel, 6/7 horizontal wheel
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  uint32_t State = 0;   // before the event
  int32_t Mode = 0;     // crossing mode: 0 normal, 1 grab, 2 ungrab
  int32_t Detail = 0;   // focus detail: 5 (NotifyPointer) when the focus event is about the
                        // window under the pointer, not about ours
};

// The shift state the layer reads.
enum TX11Shift : uint32_t {
  xshShift = 1u << 0,
  xshAlt = 1u << 1,
  xshCtrl = 1u << 2,
  xshLeft = 1u << 3,
  xshRight = 1u << 4,
  xshMiddle = 1u << 5,
};

enum TX11InputKind : uint8_t {
  xikButtonDown,
  xikButtonUp,
  xikMove,
  xikWheel,
  xikEnter,
  xikLeave,
  xikFocusIn,
  xikFocusOut,
  xikResize,
  xikDestroyed,
};

enum TX11Button : uint8_t { xbLeft, xbRight, xbMiddle };

struct TX11Input {
  TX11InputKind Kind = xikMove;
  TX11Button Button = xbLeft;
  int32_t X = 0, Y = 0;
  uint32_t Shift = 0;  // TX11Shift bits, buttons as held after the event
  int32_t WheelDelta = 0;
  int32_t Width = 0, Height = 0;  // xikResize
  uint32_t ShiftBefore = 0;       // TX11Shift bits as X reports them: buttons held before the event
  bool operator==(const TX11Input&) const = default;
};

// The layer's shift state for an X state mask (before the event) and the event itself.
uint32_t X11ShiftState(uint32_t State);
uint32_t X11ShiftAfter(const TX11RawEvent& Event);

class TX11InputTranslator {
 public:
  // Adds one event of the pump; translated input is appended to Out in order.
  void Feed(const TX11RawEvent& Event, std::vector<TX11Input>& Out);
  // The queue is drained: delivers the last motion.
  void Finish(std::vector<TX11Input>& Out);
  // Adds a region to paint at the end of the pump.
  void AddDamage(const TRect& R);
  // The bounding box of everything exposed or invalidated since the last call (empty: nothing).
  TRect TakeDamage();

 private:
  void FlushMotion(std::vector<TX11Input>& Out);
  bool FHasMotion = false;
  TX11Input FMotion;
  TRect FDamage;
};

}  // namespace kvx
