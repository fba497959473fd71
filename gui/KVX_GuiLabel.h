// The label: a windowless control that draws its caption through an oversampled font (smooth
// text whatever the platform's own antialiasing), with an optional drop shadow.
#pragma once

#include <memory>
#include <string>

#include "gui/KVX_GuiFont.h"
#include "gui/KVX_GuiGraphicControl.h"

namespace kvx {

enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };

class TCustomGuiLabel : public TCustomGuiGraphicControl {
 public:
  explicit TCustomGuiLabel(TComponent* AOwner = nullptr);
  ~TCustomGuiLabel() override;
  std::string ClassName() const override { return "TCustomGuiLabel"; }

  // The label's own caption (the platform's name is never copied into it).
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TFontOversampling FontOversampling() const { return FGuiFont->FontOversampling(); }
  void SetFontOversampling(TFontOversampling Value);
  // The GUI font's shadow; setting one copies its settings into it.
  TGuiShadow& Shadow() { return FGuiFont->Shadow(); }
  void SetShadow(const TGuiShadow& Value);
  TGuiOversampledGDIFont& GuiFont() { return *FGuiFont; }

 protected:
  virtual void LabelFontChanged();
  virtual void AlignmentChanged();
  virtual void CaptionChanged();

  // The background, then the caption with its top at the control's top, placed by Alignment
  // (a caption wider than the label starts left of it and is clipped on both sides).
  void RebuildBuffer() override;
  void FontChanged() override;
  const char* UnitName() const override { return "KVX_GuiLabel"; }

 private:
  std::unique_ptr<TGuiOversampledGDIFont> FGuiFont;
  TAlignment FAlignment = taLeftJustify;
  std::string FCaption;
};

class TGuiLabel : public TCustomGuiLabel {
 public:
  using TCustomGuiLabel::TCustomGuiLabel;
  std::string ClassName() const override { return "TGuiLabel"; }
};

}  // namespace kvx
