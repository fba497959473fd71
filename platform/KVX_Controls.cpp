#include "platform/KVX_Controls.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "platform/KVX_Forms.h"
#include "platform/KVX_Menus.h"

namespace kvx {

// ---- TControl --------------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  FFont.OnChange = [this](TObject*) { FontOnChange(); };
}

TControl::~TControl() {
  BeginDestruction();
  if (TCustomForm* Form = ParentForm(); Form != nullptr && Form != this) Form->ForgetControl(this, true);
  if (FParent != nullptr) FParent->RemoveControl(this);
  FFont.OnChange = nullptr;
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent) return;
  for (const TControl* P = AParent; P != nullptr; P = P->FParent)
    if (P == this) throw EInvalidOperation("A control cannot be its own parent");
  if (FParent != nullptr) {
    if (TCustomForm* Old = ParentForm(); Old != nullptr && Old != this) Old->ForgetControl(this, false);
    FParent->RemoveControl(this);
  }
  if (AParent != nullptr) {
    AParent->InsertControl(this);
    ParentColorChanged();
    ParentFontChanged();
  }
}

TCustomForm* TControl::ParentForm() const {
  const TControl* C = this;
  while (C->FParent != nullptr) C = C->FParent;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(C));
}

void TControl::BringToFront() {
  if (FParent == nullptr) return;
  auto& L = FParent->FControls;
  L.erase(std::remove(L.begin(), L.end(), this), L.end());
  L.push_back(this);
  Invalidate();
}

void TControl::SendToBack() {
  if (FParent == nullptr) return;
  auto& L = FParent->FControls;
  L.erase(std::remove(L.begin(), L.end(), this), L.end());
  L.insert(L.begin(), this);
  Invalidate();
}

void TControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  const TRect Old = BoundsRect();
  const bool Sized = AWidth != FWidth || AHeight != FHeight;
  const bool Moved_ = ALeft != FLeft || ATop != FTop;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (FVisible) InvalidateInParent(UnionRect(Old, BoundsRect()));
  if (Sized) Resize();
  if (Moved_) Moved();
  if (FParent != nullptr && !FParent->ComponentState().Contains(csDestroying)) FParent->ControlsChanged();
}

void TControl::SetClientSize(int32_t AWidth, int32_t AHeight) {
  const TRect C = ClientRect();
  SetBounds(FLeft, FTop, FWidth + AWidth - C.Width(), FHeight + AHeight - C.Height());
}

TPoint TControl::ClientToParent(TPoint P, const TWinControl* AParent) const {
  const TControl* C = this;
  while (C != AParent && C->FParent != nullptr) {
    P.X += C->FLeft;
    P.Y += C->FTop;
    C = C->FParent;
  }
  return P;
}

TPoint TControl::ClientToScreen(TPoint P) const {
  TCustomForm* Form = ParentForm();
  if (Form == nullptr) return ClientToParent(P);
  return Form->Backend()->ClientToScreen(ClientToParent(P, Form));
}

TPoint TControl::ScreenToClient(TPoint P) const {
  TCustomForm* Form = ParentForm();
  const TPoint Origin = ClientToParent(TPoint{}, Form);
  if (Form != nullptr) P = Form->Backend()->ScreenToClient(P);
  return TPoint{P.X - Origin.X, P.Y - Origin.Y};
}

void TControl::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  VisibleChanged();
}

bool TControl::IsShowing() const {
  for (const TControl* C = this; C != nullptr; C = C->FParent) {
    if (C->FParent == nullptr && dynamic_cast<const TCustomForm*>(C) != nullptr) return true;
    if (!C->FVisible) return false;
  }
  return true;
}

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  EnabledChanged();
}

bool TControl::IsEnabledInTree() const {
  for (const TControl* C = this; C != nullptr; C = C->FParent)
    if (!C->FEnabled) return false;
  return true;
}

void TControl::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  FParentColor = false;
  ColorChanged();
}

void TControl::SetParentColor(bool Value) {
  if (Value == FParentColor) return;
  FParentColor = Value;
  if (Value) ParentColorChanged();
}

void TControl::SetParentFont(bool Value) {
  if (Value == FParentFont) return;
  FParentFont = Value;
  if (Value) ParentFontChanged();
}

void TControl::FontOnChange() {
  if (!FAdoptingFont) FParentFont = false;
  FontChanged();
}

void TControl::SetCaption(const std::string& Value) {
  if (Value == FCaption) return;
  FCaption = Value;
  TextChanged();
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
  if (Value == FPopupMenu) return;
  if (FPopupMenu != nullptr) RemoveFreeNotification(FPopupMenu);
  FPopupMenu = Value;
  if (Value != nullptr) FreeNotification(Value);
}

void TControl::SetAutoSize(bool Value) {
  if (Value == FAutoSize) return;
  FAutoSize = Value;
  if (Value) AdjustSize();
}

bool TControl::MouseCapture() const {
  const TCustomForm* Form = ParentForm();
  return Form != nullptr && Form->CaptureControl() == this;
}

void TControl::SetMouseCapture(bool Value) {
  TCustomForm* Form = ParentForm();
  if (Form == nullptr) return;
  if (Value)
    Form->SetCaptureControl(this);
  else if (Form->CaptureControl() == this)
    Form->SetCaptureControl(nullptr);
}

void TControl::InvalidateInParent(const TRect& R) {
  if (FParent != nullptr) FParent->InvalidateRect(R);
}

void TControl::Invalidate() {
  if (FVisible) InvalidateInParent(BoundsRect());
}

void TControl::Update() {
  if (TCustomForm* Form = ParentForm()) Form->Update();
}

void TControl::PaintControl(TCanvas& Target) {
  TCanvas* Previous = FCanvas;
  FCanvas = &Target;
  FControlState.Include(csPainting);
  auto Run = [this] { Paint(); };
  if (TCustomForm* Form = ParentForm()) {
    Form->Guarded(Run);
  } else {
    try {
      Run();
    } catch (const std::exception& E) {
      std::fprintf(stderr, "kvx: error while painting: %s\n", E.what());
    } catch (...) {
      std::fprintf(stderr, "kvx: unknown error while painting\n");
    }
  }
  FControlState.Exclude(csPainting);
  FCanvas = Previous;
}

// ---- notifications ----

void TControl::Loaded() {
  TComponent::Loaded();
  AdjustSize();
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::ColorChanged() { Invalidate(); }

void TControl::ParentColorChanged() {
  if (!FParentColor || FParent == nullptr || FParent->FColor == FColor) return;
  FColor = FParent->FColor;
  ColorChanged();
}

void TControl::FontChanged() { Invalidate(); }

void TControl::ParentFontChanged() {
  if (!FParentFont || FParent == nullptr || FFont.Equals(FParent->FFont)) return;
  // Taking the parent's font keeps ParentFont set.
  FAdoptingFont = true;
  FFont.Assign(FParent->FFont);
  FAdoptingFont = false;
}

void TControl::EnabledChanged() {
  Invalidate();
  if (!FEnabled)
    if (TCustomForm* Form = ParentForm(); Form != nullptr && Form != this) Form->ForgetControl(this, false);
}

void TControl::VisibleChanged() {
  InvalidateInParent(BoundsRect());
  if (!FVisible)
    if (TCustomForm* Form = ParentForm(); Form != nullptr && Form != this) Form->ForgetControl(this, false);
  if (FParent != nullptr) FParent->ControlsChanged();
}

void TControl::TextChanged() { Invalidate(); }

void TControl::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

// ---- input ----

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (OnMouseDown && !FControlStyle.Contains(csNoStdEvents)) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (OnMouseMove && !FControlStyle.Contains(csNoStdEvents)) OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (OnMouseUp && !FControlStyle.Contains(csNoStdEvents)) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

bool TControl::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) {
  bool Handled = false;
  if (OnMouseWheel) OnMouseWheel(this, Shift, WheelDelta, MousePos, Handled);
  return Handled;
}

void TControl::DoContextPopup(TPoint MousePos, bool& Handled) {
  if (OnContextPopup) OnContextPopup(this, MousePos, Handled);
  if (Handled || FPopupMenu == nullptr) return;
  TCustomForm* Form = ParentForm();
  if (Form == nullptr) return;
  Handled = true;
  TPopupMenu* Menu = FPopupMenu;
  Menu->SetPopupComponent(this);
  if (Menu->OnPopup) Menu->OnPopup(Menu);
  Form->ShowPopupMenu(Menu, ClientToParent(MousePos, Form));
}

void TControl::DispatchMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (Button == mbLeft) {
    FControlState.Include(csLButtonDown);
    if (FControlStyle.Contains(csClickEvents)) FControlState.Include(csClicked);
    if (Shift.Contains(ssDouble) && FControlStyle.Contains(csDoubleClicks)) Guard([this] { DblClick(); });
  }
  MouseDown(Button, Shift, X, Y);
}

void TControl::DispatchMouseMove(TShiftState Shift, int32_t X, int32_t Y) { MouseMove(Shift, X, Y); }

void TControl::DispatchMouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (Button == mbLeft) {
    FControlState.Exclude(csLButtonDown);
    if (FControlState.Contains(csClicked)) {
      FControlState.Exclude(csClicked);
      // The click comes before the release, and only for a release inside the control.
      if (ClientRect().Contains(TPoint{X, Y})) Guard([this] { Click(); });
    }
  }
  MouseUp(Button, Shift, X, Y);
}

template <class F>
void TControl::Guard(F&& Action) {
  // A failing click handler must not cost the control its release.
  if (TCustomForm* Form = ParentForm())
    Form->Guarded(Action);
  else
    Action();
}

bool TControl::DispatchMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) {
  return DoMouseWheel(Shift, WheelDelta, MousePos);
}

void TControl::DispatchContextPopup(TPoint MousePos) {
  bool Handled = false;
  DoContextPopup(MousePos, Handled);
}

bool TControl::CanAutoSize(int32_t&, int32_t&) { return false; }

void TControl::AdjustSize() {
  if (!FAutoSize || FAdjustingSize || ComponentState().Contains(csLoading) ||
      ComponentState().Contains(csDestroying))
    return;
  FAdjustingSize = true;
  int32_t W = FWidth, H = FHeight;
  try {
    if (CanAutoSize(W, H)) SetBounds(FLeft, FTop, W, H);
  } catch (...) {
    FAdjustingSize = false;
    throw;
  }
  FAdjustingSize = false;
}

// ---- TGraphicControl, TWinControl, TCustomControl --------------------------------------------

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  BeginDestruction();
  DestroyControls();
}

void TWinControl::DestroyControls() {
  // Each child leaves this control and its owner in its own destructor.
  while (!FControls.empty()) delete FControls.back();
}

int32_t TWinControl::IndexOfControl(const TControl* AControl) const {
  const auto It = std::find(FControls.begin(), FControls.end(), AControl);
  return It == FControls.end() ? -1 : static_cast<int32_t>(It - FControls.begin());
}

void TWinControl::InsertControl(TControl* AControl) {
  FControls.push_back(AControl);
  AControl->FParent = this;
  if (AControl->FVisible) InvalidateRect(AControl->BoundsRect());
  if (AControl->IsWindowed()) static_cast<TWinControl*>(AControl)->FInvalid = AControl->ClientRect();
  ControlsChanged();
}

void TWinControl::RemoveControl(TControl* AControl) {
  FControls.erase(std::remove(FControls.begin(), FControls.end(), AControl), FControls.end());
  AControl->FParent = nullptr;
  if (ComponentState().Contains(csDestroying)) return;
  if (AControl->FVisible) InvalidateRect(AControl->BoundsRect());
  ControlsChanged();
}

TControl* TWinControl::ControlAtPos(TPoint P, bool AllowDisabled) const {
  auto Hit = [&](const TControl* C) {
    return C->FVisible && (AllowDisabled || C->FEnabled) && C->BoundsRect().Contains(P);
  };
  for (auto It = FControls.rbegin(); It != FControls.rend(); ++It)
    if ((*It)->IsWindowed() && Hit(*It)) return *It;
  for (auto It = FControls.rbegin(); It != FControls.rend(); ++It)
    if (!(*It)->IsWindowed() && Hit(*It)) return *It;
  return nullptr;
}

bool TWinControl::CanFocus() const { return IsShowing() && IsEnabledInTree(); }

bool TWinControl::Focused() const {
  const TCustomForm* Form = ParentForm();
  return Form != nullptr && Form->ActiveControl() == this;
}

void TWinControl::SetFocus() {
  if (!CanFocus()) return;
  if (TCustomForm* Form = ParentForm()) Form->SetActiveControl(this);
}

void TWinControl::Invalidate() { InvalidateRect(ClientRect()); }

void TWinControl::InvalidateRect(const TRect& R) {
  if (ComponentState().Contains(csDestroying)) return;
  FInvalid = UnionRect(FInvalid, IntersectRect(R, ClientRect()));
}

void TWinControl::EraseBackground(TCanvas& Target) {
  if (FControlStyle.Contains(csOpaque)) return;
  Target.FillRect(ClientRect(), Color());
}

void TWinControl::PaintWindow(TCanvas& Target) { PaintControl(Target); }

void TWinControl::ColorChanged() {
  TControl::ColorChanged();
  const std::vector<TControl*> Children = FControls;
  for (TControl* C : Children) C->ParentColorChanged();
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  const std::vector<TControl*> Children = FControls;
  for (TControl* C : Children) C->ParentFontChanged();
}

void TWinControl::VisibleChanged() {
  if (Visible()) FInvalid = ClientRect();
  TControl::VisibleChanged();
}

void TWinControl::Resize() {
  EnsureBuffer();
  FInvalid = ClientRect();
  TControl::Resize();
}

void TWinControl::EnsureBuffer() {
  const TRect C = ClientRect();
  if (FBuffer.Width() != C.Width() || FBuffer.Height() != C.Height()) FBuffer.SetSize(C.Width(), C.Height());
}

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

bool TWinControl::CanAutoSizeToControls(int32_t& NewWidth, int32_t& NewHeight) {
  TRect Extent;
  bool Any = false;
  for (const TControl* C : FControls) {
    if (!C->FVisible) continue;
    Extent = Any ? UnionRect(Extent, C->BoundsRect()) : C->BoundsRect();
    if (!Any && Extent.IsEmpty()) Extent = Bounds(C->FLeft, C->FTop, 0, 0);
    Any = true;
  }
  if (!Any) return false;
  if (Extent.Left != 0 || Extent.Top != 0) {
    const std::vector<TControl*> Children = FControls;
    for (TControl* C : Children)
      C->SetBounds(C->FLeft - Extent.Left, C->FTop - Extent.Top, C->FWidth, C->FHeight);
  }
  const TRect Client = ClientRect();
  NewWidth = Width() - Client.Width() + Extent.Width();
  NewHeight = Height() - Client.Height() + Extent.Height();
  return true;
}

TRect TWinControl::Compose() {
  EnsureBuffer();
  const TRect R = FInvalid;
  FInvalid = TRect{};
  TCanvas& C = FBuffer.Canvas();
  if (!R.IsEmpty()) {
    C.SaveDC();
    C.SetViewportOrg(0, 0);
    C.SelectClipRect(R);
    EraseBackground(C);
    PaintWindow(C);
    C.RestoreDC();
    // A copy: a paint handler may change the tree.
    const std::vector<TControl*> Children = FControls;
    for (TControl* Child : Children) {
      if (Child->IsWindowed() || !Child->FVisible || !Intersects(R, Child->BoundsRect())) continue;
      if (IndexOfControl(Child) < 0) continue;
      C.SaveDC();
      C.SetViewportOrg(0, 0);
      C.SelectClipRect(R);
      C.SetViewportOrg(Child->FLeft, Child->FTop);
      C.IntersectClipRect(Child->ClientRect());
      Child->PaintControl(C);
      C.RestoreDC();
    }
  }
  // Windowed children from their own buffers, over what changed here or in them.
  TRect Changed = R;
  const std::vector<TControl*> Children = FControls;
  for (TControl* Child : Children) {
    if (!Child->IsWindowed() || !Child->FVisible || IndexOfControl(Child) < 0) continue;
    auto* W = static_cast<TWinControl*>(Child);
    const TRect Own = OffsetRect(W->Compose(), W->FLeft, W->FTop);
    const TRect Copy = IntersectRect(IntersectRect(UnionRect(Own, Changed), W->BoundsRect()), ClientRect());
    if (Copy.IsEmpty()) continue;
    C.SaveDC();
    C.SetViewportOrg(0, 0);
    C.SelectClipRect(Copy);
    C.CopyRect(W->FLeft, W->FTop, W->FBuffer.Surface(), TRect{0, 0, W->FBuffer.Width(), W->FBuffer.Height()});
    C.RestoreDC();
    Changed = UnionRect(Changed, Copy);
  }
  return Changed;
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}

// ---- key state -------------------------------------------------------------------------------

int16_t GetKeyState(int32_t VirtualKey) {
  const TCustomForm* Form = TScreen::ActiveForm();
  const TShiftState Shift = Form != nullptr ? Form->CurrentShiftState() : TShiftState{};
  bool Down = false;
  switch (VirtualKey) {
    case VK_SHIFT: Down = Shift.Contains(ssShift); break;
    case VK_CONTROL: Down = Shift.Contains(ssCtrl); break;
    case VK_MENU: Down = Shift.Contains(ssAlt); break;
    case VK_LBUTTON: Down = Shift.Contains(ssLeft); break;
    case VK_RBUTTON: Down = Shift.Contains(ssRight); break;
    case VK_MBUTTON: Down = Shift.Contains(ssMiddle); break;
    default: break;
  }
  return Down ? static_cast<int16_t>(0xFF80) : int16_t{0};
}

}  // namespace kvx
