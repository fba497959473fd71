#include "gui/KVX_GuiStitchedSwitch.h"

namespace kvx {

TCustomGuiStitchedSwitch::TCustomGuiStitchedSwitch(TComponent* AOwner) : TGuiCustomStitchedControl(AOwner) {}

void TCustomGuiStitchedSwitch::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (!FReadOnly) {
    if (FImageItem) {
      const int32_t Count = GlyphCount();
      if (Button == mbLeft)
        SetGlyphIndex(FGlyphIndex < Count - 1 ? FGlyphIndex + 1 : 0);
      else if (Button == mbRight)
        SetGlyphIndex(FGlyphIndex > 0 ? FGlyphIndex - 1 : Count - 1);
    } else {
      SetGlyphIndex(-1);
    }
  }
  TGuiCustomStitchedControl::MouseDown(Button, Shift, X, Y);
}

void TCustomGuiStitchedSwitch::RebuildBuffer() {
  TGuiCustomStitchedControl::RebuildBuffer();
  if ((FImageList && ImageIndex() >= 0) || !FBuffer) return;
  const TPixel32 Fill = TPixel32::FromARGB(FGlyphIndex == 0 ? 0xFF00FF00u : 0xFFFF0000u);
  FBuffer->FillRect(ClientRect(), Fill);
}

}  // namespace kvx
