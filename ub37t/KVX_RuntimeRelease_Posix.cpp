// Unloading the plug-in gives back what loading it took. The plug-in carries its own copy of the
// C++ runtime, whose emergency exception pool (about 72 KiB, allocated when the library is loaded)
// is otherwise never freed: a host that loads and unloads the plug-in again and again, as a
// plug-in scan does, would lose it every time.
#include <dlfcn.h>

namespace __gnu_cxx {
void __freeres();
}

namespace {

void Anchor() {}

__attribute__((destructor)) void ReleaseRuntime() {
  // Only our own copy of the runtime: with a shared runtime the pool belongs to the host.
  Dl_info own{}, runtime{};
  if (!dladdr(reinterpret_cast<void*>(&Anchor), &own) ||
      !dladdr(reinterpret_cast<void*>(&__gnu_cxx::__freeres), &runtime))
    return;
  if (own.dli_fbase == runtime.dli_fbase) __gnu_cxx::__freeres();
}

}  // namespace
