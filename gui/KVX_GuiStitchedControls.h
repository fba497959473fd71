// Stitched images: one picture holding every frame (glyph) of a control side by side or stacked;
// their items, collection and list, and the stitched control that shows exactly one glyph. The
// dial, switch and button derive from the stitched control and only decide which glyph it is.
#pragma once

#include <cstdint>

#include "gui/KVX_GuiImageControl.h"
#include "gui/KVX_GuiPixelMap.h"

namespace kvx {

// How the glyphs of a stitched picture are laid out: left to right, or top to bottom.
enum TGuiStitchKind : uint8_t { skHorizontal, skVertical };

// Blends glyph GlyphIndex of Picture over Target, whose size is the control's: the glyph's
// top-left pixel is column GlyphIndex x Target width of row 0 (horizontal) or row GlyphIndex x
// Target height (vertical). Only the part of that glyph lying inside both the picture and the
// target is drawn, so a control larger than its glyph, a cut-short last glyph or a control wider
// than the picture never reads outside the picture. When the sizes agree, a vertical glyph is
// one block, blended with a single row call.
void DrawStitchedGlyph(const TGuiCustomPixelMap& Picture, TGuiStitchKind Kind, int32_t GlyphIndex,
                       TGuiCustomPixelMap& Target);

class TGuiCustomStitchedControl;

// An item whose picture holds GlyphCount glyphs of equal size.
class TGuiCustomStitchedCollectionItem : public TGuiCustomImageCollectionItem {
 public:
  using TGuiCustomImageCollectionItem::TGuiCustomImageCollectionItem;
  std::string ClassName() const override { return "TGuiCustomStitchedCollectionItem"; }

  int32_t GlyphCount() const { return FGlyphCount; }
  // A count of 0 or less raises EArgumentError and keeps the count.
  void SetGlyphCount(int32_t Value);
  TGuiStitchKind StitchKind() const { return FStitchKind; }
  void SetStitchKind(TGuiStitchKind Value);

 protected:
  // Linked controls showing a glyph past the new count move to the last glyph; auto-sized ones
  // take the new glyph size.
  virtual void GlyphCountChanged();
  virtual void StitchKindChanged();

  int32_t FGlyphCount = 1;
  TGuiStitchKind FStitchKind = skHorizontal;

 private:
  template <class F>
  void ForEachStitchedControl(F&& Action);
};

// The items of a stitched list. A removed item lets go of its controls first, so that no control
// keeps showing it.
class TGuiStitchedImageCollection : public TGuiImageCollection {
 public:
  using TGuiImageCollection::TGuiImageCollection;
  std::string ClassName() const override { return "TGuiStitchedImageCollection"; }

  TGuiCustomStitchedCollectionItem* Add() { return Typed(TGuiImageCollection::Add()); }
  TGuiCustomStitchedCollectionItem* Insert(int32_t Index) { return Typed(TGuiImageCollection::Insert(Index)); }
  TGuiCustomStitchedCollectionItem* GetItem(int32_t Index) const { return Typed(Item(Index)); }
  TGuiCustomStitchedCollectionItem* Items(int32_t Index) const { return GetItem(Index); }
  // Copies Value into the item at Index.
  void SetItem(int32_t Index, const TGuiCustomStitchedCollectionItem& Value);

 protected:
  void ItemRemoving(TGuiCustomImageCollectionItem* Item) override;

 private:
  static TGuiCustomStitchedCollectionItem* Typed(TGuiCustomImageCollectionItem* Item);
};

// An image list of stitched items.
class TGuiCustomStitchedList : public TGuiCustomImageList {
 public:
  using TGuiCustomImageList::TGuiCustomImageList;
  std::string ClassName() const override { return "TGuiCustomStitchedList"; }

  TGuiCustomImageCollectionItem* GetItems(int32_t Index) const override { return GetStitchedItems(Index); }
  TGuiCustomStitchedCollectionItem* GetStitchedItems(int32_t Index) const;
  TGuiStitchedImageCollection* StitchedCollection() const { return FStitchedCollection.get(); }

 protected:
  std::unique_ptr<TGuiStitchedImageCollection> FStitchedCollection;
};

// An image control showing one glyph of a stitched item.
class TGuiCustomStitchedControl : public TGuiCustomImageControl {
 public:
  explicit TGuiCustomStitchedControl(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TGuiCustomStitchedControl"; }

  // The linked list if it is a stitched list, else none.
  TGuiCustomStitchedList* ImageList() const { return dynamic_cast<TGuiCustomStitchedList*>(FImageList); }
  // The item's glyph count, 0 without an item.
  int32_t GlyphCount() const;
  // The glyph shown, -1 for none. Clamped to 0 .. GlyphCount - 1 with an item; -1 without one.
  int32_t GlyphIndex() const { return FGlyphIndex; }
  void SetGlyphIndex(int32_t Value);
  int32_t DefaultGlyphIndex() const { return FDefaultGlyphIndex; }
  void SetDefaultGlyphIndex(int32_t Value);
  // Auto-size makes the control the size of one glyph.
  void SetAutoSize(bool Value);
  // The linked item as a stitched item; an item of another kind is an assertion failure.
  TGuiCustomStitchedCollectionItem* StitchedItem() const;

  // Sizes the control to one glyph of its item (nothing without an item or glyphs).
  virtual void UpdateSizeToGlyph();

 protected:
  virtual void DoGlyphChange() { DoChange(); }
  virtual void DefaultGlyphIndexChanged() {}
  virtual void GlyphIndexChanged();
  void RebuildBuffer() override;
  void ImageItemChanged() override;
  void Loaded() override;
  bool CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) override;
  // The glyph size of the linked item; false without an item or glyphs.
  bool GlyphSize(int32_t& Width, int32_t& Height) const;
  int32_t ClampGlyph(int32_t Value) const;

  int32_t FGlyphIndex = -1;
  int32_t FDefaultGlyphIndex = -1;
};

}  // namespace kvx
