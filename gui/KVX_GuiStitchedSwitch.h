// The stitched switch: a multi-position switch whose position is its glyph. A left click steps
// forward, a right click back, both wrapping around.
#pragma once

#include "gui/KVX_GuiStitchedControls.h"

namespace kvx {

class TCustomGuiStitchedSwitch : public TGuiCustomStitchedControl {
 public:
  explicit TCustomGuiStitchedSwitch(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TCustomGuiStitchedSwitch"; }

  // Clicks do not change the position.
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  // Without artwork the switch still shows its state: green at position 0, red otherwise.
  void RebuildBuffer() override;

  bool FReadOnly = false;
};

class TGuiStitchedSwitch : public TCustomGuiStitchedSwitch {
 public:
  using TCustomGuiStitchedSwitch::TCustomGuiStitchedSwitch;
  std::string ClassName() const override { return "TGuiStitchedSwitch"; }
};

}  // namespace kvx
