// Image items, image lists and the image control. An item holds one decoded picture; a list
// holds items; an image control shows one item of one list. Items and lists know the controls
// linked to them and controls know their item and list, so that a change or the removal of
// either side reaches the other and no side keeps a reference to a freed object.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/KVX_GuiCustomControl.h"
#include "gui/KVX_GuiPixelMap.h"
#include "platform/KVX_Classes.h"

namespace kvx {

class TGuiCustomImageControl;
class TGuiImageCollection;

// One picture of an image list.
class TGuiCustomImageCollectionItem : public TPersistent {
 public:
  explicit TGuiCustomImageCollectionItem(TGuiImageCollection* Collection);
  // Lets go of every linked control first.
  ~TGuiCustomImageCollectionItem() override;
  std::string ClassName() const override { return "TGuiCustomImageCollectionItem"; }

  TGuiImageCollection* Collection() const { return FCollection; }
  // The position in the collection, -1 outside one.
  int32_t Index() const;

  const std::string& DisplayName() const { return FDisplayName; }
  void SetDisplayName(const std::string& Value);
  // The decoded picture. Setting it copies size and pixels but keeps this item's own map
  // handlers, so the item still hears of the map's resizes.
  TGuiCustomPixelMap& PixelMap() const { return *FPixelMap; }
  void SetPixelMap(const TGuiCustomPixelMap& Value);
  int32_t Width() const { return FPixelMap->Width(); }
  int32_t Height() const { return FPixelMap->Height(); }
  // Negative values are ignored.
  void SetWidth(int32_t Value);
  void SetHeight(int32_t Value);

  // Controls showing this item; the list does not own them.
  void LinkControl(TGuiCustomImageControl* Control);
  // Removes a control this item holds and makes it let go of the item; any other control is
  // left alone.
  void UnlinkControl(TGuiCustomImageControl* Control);
  void UnlinkAllControls();
  int32_t LinkedControlCount() const { return static_cast<int32_t>(FLinkedControls.size()); }
  TGuiCustomImageControl* LinkedControl(int32_t Index) const {
    return FLinkedControls[static_cast<size_t>(Index)];
  }

  TNotifyEvent OnChange;

 protected:
  // The picture changed size: every linked control that is not locked redraws.
  virtual void PixelMapResized();

  std::string FDisplayName;
  std::unique_ptr<TGuiCustomPixelMap> FPixelMap;
  std::vector<TGuiCustomImageControl*> FLinkedControls;

 private:
  friend class TGuiImageCollection;
  TGuiImageCollection* FCollection;
};

// A collection that owns its items; an item knows its collection and its index in it.
class TGuiImageCollection : public TPersistent {
 public:
  using TItemFactory = std::function<std::unique_ptr<TGuiCustomImageCollectionItem>(TGuiImageCollection*)>;

  TGuiImageCollection(TPersistent* Owner, TItemFactory ItemClass);
  // Frees the items, the last one first; each lets go of its controls.
  ~TGuiImageCollection() override;
  std::string ClassName() const override { return "TGuiImageCollection"; }

  TPersistent* Owner() const { return FOwner; }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // The item at Index; an index outside 0 .. Count - 1 raises EArgumentError naming it.
  TGuiCustomImageCollectionItem* Item(int32_t Index) const;
  int32_t IndexOf(const TGuiCustomImageCollectionItem* Item) const;

  // A new item of the collection's item class, at the end or at Index (clamped to 0 .. Count).
  TGuiCustomImageCollectionItem* Add();
  TGuiCustomImageCollectionItem* Insert(int32_t Index);
  // Removes and frees the item at Index (its controls let go of it first).
  void Delete(int32_t Index);
  // Removes the item without freeing it; the caller owns it.
  std::unique_ptr<TGuiCustomImageCollectionItem> Extract(TGuiCustomImageCollectionItem* Item);
  void Clear();

 protected:
  // An item leaves the collection (deleted, extracted or cleared); the base does nothing.
  virtual void ItemRemoving(TGuiCustomImageCollectionItem* Item);

 private:
  TPersistent* FOwner;
  TItemFactory FItemClass;
  std::vector<std::unique_ptr<TGuiCustomImageCollectionItem>> FItems;
};

// A component holding image items.
class TGuiCustomImageList : public TComponent {
 public:
  explicit TGuiCustomImageList(TComponent* AOwner = nullptr);
  // Lets go of every linked control (each control's list becomes none).
  ~TGuiCustomImageList() override;
  std::string ClassName() const override { return "TGuiCustomImageList"; }

  virtual int32_t Count() const = 0;
  // The item at Index; an index outside 0 .. Count - 1 raises EArgumentError naming it.
  virtual TGuiCustomImageCollectionItem* GetItems(int32_t Index) const = 0;
  TGuiCustomImageCollectionItem* Items(int32_t Index) const { return GetItems(Index); }

  void LinkControl(TGuiCustomImageControl* Control);
  void UnlinkControl(TGuiCustomImageControl* Control);
  // Sets each linked control's list to none.
  void UnlinkAllControls();
  int32_t LinkedControlCount() const { return static_cast<int32_t>(FLinkedControls.size()); }

 protected:
  std::vector<TGuiCustomImageControl*> FLinkedControls;
};

// A windowed control showing one item of an image list.
class TGuiCustomImageControl : public TGuiCustomControl {
 public:
  explicit TGuiCustomImageControl(TComponent* AOwner = nullptr);
  // Lets go of its item and of its list.
  ~TGuiCustomImageControl() override;
  std::string ClassName() const override { return "TGuiCustomImageControl"; }

  TGuiCustomImageList* ImageList() const { return FImageList; }
  void SetImageList(TGuiCustomImageList* Value);
  // The linked item's index in its collection, -1 without an item.
  int32_t ImageIndex() const;
  // While loading only stored; otherwise clamped to -1 .. Count - 1 and ignored without a list.
  void SetImageIndex(int32_t Value);
  TGuiCustomImageCollectionItem* ImageItem() const { return FImageItem; }
  // Links the control to Item (or to none), unlinking it from the previous item first.
  void SetImageItem(TGuiCustomImageCollectionItem* Item);

  // Update locks: while locked, changes do not redraw; the last EndUpdate redraws once.
  void BeginUpdate() { ++FLockCount; }
  // Without a matching BeginUpdate: EInvalidOperation "Control is not locked".
  void EndUpdate();
  int32_t LockCount() const { return FLockCount; }

  TNotifyEvent OnChange;

 protected:
  // Fires OnChange unless the control is loading or being destroyed.
  virtual void DoChange();
  virtual void ImageIndexChanged();
  virtual void ImageListChanged();
  virtual void ImageItemChanged() {}
  void Loaded() override;
  bool IsLoading() const { return ComponentState().Contains(csLoading); }
  void RequestBufferUpdateUnlessLocked() {
    if (FLockCount == 0) RequestBufferUpdate();
  }

  TGuiCustomImageList* FImageList = nullptr;
  TGuiCustomImageCollectionItem* FImageItem = nullptr;
  int32_t FImageIndex = -1;
  int32_t FLockCount = 0;

 private:
  friend class TGuiCustomImageCollectionItem;
};

}  // namespace kvx
