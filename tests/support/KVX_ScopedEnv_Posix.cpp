// Environment variables set for the lifetime of an object: on Linux the numeric locale is read
// from them directly.
#include <cstdlib>

#include "support/KVX_TestHost.h"

namespace kvx::test {

TScopedEnv::TScopedEnv(const char* Name, const char* Value) : FName(Name) {
  const char* Old = std::getenv(Name);
  FHadOld = Old != nullptr;
  if (FHadOld) FOld = Old;
  if (Value != nullptr)
    setenv(Name, Value, 1);
  else
    unsetenv(Name);
}

TScopedEnv::~TScopedEnv() {
  if (FHadOld)
    setenv(FName.c_str(), FOld.c_str(), 1);
  else
    unsetenv(FName.c_str());
}

}  // namespace kvx::test
