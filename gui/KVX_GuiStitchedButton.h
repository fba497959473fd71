// The stitched push button: its glyph shows its visual state and it reports clicks.
// Glyph roles: 0 released, 1 pressed (2 or more glyphs), 2 disabled (3 or more), 3 hovered
// (4 or more). With 2 glyphs it shows 1 while a button is held on it and 0 otherwise.
#pragma once

#include "gui/KVX_GuiStitchedControls.h"

namespace kvx {

class TCustomGuiStitchedButton : public TGuiCustomStitchedControl {
 public:
  explicit TCustomGuiStitchedButton(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TCustomGuiStitchedButton"; }

  bool MouseInRect() const { return FMouseInRect; }

 protected:
  // A complete left click inside reports OnClick, only while enabled.
  void Click() override;
  // Press and release change the glyph; they fire no OnMouseDown / OnMouseUp.
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void EnabledChanged() override;

  bool FMouseInRect = false;
};

class TGuiStitchedButton : public TCustomGuiStitchedButton {
 public:
  using TCustomGuiStitchedButton::TCustomGuiStitchedButton;
  std::string ClassName() const override { return "TGuiStitchedButton"; }
};

}  // namespace kvx
