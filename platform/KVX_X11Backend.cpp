#include "platform/KVX_X11Backend.h"

#include <mutex>

#include "platform/KVX_Forms.h"
#include "platform/KVX_EditorCallScope.h"

namespace kvx {

namespace {

TShiftState ShiftState(uint32_t Bits) {
  TShiftState s;
  if (Bits & xshShift) s.Include(ssShift);
  if (Bits & xshAlt) s.Include(ssAlt);
  if (Bits & xshCtrl) s.Include(ssCtrl);
  if (Bits & xshLeft) s.Include(ssLeft);
  if (Bits & xshRight) s.Include(ssRight);
  if (Bits & xshMiddle) s.Include(ssMiddle);
  return s;
}

TMouseButton MouseButton(TX11Button b) { return b == xbLeft ? mbLeft : b == xbRight ? mbRight : mbMiddle; }

}  // namespace

TX11WindowBackend::~TX11WindowBackend() = default;

void TX11WindowBackend::SetParentWindow(TNativeWindowHandle Parent) {
  if (Parent == FParent && (FWindow || Parent == 0)) return;
  FParent = Parent;
  if (Parent == 0) {
    FWindow.reset();
    return;
  }
  const auto Id = static_cast<TX11Id>(Parent);
  if (FWindow) {
    // The editor moves under the new parent; a parent that is no window ends the native one.
    if (!FWindow->SetParent(Id)) FWindow.reset();
    return;
  }
  FWindow = TX11EditorWindow::Create(Id, FBounds.Width(), FBounds.Height(), this);
  if (!FWindow) return;
  FWindow->OnEventProc = &EventProc;
  FWindow->EventProcContext = this;
  FWindow->SetBounds(FBounds);
  if (FVisible) FWindow->SetVisible(true);
}

void TX11WindowBackend::SetVisible(bool Visible) {
  FVisible = Visible;
  if (FWindow) FWindow->SetVisible(Visible);
}

void TX11WindowBackend::SetBounds(const TRect& Bounds) {
  FBounds = Bounds;
  if (FWindow) FWindow->SetBounds(Bounds);
}

void TX11WindowBackend::Invalidate() {
  // The layer repaints what it marked at its next pump; nothing to ask of the server.
}

TNativeWindowHandle TX11WindowBackend::Handle() const {
  return FWindow && !FWindow->WindowGone() ? static_cast<TNativeWindowHandle>(FWindow->Window()) : 0;
}

TRect TX11WindowBackend::DesktopRect() const {
  if (FWindow) return FWindow->ScreenRect();
  return TRect{0, 0, 1920, 1080};
}

void TX11WindowBackend::PutImage(const TSurface& Surface, const TRect& Region) {
  if (!FWindow || Surface.IsEmpty() || Surface.Format != pf32bit) return;
  FWindow->Put(reinterpret_cast<const uint32_t*>(Surface.Bits), Surface.Width, Surface.Height, Surface.Stride / 4,
               Region);
}

bool TX11WindowBackend::PollEvent(TNativeEvent& Event) {
  // One pump of the connection per round of the layer: it drains everything queued at once.
  if (FQueue.empty()) {
    if (FPolled || !FWindow) {
      FPolled = false;
      return false;
    }
    FPolled = true;
    FWindow->Pump();
    if (FQueue.empty()) {
      FPolled = false;
      return false;
    }
  }
  Event = FQueue.front();
  FQueue.pop_front();
  return true;
}

void TX11WindowBackend::X11Input(const TX11Input& In) {
  TNativeEvent e;
  e.Position = TPoint{In.X, In.Y};
  // The layer reads the state as X reports it: before the event.
  e.Shift = ShiftState(In.ShiftBefore);
  switch (In.Kind) {
    case xikButtonDown: e.Kind = nekMouseDown; e.Button = MouseButton(In.Button); break;
    case xikButtonUp: e.Kind = nekMouseUp; e.Button = MouseButton(In.Button); break;
    case xikMove: e.Kind = nekMouseMove; break;
    case xikWheel: e.Kind = nekMouseWheel; e.WheelDelta = In.WheelDelta; break;
    case xikLeave: e.Kind = nekMouseLeave; break;
    case xikFocusOut: e.Kind = nekFocusOut; break;
    // Entering shows in the next move; the layer owns the bounds; a window that is gone has
    // nothing more to say.
    default: return;
  }
  FQueue.push_back(e);
}

void TX11WindowBackend::X11Paint(const TRect& Region) {
  TNativeEvent e;
  e.Kind = nekExpose;
  e.Region = Region;
  FQueue.push_back(e);
}

void TX11WindowBackend::EventProc(void* Self) {
  auto* b = static_cast<TX11WindowBackend*>(Self);
  // A handler may lead the host into closing the editor: the form waits for this round.
  TEditorCallScope Scope;
  // The whole round of the form that owns us, so that the events reach its controls now.
  for (int32_t i = 0; i < TScreen::FormCount(); ++i) {
    TCustomForm* f = TScreen::Form(i);
    if (f != nullptr && f->Backend() == b) {
      f->ProcessMessages();
      return;
    }
  }
  if (b->FWindow) b->FWindow->Pump();
}

void TX11WindowBackend::SetCursor(TCursor Cursor) {
  if (FWindow) FWindow->SetCursorVisible(Cursor != crNone);
}

void TX11WindowBackend::WarpPointer(TPoint Client) {
  if (!FWindow) return;
  const TPoint s = FWindow->ClientToScreen(Client);
  FWindow->WarpPointer(s.X, s.Y);
}

TPoint TX11WindowBackend::ClientToScreen(TPoint Client) const {
  return FWindow ? FWindow->ClientToScreen(Client) : Client;
}

TPoint TX11WindowBackend::ScreenToClient(TPoint Screen) const {
  return FWindow ? FWindow->ScreenToClient(Screen) : Screen;
}

TPoint TX11WindowBackend::PointerPosition() const {
  return FWindow ? FWindow->PointerPosition() : TPoint{-1, -1};
}

TShiftState TX11WindowBackend::QueryShiftState() const {
  uint32_t Bits = 0;
  if (FWindow) FWindow->PointerPosition(&Bits);
  return ShiftState(Bits);
}

std::unique_ptr<TWindowBackend> CreateX11WindowBackend() { return std::make_unique<TX11WindowBackend>(); }

void UseX11WindowBackend() {
  static std::once_flag Once;
  std::call_once(Once, [] { SetWindowBackendFactory(&CreateX11WindowBackend); });
}

}  // namespace kvx
