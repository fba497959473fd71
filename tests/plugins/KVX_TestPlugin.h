// A tiny VST 2.4 plug-in written straight against the ABI header, for testing hosts: a gain with
// a dry/wet mix and a halving mode, three parameters, one program and a chunk of its values.
// Each test plug-in source picks the faults it should have and instantiates it with
// KVX_TEST_PLUGIN, so the validator can be shown to catch each of them.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "plugin/KVX_VSTEffect.h"

namespace kvxtest {

using namespace kvx;

struct TFaults {
  bool NanOut = false;         // outputs NaN while Gain is above 0.9
  bool NullCrash = false;      // writes parameter names through the pointer without a check
  bool IgnoresBypass = false;  // accepts effSetBypass but keeps processing
  bool Leaks = false;          // leaks 256 KiB per instance
  bool Denormals = false;      // a feedback path that decays through denormal numbers
  bool Bursts = false;         // a smoother whose state keeps the scale of the old Mode's coefficient
  int TailSamples = 1;         // answer of effGetTailSize (1: no tail)
  int Latency = 0;             // InitialDelay; delays the whole signal by this many samples
};

constexpr int CParams = 3;
inline void* volatile GLeak = nullptr;

// Every dispatcher call as (opcode, value), for tests of the order a host calls in.
struct TCallLog {
  static constexpr int CSize = 4096;
  std::atomic<int> Count{0};
  std::atomic<int64_t> Calls[CSize][2];
  void Add(int32_t Opcode, intptr_t Value) {
    const int i = Count.fetch_add(1, std::memory_order_relaxed);
    if (i >= CSize) return;
    Calls[i][0].store(Opcode, std::memory_order_relaxed);
    Calls[i][1].store(Value, std::memory_order_relaxed);
  }
};
inline TCallLog GCallLog;

class TTestPlugin {
 public:
  explicit TTestPlugin(TAudioMasterCallbackFunc Host, const TFaults& Faults) : FHost(Host), FFaults(Faults) {
    FEffect.Magic = CEffectMagic;
    FEffect.Dispatcher = &DispatcherEntry;
    FEffect.Process = &ProcessAccumulating;
    FEffect.SetParameter = &SetParameterEntry;
    FEffect.GetParameter = &GetParameterEntry;
    FEffect.numPrograms = 1;
    FEffect.numParams = CParams;
    FEffect.numInputs = 2;
    FEffect.numOutputs = 2;
    FEffect.EffectFlags = EffFlagMask(effFlagsCanMono) | EffFlagMask(effFlagsCanReplacing) |
                          EffFlagMask(effFlagsProgramChunks) | EffFlagMask(effFlagsCanDoubleReplacing);
    FEffect.InitialDelay = Faults.Latency;
    FEffect.IORatio = 1.0f;
    FEffect.User = this;
    FEffect.UniqueID = 0x6B767454;  // "kvtT"
    FEffect.Version = 1;
    FEffect.Process32Replacing = &Process32Entry;
    FEffect.Process64Replacing = &Process64Entry;
    std::snprintf(FProgramName, sizeof FProgramName, "Default");
    if (Faults.Leaks) {
      char* block = new char[256 * 1024];
      std::memset(block, 1, 256 * 1024);
      GLeak = block;  // the previous instance's block is lost here
    }
  }

  PVSTEffect Effect() { return &FEffect; }

  // Gain is 2 x (+6 dB at 1, -inf at 0), halved in the second mode; Mix blends dry and wet.
  double Gain() const { return 2.0 * Param(0) * (Param(2) >= 0.5f ? 0.5 : 1.0); }
  double Mix() const { return Param(1); }
  // Parameters are set from any thread while the audio thread reads them.
  float Param(int Index) const { return FParams[Index].load(std::memory_order_relaxed); }

 private:
  static TTestPlugin* Self(PVSTEffect E) { return E ? static_cast<TTestPlugin*>(E->User) : nullptr; }

  static intptr_t DispatcherEntry(PVSTEffect E, int32_t Opcode, int32_t Index, intptr_t Value, void* ptr, float opt) {
    TTestPlugin* self = Self(E);
    GCallLog.Add(Opcode, Value);
    return self ? self->Dispatch(Opcode, Index, Value, ptr, opt) : 0;
  }
  static void SetParameterEntry(PVSTEffect E, int32_t Index, float Value) {
    TTestPlugin* self = Self(E);
    if (self && Index >= 0 && Index < CParams && !std::isnan(Value))
      self->FParams[Index].store(Value < 0 ? 0.0f : Value > 1 ? 1.0f : Value, std::memory_order_relaxed);
  }
  static float GetParameterEntry(PVSTEffect E, int32_t Index) {
    TTestPlugin* self = Self(E);
    return (self && Index >= 0 && Index < CParams) ? self->Param(Index) : 0.0f;
  }
  static void Process32Entry(PVSTEffect E, float** In, float** Out, int32_t N) {
    if (TTestPlugin* self = Self(E); self && In && Out && N > 0) self->Process(In, Out, N, false);
  }
  static void Process64Entry(PVSTEffect E, double** In, double** Out, int32_t N) {
    if (TTestPlugin* self = Self(E); self && In && Out && N > 0) self->Process(In, Out, N, false);
  }
  static void ProcessAccumulating(PVSTEffect E, float** In, float** Out, int32_t N) {
    if (TTestPlugin* self = Self(E); self && In && Out && N > 0) self->Process(In, Out, N, true);
  }

  template <typename T>
  void Process(T** In, T** Out, int32_t N, bool Accumulate) {
    const double g = Gain(), m = Mix();
    const bool bypass = FBypass && !FFaults.IgnoresBypass;
    for (int c = 0; c < 2; ++c) {
      for (int32_t i = 0; i < N; ++i) {
        const T x = Delayed(c, In[c][i]);
        T y;
        if (bypass) {
          y = x;
        } else if (FFaults.NanOut && Param(0) > 0.9f) {
          y = static_cast<T>(NAN);
        } else {
          y = static_cast<T>(static_cast<double>(x) * (1.0 - m) + static_cast<double>(x) * g * m);
          if (FFaults.Denormals) {
            FFeedback[c] = static_cast<float>(y) + 0.5f * FFeedback[c];
            y = static_cast<T>(FFeedback[c]);
          }
          if (FFaults.Bursts) {
            // s := k*s + y, out := (1 - k)*s: in steady state s holds y / (1 - k), so when Mode
            // lowers k from 0.999 to 0.5 the old state comes out hundreds of times too loud.
            const double k = Param(2) >= 0.5f ? 0.5 : 0.999;
            double& state = FSmoother[c];
            state = k * state + static_cast<double>(y);
            if (std::fabs(state) < 1e-30) state = 0;
            y = static_cast<T>((1 - k) * state);
          }
        }
        Out[c][i] = Accumulate ? Out[c][i] + y : y;
      }
    }
  }

  // The latency line: a ring of Latency samples per channel.
  template <typename T>
  T Delayed(int C, T X) {
    if (FFaults.Latency <= 0) return X;
    double& slot = FDelay[C][FDelayPos[C]];
    const double out = slot;
    slot = static_cast<double>(X);
    FDelayPos[C] = (FDelayPos[C] + 1) % FFaults.Latency;
    return static_cast<T>(out);
  }

  // At most Size - 1 bytes of Text and the zero.
  static void Copy(void* Ptr, const char* Text, size_t Size) {
    const size_t n = strnlen(Text, Size - 1);
    std::memcpy(Ptr, Text, n);
    static_cast<char*>(Ptr)[n] = 0;
  }

  intptr_t Dispatch(int32_t Opcode, int32_t Index, intptr_t Value, void* ptr, float opt) {
    const bool param = Index >= 0 && Index < CParams;
    switch (Opcode) {
      case effClose:
        delete this;
        return 1;
      case effSetProgramName:
        if (ptr) std::snprintf(FProgramName, sizeof FProgramName, "%.23s", static_cast<const char*>(ptr));
        return 0;
      case effGetProgramName:
        if (ptr) Copy(ptr, FProgramName, 24);
        return 0;
      case effGetProgramNameIndexed:
        if (!ptr || Index != 0) return 0;
        Copy(ptr, FProgramName, 24);
        return 1;
      case effGetParamName:
        if (FFaults.NullCrash) {
          // The fault under test: no check of the host's pointer.
          static const char* const names[] = {"Gain", "Mix", "Mode"};
          const char* name = names[param ? Index : 0];
          volatile char* out = static_cast<volatile char*>(ptr);
          for (size_t i = 0; i <= std::strlen(name); ++i) out[i] = name[i];
          return 0;
        }
        if (ptr && param) Copy(ptr, Index == 0 ? "Gain" : Index == 1 ? "Mix" : "Mode", 8);
        return 0;
      case effGetParamLabel:
        if (ptr && param) Copy(ptr, Index == 0 ? "dB" : Index == 1 ? "%" : "", 8);
        return 0;
      case effGetParamDisplay: {
        if (!ptr || !param) return 0;
        char text[32];
        if (Index == 0) {
          if (Param(0) <= 0) std::snprintf(text, sizeof text, "-inf");
          else std::snprintf(text, sizeof text, "%.2f", 20.0 * std::log10(2.0 * Param(0)));
        } else if (Index == 1) {
          std::snprintf(text, sizeof text, "%.1f", 100.0 * Param(1));
        } else {
          std::snprintf(text, sizeof text, "%s", Param(2) >= 0.5f ? "Half" : "Clean");
        }
        Copy(ptr, text, 8);
        return 0;
      }
      case effCanBeAutomated: return param ? 1 : 0;
      case effSetSampleRate:
        if (std::isfinite(opt) && opt > 0) FSampleRate = opt;
        return 1;
      case effGetChunk:
        if (!ptr) return 0;
        for (int i = 0; i < CParams; ++i) FChunk[i] = Param(i);
        *static_cast<void**>(ptr) = FChunk;
        return sizeof FChunk;
      case effSetChunk: {
        if (!ptr || Value != static_cast<intptr_t>(sizeof FChunk)) return 0;
        float values[CParams];
        std::memcpy(values, ptr, sizeof values);
        for (int i = 0; i < CParams; ++i) SetParameterEntry(&FEffect, i, values[i]);
        return 1;
      }
      case effGetInputProperties:
      case effGetOutputProperties: {
        if (!ptr || Index < 0 || Index > 1) return 0;
        auto* pin = static_cast<TVstPinProperties*>(ptr);
        std::snprintf(pin->Caption, sizeof pin->Caption, "%s %d", Opcode == effGetInputProperties ? "In" : "Out", Index + 1);
        pin->Flags = 3;
        pin->ArrangementType = 1;
        return 1;
      }
      case effGetPlugCategory: return vpcEffect;
      case effSetBypass:
        FBypass = Value != 0;
        return 1;
      case effGetEffectName:
      case effGetProductString:
        if (!ptr) return 0;
        Copy(ptr, "KVX test gain", 32);
        return 1;
      case effGetVendorString:
        if (!ptr) return 0;
        Copy(ptr, "KVX tests", 64);
        return 1;
      case effGetVendorVersion: return 1;
      case effCanDo: {
        if (!ptr) return 0;
        const char* text = static_cast<const char*>(ptr);
        if (!std::strcmp(text, "bypass") || !std::strcmp(text, "2in2out") || !std::strcmp(text, "plugAsChannelInsert"))
          return 1;
        return 0;
      }
      case effGetTailSize: return FFaults.TailSamples;
      case effGetVstVersion: return CVstVersion;
      case effSetProcessPrecision: return 1;
      default: return 0;
    }
  }

  TVSTEffect FEffect{};
  TAudioMasterCallbackFunc FHost;
  TFaults FFaults;
  std::atomic<float> FParams[CParams] = {0.5f, 1.0f, 0.0f};
  float FChunk[CParams] = {};
  char FProgramName[24] = {};
  bool FBypass = false;
  float FSampleRate = 44100;
  float FFeedback[2] = {};
  double FSmoother[2] = {};
  double FDelay[2][64] = {};
  int FDelayPos[2] = {};
};

}  // namespace kvxtest

// The entry of a test plug-in with the given faults. The host must answer amVersion.
// kvx_test_call_log answers the dispatcher calls so far as (opcode, value) pairs.
#define KVX_TEST_PLUGIN(...)                                                                   \
  extern "C" __attribute__((visibility("default"))) int kvx_test_call_log(int64_t* Pairs, int Max) { \
    const int n = std::min(kvxtest::GCallLog.Count.load(), std::min(Max, kvxtest::TCallLog::CSize)); \
    for (int i = 0; i < n; ++i)                                                                \
      for (int k = 0; k < 2; ++k) Pairs[2 * i + k] = kvxtest::GCallLog.Calls[i][k].load();     \
    return n;                                                                                  \
  }                                                                                            \
  extern "C" __attribute__((visibility("default"))) kvx::PVSTEffect VSTPluginMain(            \
      kvx::TAudioMasterCallbackFunc Host) {                                                    \
    if (!Host || Host(nullptr, kvx::amVersion, 0, 0, nullptr, 0) == 0) return nullptr;        \
    try {                                                                                      \
      return (new kvxtest::TTestPlugin(Host, kvxtest::TFaults{__VA_ARGS__}))->Effect();        \
    } catch (...) {                                                                            \
      return nullptr;                                                                          \
    }                                                                                          \
  }
