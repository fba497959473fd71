#include "gui/KVX_GuiStitchedButton.h"

namespace kvx {

TCustomGuiStitchedButton::TCustomGuiStitchedButton(TComponent* AOwner) : TGuiCustomStitchedControl(AOwner) {}

void TCustomGuiStitchedButton::Click() {
  if (Enabled()) TGuiCustomStitchedControl::Click();
}

void TCustomGuiStitchedButton::MouseDown(TMouseButton, TShiftState, int32_t, int32_t) {
  if (Enabled() && FImageItem && GlyphCount() > 1) SetGlyphIndex(1);
}

void TCustomGuiStitchedButton::MouseUp(TMouseButton, TShiftState, int32_t, int32_t) {
  if (!Enabled() || !FImageItem) return;
  if (GlyphCount() > 3) {
    if (FMouseInRect) SetGlyphIndex(3);
  } else {
    SetGlyphIndex(0);
  }
}

void TCustomGuiStitchedButton::MouseEnter() {
  TGuiCustomStitchedControl::MouseEnter();
  FMouseInRect = true;
  if (Enabled() && FImageItem && GlyphCount() > 3 && FGlyphIndex == 0) SetGlyphIndex(3);
}

void TCustomGuiStitchedButton::MouseLeave() {
  TGuiCustomStitchedControl::MouseLeave();
  FMouseInRect = false;
  if (Enabled() && FImageItem && FGlyphIndex == 3) SetGlyphIndex(0);
}

void TCustomGuiStitchedButton::EnabledChanged() {
  TGuiCustomStitchedControl::EnabledChanged();
  if (!FImageItem) return;
  if (GlyphCount() > 2 && !Enabled())
    SetGlyphIndex(2);
  else if (GlyphCount() > 3 && FMouseInRect)
    SetGlyphIndex(3);
  else
    SetGlyphIndex(0);
}

}  // namespace kvx
