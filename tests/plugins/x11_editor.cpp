// A plug-in on our module layers whose editor is a form of the window-system layer, for the X11
// tests: a windowless toggle (red while Toggle is off, green while on; a click flips it and
// tells the host) and a windowed level bar (blue; the wheel moves Level), on a grey form of
// 254 x 353. Every notification the controls receive is logged; the log and the number of
// open X connections are exported for the test hosts.
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/KVX_Forms.h"
#include "platform/KVX_X11Backend.h"
#include "platform/KVX_X11Connection.h"
#include "plugin/KVX_VSTModule.h"

using namespace kvx;

namespace {

constexpr int32_t CWidth = 254, CHeight = 353;
constexpr TColor CFormColor = 0x404040;
constexpr TColor CToggleOff = 0x0000FF;  // red
constexpr TColor CToggleOn = 0x00FF00;   // green
constexpr TColor CLevelColor = 0xFF0000; // blue

std::mutex GLogMutex;
std::string GLog;

void Log(const std::string& Line) {
  std::lock_guard<std::mutex> Lock(GLogMutex);
  GLog += Line;
  GLog += '\n';
}

std::string ShiftText(TShiftState s) {
  std::string t;
  if (s.Contains(ssShift)) t += 'S';
  if (s.Contains(ssAlt)) t += 'A';
  if (s.Contains(ssCtrl)) t += 'C';
  if (s.Contains(ssLeft)) t += 'L';
  if (s.Contains(ssRight)) t += 'R';
  if (s.Contains(ssMiddle)) t += 'M';
  return t.empty() ? "-" : t;
}

const char* ButtonText(TMouseButton b) { return b == mbLeft ? "left" : b == mbRight ? "right" : "middle"; }

// Logs the pointer notifications of one control under its name.
template <class TBase>
class TLoggingControl : public TBase {
 public:
  TLoggingControl(TComponent* Owner, const char* Name, TColor Colour) : TBase(Owner), FName(Name) {
    this->SetColor(Colour);
  }

 protected:
  void Paint() override { this->Canvas().FillRect(this->ClientRect(), this->Color()); }
  void MouseEnter() override {
    Log(FName + " enter");
    TBase::MouseEnter();
  }
  void MouseLeave() override {
    Log(FName + " leave");
    TBase::MouseLeave();
  }
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override {
    Log(FName + " down " + ButtonText(Button) + " " + std::to_string(X) + "," + std::to_string(Y) + " " + ShiftText(Shift));
    TBase::MouseDown(Button, Shift, X, Y);
  }
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override {
    Log(FName + " up " + ButtonText(Button) + " " + std::to_string(X) + "," + std::to_string(Y) + " " + ShiftText(Shift));
    TBase::MouseUp(Button, Shift, X, Y);
  }
  void Click() override {
    Log(FName + " click");
    TBase::Click();
  }
  bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) override {
    Log(FName + " wheel " + std::to_string(WheelDelta));
    return TBase::DoMouseWheel(Shift, WheelDelta, MousePos);
  }
  std::string FName;
};

class TEditorModule;

class TTestEditor : public TForm {
 public:
  explicit TTestEditor(TEditorModule* Module);
  void Refresh();

 private:
  TEditorModule* FModule;
  TLoggingControl<TGraphicControl>* FToggle;
  TLoggingControl<TCustomControl>* FLevel;
};

std::unique_ptr<TTopLevelWindow> CreateEditor(TCustomVSTModule* Owner);

TVSTModuleConfiguration& Configuration() {
  static TVSTModuleConfiguration c = [] {
    TVSTModuleConfiguration c;
    c.EffectName = "X11 Editor Test";
    c.VendorName = "KVX Tests";
    c.UniqueID = "KVXe";
    c.PlugCategory = vpcEffect;
    c.Flags = TEffFlags{effFlagsCanReplacing};
    c.Programs.push_back(TVSTProgramConfiguration{"Default"});
    TVSTParameterConfiguration Toggle;
    Toggle.DisplayName = "Toggle";
    Toggle.Min = 0;
    Toggle.Max = 1;
    Toggle.Flags = TVstParameterPropertiesFlags{ppfParameterIsSwitch};
    TVSTParameterConfiguration Level;
    Level.DisplayName = "Level";
    Level.Min = 0;
    Level.Max = 1;
    c.ParameterProperties = {Toggle, Level};
    c.OnCreate = [](TBasicVSTModule* Sender) {
      auto* m = static_cast<TCustomVSTModule*>(Sender);
      m->SetFlags(m->Flags() | effFlagsHasEditor);
      m->SetEditorFormClass(&CreateEditor);
      // Hosts that size their window before opening the editor get the real size.
      m->OnEditGetSize = [](TBasicVSTModule*, int16_t& Width, int16_t& Height) {
        Width = CWidth;
        Height = CHeight;
      };
    };
    return c;
  }();
  return c;
}

class TEditorModule : public TVSTModule {
 public:
  TEditorModule() : TVSTModule("TEditorModule", &Configuration()) {
    SetOnProcess32Replacing(ProcessHandler32<&TEditorModule::Copy>());
  }
  void Copy(const PKVXSingleFixedArray* Inputs, const PKVXSingleFixedArray* Outputs, uint32_t Frames) {
    for (int c = 0; c < 2; ++c)
      for (uint32_t i = 0; i < Frames; ++i) Outputs[c][i] = Inputs[c][i];
  }
};

TTestEditor::TTestEditor(TEditorModule* Module) : TForm(nullptr), FModule(Module) {
  SetClientSize(CWidth, CHeight);
  SetColor(CFormColor);
  FToggle = new TLoggingControl<TGraphicControl>(this, "toggle", CToggleOff);
  FToggle->SetBounds(20, 20, 100, 60);
  FToggle->SetParent(this);
  FLevel = new TLoggingControl<TCustomControl>(this, "level", CLevelColor);
  FLevel->SetBounds(20, 120, 200, 40);
  FLevel->SetParent(this);
  FToggle->OnMouseUp = [this](TObject*, TMouseButton Button, TShiftState, int32_t, int32_t) {
    if (Button != mbLeft) return;
    // The host hears of it (amAutomate) and may call back into us from there.
    FModule->SetParameter(0, FModule->GetParameter(0) >= 0.5f ? 0.0f : 1.0f);
    Refresh();
  };
  FLevel->OnMouseWheel = [this](TObject*, TShiftState, int32_t Delta, TPoint, bool& Handled) {
    float v = FModule->GetParameter(1) + static_cast<float>(Delta) / 1200.0f;
    FModule->SetParameter(1, v < 0 ? 0 : v > 1 ? 1 : v);
    Handled = true;
  };
  Refresh();
}

std::unique_ptr<TTopLevelWindow> CreateEditor(TCustomVSTModule* Owner) {
  return std::make_unique<TTestEditor>(static_cast<TEditorModule*>(Owner));
}

void TTestEditor::Refresh() { FToggle->SetColor(FModule->GetParameter(0) >= 0.5f ? CToggleOn : CToggleOff); }

}  // namespace

extern "C" __attribute__((visibility("default"))) PVSTEffect VSTPluginMain(TAudioMasterCallbackFunc AudioMaster) {
  UseX11WindowBackend();
  return InstantiateModule(AudioMaster, &ModuleClass<TEditorModule>);
}

// What the controls were told since the last call, one line each; the buffer lives until the
// next call.
extern "C" __attribute__((visibility("default"))) const char* kvx_x11_editor_take_log() {
  static std::string Taken;
  std::lock_guard<std::mutex> Lock(GLogMutex);
  Taken.swap(GLog);
  GLog.clear();
  return Taken.c_str();
}

// The X connections of this plug-in open now.
extern "C" __attribute__((visibility("default"))) int kvx_x11_editor_open_connections() {
  return TX11Connection::OpenCount();
}
