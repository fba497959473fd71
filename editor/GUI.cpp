#include "editor/GUI.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <type_traits>

#include "editor/KVX_Artwork.h"
#include "editor/KVX_WebAddress.h"
#include "effect/Process.h"
#include "gui/KVX_GuiLabel.h"
#include "gui/KVX_GuiPixelMap.h"
#include "gui/KVX_GuiSlider.h"
#include "gui/KVX_GuiStitchedButton.h"
#include "gui/KVX_GuiStitchedDial.h"
#include "gui/KVX_GuiStitchedPngList.h"
#include "gui/KVX_GuiStitchedSwitch.h"
#include "platform/KVX_Font.h"
#include "platform/KVX_ExtCtrls.h"
#include "platform/KVX_Menus.h"
#include "platform/KVX_NumberFormat.h"
#include "platform/KVX_Shell.h"
#include "platform/KVX_Streams.h"
#include "png/KVX_GuiPng.h"

namespace kvx {

namespace {

// Colours of the layout, as the window system writes them (0x00BBGGRR).
constexpr TColor CSwitchColor = 0x0192D8;  // #D89201
constexpr TColor CSlideColor = 0x729B6A;   // #6A9B72

// The artwork of the layout is the embedded PNG files, decoded by our codec once per process and
// kept: every window after the first takes the decoded pixels (opening the editor again then
// costs no PNG decoding). The editors of several plug-in instances may open on different
// threads, hence the lock; it is never taken on an audio thread.
class TArtworkCache {
 public:
  static const TGuiPixelMapMemory& PixelMap(TArtworkPicture Picture) { return Entry(Picture).Map; }
  static const TBitmap& Bitmap(TArtworkPicture Picture) {
    TEntry& E = Entry(Picture);
    std::lock_guard<std::mutex> Lock(Mutex());
    if (E.Bitmap.Empty() && E.Map.Width() > 0) {
      E.Bitmap.SetSize(E.Map.Width(), E.Map.Height());
      for (int32_t y = 0; y < E.Map.Height(); ++y)
        std::memcpy(E.Bitmap.ScanLine(y), E.Map.ScanLine(y), static_cast<size_t>(E.Map.Width()) * 4);
    }
    return E.Bitmap;
  }

 private:
  struct TEntry {
    bool Decoded = false;
    TGuiPixelMapMemory Map;
    TBitmap Bitmap;
  };
  static std::mutex& Mutex() {
    static std::mutex M;
    return M;
  }
  static TEntry& Entry(TArtworkPicture Picture) {
    static TEntry Entries[apCount];
    ArtworkInfo(Picture);  // an index outside the artwork fails its assertion
    TEntry& E = Entries[Picture];
    std::lock_guard<std::mutex> Lock(Mutex());
    if (!E.Decoded) {
      const std::span<const uint8_t> Data = ArtworkData(Picture);
      TMemoryStream Stream(std::vector<uint8_t>(Data.begin(), Data.end()));
      TPortableNetworkGraphicPixel32 Png;
      Png.LoadFromStream(Stream);
      E.Map.SetSize(static_cast<int32_t>(Png.Width()), static_cast<int32_t>(Png.Height()));
      Png.DrawToPixelMap(E.Map);
      E.Decoded = true;
    }
    return E;
  }
};

void LoadPicture(TImage& Image, TArtworkPicture Picture) {
  Image.Picture().SetBitmap(TArtworkCache::Bitmap(Picture));
}

// A handler of the form bound to an event. The controls report changes from their own
// after-load steps (a stitched control moves to glyph 0 when it links its item, once its own
// loading state has ended), while the window's layout is still incomplete: a handler acting then
// would write the layout's values (Drive 100, ...) over the module's at every open and tell the
// host. Until the window has finished loading, and once it is being destroyed, events are
// ignored; FormShow brings the controls to the module afterwards.
template <void (TWndGUI::*Handler)(TObject*)>
TNotifyEvent Bind(TWndGUI* Form) {
  return [Form](TObject* Sender) {
    const TComponentState State = Form->ComponentState();
    if (State.Contains(csLoading) || State.Contains(csDestroying)) return;
    (Form->*Handler)(Sender);
  };
}

void SetLayoutFont(TFont& Font, int32_t Height, bool Bold, TColor Color) {
  Font.SetName("Lucida Console");
  Font.SetHeight(Height);
  Font.SetStyle(Bold ? TFontStyles{fsBold} : TFontStyles{});
  Font.SetColor(Color);
}

}  // namespace

// ---- construction and destruction -----------------------------------------------------------

TWndGUI::TWndGUI(TCustomVSTModule* Owner, std::unique_ptr<TWindowBackend> Backend)
    : TForm(nullptr, std::move(Backend)),
      FModule(Owner),
      FParameters(dynamic_cast<TVSTModuleWithPrograms*>(Owner)) {
  // The tool tips and the slider's menu speak in the platform's text.
  UseFontOverlayText();
  BeginLoading();
  ApplyLayout();
  EndLoading();
  // From now on the module pushes its changes here.
  if (auto* Module = dynamic_cast<TProcessModule*>(FModule)) Module->EditorLink().Attach(this);
}

TWndGUI::~TWndGUI() {
  // The module stops pushing changes (and drops its marks) before anything goes.
  if (TProcessEditorLink* Link = EditorLink()) Link->Detach(this);
  BeginDestruction();
  // The faces with all their controls first, so that no control is linked to the image list
  // or names the popup menu when those go.
  TPanel* Front = PanelFront;
  TPanel* Back = PanelBack;
  PanelFront = PanelBack = nullptr;
  LEDOff = LEDOn = ImgFront = ImgBack = ImgRotateFront = ImgRotateBack = nullptr;
  DialLevel = DialOutput = DialTone = DialDrive = nullptr;
  SwitchStereoMono = SwitchSymmetric = SwitchOversampling = SwitchMode = nullptr;
  LblByKVX = LblInputLevelCaption = LblWebSite = nullptr;
  SliderInput = nullptr;
  ButtonBypass = nullptr;
  delete Front;
  delete Back;
  TGuiStitchedPNGList* List = GSPL;
  GSPL = nullptr;
  delete List;
  TPopupMenu* Menu = SliderPopupMenu;
  SliderPopupMenu = nullptr;
  Setto01 = nullptr;  // the menu frees its item
  delete Menu;
}

std::unique_ptr<TTopLevelWindow> TWndGUI::Create(TCustomVSTModule* Owner) {
  try {
    return std::make_unique<TWndGUI>(Owner);
  } catch (...) {
    // A window that cannot be built is no window: effEditOpen answers 0.
    return nullptr;
  }
}

void TWndGUI::ApplyLayout() {
  // Creates a component owned by the window, named, on its face, at its place.
  auto Place = [this](auto*& Field, const char* Name, TWinControl* Parent, int32_t Left, int32_t Top,
                      int32_t Width, int32_t Height) {
    Field = new std::remove_reference_t<decltype(*Field)>(this);
    Field->SetName(Name);
    Field->SetParent(Parent);
    Field->SetBounds(Left, Top, Width, Height);
  };

  // The window.
  SetCaption("KVX ub37t v0.7");
  SetBorderStyle(bsNone);
  SetClientSize(554, 353);
  SetColor(clWhite);
  SetLayoutFont(Font(), -11, false, clBlack);
  SetPosition(poDesktopCenter);
  SetAutoSize(true);
  OnShow = Bind<&TWndGUI::FormShow>(this);

  // The front face, in paint order.
  Place(PanelFront, "PanelFront", this, 0, 0, 254, 353);
  PanelFront->SetBevelOuter(bvNone);
  PanelFront->SetAutoSize(true);

  Place(ImgFront, "ImgFront", PanelFront, 0, 0, 254, 353);
  LoadPicture(*ImgFront, apFront);
  ImgFront->SetAutoSize(true);
  ImgFront->OnClick = Bind<&TWndGUI::ImgFrontClick>(this);

  Place(LblByKVX, "LblByKVX", PanelFront, 158, 172, 62, 23);
  LblByKVX->SetCaption("by KVX");
  SetLayoutFont(LblByKVX->Font(), 14, true, clWhite);
  LblByKVX->SetFontOversampling(fo16x);
  LblByKVX->SetTransparent(true);
  LblByKVX->SetHint("Visit website");
  LblByKVX->SetShowHint(true);
  LblByKVX->OnClick = Bind<&TWndGUI::LblByKVXClick>(this);

  Place(LblInputLevelCaption, "LblInputLevelCaption", PanelFront, 8, 327, 200, 10);
  LblInputLevelCaption->SetCaption("INPUT LEVEL");
  SetLayoutFont(LblInputLevelCaption->Font(), -9, false, clWhite);
  LblInputLevelCaption->SetFontOversampling(fo16x);
  LblInputLevelCaption->SetTransparent(true);

  Place(LEDOff, "LEDOff", PanelFront, 207, 103, 9, 9);
  LoadPicture(*LEDOff, apLEDOff);
  LEDOff->SetProportional(true);
  LEDOff->SetTransparent(true);
  LEDOff->SetVisible(false);

  Place(LEDOn, "LEDOn", PanelFront, 194, 89, 35, 35);
  LoadPicture(*LEDOn, apLEDOn);
  LEDOn->SetProportional(true);
  LEDOn->SetTransparent(true);

  Place(ImgRotateFront, "ImgRotateFront", PanelFront, 118, 296, 18, 14);
  LoadPicture(*ImgRotateFront, apArrowFront);
  ImgRotateFront->SetTransparent(true);
  ImgRotateFront->SetHint("To options window");
  ImgRotateFront->SetShowHint(true);
  ImgRotateFront->OnClick = Bind<&TWndGUI::ImgRotateFrontClick>(this);

  auto MakeDial = [&Place](const char* Name, TWinControl* Face, int32_t Left, int32_t Top, int32_t Size,
                         float Min, float Max, float Value, TNotifyEvent OnChange) {
    TGuiStitchedDial* Dial = nullptr;
    Place(Dial, Name, Face, Left, Top, Size, Size);
    Dial->SetMin(Min);
    Dial->SetMax(Max);
    Dial->SetValue(Value);
    Dial->SetDefaultValue(0);
    Dial->SetScrollRange(400);
    Dial->SetWheelStep(1);
    Dial->SetTransparent(true);
    Dial->OnChange = std::move(OnChange);
    return Dial;
  };
  DialLevel = MakeDial("DialLevel", PanelFront, 31, 37, 59, 0, 100, 0, Bind<&TWndGUI::DialLevelChange>(this));
  DialOutput = MakeDial("DialOutput", PanelFront, 163, 37, 59, -100, 100, 0, Bind<&TWndGUI::DialOutputChange>(this));
  DialTone = MakeDial("DialTone", PanelFront, 97, 37, 59, -15, 15, 0, Bind<&TWndGUI::DialToneChange>(this));

  Place(ButtonBypass, "ButtonBypass", PanelFront, 80, 201, 94, 94);
  ButtonBypass->SetTransparent(true);
  ButtonBypass->OnClick = Bind<&TWndGUI::ButtonBypassClick>(this);

  Place(SliderInput, "SliderInput", PanelFront, 9, 338, 235, 7);
  SliderInput->SetMin(-200);
  SliderInput->SetMax(200);
  SliderInput->SetValue(0);
  SliderInput->SetDefaultValue(0);
  SliderInput->SetColor(clWhite);
  SliderInput->SetParentColor(false);
  SliderInput->SetSlideColor(CSlideColor);
  SliderInput->SetBorderColor(clBlack);
  SliderInput->SetBorderRadius(10);
  SliderInput->SetBorderWidth(0);
  SliderInput->SetCaption("");
  SliderInput->SetReadOnly(false);
  SliderInput->SetTransparent(true);
  SliderInput->OnChange = Bind<&TWndGUI::SliderInputChange>(this);

  // The back face.
  Place(PanelBack, "PanelBack", this, 300, 0, 254, 353);
  PanelBack->SetBevelOuter(bvNone);
  PanelBack->SetAutoSize(true);
  PanelBack->SetVisible(false);

  Place(ImgBack, "ImgBack", PanelBack, 0, 0, 254, 353);
  LoadPicture(*ImgBack, apBack);
  ImgBack->SetAutoSize(true);
  ImgBack->OnClick = Bind<&TWndGUI::ImgBackClick>(this);

  Place(ImgRotateBack, "ImgRotateBack", PanelBack, 118, 296, 18, 14);
  LoadPicture(*ImgRotateBack, apArrowBack);
  ImgRotateBack->SetTransparent(true);
  ImgRotateBack->SetHint("To main window");
  ImgRotateBack->SetShowHint(true);
  ImgRotateBack->OnClick = Bind<&TWndGUI::ImgRotateBackClick>(this);

  Place(LblWebSite, "LblWebSite", PanelBack, 48, 267, 157, 23);
  LblWebSite->SetCaption(std::string(CMakerHostName));
  LblWebSite->SetAlignment(taCenter);
  SetLayoutFont(LblWebSite->Font(), 14, true, clWhite);
  LblWebSite->SetFontOversampling(fo16x);
  LblWebSite->SetTransparent(true);
  LblWebSite->SetHint("Visit website");
  LblWebSite->SetShowHint(true);
  LblWebSite->OnClick = Bind<&TWndGUI::LblWebSiteClick>(this);

  auto MakeSwitch = [this, &Place](const char* Name, int32_t Left, int32_t Top, bool Colored, const char* Hint,
                           TNotifyEvent OnChange) {
    TGuiStitchedSwitch* Switch = nullptr;
    Place(Switch, Name, PanelBack, Left, Top, 38, 38);
    Switch->SetGlyphIndex(0);
    Switch->SetDefaultGlyphIndex(0);
    if (Colored) Switch->SetColor(CSwitchColor);
    Switch->SetTransparent(true);
    Switch->SetHint(Hint);
    Switch->OnChange = std::move(OnChange);
    return Switch;
  };
  SwitchStereoMono = MakeSwitch("SwitchStereoMono", 19, 197, true, "Stereo",
                                Bind<&TWndGUI::SwitchStereoMonoChange>(this));
  DialDrive = MakeDial("DialDrive", PanelBack, 43, 62, 50, 0, 100, 100, Bind<&TWndGUI::DialDriveChange>(this));
  SwitchSymmetric = MakeSwitch("SwitchSymmetric", 128, 134, true, "Asymmetrical",
                               Bind<&TWndGUI::SwitchSymmetricChange>(this));
  SwitchOversampling = MakeSwitch("SwitchOversampling", 128, 64, true, "Oversampling",
                                  Bind<&TWndGUI::SwitchOversamplingChange>(this));
  SwitchMode = MakeSwitch("SwitchMode", 19, 134, false, "Mode", Bind<&TWndGUI::SwitchModeChange>(this));

  // The stitched artwork, already decoded (an item without a PNG of its own keeps these pixels
  // when the list renders its PNGs after loading).
  GSPL = new TGuiStitchedPNGList(this);
  GSPL->SetName("GSPL");
  for (TArtworkPicture Picture : {apButton, apKnob, apKnob2, apSwitch2, apSwitch3}) {
    const TArtworkInfo& Info = ArtworkInfo(Picture);
    TGuiStitchedPNGCollectionItem* Item = GSPL->Add();
    Item->SetPixelMap(TArtworkCache::PixelMap(Picture));
    Item->SetDisplayName(Info.DisplayName);
    Item->SetGlyphCount(Info.GlyphCount);
    Item->SetStitchKind(skVertical);
    Item->SetHeight(Info.Height);
    Item->SetWidth(Info.Width);
  }

  SliderPopupMenu = new TPopupMenu(this);
  SliderPopupMenu->SetName("SliderPopupMenu");
  Setto01 = new TMenuItem(this);
  Setto01->SetName("Setto01");
  Setto01->SetCaption("Set to default (0)");
  Setto01->OnClick = Bind<&TWndGUI::Setto01Click>(this);
  SliderPopupMenu->Add(Setto01);

  // References between components, resolved once every component exists.
  struct TImageLink {
    TGuiCustomImageControl* Control;
    int32_t Index;
  };
  for (const TImageLink& L : {TImageLink{DialLevel, 1}, TImageLink{DialOutput, 1}, TImageLink{DialTone, 1},
                              TImageLink{ButtonBypass, 0}, TImageLink{SwitchStereoMono, 3},
                              TImageLink{DialDrive, 2}, TImageLink{SwitchSymmetric, 3},
                              TImageLink{SwitchOversampling, 4}, TImageLink{SwitchMode, 3}}) {
    L.Control->SetImageList(GSPL);
    L.Control->SetImageIndex(L.Index);
  }
  SliderInput->SetPopupMenu(SliderPopupMenu);
}

// ---- the owner ------------------------------------------------------------------------------

TProcessModule& TWndGUI::ProcessModule() const {
  auto* Module = dynamic_cast<TProcessModule*>(FModule);
  KVX_ASSERT(Module != nullptr, "GUI");
  return *Module;
}

float TWndGUI::Parameter(int32_t Index) const {
  return FParameters != nullptr ? FParameters->GetParameter(Index) : 0.0f;
}

template <class F>
void TWndGUI::Report(F&& Action) noexcept {
  // The module calls the updates from its parameter handling: an error stops here and goes to
  // the window's message handling, never back into the module or the host.
  Guarded(std::forward<F>(Action));
}

// ---- update operations ----------------------------------------------------------------------

void TWndGUI::UpdateDialFrom(TGuiStitchedDial* Dial, int32_t Index) {
  Report([&] {
    const float v = Parameter(Index);
    if (Dial->Value() != v) Dial->SetValue(v);
  });
}

void TWndGUI::UpdateDrive() { UpdateDialFrom(DialDrive, 0); }
void TWndGUI::UpdateTone() { UpdateDialFrom(DialTone, 1); }
void TWndGUI::UpdateLevel() { UpdateDialFrom(DialLevel, 2); }
void TWndGUI::UpdateOutput() { UpdateDialFrom(DialOutput, 9); }

void TWndGUI::UpdateLED() {
  Report([&] {
    const bool Bypassed = ProcessModule().Bypass();
    // Hide first, then show: exactly one LED is visible at any paint.
    if (Bypassed) {
      LEDOn->SetVisible(false);
      LEDOff->SetVisible(true);
    } else {
      LEDOff->SetVisible(false);
      LEDOn->SetVisible(true);
    }
  });
}

int32_t TWndGUI::StereoMonoGlyph() const { return static_cast<int32_t>(std::nearbyint(Parameter(4))); }
int32_t TWndGUI::ModeGlyph() const { return static_cast<int32_t>(std::nearbyint(Parameter(7))); }

int32_t TWndGUI::SymmetricGlyph() const {
  // Inverted: glyph 0 shows symmetric operation, glyph 1 asymmetric.
  return std::abs(static_cast<int32_t>(std::nearbyint(Parameter(5))) - 1);
}

int32_t TWndGUI::OversamplingGlyph() const {
  const auto* Module = dynamic_cast<const TProcessModule*>(FModule);
  const int32_t Factor = Module != nullptr ? Module->OSFactor() : 1;
  return Factor == 8 ? 1 : Factor == 16 ? 2 : 0;
}

void TWndGUI::UpdateStereoMono() {
  Report([&] {
    const int32_t r = StereoMonoGlyph();
    if (r != SwitchStereoMono->GlyphIndex()) SwitchStereoMono->SetGlyphIndex(r);
  });
}

void TWndGUI::UpdateMode() {
  Report([&] {
    const int32_t r = ModeGlyph();
    if (r != SwitchMode->GlyphIndex()) SwitchMode->SetGlyphIndex(r);
  });
}

void TWndGUI::UpdateSymmetric() {
  Report([&] {
    const int32_t r = static_cast<int32_t>(std::nearbyint(Parameter(5)));
    if (r == SwitchSymmetric->GlyphIndex()) SwitchSymmetric->SetGlyphIndex(std::abs(r - 1));
  });
}

void TWndGUI::UpdateOversampling() {
  Report([&] {
    const int32_t g = OversamplingGlyph();
    if (g != SwitchOversampling->GlyphIndex()) SwitchOversampling->SetGlyphIndex(g);
  });
}

void TWndGUI::UpdateInput() {
  Report([&] {
    const float v = Parameter(8);
    if (SliderInput->Value() != v) SliderInput->SetValue(v);
    const std::string Separator = FModule != nullptr ? FModule->DecimalSeparator() : ".";
    const double dB = RoundToDecimals(static_cast<double>(SliderInput->Value()) / 10, 4);
    LblInputLevelCaption->SetCaption("INPUT LEVEL " + FloatToStrGeneral(dB, 15, Separator) + "dB");
  });
}

void TWndGUI::FormShow(TObject*) {
  UpdateDrive();
  UpdateTone();
  UpdateLevel();
  UpdateLED();
  UpdateStereoMono();
  UpdateSymmetric();
  UpdateOversampling();
  UpdateMode();
  UpdateInput();
  UpdateOutput();
}

void TWndGUI::Update() {
  if (TProcessEditorLink* Link = EditorLink()) Guarded([Link] { Link->ApplyMarked(); });
  TForm::Update();
}

void TWndGUI::UpdateVisibility() {
  // The visible face hides first, so the window never sizes itself to both faces at once.
  TPanel* Shown = PanelFront->Visible() ? PanelFront : PanelBack;
  TPanel* Hidden = Shown == PanelFront ? PanelBack : PanelFront;
  Shown->SetVisible(false);
  Hidden->SetVisible(true);
}

// ---- handlers -------------------------------------------------------------------------------

void TWndGUI::DialChange(const TGuiStitchedDial* Dial, int32_t Index) {
  TProcessModule& Module = ProcessModule();
  const float v = Dial->Value();
  if (Module.GetParameter(Index) != v) Module.SetParameter(Index, v);
}

void TWndGUI::DialDriveChange(TObject*) { DialChange(DialDrive, 0); }
void TWndGUI::DialToneChange(TObject*) { DialChange(DialTone, 1); }
void TWndGUI::DialLevelChange(TObject*) { DialChange(DialLevel, 2); }
void TWndGUI::DialOutputChange(TObject*) { DialChange(DialOutput, 9); }

void TWndGUI::SliderInputChange(TObject*) {
  TProcessModule& Module = ProcessModule();
  const float v = SliderInput->Value();
  if (Module.GetParameter(8) != v) Module.SetParameter(8, v);
}

void TWndGUI::ButtonBypassClick(TObject*) {
  TProcessModule& Module = ProcessModule();
  Module.SetParameter(3, Module.Bypass() ? 0.0f : 1.0f);
}

void TWndGUI::WriteSwitch(const TGuiStitchedSwitch* Switch, int32_t Glyph, int32_t Index, float Value) {
  // A switch moved by an update already shows the module's state: writing it again would tell
  // the host a change it made itself (and turn an Oversampling of 4 into an 8 sent back).
  if (Switch->GlyphIndex() == Glyph) return;
  ProcessModule().SetParameter(Index, Value);
}

void TWndGUI::SwitchStereoMonoChange(TObject*) {
  ProcessModule();
  WriteSwitch(SwitchStereoMono, StereoMonoGlyph(), 4, SwitchStereoMono->GlyphIndex() == 1 ? 1.0f : 0.0f);
}

void TWndGUI::SwitchSymmetricChange(TObject*) {
  ProcessModule();
  WriteSwitch(SwitchSymmetric, SymmetricGlyph(), 5, SwitchSymmetric->GlyphIndex() == 1 ? 0.0f : 1.0f);
}

void TWndGUI::SwitchOversamplingChange(TObject*) {
  ProcessModule();
  const int32_t Glyph = SwitchOversampling->GlyphIndex();
  if (Glyph < 0 || Glyph > 2) return;
  constexpr float CFactors[3] = {1, 8, 16};
  WriteSwitch(SwitchOversampling, OversamplingGlyph(), 6, CFactors[Glyph]);
}

void TWndGUI::SwitchModeChange(TObject*) {
  ProcessModule();
  WriteSwitch(SwitchMode, ModeGlyph(), 7, SwitchMode->GlyphIndex() == 1 ? 1.0f : 0.0f);
}

void TWndGUI::Setto01Click(TObject*) { SliderInput->SetValue(0); }

void TWndGUI::OpenURL() { ShellOpen(std::string(CMakerWebAddress)); }
void TWndGUI::LblByKVXClick(TObject*) { OpenURL(); }
void TWndGUI::LblWebSiteClick(TObject*) { OpenURL(); }

void TWndGUI::ImgRotateFrontClick(TObject*) { UpdateVisibility(); }
void TWndGUI::ImgRotateBackClick(TObject*) { UpdateVisibility(); }

void TWndGUI::ResetOnCtrl() {
  TProcessModule& Module = ProcessModule();
  // The state of the event being dispatched: the high bit is set while Ctrl is down.
  if ((GetKeyState(VK_CONTROL) & 0x8000) != 0) Module.SetParamsToDefault();
}

void TWndGUI::ImgFrontClick(TObject*) { ResetOnCtrl(); }
void TWndGUI::ImgBackClick(TObject*) { ResetOnCtrl(); }

}  // namespace kvx
