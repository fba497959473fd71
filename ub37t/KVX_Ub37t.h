// The plug-in as a host loads it: the overdrive module together with its editor window. This is
// the one place that knows both; the effect and the editor know nothing of each other beyond the
// module's editor link.
#pragma once

#include <memory>

#include "editor/GUI.h"
#include "effect/Process.h"

namespace kvx {

// Constructs the complete plug-in module (the module class InstantiateModule takes).
inline std::unique_ptr<TBasicVSTModule> Ub37tModuleClass() {
  auto Module = std::make_unique<TProcessModule>(&TWndGUI::Create);
  // Hosts that size their window before opening the editor see the whole face.
  Module->OnEditGetSize = [](TBasicVSTModule*, int16_t& Width, int16_t& Height) {
    Width = TWndGUI::CFaceWidth;
    Height = TWndGUI::CFaceHeight;
  };
  return Module;
}

}  // namespace kvx
