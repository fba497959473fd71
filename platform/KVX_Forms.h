// The form: the one native window of an editor, the root of its control tree, the compositor
// that turns invalid regions into a finished surface for the backend, and the dispatcher of
// the backend's input to the controls. Tool tips and popup menus are overlays drawn inside the
// form, so they need no second native window and no pointer grab.
//
// Painting of an invalid region: the parent's background, the visible windowless children in
// z-order, then the visible windowed children from their own buffers, each clipped to its
// bounds and its parent; overlays last; then one PutImage of the changed part.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/KVX_Backend.h"
#include "platform/KVX_Controls.h"

namespace kvx {

class TPopupMenu;
class TMenuItem;

enum TPosition : uint8_t { poDesigned, poDefault, poScreenCenter, poDesktopCenter, poMainFormCenter };

using TExceptionEvent = std::function<void(TObject* Sender, const std::string& Message)>;

// Text inside the overlays (tool tips, menu items) is drawn by the text units when they
// register a renderer; without one the overlays show their boxes only.
struct TOverlayTextRenderer {
  // Width and height in pixels of Text in the overlay font.
  TPoint (*Measure)(const std::string& Text) = nullptr;
  // Draws Text with its top-left at (X, Y) in Color (0x00BBGGRR), clipped by the canvas.
  void (*Draw)(TCanvas& Canvas, int32_t X, int32_t Y, const std::string& Text, TColor Color) = nullptr;
};
void SetOverlayTextRenderer(const TOverlayTextRenderer& Renderer);

class TCustomForm : public TWinControl {
 public:
  // Without a backend the registered factory provides one (headless without a factory).
  explicit TCustomForm(TComponent* AOwner = nullptr, std::unique_ptr<TWindowBackend> Backend = nullptr);
  ~TCustomForm() override;
  std::string ClassName() const override { return "TCustomForm"; }

  TWindowBackend* Backend() const { return FBackend.get(); }

  // ---- the native window ----
  TNativeWindowHandle ParentWindow() const { return FParentWindow; }
  // Embeds the form in a native window of the host (0: a top-level window).
  void SetParentWindow(TNativeWindowHandle Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  // The client area keeps its size.
  void SetBorderStyle(TBorderStyle Value);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  TRect ClientRect() const override;
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

  // ---- painting and events ----
  // Marks the whole client area and asks the backend for an expose.
  void Invalidate() override;
  // Composes what is invalid and presents it (when visible).
  void Update() override;
  // One pump: the backend's pending events, the timers, finished shell openers, tool tips,
  // then Update. Never blocks. Errors of handlers are caught and reported.
  void ProcessMessages();
  // The composed surface (client size).
  const TBitmap& Surface() const { return FBuffer; }

  // ---- input state (borrowed references, cleared before the control they name dies) ----
  TControl* CaptureControl() const { return FCaptureControl; }
  void SetCaptureControl(TControl* Value);
  TControl* HoverControl() const { return FHoverControl; }
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* Value);
  // The shift state of the event being dispatched, or the backend's when none is.
  TShiftState CurrentShiftState() const;

  // ---- overlays ----
  // Milliseconds the pointer must rest before a tool tip shows, and how long it stays.
  int32_t HintPause() const { return FHintPause; }
  void SetHintPause(int32_t Value) { FHintPause = Value; }
  int32_t HintHidePause() const { return FHintHidePause; }
  void SetHintHidePause(int32_t Value) { FHintHidePause = Value; }
  // The tool tip shown and its rectangle (client coordinates); null / empty while none is.
  TControl* HintControl() const { return FHintVisible ? FHintControl : nullptr; }
  TRect HintRect() const { return FHintVisible ? FHintRect : TRect{}; }
  // Opens a popup menu at a client position, placed so that it fits inside the form.
  void ShowPopupMenu(TPopupMenu* Menu, TPoint Client);
  void ClosePopupMenu();
  TPopupMenu* ActivePopupMenu() const { return FPopupMenu; }
  TRect PopupMenuRect() const { return FPopupMenu ? FPopupRect : TRect{}; }
  // The rectangle of item Index of the open menu (client coordinates).
  TRect PopupItemRect(int32_t Index) const;

  // Reports an error of a handler: OnException if assigned, else a line on stderr.
  void HandleException(const std::string& Message);
  // Runs Action, catching and reporting whatever it throws.
  template <class F>
  void Guarded(F&& Action) noexcept {
    try {
      Action();
    } catch (const std::exception& E) {
      HandleException(E.what());
    } catch (...) {
      HandleException("Unknown error");
    }
  }

  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TExceptionEvent OnException;

 protected:
  void VisibleChanged() override;
  // The caption is the native window's title.
  void TextChanged() override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  bool CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) override;
  void ControlsChanged() override;
  virtual void ParentWindowChanged() {}
  virtual void DoShow();
  virtual void DoHide();

 private:
  friend class TControl;
  friend class TWinControl;
  void DispatchEvent(const TNativeEvent& Event);
  void DispatchMouse(const TNativeEvent& Event);
  bool PopupMenuMouse(const TNativeEvent& Event);
  void UpdateHover(TControl* Target);
  // The control under a client position of the form (the form itself when none).
  TControl* ControlAtClient(TPoint P) const;
  TPoint ToControl(const TControl* C, TPoint FormClient) const;
  // Clears every borrowed reference to AControl and its children. A control that stays alive
  // (hidden, disabled) is told it lost the pointer and the focus; a dying one is not.
  void ForgetControl(TControl* AControl, bool Dying);
  void CheckHint();
  void HideHint();
  void PaintOverlays(TCanvas& Target, const TRect& Region);
  void InvalidateOverlay(const TRect& R);
  void CenterOnDesktop();

  std::unique_ptr<TWindowBackend> FBackend;
  TNativeWindowHandle FParentWindow = 0;
  TBorderStyle FBorderStyle = bsSingle;
  TPosition FPosition = poDesigned;
  TControl* FCaptureControl = nullptr;
  TControl* FHoverControl = nullptr;
  TControl* FPressedControl = nullptr;
  // The control an event is being delivered to; cleared when it dies inside its handler.
  TControl* FDispatchTarget = nullptr;
  TWinControl* FActiveControl = nullptr;
  bool FDispatching = false;
  TShiftState FDispatchShift;
  TPoint FPointer{-1, -1};
  // Tool tips.
  int32_t FHintPause = 500;
  int32_t FHintHidePause = 2500;
  TControl* FHintControl = nullptr;
  int64_t FHintRestSince = 0;
  int64_t FHintShownAt = 0;
  bool FHintVisible = false;
  bool FHintDone = false;
  TRect FHintRect;
  // The open popup menu.
  TPopupMenu* FPopupMenu = nullptr;
  TControl* FPopupControl = nullptr;  // whose right click opened it
  bool FSwallowButtons = false;       // a press closed the menu: its release goes nowhere
  TRect FPopupRect;
  int32_t FPopupHot = -1;
  // Double clicks.
  int64_t FLastClickTime = -1000000;
  TControl* FLastClickControl = nullptr;
  // The forms alive, for GetKeyState and the screen's pointer operations.
  friend int16_t GetKeyState(int32_t VirtualKey);
  friend class TScreen;
};

class TForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
  std::string ClassName() const override { return "TForm"; }
};

// The pointer of the screen: the cursor shape and position, for the form that dispatched the
// latest event (or the first form).
class TScreen {
 public:
  static TCursor Cursor();
  // crNone hides the pointer over the forms, crDefault restores it.
  static void SetCursor(TCursor Value);
  static TPoint CursorPos();
  // Moves the pointer to a screen position.
  static void SetCursorPos(TPoint Screen);
  static TCustomForm* ActiveForm();
  static int32_t FormCount();
  static TCustomForm* Form(int32_t Index);
};

}  // namespace kvx
