#include "support/KVX_TestHost.h"

#include <cstdlib>
#include <cstring>

#include "host/lib/KVX_HostSystem.h"

namespace kvx::test {

namespace {
TTestHost* GCurrentHost = nullptr;
}

TTestHost::TTestHost() : FPrevious(GCurrentHost) { GCurrentHost = this; }
TTestHost::~TTestHost() { GCurrentHost = FPrevious; }

intptr_t TTestHost::Callback(PVSTEffect, int32_t Opcode, int32_t Index, intptr_t Value, void* ptr,
                             float opt) {
  TTestHost* Host = GCurrentHost;
  if (Host == nullptr) return 0;
  {
    std::lock_guard<std::mutex> Lock(Host->FMutex);
    Host->FCalls.push_back({Opcode, Index, Value, opt});
  }
  switch (Opcode) {
    case amVersion:
      return Host->VersionAnswer;
    case amGetProductString:
      if (ptr == nullptr) return 0;
      if (Host->OverfillProduct) {
        std::memset(ptr, 'x', CHostStringSize);
        return 1;
      }
      if (Host->ProductString.empty()) return 0;
      std::strncpy(static_cast<char*>(ptr), Host->ProductString.c_str(), CHostStringSize - 1);
      return 1;
    case amGetSampleRate:
      return Host->SampleRateAnswer;
    case amGetBlockSize:
      return Host->BlockSizeAnswer;
    case amWantMidi:
    case amIOChanged:
    case amUpdateDisplay:
      return 1;
    default:
      return 0;
  }
}

std::vector<THostCall> TTestHost::Calls() const {
  std::lock_guard<std::mutex> Lock(FMutex);
  return FCalls;
}

int TTestHost::Count(int32_t Opcode) const {
  std::lock_guard<std::mutex> Lock(FMutex);
  int n = 0;
  for (const THostCall& c : FCalls) n += c.Opcode == Opcode ? 1 : 0;
  return n;
}

void TTestHost::Clear() {
  std::lock_guard<std::mutex> Lock(FMutex);
  FCalls.clear();
}

intptr_t QuietHostCallback(PVSTEffect, int32_t Opcode, int32_t, intptr_t, void*, float) {
  return Opcode == amVersion ? 2400 : 0;
}

TPluginLibrary::TPluginLibrary(const std::string& Path) {
  FHandle = LoadPluginLibrary(Path, FError);
  if (FHandle == nullptr) return;
  FEntry = reinterpret_cast<TEntry>(PluginLibrarySymbol(FHandle, "VSTPluginMain"));
  FMain = reinterpret_cast<TEntry>(PluginLibrarySymbol(FHandle, "main"));
}

TPluginLibrary::~TPluginLibrary() { Close(); }

void* TPluginLibrary::Symbol(const char* Name) const {
  return FHandle != nullptr ? PluginLibrarySymbol(FHandle, Name) : nullptr;
}

void TPluginLibrary::Close() {
  if (FHandle != nullptr) UnloadPluginLibrary(FHandle);
  FHandle = nullptr;
  FEntry = nullptr;
  FMain = nullptr;
}

}  // namespace kvx::test
