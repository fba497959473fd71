// The plug-in's editor: the pedal face a musician plays inside the host's window.
//
// A borderless form with two faces on the same spot: the front face (Level, Tone and Output
// knobs, the bypass footswitch with its LED, the input level slider with its caption) and the
// back face (the Drive knob and the Stereo, Symmetric, Oversampling and Mode switches). An arrow
// on each face flips to the other. Every control is bound to one parameter of the overdrive
// module in both directions: a gesture writes the parameter through the module, and the module
// pushes every change back through the update operations. The window holds no parameter state
// of its own.
//
// The layout is applied in code through the same setters as at run time, in the layout's order,
// inside the loading state; the after-load steps then run in that order too, so the controls
// link their stitched items before the image list decodes its artwork.
//
// Threads: everything here runs on the editor's thread. The module reaches the window through
// its editor link (effect/ProcessEditor.h), which runs an update at once on this thread and
// otherwise marks it; the marks are applied at the next pump (Update).
#pragma once

#include <memory>
#include <string>

#include "effect/ProcessEditor.h"
#include "platform/KVX_Window.h"

namespace kvx {

class TCustomVSTModule;
class TVSTModuleWithPrograms;
class TProcessModule;
class TGuiStitchedPNGList;
class TPopupMenu;
class TMenuItem;
class TPanel;
class TImage;
class TGuiStitchedDial;
class TGuiStitchedSwitch;
class TGuiStitchedButton;
class TGuiLabel;
class TGuiSlider;

class TWndGUI : public TForm, public TProcessEditorView {
 public:
  // The client size with one face shown: what the host's window must hold.
  static constexpr int32_t CFaceWidth = 254;
  static constexpr int32_t CFaceHeight = 353;

  // Builds the complete window from its layout, not shown. Owner is the module whose
  // parameters the controls show; a window system backend may be given (tests), otherwise the
  // registered one is used.
  explicit TWndGUI(TCustomVSTModule* Owner, std::unique_ptr<TWindowBackend> Backend = nullptr);
  // Frees the faces with all their controls first, then the image list and the popup menu.
  ~TWndGUI() override;
  std::string ClassName() const override { return "TWndGUI"; }

  // The editor window class of the effect: a new window, or null when it could not be built.
  static std::unique_ptr<TTopLevelWindow> Create(TCustomVSTModule* Owner);

  // ---- update operations (parameter -> control) ----
  void UpdateDrive() override;
  void UpdateTone() override;
  void UpdateLevel() override;
  void UpdateLED() override;
  void UpdateStereoMono() override;
  void UpdateSymmetric() override;
  void UpdateOversampling() override;
  void UpdateMode() override;
  void UpdateInput() override;
  void UpdateOutput() override;
  // Brings every control to the module's current state (OnShow).
  void FormShow(TObject* Sender);
  // Flips the faces: the visible one hides, the hidden one shows.
  void UpdateVisibility();

  // ---- handlers (control -> parameter) ----
  void DialDriveChange(TObject* Sender);
  void DialToneChange(TObject* Sender);
  void DialLevelChange(TObject* Sender);
  void DialOutputChange(TObject* Sender);
  void SliderInputChange(TObject* Sender);
  void ButtonBypassClick(TObject* Sender);
  void SwitchStereoMonoChange(TObject* Sender);
  void SwitchSymmetricChange(TObject* Sender);
  void SwitchOversamplingChange(TObject* Sender);
  void SwitchModeChange(TObject* Sender);
  void Setto01Click(TObject* Sender);
  void LblByKVXClick(TObject* Sender);
  void LblWebSiteClick(TObject* Sender);
  void ImgRotateFrontClick(TObject* Sender);
  void ImgRotateBackClick(TObject* Sender);
  void ImgFrontClick(TObject* Sender);
  void ImgBackClick(TObject* Sender);
  // Opens the maker's web address in the user's browser; the result is ignored.
  void OpenURL();

  // One pump's last step: the updates marked by other threads are applied, then what is
  // invalid is painted.
  void Update() override;

  // ---- the components, in the window's order ----
  TGuiStitchedPNGList* GSPL = nullptr;
  TPopupMenu* SliderPopupMenu = nullptr;
  TMenuItem* Setto01 = nullptr;
  TPanel* PanelFront = nullptr;
  TPanel* PanelBack = nullptr;
  TImage* LEDOff = nullptr;
  TImage* LEDOn = nullptr;
  TImage* ImgFront = nullptr;
  TImage* ImgBack = nullptr;
  TImage* ImgRotateFront = nullptr;
  TImage* ImgRotateBack = nullptr;
  TGuiStitchedDial* DialLevel = nullptr;
  TGuiStitchedDial* DialOutput = nullptr;
  TGuiStitchedDial* DialTone = nullptr;
  TGuiStitchedDial* DialDrive = nullptr;
  TGuiStitchedSwitch* SwitchStereoMono = nullptr;
  TGuiStitchedSwitch* SwitchSymmetric = nullptr;
  TGuiStitchedSwitch* SwitchOversampling = nullptr;
  TGuiStitchedSwitch* SwitchMode = nullptr;
  TGuiLabel* LblByKVX = nullptr;
  TGuiLabel* LblInputLevelCaption = nullptr;
  TGuiLabel* LblWebSite = nullptr;
  TGuiSlider* SliderInput = nullptr;
  TGuiStitchedButton* ButtonBypass = nullptr;

 private:
  void ApplyLayout();
  // The owner as the effect module; any other owner is an assertion failure naming GUI.
  TProcessModule& ProcessModule() const;
  // The owner's parameter value, read without that check (0 for an owner without parameters).
  float Parameter(int32_t Index) const;
  // Runs an update or handler with its errors reported through the form.
  template <class F>
  void Report(F&& Action) noexcept;
  // The glyph each switch shows for the module's current state.
  int32_t StereoMonoGlyph() const;
  int32_t SymmetricGlyph() const;
  int32_t OversamplingGlyph() const;
  int32_t ModeGlyph() const;
  // A switch writes its parameter only when its glyph means something other than the module
  // holds (Glyph is what the module's state shows).
  void WriteSwitch(const TGuiStitchedSwitch* Switch, int32_t Glyph, int32_t Index, float Value);
  void UpdateDialFrom(TGuiStitchedDial* Dial, int32_t Index);
  void DialChange(const TGuiStitchedDial* Dial, int32_t Index);
  void ResetOnCtrl();

  TCustomVSTModule* FModule;
  TVSTModuleWithPrograms* FParameters;
};

}  // namespace kvx
