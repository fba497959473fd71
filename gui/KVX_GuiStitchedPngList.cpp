#include "gui/KVX_GuiStitchedPngList.h"

namespace kvx {

TGuiStitchedPNGCollectionItem::TGuiStitchedPNGCollectionItem(TGuiImageCollection* Collection)
    : TGuiCustomStitchedCollectionItem(Collection), FPng(std::make_unique<TPortableNetworkGraphicPixel32>()) {}

TGuiStitchedPNGCollectionItem::~TGuiStitchedPNGCollectionItem() = default;

void TGuiStitchedPNGCollectionItem::RenderPng() {
  // An item without artwork keeps the size its layout gave it.
  if (!FPng || !FPixelMap || FPng->Width() == 0 || FPng->Height() == 0) return;
  FPixelMap->SetSize(FPng->Width(), FPng->Height());
  FPng->DrawToPixelMap(*FPixelMap);
  // The size may not have changed, the pixels have.
  PixelMapResized();
}

void TGuiStitchedPNGCollectionItem::SetPortableNetworkGraphic(const TPortableNetworkGraphicPixel32& Value) {
  if (&Value != FPng.get()) FPng->Assign(Value);
  RenderPng();
  if (Width() != FPng->Width()) SetWidth(FPng->Width());
  if (Height() != FPng->Height()) SetHeight(FPng->Height());
}

TGuiStitchedPNGList::TGuiStitchedPNGList(TComponent* AOwner) : TGuiCustomStitchedList(AOwner) {
  FStitchedCollection = std::make_unique<TGuiStitchedImageCollection>(
      this, [](TGuiImageCollection* Collection) -> std::unique_ptr<TGuiCustomImageCollectionItem> {
        return std::make_unique<TGuiStitchedPNGCollectionItem>(Collection);
      });
}

TGuiStitchedPNGList::~TGuiStitchedPNGList() {
  UnlinkAllControls();
  FStitchedCollection.reset();
}

TGuiStitchedPNGCollectionItem* TGuiStitchedPNGList::GetItems(int32_t Index) const {
  return static_cast<TGuiStitchedPNGCollectionItem*>(GetStitchedItems(Index));
}

TGuiStitchedPNGCollectionItem* TGuiStitchedPNGList::Add() {
  return static_cast<TGuiStitchedPNGCollectionItem*>(FStitchedCollection->Add());
}

void TGuiStitchedPNGList::Loaded() {
  TGuiCustomStitchedList::Loaded();
  for (int32_t i = 0; i < Count(); ++i) GetItems(i)->RenderPng();
}

}  // namespace kvx
