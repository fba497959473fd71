// The plug-in's entry: a host calls VSTPluginMain (or main, the same function) with its
// callback and receives the effect record of a new overdrive module, or null.
#include "platform/KVX_System.h"
#include "ub37t/KVX_Ub37t.h"

extern "C" __attribute__((visibility("default"))) kvx::PVSTEffect VSTPluginMain(
    kvx::TAudioMasterCallbackFunc AudioMaster) {
  // The host hands the editor a native window (an X11 one on Linux): its forms live there from
  // the first one on.
  kvx::UseNativeWindowBackend();
  return kvx::InstantiateModule(AudioMaster, &kvx::Ub37tModuleClass);
}

// Older hosts look for the entry under the name main; it is the same function.
extern "C" __attribute__((visibility("default"), alias("VSTPluginMain"), nothrow)) kvx::PVSTEffect
VSTPluginMainAlias(kvx::TAudioMasterCallbackFunc AudioMaster) __asm__("main");
