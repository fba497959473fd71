#include "gui/KVX_GuiStitchedControls.h"

#include <algorithm>

namespace kvx {

void DrawStitchedGlyph(const TGuiCustomPixelMap& Picture, TGuiStitchKind Kind, int32_t GlyphIndex,
                       TGuiCustomPixelMap& Target) {
  if (GlyphIndex < 0 || Picture.IsEmpty() || Target.IsEmpty()) return;
  const int64_t Width = Target.Width();
  const int64_t Height = Target.Height();
  // The glyph's origin in the picture; 64-bit so that a large index cannot wrap around.
  int64_t SourceX = 0, SourceY = 0;
  if (Kind == skHorizontal) {
    SourceX = GlyphIndex * Width;
  } else if (Kind == skVertical) {
    SourceY = GlyphIndex * Height;
  } else {
    return;
  }
  if (SourceX >= Picture.Width() || SourceY >= Picture.Height()) return;
  const int32_t Columns = static_cast<int32_t>(std::min<int64_t>(Width, Picture.Width() - SourceX));
  const int32_t Rows = static_cast<int32_t>(std::min<int64_t>(Height, Picture.Height() - SourceY));
  const TPixel32* Source = Picture.GetScanLine(static_cast<int32_t>(SourceY)) + SourceX;
  if (Columns == Width && Columns == Picture.Width()) {
    // Rows of glyph and target are one contiguous run each.
    OpaqueBlendRow(Source, Target.DataPointer(), Columns * Rows);
    return;
  }
  for (int32_t y = 0; y < Rows; ++y)
    OpaqueBlendRow(Source + int64_t{y} * Picture.Width(), Target.GetScanLine(y), Columns);
}

namespace {
const char* const CUnit = "KVX_GuiStitchedControls";
}

// ---- item --------------------------------------------------------------------------------------

template <class F>
void TGuiCustomStitchedCollectionItem::ForEachStitchedControl(F&& Action) {
  // Over a copy: an action runs the controls' change handlers, which may link or unlink.
  const std::vector<TGuiCustomImageControl*> Controls = FLinkedControls;
  for (TGuiCustomImageControl* Control : Controls)
    if (auto* Stitched = dynamic_cast<TGuiCustomStitchedControl*>(Control)) Action(*Stitched);
}

void TGuiCustomStitchedCollectionItem::SetGlyphCount(int32_t Value) {
  if (Value <= 0) throw EArgumentError("Glyph count must be positive (" + std::to_string(Value) + ")");
  if (Value == FGlyphCount) return;
  FGlyphCount = Value;
  GlyphCountChanged();
}

void TGuiCustomStitchedCollectionItem::SetStitchKind(TGuiStitchKind Value) {
  if (Value == FStitchKind) return;
  FStitchKind = Value;
  StitchKindChanged();
}

void TGuiCustomStitchedCollectionItem::GlyphCountChanged() {
  ForEachStitchedControl([this](TGuiCustomStitchedControl& Control) {
    if (Control.DefaultGlyphIndex() >= FGlyphCount) Control.SetDefaultGlyphIndex(FGlyphCount - 1);
    if (Control.GlyphIndex() >= FGlyphCount) Control.SetGlyphIndex(FGlyphCount - 1);
    if (Control.AutoSize()) Control.UpdateSizeToGlyph();
  });
}

void TGuiCustomStitchedCollectionItem::StitchKindChanged() {
  ForEachStitchedControl([](TGuiCustomStitchedControl& Control) {
    if (Control.AutoSize()) Control.UpdateSizeToGlyph();
  });
}

// ---- collection and list -----------------------------------------------------------------------

TGuiCustomStitchedCollectionItem* TGuiStitchedImageCollection::Typed(TGuiCustomImageCollectionItem* Item) {
  auto* Stitched = dynamic_cast<TGuiCustomStitchedCollectionItem*>(Item);
  KVX_ASSERT(Stitched != nullptr || Item == nullptr, CUnit);
  return Stitched;
}

void TGuiStitchedImageCollection::SetItem(int32_t Index, const TGuiCustomStitchedCollectionItem& Value) {
  TGuiCustomStitchedCollectionItem* Target = GetItem(Index);
  if (Target == &Value) return;
  Target->SetDisplayName(Value.DisplayName());
  Target->SetPixelMap(Value.PixelMap());
  Target->SetStitchKind(Value.StitchKind());
  Target->SetGlyphCount(Value.GlyphCount());
}

void TGuiStitchedImageCollection::ItemRemoving(TGuiCustomImageCollectionItem* Item) {
  TGuiImageCollection::ItemRemoving(Item);
  if (auto* Stitched = dynamic_cast<TGuiCustomStitchedCollectionItem*>(Item)) Stitched->UnlinkAllControls();
}

TGuiCustomStitchedCollectionItem* TGuiCustomStitchedList::GetStitchedItems(int32_t Index) const {
  KVX_ASSERT(FStitchedCollection != nullptr, CUnit);
  return FStitchedCollection->GetItem(Index);
}

// ---- control -----------------------------------------------------------------------------------

TGuiCustomStitchedControl::TGuiCustomStitchedControl(TComponent* AOwner) : TGuiCustomImageControl(AOwner) {
  FDefaultGlyphIndex = 0;
}

TGuiCustomStitchedCollectionItem* TGuiCustomStitchedControl::StitchedItem() const {
  if (!FImageItem) return nullptr;
  auto* Item = dynamic_cast<TGuiCustomStitchedCollectionItem*>(FImageItem);
  KVX_ASSERT(Item != nullptr, CUnit);
  return Item;
}

int32_t TGuiCustomStitchedControl::GlyphCount() const {
  const TGuiCustomStitchedCollectionItem* Item = StitchedItem();
  return Item ? Item->GlyphCount() : 0;
}

int32_t TGuiCustomStitchedControl::ClampGlyph(int32_t Value) const {
  if (!FImageItem) return -1;
  return std::clamp(Value, 0, std::max(GlyphCount() - 1, 0));
}

void TGuiCustomStitchedControl::SetGlyphIndex(int32_t Value) {
  if (IsLoading()) {
    FGlyphIndex = Value;
    return;
  }
  Value = ClampGlyph(Value);
  if (Value == FGlyphIndex) return;
  FGlyphIndex = Value;
  GlyphIndexChanged();
}

void TGuiCustomStitchedControl::SetDefaultGlyphIndex(int32_t Value) {
  if (IsLoading()) {
    FDefaultGlyphIndex = Value;
    return;
  }
  Value = ClampGlyph(Value);
  if (Value == FDefaultGlyphIndex) return;
  FDefaultGlyphIndex = Value;
  DefaultGlyphIndexChanged();
}

void TGuiCustomStitchedControl::GlyphIndexChanged() {
  DoGlyphChange();
  RequestBufferUpdateUnlessLocked();
}

void TGuiCustomStitchedControl::SetAutoSize(bool Value) {
  if (Value == AutoSize()) return;
  TGuiCustomImageControl::SetAutoSize(Value);
  if (Value) UpdateSizeToGlyph();
}

bool TGuiCustomStitchedControl::GlyphSize(int32_t& Width, int32_t& Height) const {
  const TGuiCustomStitchedCollectionItem* Item = StitchedItem();
  if (!Item || Item->GlyphCount() == 0) return false;
  Width = Item->Width();
  Height = Item->Height();
  if (Item->StitchKind() == skVertical)
    Height /= Item->GlyphCount();
  else
    Width /= Item->GlyphCount();
  return true;
}

bool TGuiCustomStitchedControl::CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) {
  return GlyphSize(NewWidth, NewHeight);
}

void TGuiCustomStitchedControl::UpdateSizeToGlyph() {
  int32_t W, H;
  if (GlyphSize(W, H)) SetBounds(Left(), Top(), W, H);
}

void TGuiCustomStitchedControl::ImageItemChanged() {
  TGuiCustomImageControl::ImageItemChanged();
  if (FImageItem && AutoSize()) UpdateSizeToGlyph();
  SetGlyphIndex(-1);
}

void TGuiCustomStitchedControl::RebuildBuffer() {
  TGuiCustomImageControl::RebuildBuffer();
  const TGuiCustomStitchedCollectionItem* Item = StitchedItem();
  if (!Item || FGlyphIndex < 0 || Item->GlyphCount() == 0) return;
  DrawStitchedGlyph(Item->PixelMap(), Item->StitchKind(), FGlyphIndex, *FBuffer);
}

void TGuiCustomStitchedControl::Loaded() {
  TGuiCustomImageControl::Loaded();
  if (!FImageItem) return;
  if (FGlyphIndex >= GlyphCount()) FGlyphIndex = -1;
  if (FDefaultGlyphIndex >= GlyphCount()) FDefaultGlyphIndex = -1;
}

}  // namespace kvx
