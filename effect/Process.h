// The overdrive effect module: what it declares to the host (identity, flags, can-dos, program,
// the ten parameters with their defaults) and the handlers its configuration binds.
//
// Extending it: handlers are member functions bound in ProcessModuleConfiguration() (Process.cpp)
// through NotifyHandler<&TProcessModule::Method>() and friends; process handlers are bound there
// with ProcessHandler32<...>() / ProcessHandler64<...>() and swapped at run time through
// SetOnProcess32Replacing / SetOnProcess64Replacing.
#pragma once

#include <array>
#include <cstdint>

#include "plugin/KVX_VSTModule.h"

namespace kvx {

class TProcessModule : public TVSTModule {
 public:
  static constexpr int32_t CParameterCount = 10;
  // Drive, Tone, Level, Bypass, Stereo, Symmetric, Oversampling, Mode, Input, Output.
  static constexpr std::array<float, CParameterCount> CDefaultValues = {100, 0, 0, 0, 0,
                                                                        1, 1, 0, 0, 0};

  TProcessModule();
  ~TProcessModule() override;

  // Sets the ten parameters, in index order, to their defaults through the parameter setter, so
  // that every handler runs.
  void SetParamsToDefault();

  // OnCreate: completes the effect once the configuration is in place. Runs before the host is
  // connected, so setting the defaults here tells the host nothing.
  void VSTModuleCreate(TBasicVSTModule* Sender);
};

// The stored configuration of TProcessModule.
const TVSTModuleConfiguration& ProcessModuleConfiguration();

}  // namespace kvx
