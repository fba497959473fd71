// The platform's own controls that a layout places: a panel that can size itself to its
// visible children, and a picture that shows an image with straight alpha.
#pragma once

#include <memory>

#include "platform/KVX_Controls.h"
#include "platform/KVX_Streams.h"

namespace kvx {

enum TBevelCut : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };

// A container. With AutoSize it takes the size of its visible children's extent and moves all
// its children so that the extent starts at its top-left corner.
class TPanel : public TCustomControl {
 public:
  explicit TPanel(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TPanel"; }

  TBevelCut BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut Value);
  TBevelCut BevelInner() const { return FBevelInner; }
  void SetBevelInner(TBevelCut Value);

 protected:
  void Paint() override;
  bool CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) override;
  void ControlsChanged() override;

 private:
  TBevelCut FBevelOuter = bvRaised;
  TBevelCut FBevelInner = bvNone;
};

// Decodes an image file into a 32-bit bitmap (straight alpha); answers false when the stream
// holds no image of its kind (the position is then restored by the caller).
using TPictureLoader = bool (*)(TStream& Stream, TBitmap& Bitmap);
// The image units register their decoders (the PNG codec) here.
void RegisterPictureLoader(TPictureLoader Loader);

// The image of a picture control: a 32-bit bitmap with straight alpha.
class TPicture : public TPersistent {
 public:
  TPicture() = default;
  std::string ClassName() const override { return "TPicture"; }
  int32_t Width() const { return FBitmap.Width(); }
  int32_t Height() const { return FBitmap.Height(); }
  TBitmap& Bitmap() { return FBitmap; }
  const TBitmap& Bitmap() const { return FBitmap; }
  // From a bitmap (converted to 32 bits), then OnChange.
  void SetBitmap(const TBitmap& Value);
  // Through the registered loaders; EInvalidOperation "Unknown picture format" when none
  // recognises the stream.
  void LoadFromStream(TStream& Stream);
  // Tells OnChange that the bitmap was changed in place.
  void Changed();
  void Assign(const TPersistent& Source) override;

  TNotifyEvent OnChange;

 private:
  TBitmap FBitmap;
};

// Shows a picture. Transparent blends it over what lies beneath (its transparent pixels let
// the parent show through); otherwise it is blended over the control's colour. Proportional
// scales an image larger than the box down to fit, keeping the aspect ratio (an area-average
// filter); Stretch scales it to the box; Center centres it; AutoSize takes the image's size.
class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TImage"; }

  TPicture& Picture() { return FPicture; }
  const TPicture& Picture() const { return FPicture; }
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  bool Proportional() const { return FProportional; }
  void SetProportional(bool Value);
  bool Stretch() const { return FStretch; }
  void SetStretch(bool Value);
  bool Center() const { return FCenter; }
  void SetCenter(bool Value);
  // Where the image is drawn inside the control (client coordinates).
  TRect DestRect() const;

 protected:
  void Paint() override;
  bool CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) override;
  void Resize() override;

 private:
  void PictureChanged();
  const TBitmap& Scaled();
  TPicture FPicture;
  TBitmap FScaled;
  bool FScaledValid = false;
  bool FTransparent = false;
  bool FProportional = false;
  bool FStretch = false;
  bool FCenter = false;
};

// Scales Source into Dest's size with an area-average (box) filter over straight-alpha
// pixels (colours weighted by alpha, so transparent pixels do not darken the edges).
void ScaleBitmapBox(const TBitmap& Source, TBitmap& Dest);

}  // namespace kvx
