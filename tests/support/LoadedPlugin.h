// The built plug-in, loaded as a host loads it, under the recording test host, with the calls a host
// makes to start it and to process.
#pragma once

#include <string>
#include <vector>

#include "plugin/KVX_VSTEffect.h"
#include "support/KVX_TestHost.h"

namespace kvx::test {

class TLoadedPlugin {
 public:
  // Loads KVX_BUILD_DIR/ub37t.so or .dll (or Path), calls VSTPluginMain, opens the effect.
  explicit TLoadedPlugin(const std::string& Path = "");
  ~TLoadedPlugin();
  TLoadedPlugin(const TLoadedPlugin&) = delete;
  TLoadedPlugin& operator=(const TLoadedPlugin&) = delete;

  PVSTEffect Effect() const { return FEffect; }
  intptr_t Dispatch(int32_t Opcode, int32_t Index = 0, intptr_t Value = 0, void* Ptr = nullptr,
                    float Opt = 0) const;
  void SetParameter(int32_t Index, float Value) const;
  float GetParameter(int32_t Index) const;
  std::string ParameterDisplay(int32_t Index) const;

  // effSetSampleRate, effSetBlockSize, effMainsChanged 1 (precision 64 when asked).
  void Start(float SampleRate, int32_t BlockSize, bool Double = true) const;
  void Suspend() const;
  void Resume() const;
  void Process64(double* In0, double* In1, double* Out0, double* Out1, int32_t N) const;
  void Process32(float* In0, float* In1, float* Out0, float* Out1, int32_t N) const;

  const TTestHost& Host() const { return FHost; }

 private:
  TTestHost FHost;
  TPluginLibrary FLibrary;
  PVSTEffect FEffect = nullptr;
};

}  // namespace kvx::test
