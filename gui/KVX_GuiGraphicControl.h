// The windowless buffered control: painted by its parent onto the parent's surface, from the
// same two maps as the windowed one (KVX_GuiCustomControl). Its background is always made
// opaque, so the copy to the parent's surface needs no blending.
#pragma once

#include "gui/KVX_GuiCustomControl.h"

namespace kvx {

class TCustomGuiGraphicControl : public TGuiBufferedControl<TGraphicControl> {
 public:
  explicit TCustomGuiGraphicControl(TComponent* AOwner = nullptr);
  ~TCustomGuiGraphicControl() override;
  std::string ClassName() const override { return "TCustomGuiGraphicControl"; }

  void Update() override;

 protected:
  // Rebuilds what is stale, lets OnPaint run, then copies the composed map out.
  void Paint() override;
  // The control's colour over its client rectangle, or the parent's image behind it; either
  // way made opaque.
  void RebuildBackBuffer() override;
  const char* UnitName() const override { return "KVX_GuiGraphicControl"; }
};

}  // namespace kvx
