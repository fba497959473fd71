// A plug-in whose modules report their destruction, to show that the library frees the modules a
// host left open when it unloads the library.
#include "plugin/KVX_VSTModule.h"

namespace {

int* GDestroyed = nullptr;

class TProbeModule : public kvx::TVSTModule {
 public:
  ~TProbeModule() override {
    if (GDestroyed != nullptr) ++*GDestroyed;
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) void ProbeSetCounter(int* Destroyed) {
  GDestroyed = Destroyed;
}

extern "C" __attribute__((visibility("default"))) kvx::PVSTEffect VSTPluginMain(
    kvx::TAudioMasterCallbackFunc AudioMaster) {
  return kvx::InstantiateModule(AudioMaster, &kvx::ModuleClass<TProbeModule>);
}
