// The stitched image list of the editor: items whose pictures come from PNG files stored in the
// layout, decoded once after loading.
#pragma once

#include <memory>

#include "gui/KVX_GuiStitchedControls.h"
#include "png/KVX_GuiPng.h"

namespace kvx {

class TGuiStitchedPNGCollectionItem : public TGuiCustomStitchedCollectionItem {
 public:
  explicit TGuiStitchedPNGCollectionItem(TGuiImageCollection* Collection);
  ~TGuiStitchedPNGCollectionItem() override;
  std::string ClassName() const override { return "TGuiStitchedPNGCollectionItem"; }

  TPortableNetworkGraphicPixel32& PortableNetworkGraphic() const { return *FPng; }
  // Takes a copy of Value, decodes it into the picture and takes its size.
  void SetPortableNetworkGraphic(const TPortableNetworkGraphicPixel32& Value);
  // Decodes the PNG into the picture, sized to the PNG; linked controls redraw.
  void RenderPng();

 protected:
  std::unique_ptr<TPortableNetworkGraphicPixel32> FPng;
};

class TGuiStitchedPNGList : public TGuiCustomStitchedList {
 public:
  explicit TGuiStitchedPNGList(TComponent* AOwner = nullptr);
  // Lets go of the linked controls, then frees the items.
  ~TGuiStitchedPNGList() override;
  std::string ClassName() const override { return "TGuiStitchedPNGList"; }

  int32_t Count() const override { return FStitchedCollection->Count(); }
  TGuiStitchedPNGCollectionItem* GetItems(int32_t Index) const override;
  TGuiStitchedImageCollection& StitchedPNGs() const { return *FStitchedCollection; }
  // A new item at the end.
  TGuiStitchedPNGCollectionItem* Add();

 protected:
  // The artwork becomes pixels once the whole layout is there.
  void Loaded() override;
};

}  // namespace kvx
