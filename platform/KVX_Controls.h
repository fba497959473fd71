// The control tree of the window-system layer.
//
// TControl is anything with bounds inside a parent. Two kinds exist:
// - windowless controls (TGraphicControl): painted by their parent onto the parent's surface,
//   in z-order, and handed input by the parent;
// - windowed controls (TWinControl and TCustomControl): each keeps its own composed buffer, is
//   painted after its windowless siblings and hit-tested before them, can hold the keyboard
//   focus and captures the mouse while a button is held. Only the form (KVX_Forms) has a
//   native window; every other windowed control lives inside the form's surface.
//
// Notifications arrive as protected virtuals; an override that extends one calls the
// inherited one. Painting goes through Paint with Canvas() bound to the target surface, whose
// origin is the control's top-left corner and whose clip is the part that needs painting.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/KVX_Backend.h"
#include "platform/KVX_Canvas.h"
#include "platform/KVX_Classes.h"
#include "platform/KVX_Graphics.h"

namespace kvx {

class TWinControl;
class TCustomForm;
class TPopupMenu;

enum TControlStyleMember : uint8_t {
  csAcceptsControls,  // may be the parent of other controls
  csCaptureMouse,     // captures the mouse while a button is held on it
  csClickEvents,      // left press and release inside report Click
  csOpaque,           // covers its whole rectangle: nothing is erased beneath it
  csFramed,           // has a frame of the window system (drawn by nobody here)
  csSetCaption,       // the name is copied to the caption while the caption is empty
  csDoubleClicks,     // a second press within the double-click time reports DblClick
  csNoStdEvents       // mouse events are not turned into the On... events
};
using TControlStyle = TSet<TControlStyleMember, uint16_t>;

enum TControlStateMember : uint8_t { csLButtonDown, csClicked, csPainting, csFocusing };
using TControlState = TSet<TControlStateMember, uint8_t>;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift,
                                       int32_t X, int32_t Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int32_t X, int32_t Y)>;
using TMouseWheelEvent = std::function<void(TObject* Sender, TShiftState Shift, int32_t WheelDelta,
                                            TPoint MousePos, bool& Handled)>;
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner = nullptr);
  ~TControl() override;
  std::string ClassName() const override { return "TControl"; }

  // ---- tree ----
  TWinControl* Parent() const { return FParent; }
  // Moves the control into another parent (at the top of its z-order) or out of the tree.
  virtual void SetParent(TWinControl* AParent);
  // The form the control lives in, or null.
  TCustomForm* ParentForm() const;
  void BringToFront();
  void SendToBack();

  // ---- geometry (parent client coordinates) ----
  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  void SetLeft(int32_t Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(int32_t Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(int32_t Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(int32_t Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  // Negative sizes become 0. A new size delivers Resize, a new position Moved, both before
  // anything is painted; the old and the new area are invalidated.
  virtual void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  virtual TRect ClientRect() const { return TRect{0, 0, FWidth, FHeight}; }
  int32_t ClientWidth() const { return ClientRect().Width(); }
  int32_t ClientHeight() const { return ClientRect().Height(); }
  void SetClientSize(int32_t AWidth, int32_t AHeight);
  // Coordinates: control client <-> parent client, form client and screen.
  TPoint ClientToParent(TPoint P, const TWinControl* AParent = nullptr) const;
  TPoint ClientToScreen(TPoint P) const;
  TPoint ScreenToClient(TPoint P) const;

  // ---- state ----
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible and every parent visible (up to the form, whose own visibility is not asked).
  bool IsShowing() const;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  // Enabled and every parent enabled.
  bool IsEnabledInTree() const;
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);
  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  void SetFont(const TFont& Value) { FFont.Assign(Value); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& Value) { FHint = Value; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value) { FShowHint = Value; }
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* Value);
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value) { FCursor = Value; }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  TControlStyle ControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }
  TControlState ControlState() const { return FControlState; }

  // Mouse capture: while set, every mouse event of the form goes to this control.
  bool MouseCapture() const;
  void SetMouseCapture(bool Value);

  // Whether the control is windowed (has a buffer of its own).
  virtual bool IsWindowed() const { return false; }

  // ---- painting ----
  // Marks the control's area for repainting at the next pump of its form.
  virtual void Invalidate();
  // Paints what is invalid in the control's form now.
  virtual void Update();
  void Repaint() {
    Invalidate();
    Update();
  }
  // Paints this control (not its children) onto Target, whose origin is the control's
  // top-left corner; errors are caught and reported through the form.
  void PaintControl(TCanvas& Target);

  // ---- input, as the form dispatches it (client coordinates of this control) ----
  void DispatchMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  void DispatchMouseMove(TShiftState Shift, int32_t X, int32_t Y);
  void DispatchMouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  bool DispatchMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos);
  void DispatchMouseEnter() { MouseEnter(); }
  void DispatchMouseLeave() { MouseLeave(); }
  void DispatchContextPopup(TPoint MousePos);

  // ---- events ----
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnResize;
  TContextPopupEvent OnContextPopup;

 protected:
  // Paint with Canvas() bound; the base draws nothing.
  virtual void Paint() {}
  // The target of the paint in progress; outside a paint a canvas without surface.
  TCanvas& Canvas() { return FCanvas ? *FCanvas : FNullCanvas; }

  // Notifications.
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The size changed (inside SetBounds, before any paint); the base fires OnResize.
  virtual void Resize();
  // The position changed; the base does nothing.
  virtual void Moved() {}
  // Own colour changed; the base invalidates.
  virtual void ColorChanged();
  // The parent's colour changed; with ParentColor the base takes it (then ColorChanged).
  virtual void ParentColorChanged();
  virtual void FontChanged();
  virtual void ParentFontChanged();
  virtual void EnabledChanged();
  virtual void VisibleChanged();
  virtual void TextChanged();
  virtual void MouseEnter();
  virtual void MouseLeave();

  // Input. The bases fire the matching events.
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseMove(TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  virtual void Click();
  virtual void DblClick();
  // Answers true when the wheel was used; the base fires OnMouseWheel.
  virtual bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos);
  // The base fires OnContextPopup, then shows PopupMenu at the position unless handled.
  virtual void DoContextPopup(TPoint MousePos, bool& Handled);

  // Auto-size: the size the content wants; the base answers false (no preference).
  virtual bool CanAutoSize(int32_t& NewWidth, int32_t& NewHeight);
  // Applies CanAutoSize when AutoSize is on.
  void AdjustSize();

  TControlStyle FControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TControlState FControlState;

 private:
  friend class TWinControl;
  friend class TCustomForm;
  void FontOnChange();
  // Runs Action with errors reported through the form (rethrown without a form).
  template <class F>
  void Guard(F&& Action);
  void InvalidateInParent(const TRect& R);
  TWinControl* FParent = nullptr;
  int32_t FLeft = 0;
  int32_t FTop = 0;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  bool FVisible = true;
  bool FEnabled = true;
  TColor FColor = clBtnFace;
  bool FParentColor = false;
  TFont FFont;
  bool FParentFont = true;
  std::string FCaption;
  std::string FHint;
  bool FShowHint = false;
  TPopupMenu* FPopupMenu = nullptr;
  TCursor FCursor = crDefault;
  bool FAutoSize = false;
  bool FAdjustingSize = false;
  bool FAdoptingFont = false;
  TCanvas* FCanvas = nullptr;
  TCanvas FNullCanvas;
};

// A windowless control: painted by its parent with Canvas() on the parent's surface.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TGraphicControl"; }
};

// A windowed control: its own composed buffer, children, keyboard focus.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner = nullptr);
  // Frees the child controls first (the last inserted first), each leaving its owner.
  ~TWinControl() override;
  std::string ClassName() const override { return "TWinControl"; }

  // Children in z-order, the bottom one first (windowless and windowed together).
  int32_t ControlCount() const { return static_cast<int32_t>(FControls.size()); }
  TControl* Control(int32_t Index) const { return FControls[static_cast<size_t>(Index)]; }
  int32_t IndexOfControl(const TControl* AControl) const;
  // The child under a client position: windowed children first (top-most first), then
  // windowless ones; hidden children are skipped, disabled ones unless AllowDisabled.
  TControl* ControlAtPos(TPoint P, bool AllowDisabled = false) const;

  // Keyboard focus.
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value) { FTabStop = Value; }
  bool CanFocus() const;
  bool Focused() const;
  void SetFocus();

  void Invalidate() override;
  // Marks only a part of the client area (client coordinates).
  void InvalidateRect(const TRect& R);
  // Paints the background of the client area: Color, unless the control is opaque.
  virtual void EraseBackground(TCanvas& Target);
  // Paints the control's own content (not its children) onto Target.
  void PaintWindow(TCanvas& Target);
  bool IsWindowed() const override { return true; }

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

 protected:
  void ColorChanged() override;
  void FontChanged() override;
  void VisibleChanged() override;
  void Resize() override;
  // The keyboard.
  virtual void KeyDown(uint16_t& Key, TShiftState Shift);
  virtual void KeyUp(uint16_t& Key, TShiftState Shift);
  // Focus arrived or left.
  virtual void DoEnter();
  virtual void DoExit();

  // Called after a child joined, left, moved, was resized, shown or hidden.
  virtual void ControlsChanged() {}
  // The auto-size of containers: the extent of the visible children. All children are moved
  // so that the extent starts at the top-left corner of the client area; the answer is the
  // size that makes the client area the extent. False without visible children.
  bool CanAutoSizeToControls(int32_t& NewWidth, int32_t& NewHeight);
  // Frees the child controls, the top-most first.
  void DestroyControls();

 private:
  friend class TControl;
  friend class TCustomForm;
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  // Composes the invalid part of this control into its buffer and answers the part of the
  // buffer that changed (client coordinates).
  TRect Compose();
  void EnsureBuffer();
  std::vector<TControl*> FControls;
  TBitmap FBuffer;
  TRect FInvalid;  // client coordinates
  bool FTabStop = false;
};

// A windowed control that paints itself with Canvas() in Paint.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TCustomControl"; }
};

// The state of the Ctrl, Shift and Alt keys and the mouse buttons as the window system's key
// state table gives it: the high bit (0x8000 as int16) is set while the key is down. During an
// event dispatch the state is that of the event being dispatched, otherwise the backend's.
int16_t GetKeyState(int32_t VirtualKey);

}  // namespace kvx
