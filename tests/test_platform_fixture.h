// Shared by the window-system layer suites: controls that fill themselves with one colour and
// record what they receive, and a headless form with a panel, a picture, two windowless and
// two windowed controls.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/KVX_ExtCtrls.h"
#include "platform/KVX_Forms.h"
#include "platform/KVX_HeadlessBackend.h"
#include "platform/KVX_Timers.h"

namespace kvx::test {

using TLog = std::vector<std::string>;

constexpr uint32_t Opaque(uint32_t RGB) { return 0xFF000000u | RGB; }
// A TColor (0x00BBGGRR or a system colour) as the 0xAARRGGBB word of a surface.
inline uint32_t Argb(TColor Color) { return RGBToARGB(ColorToRGB(Color)); }

// A control that paints its rectangle in Fill and logs "Name:event" lines.
template <class TBase>
class TRecorder : public TBase {
 public:
  TRecorder(TComponent* AOwner, const std::string& Name, TLog* Log, TColor Fill)
      : TBase(AOwner), FLog(Log), FFill(Fill) {
    this->SetName(Name);
  }
  ~TRecorder() override { Add("destroyed"); }
  int Paints = 0;
  TColor Fill() const { return FFill; }
  void SetFill(TColor Value) {
    FFill = Value;
    this->Invalidate();
  }
  using TBase::Canvas;

 protected:
  void Add(const std::string& Event) {
    if (FLog != nullptr) FLog->push_back(this->Name() + ":" + Event);
  }
  static std::string Button(TMouseButton B) { return B == mbLeft ? "L" : B == mbRight ? "R" : "M"; }
  static std::string At(int32_t X, int32_t Y) { return "(" + std::to_string(X) + "," + std::to_string(Y) + ")"; }

  void Paint() override {
    ++Paints;
    this->Canvas().FillRect(this->ClientRect(), FFill);
  }
  void MouseDown(TMouseButton B, TShiftState S, int32_t X, int32_t Y) override {
    Add("down" + Button(B) + At(X, Y));
    TBase::MouseDown(B, S, X, Y);
  }
  void MouseUp(TMouseButton B, TShiftState S, int32_t X, int32_t Y) override {
    Add("up" + Button(B) + At(X, Y));
    TBase::MouseUp(B, S, X, Y);
  }
  void MouseMove(TShiftState S, int32_t X, int32_t Y) override {
    Add("move" + At(X, Y));
    TBase::MouseMove(S, X, Y);
  }
  void Click() override {
    Add("click");
    TBase::Click();
  }
  void DblClick() override {
    Add("dblclick");
    TBase::DblClick();
  }
  bool DoMouseWheel(TShiftState S, int32_t Delta, TPoint P) override {
    Add("wheel(" + std::to_string(Delta) + ")");
    TBase::DoMouseWheel(S, Delta, P);
    return true;
  }
  void MouseEnter() override {
    Add("enter");
    TBase::MouseEnter();
  }
  void MouseLeave() override {
    Add("leave");
    TBase::MouseLeave();
  }
  void Resize() override {
    Add("resize" + At(this->Width(), this->Height()));
    TBase::Resize();
  }
  void Moved() override {
    Add("moved" + At(this->Left(), this->Top()));
    TBase::Moved();
  }
  void ColorChanged() override {
    Add("color");
    TBase::ColorChanged();
  }
  void ParentColorChanged() override {
    Add("parentcolor");
    TBase::ParentColorChanged();
  }
  void FontChanged() override {
    Add("font");
    TBase::FontChanged();
  }
  void EnabledChanged() override {
    Add("enabled");
    TBase::EnabledChanged();
  }
  void Loaded() override {
    Add("loaded");
    TBase::Loaded();
  }

 private:
  TLog* FLog;
  TColor FFill;
};

using TWindowless = TRecorder<TGraphicControl>;
using TWindowed = TRecorder<TCustomControl>;

// Form 254 x 353 (white) > Panel at 10,10 of 200 x 300 (grey, no bevel) >
//   Picture 0,0 100 x 100: left half opaque blue, right half fully transparent (transparent);
//   W1 windowless red at 20,20 30 x 30; W2 windowless green at 120,20 30 x 30;
//   C1 windowed yellow at 20,120 40 x 40; C2 windowed cyan at 120,120 40 x 40.
// All controls are owned by the form; the form is shown and painted once.
class TLayerForm : public ::testing::Test {
 protected:
  static constexpr TColor CForm = 0xFFFFFF;
  static constexpr TColor CPanel = 0x808080;
  static constexpr TColor CRed = 0x0000FF;
  static constexpr TColor CGreen = 0x00FF00;
  static constexpr TColor CYellow = 0x00FFFF;
  static constexpr TColor CCyan = 0xFFFF00;
  static constexpr uint32_t CPictureBlue = 0xFF0000FF;  // ARGB

  void SetUp() override {
    auto Owned = std::make_unique<THeadlessWindowBackend>();
    Backend = Owned.get();
    Form = std::make_unique<TForm>(nullptr, std::move(Owned));
    Form->SetBounds(0, 0, 254, 353);
    Form->SetColor(CForm);
    Panel = new TPanel(Form.get());
    Panel->SetBevelOuter(bvNone);
    Panel->SetColor(CPanel);
    Panel->SetBounds(10, 10, 200, 300);
    Panel->SetParent(Form.get());
    Picture = new TImage(Form.get());
    TBitmap Art(100, 100, pf32bit);
    Art.Canvas().FillRectARGB(TRect{0, 0, 50, 100}, CPictureBlue);
    Picture->Picture().SetBitmap(Art);
    Picture->SetTransparent(true);
    Picture->SetBounds(0, 0, 100, 100);
    Picture->SetParent(Panel);
    W1 = Make<TWindowless>("W1", CRed, Bounds(20, 20, 30, 30));
    W2 = Make<TWindowless>("W2", CGreen, Bounds(120, 20, 30, 30));
    C1 = Make<TWindowed>("C1", CYellow, Bounds(20, 120, 40, 40));
    C2 = Make<TWindowed>("C2", CCyan, Bounds(120, 120, 40, 40));
    Log.clear();
    Form->Show();
    Form->Update();
  }

  template <class T>
  T* Make(const std::string& Name, TColor Fill, const TRect& R, TWinControl* Parent = nullptr) {
    auto* C = new T(Form.get(), Name, &Log, Fill);
    C->SetBoundsRect(R);
    C->SetParent(Parent != nullptr ? Parent : Panel);
    return C;
  }

  // The presented pixel at a form position.
  uint32_t Screen(int32_t X, int32_t Y) const { return Backend->ScreenPixel(X, Y); }
  void ResetCounts() {
    for (auto* R : {W1, W2}) R->Paints = 0;
    for (auto* R : {C1, C2}) R->Paints = 0;
    Backend->ClearPresented();
    Log.clear();
  }
  void Pump() { Form->ProcessMessages(); }

 public:
  TLog Log;
  THeadlessWindowBackend* Backend = nullptr;
  std::unique_ptr<TForm> Form;
  TPanel* Panel = nullptr;
  TImage* Picture = nullptr;
  TWindowless* W1 = nullptr;
  TWindowless* W2 = nullptr;
  TWindowed* C1 = nullptr;
  TWindowed* C2 = nullptr;
};

}  // namespace kvx::test
