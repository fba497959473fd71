// The plug-in library as the Linux loader sees it: what it exports, and what it does when it goes
// away (in a forked child that ends). The Windows build checks its DLL with objdump instead.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "support/KVX_TestHost.h"

using namespace kvx;
using namespace kvx::test;

namespace {
const std::string CPluginPath = KVX_BUILD_DIR "/ub37t" KVX_MODULE_SUFFIX;
}  // namespace

TEST(PluginEntry, ExportsOnlyTheEntry) {
  FILE* Pipe = popen(("nm -D --defined-only " + CPluginPath + " 2>/dev/null").c_str(), "r");
  ASSERT_NE(Pipe, nullptr);
  std::set<std::string> Symbols;
  char Line[512];
  while (std::fgets(Line, sizeof(Line), Pipe) != nullptr) {
    std::string s(Line);
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    Symbols.insert(s.substr(s.rfind(' ') + 1));
  }
  ASSERT_EQ(pclose(Pipe), 0);
  EXPECT_EQ(Symbols, (std::set<std::string>{"VSTPluginMain", "main"}));
}

namespace {
int GProbeDestroyed = 0;
void ExitWithProbeCount() { _exit(GProbeDestroyed); }
}  // namespace

// The library's module owner frees the modules a host left open when the library goes away
// (unloaded, or the process ends). A child process loads the probe plug-in, leaves one of two
// modules open and exits; the count of freed modules is read after the library's own clean-up.
TEST(PluginUnload, ModulesLeftOpenAreFreedWithTheLibrary) {
  const std::string Path = KVX_TESTPLUGIN_DIR "/lifecycle_probe" KVX_MODULE_SUFFIX;
  const pid_t Child = fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    // Registered before the library is loaded, so it runs after the library's clean-up.
    std::atexit(&ExitWithProbeCount);
    void* Handle = dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (Handle == nullptr) _exit(100);
    auto SetCounter = reinterpret_cast<void (*)(int*)>(dlsym(Handle, "ProbeSetCounter"));
    auto Entry = reinterpret_cast<PVSTEffect (*)(TAudioMasterCallbackFunc)>(dlsym(Handle, "VSTPluginMain"));
    if (SetCounter == nullptr || Entry == nullptr) _exit(101);
    SetCounter(&GProbeDestroyed);
    TTestHost Host;
    PVSTEffect First = Entry(&TTestHost::Callback);
    PVSTEffect Second = Entry(&TTestHost::Callback);
    if (First == nullptr || Second == nullptr) _exit(102);
    if (Dispatch(First, effClose) != 1 || GProbeDestroyed != 1) _exit(103);
    std::exit(0);
  }
  int Status = 0;
  ASSERT_EQ(waitpid(Child, &Status, 0), Child);
  ASSERT_TRUE(WIFEXITED(Status));
  EXPECT_EQ(WEXITSTATUS(Status), 2);
}
