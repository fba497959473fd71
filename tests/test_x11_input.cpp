// The translation of one pump's X events into the layer's input, without a server.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/KVX_X11Input.h"

using namespace kvx;

namespace {

TX11RawEvent Press(uint32_t Button, int32_t X, int32_t Y, uint32_t State = 0) {
  TX11RawEvent e;
  e.Kind = xekButtonPress;
  e.Button = Button;
  e.X = X;
  e.Y = Y;
  e.State = State;
  return e;
}
TX11RawEvent Release(uint32_t Button, int32_t X, int32_t Y, uint32_t State) {
  TX11RawEvent e = Press(Button, X, Y, State);
  e.Kind = xekButtonRelease;
  return e;
}
TX11RawEvent Motion(int32_t X, int32_t Y, uint32_t State = 0) {
  TX11RawEvent e;
  e.Kind = xekMotionNotify;
  e.X = X;
  e.Y = Y;
  e.State = State;
  return e;
}
TX11RawEvent Crossing(int32_t Kind, int32_t Mode) {
  TX11RawEvent e;
  e.Kind = Kind;
  e.Mode = Mode;
  return e;
}
TX11RawEvent Focus(int32_t Kind, int32_t Detail) {
  TX11RawEvent e;
  e.Kind = Kind;
  e.Detail = Detail;
  return e;
}
TX11RawEvent Expose(int32_t X, int32_t Y, int32_t W, int32_t H) {
  TX11RawEvent e;
  e.Kind = xekExpose;
  e.X = X;
  e.Y = Y;
  e.Width = W;
  e.Height = H;
  return e;
}

// One line per input: kind, button, position, shift bits, wheel delta.
std::string Describe(const std::vector<TX11Input>& In) {
  static const char* const kinds[] = {"down", "up", "move", "wheel", "enter", "leave", "focusin", "focusout", "resize", "destroyed"};
  std::string s;
  char buf[96];
  for (const TX11Input& i : In) {
    s += kinds[i.Kind];
    if (i.Kind == xikButtonDown || i.Kind == xikButtonUp) s += i.Button == xbLeft ? " L" : i.Button == xbRight ? " R" : " M";
    if (i.Kind == xikWheel) {
      std::snprintf(buf, sizeof buf, " %d", i.WheelDelta);
      s += buf;
    }
    if (i.Kind == xikResize) {
      std::snprintf(buf, sizeof buf, " %dx%d", i.Width, i.Height);
      s += buf;
    }
    if (i.Kind <= xikWheel) {
      std::snprintf(buf, sizeof buf, " %d,%d s%u", i.X, i.Y, i.Shift);
      s += buf;
    }
    s += "; ";
  }
  return s;
}

struct TCase {
  const char* Name;
  std::vector<TX11RawEvent> Events;
  std::string Expected;
};

}  // namespace

TEST(X11InputTranslation, EventSequences) {
  const uint32_t L = xshLeft, R = xshRight, S = xshShift, C = xshCtrl;
  const std::vector<TCase> cases = {
      // X states the buttons before the event: the press adds its own, the release removes it.
      {"left click", {Press(1, 10, 20), Release(1, 10, 20, xsButton1)},
       "down L 10,20 s8; up L 10,20 s0; "},
      {"right press with left held and shift", {Press(3, 5, 5, xsButton1 | xsShift)},
       ("down R 5,5 s" + std::to_string(L | R | S) + "; ")},
      {"ctrl and alt", {Press(1, 0, 0, xsControl | xsMod1)}, ("down L 0,0 s" + std::to_string(L | C | xshAlt) + "; ")},
      // A notch is one press of button 4 or 5; releases and the horizontal wheel say nothing.
      {"wheel notches", {Press(4, 1, 2), Release(4, 1, 2, 0), Press(5, 1, 2), Release(5, 1, 2, 0)},
       "wheel 120 1,2 s0; wheel -120 1,2 s0; "},
      {"horizontal wheel and extra buttons ignored",
       {Press(6, 0, 0), Release(6, 0, 0, 0), Press(7, 0, 0), Release(7, 0, 0, 0), Press(8, 0, 0)}, ""},
      // Motion: one move per pump, at the last position, but never after a later button event.
      {"motion coalesced", {Motion(1, 1), Motion(2, 2), Motion(3, 3)}, "move 3,3 s0; "},
      {"motion kept in order around a press",
       {Motion(1, 1), Motion(2, 2), Press(1, 2, 2), Motion(4, 4, xsButton1), Motion(5, 5, xsButton1)},
       "move 2,2 s0; down L 2,2 s8; move 5,5 s8; "},
      {"crossings by grabs dropped",
       {Crossing(xekEnterNotify, 0), Crossing(xekLeaveNotify, 1), Crossing(xekEnterNotify, 2), Crossing(xekLeaveNotify, 0)},
       "enter; leave; "},
      // A host taking the focus at a press tells the window under the pointer (detail
      // NotifyPointer): not our focus, so a drag keeps its capture. Our own focus changes pass.
      {"focus changes of the pointer's window dropped",
       {Press(1, 3, 3), Focus(xekFocusOut, 5), Motion(3, 60, xsButton1), Focus(xekFocusIn, 5),
        Focus(xekFocusOut, 3), Focus(xekFocusIn, 3)},
       "down L 3,3 s8; move 3,60 s8; focusout; focusin; "},
  };
  for (const TCase& c : cases) {
    TX11InputTranslator t;
    std::vector<TX11Input> out;
    for (const TX11RawEvent& e : c.Events) t.Feed(e, out);
    t.Finish(out);
    EXPECT_EQ(Describe(out), c.Expected) << c.Name;
  }
}

TEST(X11InputTranslation, ExposeRegionsMergeIntoOnePaint) {
  TX11InputTranslator t;
  std::vector<TX11Input> out;
  t.Feed(Expose(10, 10, 20, 5), out);
  t.Feed(Expose(0, 40, 5, 5), out);
  t.AddDamage(TRect{100, 0, 110, 1});
  t.AddDamage(TRect{50, 50, 50, 60});  // empty: ignored
  t.Finish(out);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(t.TakeDamage(), (TRect{0, 0, 110, 45}));
  EXPECT_EQ(t.TakeDamage(), TRect{});
}
