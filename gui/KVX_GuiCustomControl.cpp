#include "gui/KVX_GuiCustomControl.h"

namespace kvx {

TGuiCustomControl::TGuiCustomControl(TComponent* AOwner) : TGuiBufferedControl(AOwner) {
  FControlStyle.Exclude(csFramed);
}

TGuiCustomControl::~TGuiCustomControl() = default;

void TGuiCustomControl::Paint() {
  TCustomControl::Paint();
  RebuildStale();
  if (FBuffer) FBuffer->PaintTo(Canvas());
}

void TGuiCustomControl::RebuildBackBuffer() {
  FUpdateBackBuffer = false;
  if (FTransparent)
    FBackBuffer->CopyParentImage(*this);
  else
    FBackBuffer->FillRect(0, 0, FBackBuffer->Width(), FBackBuffer->Height(), ColorToPixel32(Color()));
  FUpdateBuffer = true;
}

void TGuiCustomControl::ParentColorChanged() {
  TCustomControl::ParentColorChanged();
  if (!FTransparent) RequestBackBufferUpdate();
}

void TGuiCustomControl::Moved() {
  TCustomControl::Moved();
  if (FTransparent) RequestBackBufferUpdate();
}

}  // namespace kvx
