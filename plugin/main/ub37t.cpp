// The plug-in's entry: a host calls VSTPluginMain (or main, the same function) with its
// callback and receives the effect record of a new overdrive module, or null.
#include "effect/Process.h"
#include "plugin/KVX_VSTModule.h"

extern "C" __attribute__((visibility("default"))) kvx::PVSTEffect VSTPluginMain(
    kvx::TAudioMasterCallbackFunc AudioMaster) {
  return kvx::InstantiateModule(AudioMaster, &kvx::ModuleClass<kvx::TProcessModule>);
}

// Older hosts look for the entry under the name main; it is the same function.
extern "C" __attribute__((visibility("default"), alias("VSTPluginMain"), nothrow)) kvx::PVSTEffect
VSTPluginMainAlias(kvx::TAudioMasterCallbackFunc AudioMaster) __asm__("main");
