// The buffered control base: a control that draws itself off-screen into two 32-bit pixel maps,
// a background map (its colour, or the parent's image behind it when transparent) and a composed
// map (background plus foreground), and paints by copying the composed map in one go. Each map is
// rebuilt only when its flag says it is stale, so a plain repaint costs one copy.
//
// TGuiBufferedControl holds what the windowed and the windowless base share; TGuiCustomControl
// (windowed, this unit) and TCustomGuiGraphicControl (windowless, KVX_GuiGraphicControl) add how
// each paints and fills its background.
#pragma once

#include <cstring>
#include <memory>

#include "gui/KVX_GuiPixelMap.h"
#include "platform/KVX_Controls.h"

namespace kvx {

template <class TBase>
class TGuiBufferedControl : public TBase {
 public:
  explicit TGuiBufferedControl(TComponent* AOwner)
      : TBase(AOwner),
        FBuffer(std::make_unique<TGuiPixelMapMemory>()),
        FBackBuffer(std::make_unique<TGuiPixelMapMemory>()) {
    // The control covers its whole rectangle: nothing needs to be erased beneath it.
    this->FControlStyle.Include(csOpaque);
  }
  ~TGuiBufferedControl() override {
    FBuffer.reset();
    FBackBuffer.reset();
  }

  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value) {
    if (Value == FTransparent) return;
    FTransparent = Value;
    TransparencyChanged();
  }

  // The foreground changed: the composed map is rebuilt at the next paint.
  void RequestBufferUpdate() {
    FUpdateBuffer = true;
    this->Invalidate();
  }
  // What lies behind the control changed: both maps are rebuilt at the next paint.
  void RequestBackBufferUpdate() {
    FUpdateBackBuffer = true;
    this->Invalidate();
  }

  // The maps and their flags, for descendants and for inspection.
  const TGuiCustomPixelMap* Buffer() const { return FBuffer.get(); }
  const TGuiCustomPixelMap* BackBuffer() const { return FBackBuffer.get(); }
  bool BufferUpdatePending() const { return FUpdateBuffer; }
  bool BackBufferUpdatePending() const { return FUpdateBackBuffer; }

  // Called by the windowless control while it paints, before its buffer is copied out. The
  // windowed control keeps it for the layout but paints from its buffer alone.
  TNotifyEvent OnPaint;

 protected:
  // Fills the background map and marks the composed map stale.
  virtual void RebuildBackBuffer() = 0;
  // Composes the buffer: the base copies the background; descendants call it first and then
  // draw their foreground into FBuffer.
  virtual void RebuildBuffer() {
    FUpdateBuffer = false;
    const char* Unit = UnitName();
    KVX_ASSERT(FBuffer && FBackBuffer, Unit);
    KVX_ASSERT(FBuffer->Width() == FBackBuffer->Width() && FBuffer->Height() == FBackBuffer->Height(),
               Unit);
    // The maps' own size is what is copied; that it is the control's is checked so that a map
    // lagging a resize shows up as an error instead of an overrun.
    KVX_ASSERT(FBuffer->Width() == this->Width() && FBuffer->Height() == this->Height(), Unit);
    if (FBuffer->DataSize() > 0)
      std::memcpy(FBuffer->DataPointer(), FBackBuffer->DataPointer(),
                  static_cast<size_t>(FBuffer->DataSize()));
  }
  virtual void TransparencyChanged() { RequestBackBufferUpdate(); }
  // The unit named by assertion failures.
  virtual const char* UnitName() const = 0;

  // Runs the rebuilds the flags ask for.
  void RebuildStale() {
    if (FUpdateBackBuffer) RebuildBackBuffer();
    if (FUpdateBuffer) RebuildBuffer();
  }

  // Both maps follow the control's size; the background must be rebuilt for it.
  void Resize() override {
    FBuffer->SetSize(this->Width(), this->Height());
    FBackBuffer->SetSize(this->Width(), this->Height());
    RequestBackBufferUpdate();
    TBase::Resize();
  }
  // The maps get their final size once the layout has been applied.
  void Loaded() override {
    TBase::Loaded();
    Resize();
  }
  void ColorChanged() override {
    TBase::ColorChanged();
    if (!FTransparent) RequestBackBufferUpdate();
  }

  bool FUpdateBackBuffer = false;
  bool FUpdateBuffer = false;
  bool FTransparent = false;
  std::unique_ptr<TGuiCustomPixelMap> FBuffer;
  std::unique_ptr<TGuiCustomPixelMap> FBackBuffer;
};

// A windowed buffered control: the base of the image and stitched controls.
class TGuiCustomControl : public TGuiBufferedControl<TCustomControl> {
 public:
  explicit TGuiCustomControl(TComponent* AOwner = nullptr);
  ~TGuiCustomControl() override;
  std::string ClassName() const override { return "TGuiCustomControl"; }

 protected:
  void Paint() override;
  // The control's colour, or the parent's image behind it (its alpha kept as the parent gave it).
  void RebuildBackBuffer() override;
  const char* UnitName() const override { return "KVX_GuiCustomControl"; }
  void ParentColorChanged() override;
  // A transparent control shows a different part of its parent after a move.
  void Moved() override;
};

}  // namespace kvx
