#include "gui/KVX_GuiImageControl.h"

#include <algorithm>

namespace kvx {

namespace {

const char* const CUnit = "KVX_GuiImageControl";

template <class T>
bool Contains(const std::vector<T*>& List, const T* Item) {
  return std::find(List.begin(), List.end(), Item) != List.end();
}

template <class T>
bool Remove(std::vector<T*>& List, const T* Item) {
  auto It = std::find(List.begin(), List.end(), Item);
  if (It == List.end()) return false;
  List.erase(It);
  return true;
}

}  // namespace

// ---- item --------------------------------------------------------------------------------------

TGuiCustomImageCollectionItem::TGuiCustomImageCollectionItem(TGuiImageCollection* Collection)
    : FPixelMap(std::make_unique<TGuiPixelMapMemory>()), FCollection(Collection) {
  FPixelMap->SetOnResize([this](TGuiCustomMap*) { PixelMapResized(); });
}

TGuiCustomImageCollectionItem::~TGuiCustomImageCollectionItem() {
  UnlinkAllControls();
  FPixelMap->SetOnResize(nullptr);
}

int32_t TGuiCustomImageCollectionItem::Index() const {
  return FCollection ? FCollection->IndexOf(this) : -1;
}

void TGuiCustomImageCollectionItem::SetDisplayName(const std::string& Value) {
  if (Value == FDisplayName) return;
  FDisplayName = Value;
  if (OnChange) OnChange(this);
}

void TGuiCustomImageCollectionItem::SetPixelMap(const TGuiCustomPixelMap& Value) {
  // A map's assignment takes over the source's handlers; this item keeps its own.
  TGuiMapEvent OwnChange = FPixelMap->OnChange();
  TGuiMapEvent OwnResize = FPixelMap->OnResize();
  FPixelMap->Assign(Value);
  FPixelMap->SetOnChange(std::move(OwnChange));
  FPixelMap->SetOnResize(std::move(OwnResize));
  // New pixels of an unchanged size reach the controls too.
  PixelMapResized();
}

void TGuiCustomImageCollectionItem::SetWidth(int32_t Value) {
  if (Value >= 0) FPixelMap->SetWidth(Value);
}

void TGuiCustomImageCollectionItem::SetHeight(int32_t Value) {
  if (Value >= 0) FPixelMap->SetHeight(Value);
}

void TGuiCustomImageCollectionItem::PixelMapResized() {
  for (TGuiCustomImageControl* Control : FLinkedControls) Control->RequestBufferUpdateUnlessLocked();
}

void TGuiCustomImageCollectionItem::LinkControl(TGuiCustomImageControl* Control) {
  KVX_ASSERT(Control != nullptr, CUnit);
  if (!Contains(FLinkedControls, Control)) FLinkedControls.push_back(Control);
}

void TGuiCustomImageCollectionItem::UnlinkControl(TGuiCustomImageControl* Control) {
  if (!Remove(FLinkedControls, Control)) return;
  Control->SetImageIndex(-1);
  // A control without a list ignores the index; it must let go of the item all the same.
  if (Control->FImageItem == this) Control->SetImageItem(nullptr);
}

void TGuiCustomImageCollectionItem::UnlinkAllControls() {
  while (!FLinkedControls.empty()) UnlinkControl(FLinkedControls.front());
}

// ---- collection --------------------------------------------------------------------------------

TGuiImageCollection::TGuiImageCollection(TPersistent* Owner, TItemFactory ItemClass)
    : FOwner(Owner), FItemClass(std::move(ItemClass)) {
  KVX_ASSERT(FItemClass != nullptr, CUnit);
}

TGuiImageCollection::~TGuiImageCollection() {
  // ItemRemoving is not called here: a derived collection is already gone. Each item lets go
  // of its controls in its own destructor.
  while (!FItems.empty()) FItems.pop_back();
}

TGuiCustomImageCollectionItem* TGuiImageCollection::Item(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw EArgumentError("List index out of bounds (" + std::to_string(Index) + ")");
  return FItems[static_cast<size_t>(Index)].get();
}

int32_t TGuiImageCollection::IndexOf(const TGuiCustomImageCollectionItem* Item) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == Item) return static_cast<int32_t>(i);
  return -1;
}

TGuiCustomImageCollectionItem* TGuiImageCollection::Add() { return Insert(Count()); }

TGuiCustomImageCollectionItem* TGuiImageCollection::Insert(int32_t Index) {
  std::unique_ptr<TGuiCustomImageCollectionItem> Item = FItemClass(this);
  KVX_ASSERT(Item != nullptr, CUnit);
  Item->FCollection = this;
  Index = std::clamp(Index, 0, Count());
  return FItems.insert(FItems.begin() + Index, std::move(Item))->get();
}

void TGuiImageCollection::Delete(int32_t Index) {
  TGuiCustomImageCollectionItem* Doomed = Item(Index);
  ItemRemoving(Doomed);
  FItems.erase(FItems.begin() + IndexOf(Doomed));
}

std::unique_ptr<TGuiCustomImageCollectionItem> TGuiImageCollection::Extract(
    TGuiCustomImageCollectionItem* Item) {
  const int32_t Index = IndexOf(Item);
  if (Index < 0) return nullptr;
  ItemRemoving(Item);
  std::unique_ptr<TGuiCustomImageCollectionItem> Owned = std::move(FItems[static_cast<size_t>(Index)]);
  FItems.erase(FItems.begin() + Index);
  Owned->FCollection = nullptr;
  return Owned;
}

void TGuiImageCollection::Clear() {
  while (!FItems.empty()) Delete(Count() - 1);
}

void TGuiImageCollection::ItemRemoving(TGuiCustomImageCollectionItem*) {}

// ---- list --------------------------------------------------------------------------------------

TGuiCustomImageList::TGuiCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TGuiCustomImageList::~TGuiCustomImageList() { UnlinkAllControls(); }

void TGuiCustomImageList::LinkControl(TGuiCustomImageControl* Control) {
  KVX_ASSERT(Control != nullptr, CUnit);
  if (!Contains(FLinkedControls, Control)) FLinkedControls.push_back(Control);
}

void TGuiCustomImageList::UnlinkControl(TGuiCustomImageControl* Control) {
  Remove(FLinkedControls, Control);
}

void TGuiCustomImageList::UnlinkAllControls() {
  while (!FLinkedControls.empty()) {
    TGuiCustomImageControl* Control = FLinkedControls.front();
    Control->SetImageList(nullptr);
    // A control that did not name this list as its own must not keep the loop going.
    Remove(FLinkedControls, Control);
  }
}

// ---- control -----------------------------------------------------------------------------------

TGuiCustomImageControl::TGuiCustomImageControl(TComponent* AOwner) : TGuiCustomControl(AOwner) {}

TGuiCustomImageControl::~TGuiCustomImageControl() {
  BeginDestruction();
  SetImageItem(nullptr);
  // Leaving the list too means a list freed later touches no freed control.
  if (FImageList) FImageList->UnlinkControl(this);
  FImageList = nullptr;
}

void TGuiCustomImageControl::SetImageList(TGuiCustomImageList* Value) {
  if (Value == FImageList) return;
  if (Value == nullptr) {
    SetImageItem(nullptr);
    FImageList->UnlinkControl(this);
    FImageList = nullptr;
  } else {
    if (FImageList) FImageList->UnlinkControl(this);
    FImageList = Value;
    FImageList->LinkControl(this);
  }
  ImageListChanged();
}

int32_t TGuiCustomImageControl::ImageIndex() const { return FImageItem ? FImageItem->Index() : -1; }

void TGuiCustomImageControl::SetImageIndex(int32_t Value) {
  if (IsLoading()) {
    FImageIndex = Value;
    return;
  }
  if (!FImageList) return;
  Value = Value < 0 ? -1 : std::min(Value, FImageList->Count() - 1);
  if (Value == ImageIndex()) return;
  FImageIndex = Value;
  SetImageItem(Value < 0 ? nullptr : FImageList->GetItems(Value));
  ImageIndexChanged();
}

void TGuiCustomImageControl::SetImageItem(TGuiCustomImageCollectionItem* Item) {
  if (Item == FImageItem) return;
  // Cleared before unlinking: the item's unlinking comes back here with none.
  TGuiCustomImageCollectionItem* Old = FImageItem;
  FImageItem = nullptr;
  if (Old) Old->UnlinkControl(this);
  FImageItem = Item;
  if (Item) Item->LinkControl(this);
  ImageItemChanged();
}

void TGuiCustomImageControl::EndUpdate() {
  if (FLockCount <= 0) {
    FLockCount = 0;
    throw EInvalidOperation("Control is not locked");
  }
  if (--FLockCount == 0) RequestBufferUpdate();
}

void TGuiCustomImageControl::DoChange() {
  const TComponentState State = ComponentState();
  if (OnChange && !State.Contains(csLoading) && !State.Contains(csDestroying)) OnChange(this);
}

void TGuiCustomImageControl::ImageIndexChanged() { RequestBufferUpdateUnlessLocked(); }

void TGuiCustomImageControl::ImageListChanged() {
  SetImageItem(nullptr);
  RequestBufferUpdateUnlessLocked();
}

void TGuiCustomImageControl::Loaded() {
  TGuiCustomControl::Loaded();
  if (!FImageList) return;
  if (FImageIndex >= FImageList->Count()) {
    FImageIndex = -1;
    SetImageItem(nullptr);
    return;
  }
  if (FImageIndex >= 0) SetImageItem(FImageList->GetItems(FImageIndex));
  ImageIndexChanged();
}

}  // namespace kvx
