// Module classes for the in-process tests: a configured module with a few parameters whose
// handlers and events are recorded, process handlers that scale or copy, and an editor window
// class that counts its instances.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "plugin/KVX_VSTModule.h"

namespace kvx::test {

// An editor window of 254 x 353 client pixels.
class TTestWindow : public TTopLevelWindow {
 public:
  explicit TTestWindow(TCustomVSTModule* Owner);
  ~TTestWindow() override;
  static std::unique_ptr<TTopLevelWindow> Create(TCustomVSTModule* Owner);
  static std::atomic<int> Alive;
  TCustomVSTModule* Owner;
};

struct TTestModuleOptions {
  bool ProgramChunks = false;
  int Programs = 1;
  bool WithEditor = true;
  bool FailInCreate = false;
};

// Parameters: 0 "Gain" 0..2 (x), 1 "Bypass" switch, 2 "Freq" 20..20000 Hz with the default text
// parser, 3 "Limited" 0..1 whose handler caps the value at 0.5, 4 "Fixed" not automatable.
class TTestModule : public TVSTModule {
 public:
  explicit TTestModule(const TTestModuleOptions& Options = {});
  ~TTestModule() override;

  static TVSTModuleConfiguration Configuration(const TTestModuleOptions& Options);
  static std::atomic<int> Destroyed;

  // What the handlers saw, in order ("SampleRate 48000", "BlockSize 512", "Param 0 1.5", ...).
  std::vector<std::string> Log;
  std::atomic<float> Gain{1.0f};
  std::atomic<int> ProcessCalls{0};
  // Frames of the first 16 process handler calls.
  std::atomic<uint32_t> Frames[16] = {};

  void Process32(const PKVXSingleFixedArray* Inputs, const PKVXSingleFixedArray* Outputs,
                 uint32_t SampleFrames);
  void Bypass32(const PKVXSingleFixedArray* Inputs, const PKVXSingleFixedArray* Outputs,
                uint32_t SampleFrames);
  void Process64(const PKVXDoubleFixedArray* Inputs, const PKVXDoubleFixedArray* Outputs,
                 uint32_t SampleFrames);
  void Bypass64(const PKVXDoubleFixedArray* Inputs, const PKVXDoubleFixedArray* Outputs,
                uint32_t SampleFrames);

 private:
  void Count(uint32_t SampleFrames);
  TTestModuleOptions FOptions;
};

// Creates a TTestModule as a host would (InstantiateModule with the test host's callback).
PVSTEffect CreateTestModule(const TTestModuleOptions& Options = {});
TTestModule* TestModuleOf(PVSTEffect Effect);

}  // namespace kvx::test
