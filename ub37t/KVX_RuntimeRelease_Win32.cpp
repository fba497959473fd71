// Unloading the plug-in gives back what loading it took. The DLL always carries its own copy of
// the C++ runtime (linked statically), whose emergency exception pool is otherwise never freed:
// a host that loads and unloads the plug-in again and again, as a plug-in scan does, would lose
// it every time.
namespace __gnu_cxx {
void __freeres();
}

namespace {

__attribute__((destructor)) void ReleaseRuntime() { __gnu_cxx::__freeres(); }

}  // namespace
