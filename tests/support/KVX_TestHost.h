// A small VST 2.4 host for the tests: a host callback that records every call it receives and
// answers like a well-behaved host, and a loader that opens a plug-in library with dlopen.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "plugin/KVX_VSTEffect.h"

namespace kvx::test {

struct THostCall {
  int32_t Opcode;
  int32_t Index;
  intptr_t Value;
  float opt;
};

// The callback reaches the host installed last (a host callback carries no user pointer).
class TTestHost {
 public:
  TTestHost();
  ~TTestHost();
  TTestHost(const TTestHost&) = delete;
  TTestHost& operator=(const TTestHost&) = delete;

  static intptr_t Callback(PVSTEffect Effect, int32_t Opcode, int32_t Index, intptr_t Value,
                           void* ptr, float opt);

  // Answers; amVersion 0 refuses the plug-in, an empty product string answers 0.
  intptr_t VersionAnswer = 2400;
  std::string ProductString = "KVX Test Host";
  // Fill all 256 bytes of the product buffer without a terminator.
  bool OverfillProduct = false;
  intptr_t SampleRateAnswer = 44100;
  intptr_t BlockSizeAnswer = 1024;

  std::vector<THostCall> Calls() const;
  int Count(int32_t Opcode) const;
  void Clear();

 private:
  mutable std::mutex FMutex;
  std::vector<THostCall> FCalls;
  TTestHost* FPrevious;
};

// A plug-in library opened as a host opens it.
class TPluginLibrary {
 public:
  explicit TPluginLibrary(const std::string& Path);
  ~TPluginLibrary();
  TPluginLibrary(const TPluginLibrary&) = delete;
  TPluginLibrary& operator=(const TPluginLibrary&) = delete;

  using TEntry = PVSTEffect (*)(TAudioMasterCallbackFunc);
  bool Loaded() const { return FHandle != nullptr; }
  const std::string& Error() const { return FError; }
  TEntry Entry() const { return FEntry; }
  TEntry MainEntry() const { return FMain; }
  void* Symbol(const char* Name) const;
  // Unloads now (the destructor does nothing afterwards).
  void Close();

 private:
  void* FHandle = nullptr;
  TEntry FEntry = nullptr;
  TEntry FMain = nullptr;
  std::string FError;
};

// A host callback that answers amVersion and nothing else, and never allocates: for tests that
// count allocations or run under heavy concurrency.
intptr_t QuietHostCallback(PVSTEffect Effect, int32_t Opcode, int32_t Index, intptr_t Value,
                           void* ptr, float opt);

inline intptr_t Dispatch(PVSTEffect Effect, int32_t Opcode, int32_t Index = 0, intptr_t Value = 0,
                         void* ptr = nullptr, float opt = 0.0f) {
  return Effect->Dispatcher(Effect, Opcode, Index, Value, ptr, opt);
}

// Sets an environment variable for the lifetime of the object (Value null: removes it). On
// Windows, where a program's locale comes from the user's settings instead, the locale variables
// (LC_ALL, LC_NUMERIC, LANG) also set the user's decimal separator to the one of the locale they
// name, so that one test reads the same on both systems.
class TScopedEnv {
 public:
  TScopedEnv(const char* Name, const char* Value);
  ~TScopedEnv();
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

 private:
  std::string FName;
  std::string FOld;
  bool FHadOld;
  // The user's setting the variable stood for before (Windows only).
  std::string FOldUserSetting;
  bool FHadUserSetting = false;
};

}  // namespace kvx::test
