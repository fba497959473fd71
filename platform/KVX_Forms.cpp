#include "platform/KVX_Forms.h"

#include <algorithm>
#include <cstdio>

#include "platform/KVX_Menus.h"
#include "platform/KVX_Shell.h"
#include "platform/KVX_Timers.h"

namespace kvx {

namespace {

// The forms alive and the one that dispatched the latest event (user-interface thread only).
std::vector<TCustomForm*>& Forms() {
  static std::vector<TCustomForm*> List;
  return List;
}
TCustomForm* GActiveForm = nullptr;
TCursor GCursor = crDefault;

TOverlayTextRenderer GOverlayText;

constexpr int32_t CMenuItemHeight = 18;
constexpr int32_t CMenuPadding = 2;
constexpr int32_t CMenuMinWidth = 96;
constexpr int32_t CHintOffsetY = 20;
constexpr int64_t CDoubleClickTime = 500;

TPoint MeasureOverlayText(const std::string& Text) {
  if (GOverlayText.Measure != nullptr) return GOverlayText.Measure(Text);
  // Without a text renderer: the size of a small fixed-width face.
  return TPoint{static_cast<int32_t>(Text.size()) * 6, 12};
}

void DrawOverlayText(TCanvas& Canvas, int32_t X, int32_t Y, const std::string& Text, TColor Color) {
  if (GOverlayText.Draw != nullptr) GOverlayText.Draw(Canvas, X, Y, Text, Color);
}

bool IsInside(const TControl* C, const TControl* Ancestor) {
  for (; C != nullptr; C = C->Parent())
    if (C == Ancestor) return true;
  return false;
}

// Frames R with a one-pixel line.
void FrameRect(TCanvas& Canvas, const TRect& R, TColor Color) {
  Canvas.FillRect(TRect{R.Left, R.Top, R.Right, R.Top + 1}, Color);
  Canvas.FillRect(TRect{R.Left, R.Bottom - 1, R.Right, R.Bottom}, Color);
  Canvas.FillRect(TRect{R.Left, R.Top, R.Left + 1, R.Bottom}, Color);
  Canvas.FillRect(TRect{R.Right - 1, R.Top, R.Right, R.Bottom}, Color);
}

}  // namespace

void SetOverlayTextRenderer(const TOverlayTextRenderer& Renderer) { GOverlayText = Renderer; }

// ---- construction ----------------------------------------------------------------------------

TCustomForm::TCustomForm(TComponent* AOwner, std::unique_ptr<TWindowBackend> Backend)
    : TWinControl(AOwner), FBackend(Backend ? std::move(Backend) : CreateWindowBackend()) {
  FVisible = false;
  FParentFont = false;
  FControlStyle.Include(csAcceptsControls);
  Forms().push_back(this);
}

TCustomForm::~TCustomForm() {
  BeginDestruction();
  FPopupMenu = nullptr;
  FHintVisible = false;
  // The controls go first, while the form is whole: each clears its references here.
  DestroyControls();
  auto& L = Forms();
  L.erase(std::remove(L.begin(), L.end(), this), L.end());
  if (GActiveForm == this) GActiveForm = nullptr;
}

// ---- the native window -----------------------------------------------------------------------

void TCustomForm::SetParentWindow(TNativeWindowHandle Value) {
  if (Value == FParentWindow) return;
  FParentWindow = Value;
  FBackend->SetParentWindow(Value);
  ParentWindowChanged();
}

void TCustomForm::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  FBackend->SetBorderStyle(Value);
}

TRect TCustomForm::ClientRect() const {
  // The layer draws no frame: the client area is the whole window in every border style.
  return TRect{0, 0, Width(), Height()};
}

void TCustomForm::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  const TRect Old = BoundsRect();
  TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (BoundsRect() != Old) FBackend->SetBounds(BoundsRect());
}

void TCustomForm::Invalidate() {
  TWinControl::Invalidate();
  FBackend->Invalidate();
}

void TCustomForm::VisibleChanged() {
  if (Visible()) {
    if (FParentWindow == 0 && (FPosition == poScreenCenter || FPosition == poDesktopCenter ||
                               FPosition == poMainFormCenter))
      CenterOnDesktop();
    Guarded([this] { DoShow(); });
    InvalidateRect(ClientRect());
    FBackend->SetVisible(true);
  } else {
    ClosePopupMenu();
    HideHint();
    ForgetControl(this, false);
    Guarded([this] { DoHide(); });
    FBackend->SetVisible(false);
  }
}

void TCustomForm::TextChanged() {
  TWinControl::TextChanged();
  FBackend->SetCaption(Caption());
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::CenterOnDesktop() {
  const TRect D = FBackend->DesktopRect();
  SetBounds(D.Left + (D.Width() - Width()) / 2, D.Top + (D.Height() - Height()) / 2, Width(), Height());
}

void TCustomForm::Loaded() { TWinControl::Loaded(); }

bool TCustomForm::CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) {
  return CanAutoSizeToControls(NewWidth, NewHeight);
}

void TCustomForm::ControlsChanged() { AdjustSize(); }

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FPopupMenu) {
    FPopupMenu = nullptr;
    FPopupControl = nullptr;
    InvalidateRect(FPopupRect);
  }
}

// ---- painting --------------------------------------------------------------------------------

void TCustomForm::Update() {
  if (!Visible() || ComponentState().Contains(csDestroying)) return;
  Guarded([this] {
    const TRect Changed = Compose();
    if (Changed.IsEmpty()) return;
    TCanvas& C = FBuffer.Canvas();
    C.SaveDC();
    C.SelectClipRect(Changed);
    PaintOverlays(C, Changed);
    C.RestoreDC();
    FBackend->PutImage(FBuffer.Surface(), Changed);
  });
}

void TCustomForm::InvalidateOverlay(const TRect& R) { InvalidateRect(R); }

void TCustomForm::PaintOverlays(TCanvas& Target, const TRect& Region) {
  if (FPopupMenu != nullptr && Intersects(Region, FPopupRect)) {
    Target.FillRect(FPopupRect, clMenu);
    FrameRect(Target, FPopupRect, clBtnShadow);
    int32_t Row = 0;
    for (int32_t i = 0; i < FPopupMenu->Count(); ++i) {
      const TMenuItem* Item = FPopupMenu->Item(i);
      if (!Item->Visible()) continue;
      const TRect R = PopupItemRect(Row);
      TColor Text = Item->Enabled() ? clMenuText : SysColor(COLOR_GRAYTEXT);
      if (Row == FPopupHot && Item->Enabled()) {
        Target.FillRect(R, clHighlight);
        Text = clHighlightText;
      }
      const TPoint Size = MeasureOverlayText(Item->Caption());
      DrawOverlayText(Target, R.Left + 8, R.Top + (R.Height() - Size.Y) / 2, Item->Caption(), Text);
      ++Row;
    }
  }
  if (FHintVisible && FHintControl != nullptr && Intersects(Region, FHintRect)) {
    Target.FillRect(FHintRect, clInfoBk);
    FrameRect(Target, FHintRect, clInfoText);
    DrawOverlayText(Target, FHintRect.Left + 4, FHintRect.Top + 2, FHintControl->Hint(), clInfoText);
  }
}

// ---- the pump --------------------------------------------------------------------------------

void TCustomForm::ProcessMessages() {
  TNativeEvent Event;
  for (;;) {
    bool Got = false;
    Guarded([&] { Got = FBackend->PollEvent(Event); });
    if (!Got) break;
    Guarded([&] { DispatchEvent(Event); });
  }
  Guarded([] { TTimer::ProcessTimers(); });
  ReapShellChildren();
  Guarded([this] { CheckHint(); });
  Update();
}

TShiftState TCustomForm::CurrentShiftState() const {
  return FDispatching ? FDispatchShift : FBackend->QueryShiftState();
}

void TCustomForm::DispatchEvent(const TNativeEvent& Event) {
  GActiveForm = this;
  const bool WasDispatching = FDispatching;
  const TShiftState WasShift = FDispatchShift;
  FDispatching = true;
  FDispatchShift = Event.Shift;
  struct TRestore {
    TCustomForm* Form;
    bool Dispatching;
    TShiftState Shift;
    ~TRestore() {
      Form->FDispatching = Dispatching;
      Form->FDispatchShift = Shift;
    }
  } Restore{this, WasDispatching, WasShift};
  switch (Event.Kind) {
    case nekMouseDown:
    case nekMouseUp:
    case nekMouseMove:
    case nekMouseWheel:
    case nekMouseLeave:
      DispatchMouse(Event);
      break;
    case nekKeyDown:
    case nekKeyUp: {
      if (Event.Kind == nekKeyDown && Event.Key == VK_ESCAPE && FPopupMenu != nullptr) {
        ClosePopupMenu();
        break;
      }
      TWinControl* Target = FActiveControl != nullptr ? FActiveControl : this;
      uint16_t Key = Event.Key;
      if (Event.Kind == nekKeyDown)
        Target->KeyDown(Key, Event.Shift);
      else
        Target->KeyUp(Key, Event.Shift);
      break;
    }
    case nekExpose:
      InvalidateRect(Event.Region.IsEmpty() ? ClientRect() : Event.Region);
      break;
    case nekFocusOut:
      FCaptureControl = nullptr;
      break;
    case nekClose:
    case nekNone:
      break;
  }
}

TControl* TCustomForm::ControlAtClient(TPoint P) const {
  const TWinControl* C = this;
  for (;;) {
    TControl* Child = C->ControlAtPos(P);
    if (Child == nullptr) return const_cast<TWinControl*>(C);
    P.X -= Child->Left();
    P.Y -= Child->Top();
    if (!Child->IsWindowed()) return Child;
    C = static_cast<TWinControl*>(Child);
  }
}

TPoint TCustomForm::ToControl(const TControl* C, TPoint FormClient) const {
  const TPoint Origin = C->ClientToParent(TPoint{}, this);
  return TPoint{FormClient.X - Origin.X, FormClient.Y - Origin.Y};
}

void TCustomForm::UpdateHover(TControl* Target) {
  if (Target == FHoverControl) return;
  TControl* Old = FHoverControl;
  FHoverControl = Target;
  HideHint();
  FHintDone = false;
  if (Old != nullptr) Guarded([Old] { Old->DispatchMouseLeave(); });
  // The leave handler may have freed or hidden the new control.
  if (Target != nullptr && FHoverControl == Target) Guarded([Target] { Target->DispatchMouseEnter(); });
}

void TCustomForm::DispatchMouse(const TNativeEvent& Event) {
  const TPoint P = Event.Position;
  if (Event.Kind == nekMouseLeave) {
    FPointer = TPoint{-1, -1};
    HideHint();
    if (FPopupMenu != nullptr) {
      if (FPopupHot >= 0) InvalidateOverlay(PopupItemRect(FPopupHot));
      FPopupHot = -1;
    }
    if (FCaptureControl == nullptr) UpdateHover(nullptr);
    return;
  }
  const bool Moved_ = P != FPointer;
  FPointer = P;
  if (PopupMenuMouse(Event)) return;

  if (Event.Kind == nekMouseMove && Moved_) {
    FHintRestSince = ClockMilliseconds();
  } else if (Event.Kind == nekMouseDown || Event.Kind == nekMouseWheel) {
    HideHint();
    FHintDone = true;
  }

  TControl* Under = ControlAtClient(P);
  if (FCaptureControl == nullptr) UpdateHover(Under);
  if (FSwallowButtons && (Event.Kind == nekMouseDown || Event.Kind == nekMouseUp)) {
    if (Event.Kind == nekMouseUp && (Event.Shift & CButtonsHeld).Exclude(ButtonShift(Event.Button)).Empty())
      FSwallowButtons = false;
    return;
  }
  TControl* Target = FCaptureControl != nullptr ? FCaptureControl : Under;
  if (Target == nullptr) return;
  FDispatchTarget = Target;
  const TPoint L = ToControl(Target, P);
  switch (Event.Kind) {
    case nekMouseDown: {
      TShiftState Shift = Event.Shift;
      const int64_t Now = ClockMilliseconds();
      if (Event.Button == mbLeft) {
        if (FLastClickControl == Target && Now - FLastClickTime <= CDoubleClickTime) {
          Shift.Include(ssDouble);
          FLastClickControl = nullptr;
        } else {
          FLastClickControl = Target;
          FLastClickTime = Now;
        }
      }
      FPressedControl = Target;
      if (Target->ControlStyle().Contains(csCaptureMouse)) FCaptureControl = Target;
      // A press focuses the windowed control that takes the focus.
      for (TControl* C = Target; C != nullptr && C != this; C = C->Parent())
        if (C->IsWindowed()) {
          auto* W = static_cast<TWinControl*>(C);
          if (W->TabStop() && W->CanFocus()) SetActiveControl(W);
          break;
        }
      if (FDispatchTarget == Target) Guarded([&] { Target->DispatchMouseDown(Event.Button, Shift, L.X, L.Y); });
      break;
    }
    case nekMouseMove:
      Guarded([&] { Target->DispatchMouseMove(Event.Shift, L.X, L.Y); });
      break;
    case nekMouseUp: {
      Guarded([&] { Target->DispatchMouseUp(Event.Button, Event.Shift, L.X, L.Y); });
      const TShiftState Held = (Event.Shift & CButtonsHeld).Exclude(ButtonShift(Event.Button));
      if (Held.Empty()) {
        FCaptureControl = nullptr;
        FPressedControl = nullptr;
      }
      // The release may end a capture: the pointer's control gets enter/leave now.
      TControl* Now = ControlAtClient(P);
      if (FCaptureControl == nullptr) UpdateHover(Now);
      // A right click inside the control opens its popup menu (after the release).
      if (Event.Button == mbRight && FDispatchTarget == Target && Now == Target)
        Guarded([&] { Target->DispatchContextPopup(L); });
      break;
    }
    case nekMouseWheel: {
      // The control under the pointer first, then its parents, until one uses the wheel.
      TControl* C = Target;
      while (C != nullptr && FDispatchTarget != nullptr) {
        FDispatchTarget = C;
        bool Used = false;
        Guarded([&] { Used = C->DispatchMouseWheel(Event.Shift, Event.WheelDelta, ToControl(C, P)); });
        if (Used) break;
        if (FDispatchTarget == nullptr) break;
        C = C->Parent();
      }
      break;
    }
    default:
      break;
  }
  FDispatchTarget = nullptr;
}

// ---- input state -----------------------------------------------------------------------------

void TCustomForm::SetCaptureControl(TControl* Value) { FCaptureControl = Value; }

void TCustomForm::SetActiveControl(TWinControl* Value) {
  if (Value == FActiveControl) return;
  TWinControl* Old = FActiveControl;
  FActiveControl = Value;
  if (Old != nullptr) Old->DoExit();
  if (Value != nullptr && FActiveControl == Value) Value->DoEnter();
}

void TCustomForm::ForgetControl(TControl* AControl, bool Dying) {
  if (AControl == nullptr) return;
  if (IsInside(FCaptureControl, AControl)) FCaptureControl = nullptr;
  if (IsInside(FPressedControl, AControl)) FPressedControl = nullptr;
  if (IsInside(FDispatchTarget, AControl)) FDispatchTarget = nullptr;
  if (IsInside(FLastClickControl, AControl)) FLastClickControl = nullptr;
  if (IsInside(FHintControl, AControl)) {
    HideHint();
    FHintControl = nullptr;
  }
  if (FPopupMenu != nullptr && IsInside(FPopupControl, AControl)) {
    if (Dying && FPopupMenu->PopupComponent() == FPopupControl) FPopupMenu->SetPopupComponent(nullptr);
    ClosePopupMenu();
  }
  if (IsInside(FActiveControl, AControl)) {
    TWinControl* Old = FActiveControl;
    FActiveControl = nullptr;
    if (!Dying && Old != this) Old->DoExit();
  }
  if (IsInside(FHoverControl, AControl)) {
    TControl* Old = FHoverControl;
    FHoverControl = nullptr;
    if (!Dying) Old->DispatchMouseLeave();
  }
}

// ---- tool tips -------------------------------------------------------------------------------

void TCustomForm::HideHint() {
  if (!FHintVisible) return;
  FHintVisible = false;
  InvalidateOverlay(FHintRect);
}

void TCustomForm::CheckHint() {
  const int64_t Now = ClockMilliseconds();
  TControl* Candidate = FHoverControl;
  if (Candidate != nullptr && (!Candidate->ShowHint() || Candidate->Hint().empty())) Candidate = nullptr;
  if (FPopupMenu != nullptr || FCaptureControl != nullptr) Candidate = nullptr;
  if (Candidate != FHintControl) {
    HideHint();
    FHintControl = Candidate;
    FHintRestSince = Now;
    return;
  }
  if (Candidate == nullptr) return;
  if (FHintVisible) {
    if (FHintHidePause > 0 && Now - FHintShownAt >= FHintHidePause) {
      HideHint();
      FHintDone = true;
    }
    return;
  }
  if (FHintDone || Now - FHintRestSince < FHintPause) return;
  const TPoint Size = MeasureOverlayText(Candidate->Hint());
  const int32_t W = Size.X + 8, H = Size.Y + 4;
  const TRect Client = ClientRect();
  int32_t X = FPointer.X, Y = FPointer.Y + CHintOffsetY;
  // Placed inside the form: left of the right edge, above the pointer when it does not fit below.
  if (X + W > Client.Right) X = Client.Right - W;
  if (Y + H > Client.Bottom) Y = FPointer.Y - H - 2;
  X = std::max(X, 0);
  Y = std::max(Y, 0);
  FHintRect = Bounds(X, Y, W, H);
  FHintVisible = true;
  FHintShownAt = Now;
  InvalidateOverlay(FHintRect);
}

// ---- popup menus -----------------------------------------------------------------------------

void TCustomForm::ShowPopupMenu(TPopupMenu* Menu, TPoint Client) {
  ClosePopupMenu();
  if (Menu == nullptr) return;
  int32_t Rows = 0, TextWidth = 0;
  for (int32_t i = 0; i < Menu->Count(); ++i) {
    if (!Menu->Item(i)->Visible()) continue;
    ++Rows;
    TextWidth = std::max(TextWidth, MeasureOverlayText(Menu->Item(i)->Caption()).X);
  }
  if (Rows == 0) return;
  const int32_t W = std::max(CMenuMinWidth, TextWidth + 24);
  const int32_t H = Rows * CMenuItemHeight + 2 * CMenuPadding;
  const TRect C = ClientRect();
  int32_t X = Client.X, Y = Client.Y;
  if (X + W > C.Right) X = C.Right - W;
  // Opens upward when there is no room below the pointer.
  if (Y + H > C.Bottom) Y = Client.Y - H;
  X = std::max(X, 0);
  Y = std::max(Y, 0);
  HideHint();
  FPopupMenu = Menu;
  FPopupControl = Menu->PopupComponent();
  FreeNotification(Menu);
  FPopupRect = Bounds(X, Y, W, H);
  FPopupHot = -1;
  InvalidateOverlay(FPopupRect);
}

void TCustomForm::ClosePopupMenu() {
  if (FPopupMenu == nullptr) return;
  if (FPopupMenu->Owner() != this) RemoveFreeNotification(FPopupMenu);
  FPopupMenu = nullptr;
  FPopupControl = nullptr;
  InvalidateOverlay(FPopupRect);
}

TRect TCustomForm::PopupItemRect(int32_t Index) const {
  if (FPopupMenu == nullptr || Index < 0) return TRect{};
  const int32_t Top = FPopupRect.Top + CMenuPadding + Index * CMenuItemHeight;
  return TRect{FPopupRect.Left + 1, Top, FPopupRect.Right - 1, Top + CMenuItemHeight};
}

bool TCustomForm::PopupMenuMouse(const TNativeEvent& Event) {
  if (FPopupMenu == nullptr) return false;
  const TPoint P = Event.Position;
  // The visible row under the pointer and its item.
  int32_t Hot = -1;
  TMenuItem* HotItem = nullptr;
  if (FPopupRect.Contains(P)) {
    int32_t Row = 0;
    for (int32_t i = 0; i < FPopupMenu->Count(); ++i) {
      TMenuItem* Item = FPopupMenu->Item(i);
      if (!Item->Visible()) continue;
      if (PopupItemRect(Row).Contains(P)) {
        Hot = Row;
        HotItem = Item;
        break;
      }
      ++Row;
    }
  }
  if (Hot != FPopupHot) {
    InvalidateOverlay(PopupItemRect(FPopupHot));
    InvalidateOverlay(PopupItemRect(Hot));
    FPopupHot = Hot;
  }
  switch (Event.Kind) {
    case nekMouseDown:
      // A press outside closes the menu and goes nowhere else, nor does its release.
      if (!FPopupRect.Contains(P)) {
        ClosePopupMenu();
        FSwallowButtons = true;
      }
      break;
    case nekMouseUp:
      if (HotItem != nullptr && HotItem->Enabled()) {
        ClosePopupMenu();
        Guarded([HotItem] { HotItem->Click(); });
      }
      break;
    default:
      break;
  }
  return true;
}

// ---- exceptions ------------------------------------------------------------------------------

void TCustomForm::HandleException(const std::string& Message) {
  if (OnException) {
    try {
      OnException(this, Message);
      return;
    } catch (...) {
    }
  }
  std::fprintf(stderr, "kvx: %s\n", Message.c_str());
}

// ---- the screen ------------------------------------------------------------------------------

TCustomForm* TScreen::ActiveForm() {
  if (GActiveForm != nullptr) return GActiveForm;
  return Forms().empty() ? nullptr : Forms().front();
}

int32_t TScreen::FormCount() { return static_cast<int32_t>(Forms().size()); }

TCustomForm* TScreen::Form(int32_t Index) { return Forms()[static_cast<size_t>(Index)]; }

TCursor TScreen::Cursor() { return GCursor; }

void TScreen::SetCursor(TCursor Value) {
  GCursor = Value;
  for (TCustomForm* F : Forms()) F->Backend()->SetCursor(Value);
}

TPoint TScreen::CursorPos() {
  TCustomForm* F = ActiveForm();
  if (F == nullptr) return TPoint{};
  return F->Backend()->ClientToScreen(F->Backend()->PointerPosition());
}

void TScreen::SetCursorPos(TPoint Screen) {
  TCustomForm* F = ActiveForm();
  if (F == nullptr) return;
  F->Backend()->WarpPointer(F->Backend()->ScreenToClient(Screen));
}

}  // namespace kvx
