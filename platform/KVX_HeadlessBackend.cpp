#include "platform/KVX_HeadlessBackend.h"

namespace kvx {

THeadlessWindowBackend::THeadlessWindowBackend() = default;

void THeadlessWindowBackend::SetBounds(const TRect& Bounds) {
  FBounds = Bounds;
  if (Bounds.Width() != FScreen.Width() || Bounds.Height() != FScreen.Height())
    FScreen.SetSize(std::max(Bounds.Width(), 0), std::max(Bounds.Height(), 0));
}

TNativeWindowHandle THeadlessWindowBackend::Handle() const {
  // Any stable non-zero value names the window.
  return reinterpret_cast<TNativeWindowHandle>(this);
}

void THeadlessWindowBackend::PutImage(const TSurface& Surface, const TRect& Region) {
  FPresented.push_back(Region);
  FScreen.Canvas().CopyRect(Region.Left, Region.Top, Surface, Region);
}

bool THeadlessWindowBackend::PollEvent(TNativeEvent& Event) {
  if (FQueue.empty()) return false;
  Event = FQueue.front();
  FQueue.pop_front();
  return true;
}

void THeadlessWindowBackend::WarpPointer(TPoint Client) {
  // A real window system reports the motion a warp causes; none when nothing moves.
  if (Client == FPointer) return;
  InjectMouseMove(Client.X, Client.Y);
}

TPoint THeadlessWindowBackend::ClientToScreen(TPoint Client) const {
  return TPoint{Client.X + FScreenOrigin.X, Client.Y + FScreenOrigin.Y};
}

TPoint THeadlessWindowBackend::ScreenToClient(TPoint Screen) const {
  return TPoint{Screen.X - FScreenOrigin.X, Screen.Y - FScreenOrigin.Y};
}

void THeadlessWindowBackend::SetModifiers(TShiftState Modifiers) {
  const TShiftState Keys{ssShift, ssAlt, ssCtrl};
  FShift = (FShift - Keys) | (Modifiers & Keys);
}

TNativeEvent THeadlessWindowBackend::MouseEvent(TNativeEventKind Kind, int32_t X, int32_t Y) {
  TNativeEvent E;
  E.Kind = Kind;
  E.Position = TPoint{X, Y};
  E.Shift = FShift;
  FPointer = E.Position;
  return E;
}

void THeadlessWindowBackend::InjectMouseDown(int32_t X, int32_t Y, TMouseButton Button) {
  TNativeEvent E = MouseEvent(nekMouseDown, X, Y);
  E.Button = Button;
  FQueue.push_back(E);
  FShift.Include(ButtonShift(Button));
}

void THeadlessWindowBackend::InjectMouseUp(int32_t X, int32_t Y, TMouseButton Button) {
  TNativeEvent E = MouseEvent(nekMouseUp, X, Y);
  E.Button = Button;
  FQueue.push_back(E);
  FShift.Exclude(ButtonShift(Button));
}

void THeadlessWindowBackend::InjectMouseMove(int32_t X, int32_t Y) {
  FQueue.push_back(MouseEvent(nekMouseMove, X, Y));
}

void THeadlessWindowBackend::InjectWheel(int32_t X, int32_t Y, int32_t Delta) {
  TNativeEvent E = MouseEvent(nekMouseWheel, X, Y);
  E.WheelDelta = Delta;
  FQueue.push_back(E);
}

void THeadlessWindowBackend::InjectMouseLeave() {
  TNativeEvent E;
  E.Kind = nekMouseLeave;
  E.Shift = FShift;
  E.Position = FPointer;
  FQueue.push_back(E);
  FPointer = TPoint{-1, -1};
}

void THeadlessWindowBackend::InjectKey(TNativeEventKind Kind, uint16_t Key) {
  TNativeEvent E;
  E.Kind = Kind;
  E.Key = Key;
  E.Shift = FShift;
  FQueue.push_back(E);
}

void THeadlessWindowBackend::InjectExpose(const TRect& Region) {
  TNativeEvent E;
  E.Kind = nekExpose;
  E.Region = Region;
  FQueue.push_back(E);
}

}  // namespace kvx
