// Nothing a host may call from its audio thread allocates: process calls in every mode, and the
// parameter changes and announcements that hosts send between them. Every operator new and every
// malloc of the process is counted while such calls run.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "effect/Process.h"
#include "support/KVX_TestHost.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KVX_COUNT_ALLOCATIONS 0
#else
#define KVX_COUNT_ALLOCATIONS 1
#endif

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
inline void Count() {
  if (gCounting.load(std::memory_order_relaxed)) gAllocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

#if KVX_COUNT_ALLOCATIONS
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

extern "C" void* malloc(size_t n) {
  Count();
  return __libc_malloc(n);
}
extern "C" void* calloc(size_t a, size_t b) {
  Count();
  return __libc_calloc(a, b);
}
extern "C" void* realloc(void* p, size_t n) {
  Count();
  return __libc_realloc(p, n);
}
extern "C" void free(void* p) { __libc_free(p); }

void* operator new(size_t n) {
  Count();
  if (void* p = __libc_malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t) noexcept { __libc_free(p); }
#endif

using namespace kvx;
using kvx::test::Dispatch;

TEST(OverdriveAllocation, NothingOnTheAudioThreadAllocates) {
#if !KVX_COUNT_ALLOCATIONS
  GTEST_SKIP() << "the sanitizers own malloc; counted in the plain build";
#else
  PVSTEffect e = InstantiateModule(&kvx::test::QuietHostCallback, ModuleClass<TProcessModule>);
  ASSERT_NE(e, nullptr);
  Dispatch(e, effOpen);
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 48000);
  Dispatch(e, effSetBlockSize, 0, 256);
  Dispatch(e, effMainsChanged, 0, 1);
  std::vector<double> l(1024, 0.2), r(1024, -0.1), o0(1024), o1(1024);
  std::vector<float> fl(1024, 0.2f), fr(1024, -0.1f), f0(1024), f1(1024);
  double* in64[2] = {l.data(), r.data()};
  double* out64[2] = {o0.data(), o1.data()};
  float* in32[2] = {fl.data(), fr.data()};
  float* out32[2] = {f0.data(), f1.data()};

  gAllocations = 0;
  gCounting = true;
  for (float os : {0.0f, 0.5f, 1.0f}) {
    for (float stereo : {0.0f, 1.0f}) {
      for (float bypass : {0.0f, 1.0f, 0.0f}) {
        e->SetParameter(e, 6, os);
        e->SetParameter(e, 4, stereo);
        e->SetParameter(e, 3, bypass);
        for (int32_t p = 0; p < 10; ++p)
          if (p != 3 && p != 4 && p != 6) e->SetParameter(e, p, 0.37f * static_cast<float>(p % 3));
        e->Process64Replacing(e, in64, out64, 256);
        e->Process32Replacing(e, in32, out32, 256);
        e->Process64Replacing(e, in64, out64, 1000);  // longer than announced
      }
    }
  }
  Dispatch(e, effSetBlockSize, 0, 1 << 30);  // a huge announcement costs nothing
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 96000);
  Dispatch(e, effSetBypass, 0, 1);
  Dispatch(e, effSetBypass, 0, 0);
  Dispatch(e, effMainsChanged, 0, 0);
  Dispatch(e, effMainsChanged, 0, 1);
  e->Process64Replacing(e, in64, out64, 512);
  gCounting = false;

  EXPECT_EQ(gAllocations.load(), 0);
  EXPECT_TRUE(std::isfinite(o0[100]) && std::isfinite(f1[100]));
  Dispatch(e, effClose);
#endif
}
