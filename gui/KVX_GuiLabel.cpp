#include "gui/KVX_GuiLabel.h"

namespace kvx {

TCustomGuiLabel::TCustomGuiLabel(TComponent* AOwner)
    : TCustomGuiGraphicControl(AOwner), FGuiFont(std::make_unique<TGuiOversampledGDIFont>()) {
  FControlStyle.Exclude(csSetCaption);
  FGuiFont->SetFont(Font());
  FGuiFont->SetOnChange([this](TObject*) { LabelFontChanged(); });
}

TCustomGuiLabel::~TCustomGuiLabel() = default;

void TCustomGuiLabel::SetCaption(const std::string& Value) {
  if (FCaption == Value) return;
  FCaption = Value;
  CaptionChanged();
}

void TCustomGuiLabel::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  AlignmentChanged();
}

void TCustomGuiLabel::SetFontOversampling(TFontOversampling Value) {
  FGuiFont->SetFontOversampling(Value);
  RequestBufferUpdate();
}

void TCustomGuiLabel::SetShadow(const TGuiShadow& Value) {
  FGuiFont->SetShadow(Value);
  RequestBufferUpdate();
}

void TCustomGuiLabel::LabelFontChanged() { RequestBufferUpdate(); }
void TCustomGuiLabel::AlignmentChanged() { RequestBufferUpdate(); }
void TCustomGuiLabel::CaptionChanged() { RequestBufferUpdate(); }

void TCustomGuiLabel::FontChanged() {
  TCustomGuiGraphicControl::FontChanged();
  FGuiFont->SetFont(Font());
  RequestBufferUpdate();
}

void TCustomGuiLabel::RebuildBuffer() {
  TCustomGuiGraphicControl::RebuildBuffer();
  const int32_t TextWidth = FGuiFont->TextExtent(FCaption).cx;
  int32_t X = 0;
  if (FAlignment == taRightJustify) X = Width() - TextWidth;
  if (FAlignment == taCenter) X = (Width() - TextWidth) / 2;
  FGuiFont->TextOut(FCaption, FBuffer.get(), X, 0);
}

}  // namespace kvx
