// The host's side of threading: the validator's concurrent-parameter check run in this process,
// so ThreadSanitizer sees the host library while a second thread changes parameters and the
// plug-in calls back from both threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host/lib/KVX_HostPlugin.h"
#include "host/lib/KVX_HostValidate.h"

using namespace kvx;

namespace {
const std::string CGain = KVX_TESTPLUGIN_DIR "/gain" KVX_MODULE_SUFFIX;

size_t CheckIndex(const std::string& Name) {
  const auto names = ValidationCheckNames();
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == Name) return i;
  ADD_FAILURE() << "no check " << Name;
  return 0;
}
}  // namespace

// The test gain and our plug-in, in this process so that ThreadSanitizer watches both sides.
TEST(HostConcurrency, ParameterChangesWhileProcessing) {
  for (const std::string& file : {CGain, std::string(KVX_BUILD_DIR "/ub37t" KVX_MODULE_SUFFIX)}) {
    const TCheckResult r =
        RunValidationCheck(CheckIndex("parameter changes from a second thread while processing"), file, false);
    EXPECT_EQ(r.Outcome, coPass) << file << ": " << r.Detail;
    EXPECT_NE(r.Detail.find("parameter changes"), std::string::npos) << r.Detail;
  }
}

// The callback answers from any thread: automation from one thread, rate and block size
// announced from another.
TEST(HostConcurrency, CallbackFromSeveralThreads) {
  TVstHostPlugin p(CGain);
  p.Open();
  PVSTEffect e = p.Effect();
  std::atomic<bool> go{false};
  std::thread automation([&] {
    while (!go.load()) std::this_thread::yield();
    for (int i = 0; i < 20000; ++i) HostCallback(e, amAutomate, i % 3, 0, nullptr, 0.5f);
  });
  std::thread reader([&] {
    while (!go.load()) std::this_thread::yield();
    for (int i = 0; i < 20000; ++i) {
      const intptr_t rate = HostCallback(e, amGetSampleRate, 0, 0, nullptr, 0);
      EXPECT_TRUE(rate == 44100 || rate == 48000) << rate;
    }
  });
  go = true;
  for (int i = 0; i < 2000; ++i) p.SetSampleRate(i % 2 ? 48000 : 44100);
  automation.join();
  reader.join();
  EXPECT_EQ(p.AutomateCount(), 20000);
}
