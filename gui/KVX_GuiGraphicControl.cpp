#include "gui/KVX_GuiGraphicControl.h"

namespace kvx {

TCustomGuiGraphicControl::TCustomGuiGraphicControl(TComponent* AOwner) : TGuiBufferedControl(AOwner) {}

TCustomGuiGraphicControl::~TCustomGuiGraphicControl() = default;

void TCustomGuiGraphicControl::Update() { TGraphicControl::Update(); }

void TCustomGuiGraphicControl::Paint() {
  TGraphicControl::Paint();
  if (!FBuffer) return;
  RebuildStale();
  if (OnPaint) OnPaint(this);
  FBuffer->PaintTo(Canvas());
}

void TCustomGuiGraphicControl::RebuildBackBuffer() {
  FUpdateBackBuffer = false;
  if (FTransparent)
    FBackBuffer->CopyParentImage(*this);
  else
    FBackBuffer->FillRect(ClientRect(), ColorToPixel32(Color()));
  FBackBuffer->MakeOpaque();
  FUpdateBuffer = true;
}

}  // namespace kvx
