#include "platform/KVX_X11Input.h"

#include <algorithm>

namespace kvx {

uint32_t X11ShiftState(uint32_t State) {
  uint32_t s = 0;
  if (State & xsShift) s |= xshShift;
  if (State & xsMod1) s |= xshAlt;
  if (State & xsControl) s |= xshCtrl;
  if (State & xsButton1) s |= xshLeft;
  if (State & xsButton2) s |= xshMiddle;
  if (State & xsButton3) s |= xshRight;
  return s;
}

namespace {
// X's focus detail for an event sent to the window that holds the pointer.
constexpr int32_t CNotifyPointer = 5;

uint32_t ButtonShift(uint32_t Button) {
  switch (Button) {
    case 1: return xshLeft;
    case 2: return xshMiddle;
    case 3: return xshRight;
    default: return 0;
  }
}
}  // namespace

uint32_t X11ShiftAfter(const TX11RawEvent& Event) {
  uint32_t s = X11ShiftState(Event.State);
  if (Event.Kind == xekButtonPress) s |= ButtonShift(Event.Button);
  if (Event.Kind == xekButtonRelease) s &= ~ButtonShift(Event.Button);
  return s;
}

void TX11InputTranslator::AddDamage(const TRect& R) {
  if (R.Width() <= 0 || R.Height() <= 0) return;
  if (FDamage.Width() <= 0 || FDamage.Height() <= 0) {
    FDamage = R;
    return;
  }
  FDamage.Left = std::min(FDamage.Left, R.Left);
  FDamage.Top = std::min(FDamage.Top, R.Top);
  FDamage.Right = std::max(FDamage.Right, R.Right);
  FDamage.Bottom = std::max(FDamage.Bottom, R.Bottom);
}

void TX11InputTranslator::FlushMotion(std::vector<TX11Input>& Out) {
  if (!FHasMotion) return;
  Out.push_back(FMotion);
  FHasMotion = false;
}

void TX11InputTranslator::Feed(const TX11RawEvent& e, std::vector<TX11Input>& Out) {
  TX11Input in;
  in.X = e.X;
  in.Y = e.Y;
  in.Shift = X11ShiftAfter(e);
  in.ShiftBefore = X11ShiftState(e.State);
  switch (e.Kind) {
    case xekMotionNotify:
      // Only where the pointer is at the end of the pump matters, but a move never overtakes
      // the button events around it: it is delivered before the next other input.
      in.Kind = xikMove;
      FMotion = in;
      FHasMotion = true;
      return;
    case xekButtonPress:
    case xekButtonRelease: {
      const bool Press = e.Kind == xekButtonPress;
      if (e.Button == 4 || e.Button == 5) {
        if (!Press) return;  // a notch is one press; its release means nothing
        in.Kind = xikWheel;
        in.WheelDelta = e.Button == 4 ? 120 : -120;
        break;
      }
      if (e.Button < 1 || e.Button > 3) return;  // horizontal wheel, extra buttons
      in.Kind = Press ? xikButtonDown : xikButtonUp;
      in.Button = e.Button == 1 ? xbLeft : e.Button == 2 ? xbMiddle : xbRight;
      break;
    }
    case xekEnterNotify:
    case xekLeaveNotify:
      // Crossings caused by a grab say nothing about where the pointer went.
      if (e.Mode != 0) return;
      in.Kind = e.Kind == xekEnterNotify ? xikEnter : xikLeave;
      break;
    case xekFocusIn:
    case xekFocusOut:
      // A focus change elsewhere that X reports to the window under the pointer (hosts move the
      // focus to their own window at every press) says nothing of our focus: taken as ours, it
      // would end the capture of a knob being dragged.
      if (e.Detail == CNotifyPointer) return;
      in = TX11Input{};
      in.Kind = e.Kind == xekFocusIn ? xikFocusIn : xikFocusOut;
      break;
    case xekExpose:
      AddDamage(TRect{e.X, e.Y, e.X + e.Width, e.Y + e.Height});
      return;
    case xekConfigureNotify:
      in = TX11Input{};
      in.Kind = xikResize;
      in.Width = e.Width;
      in.Height = e.Height;
      break;
    case xekDestroyNotify:
      in = TX11Input{};
      in.Kind = xikDestroyed;
      break;
    default:
      return;
  }
  FlushMotion(Out);
  Out.push_back(in);
}

void TX11InputTranslator::Finish(std::vector<TX11Input>& Out) { FlushMotion(Out); }

TRect TX11InputTranslator::TakeDamage() {
  const TRect r = FDamage;
  FDamage = TRect{};
  return r;
}

}  // namespace kvx
