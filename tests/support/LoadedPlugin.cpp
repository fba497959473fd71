#include "support/LoadedPlugin.h"

#include <stdexcept>

namespace kvx::test {

TLoadedPlugin::TLoadedPlugin(const std::string& Path)
    : FLibrary(Path.empty() ? std::string(KVX_BUILD_DIR) + "/ub37t" KVX_MODULE_SUFFIX : Path) {
  if (!FLibrary.Loaded()) throw std::runtime_error("dlopen failed: " + FLibrary.Error());
  if (!FLibrary.Entry()) throw std::runtime_error("VSTPluginMain missing");
  FEffect = FLibrary.Entry()(&TTestHost::Callback);
  if (!FEffect) throw std::runtime_error("VSTPluginMain returned null");
  Dispatch(effOpen);
}

TLoadedPlugin::~TLoadedPlugin() {
  if (FEffect) Dispatch(effClose);
}

intptr_t TLoadedPlugin::Dispatch(int32_t Opcode, int32_t Index, intptr_t Value, void* Ptr,
                                 float Opt) const {
  return FEffect->Dispatcher(FEffect, Opcode, Index, Value, Ptr, Opt);
}

void TLoadedPlugin::SetParameter(int32_t Index, float Value) const {
  FEffect->SetParameter(FEffect, Index, Value);
}

float TLoadedPlugin::GetParameter(int32_t Index) const {
  return FEffect->GetParameter(FEffect, Index);
}

std::string TLoadedPlugin::ParameterDisplay(int32_t Index) const {
  char text[256] = {};
  Dispatch(effGetParamDisplay, Index, 0, text);
  return text;
}

void TLoadedPlugin::Start(float SampleRate, int32_t BlockSize, bool Double) const {
  Dispatch(effSetSampleRate, 0, 0, nullptr, SampleRate);
  Dispatch(effSetBlockSize, 0, BlockSize);
  if (Double) Dispatch(effSetProcessPrecision, 0, 1);
  Dispatch(effMainsChanged, 0, 1);
}

void TLoadedPlugin::Suspend() const { Dispatch(effMainsChanged, 0, 0); }
void TLoadedPlugin::Resume() const { Dispatch(effMainsChanged, 0, 1); }

void TLoadedPlugin::Process64(double* In0, double* In1, double* Out0, double* Out1,
                              int32_t N) const {
  double* in[2] = {In0, In1};
  double* out[2] = {Out0, Out1};
  FEffect->Process64Replacing(FEffect, in, out, N);
}

void TLoadedPlugin::Process32(float* In0, float* In1, float* Out0, float* Out1, int32_t N) const {
  float* in[2] = {In0, In1};
  float* out[2] = {Out0, Out1};
  FEffect->Process32Replacing(FEffect, in, out, N);
}

}  // namespace kvx::test
