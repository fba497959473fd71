#include "host/lib/KVX_HostValidate.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <thread>

#include "host/lib/KVX_HostAudio.h"
#include "host/lib/KVX_HostPlugin.h"
#include "host/lib/KVX_HostSystem.h"

namespace kvx {

namespace {

// ---- the child's report -------------------------------------------------------------------------

// The pipe to the parent while a check runs in a child; -1 in the parent.
int GReportFd = -1;

void WriteLine(char Kind, const std::string& Text) {
  if (GReportFd < 0) return;
  std::string line(1, Kind);
  for (char c : Text) line += (c == '\n' ? ' ' : c);
  line += '\n';
  const char* p = line.data();
  size_t left = line.size();
  while (left > 0) {
    const ssize_t n = write(GReportFd, p, left);
    if (n <= 0) return;
    p += n;
    left -= static_cast<size_t>(n);
  }
}

// Tells the parent what the check is doing, so that a crash can be placed.
void Note(const std::string& Text) { WriteLine('N', Text); }

TCheckResult Pass(std::string Detail = {}) { return {coPass, std::move(Detail)}; }
TCheckResult Fail(std::string Detail) { return {coFail, std::move(Detail)}; }
TCheckResult Skip(std::string Detail) { return {coSkip, std::move(Detail)}; }

std::string Format(const char* Pattern, double V) {
  char text[64];
  std::snprintf(text, sizeof text, Pattern, V);
  return text;
}

std::string Decibels(double Amplitude) {
  const double db = AmplitudeToDecibelFS(Amplitude);
  return std::isinf(db) ? std::string("-inf dB") : Format("%.1f dB", db);
}

std::string DecibelsFS(double Amplitude) { return Format("%+.1f dBFS", AmplitudeToDecibelFS(Amplitude)); }

// ---- driving the plug-in ------------------------------------------------------------------------

// The test signal: a sine per channel (220 Hz, 330 Hz, ...) at -6 dBFS with a little noise.
class TSignal {
 public:
  explicit TSignal(double SampleRate) : FRate(SampleRate) {}
  // A function of channel and frame only, so any block size sees the same signal.
  double Sample(int Channel, size_t Frame) const {
    uint64_t h = (static_cast<uint64_t>(Frame) << 8) ^ static_cast<uint64_t>(Channel);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    const double noise = (static_cast<double>(h >> 11) / 4503599627370496.0 - 1.0) * 0.05;
    return 0.5 * std::sin(2 * M_PI * 110.0 * (Channel + 2) * static_cast<double>(Frame) / FRate) + noise;
  }

 private:
  double FRate;
};

// A plug-in opened, announced and resumed, with buffers for one precision.
template <typename T>
class TSession {
 public:
  TSession(const std::string& FileName, double Rate, int32_t Block, bool Resume = true)
      : Plugin(FileName, Rate, Block), FMaxFrames(std::max(Block, 8192)) {
    Plugin.Open();
    Plugin.SetSampleRate(Rate);
    Plugin.SetBlockSize(Block);
    if constexpr (sizeof(T) == sizeof(double)) Plugin.SetProcessPrecision(pp64);
    else Plugin.SetProcessPrecision(pp32);
    const size_t ins = static_cast<size_t>(std::clamp(Plugin.NumInputs(), 0, 64));
    const size_t outs = static_cast<size_t>(std::clamp(Plugin.NumOutputs(), 0, 64));
    In.assign(std::max<size_t>(ins, 1), std::vector<T>(static_cast<size_t>(FMaxFrames)));
    Out.assign(std::max<size_t>(outs, 1), std::vector<T>(static_cast<size_t>(FMaxFrames)));
    for (auto& v : In) FIn.push_back(v.data());
    for (auto& v : Out) FOut.push_back(v.data());
    FInputs = static_cast<int>(ins);
    FOutputs = static_cast<int>(outs);
    if (Resume) Plugin.Resume();
  }

  int Inputs() const { return FInputs; }
  int Outputs() const { return FOutputs; }

  // Fills the inputs from Source (or silence), processes Frames, and answers whether every output
  // sample is finite; Problem describes the first one that is not.
  bool Process(int32_t Frames, TSignal* Source, std::string* Problem = nullptr) {
    Frames = std::min(Frames, FMaxFrames);
    for (int c = 0; c < FInputs; ++c)
      for (int32_t i = 0; i < Frames; ++i)
        In[static_cast<size_t>(c)][static_cast<size_t>(i)] =
            Source ? static_cast<T>(Source->Sample(c, Position + static_cast<size_t>(i))) : T(0);
    for (auto& v : Out) std::fill(v.begin(), v.begin() + Frames, T(0));
    if constexpr (sizeof(T) == sizeof(double)) Plugin.Process64(FIn.data(), FOut.data(), Frames);
    else Plugin.Process32(FIn.data(), FOut.data(), Frames);
    Position += static_cast<size_t>(Frames);
    for (int c = 0; c < FOutputs; ++c)
      for (int32_t i = 0; i < Frames; ++i)
        if (!std::isfinite(Out[static_cast<size_t>(c)][static_cast<size_t>(i)])) {
          if (Problem)
            *Problem = "output " + std::to_string(c) + " holds " +
                       (std::isnan(Out[static_cast<size_t>(c)][static_cast<size_t>(i)]) ? "NaN" : "infinity") +
                       " at frame " + std::to_string(Position - static_cast<size_t>(Frames) + static_cast<size_t>(i));
          return false;
        }
    return true;
  }

  TVstHostPlugin Plugin;
  std::vector<std::vector<T>> In, Out;
  size_t Position = 0;

 private:
  int32_t FMaxFrames;
  int FInputs = 0, FOutputs = 0;
  std::vector<T*> FIn, FOut;
};

std::string ParameterTitle(TVstHostPlugin& P, int32_t Index) {
  std::string name = P.ParameterName(Index);
  if (name.empty()) name = "parameter " + std::to_string(Index);
  return name;
}

// ---- the checks ---------------------------------------------------------------------------------

TCheckResult CheckLoad(const std::string& File) {
  Note("loading");
  TVstHostPlugin p(File);
  Note("effOpen");
  p.Open();
  if (p.NumInputs() < 0 || p.NumInputs() > 64 || p.NumOutputs() < 0 || p.NumOutputs() > 64)
    return Fail("implausible channel counts " + std::to_string(p.NumInputs()) + "/" + std::to_string(p.NumOutputs()));
  if (p.NumParams() < 0 || p.NumParams() > 100000 || p.NumPrograms() < 0 || p.NumPrograms() > 100000)
    return Fail("implausible parameter or program count");
  if (!p.HasFlag(effFlagsCanReplacing)) return Fail("no replacing process entry (effFlagsCanReplacing)");
  const std::string name = p.EffectName();
  const std::string detail = "\"" + (name.empty() ? p.ProductString() : name) + "\", " + std::to_string(p.NumParams()) +
                             " parameters, " + std::to_string(p.NumInputs()) + " in, " +
                             std::to_string(p.NumOutputs()) + " out";
  Note("effClose");
  p.Close();
  return Pass(detail);
}

// Heap growth over Cycles instances created, run and closed, after two to warm up.
long long InstanceCycleGrowth(const std::string& File, int Cycles, const char* What) {
  constexpr int CWarmUp = 2;
  size_t base = 0;
  for (int i = 0; i < Cycles + CWarmUp; ++i) {
    if (i == CWarmUp) base = HeapInUse();
    Note(std::string(What) + " cycle " + std::to_string(i + 1));
    TSession<float> s(File, 44100, 512);
    TSignal signal(44100);
    s.Process(512, &signal);
    s.Plugin.Close();
  }
  return std::max(0LL, static_cast<long long>(HeapInUse()) - static_cast<long long>(base));
}

TCheckResult CheckLoadCycles(const std::string& File) {
  constexpr int CCycles = 18;
  // Allocator bookkeeping moves a little; a leak grows with every cycle.
  constexpr long long CAllowed = 32 * 1024;
  // Instances of a library that stays loaded, as in a session of a host...
  std::string reason;
  void* keep = LoadPluginLibrary(File, reason);
  const long long instances = InstanceCycleGrowth(File, CCycles, "instance");
  if (keep) UnloadPluginLibrary(keep);
  // ...and the library loaded and unloaded with each instance, as a host scanning plug-ins does.
  const long long reloads = InstanceCycleGrowth(File, CCycles, "reload");
  const std::string detail = "heap grew by " + std::to_string(instances) + " bytes over " + std::to_string(CCycles) +
                             " instances and by " + std::to_string(reloads) + " bytes over " +
                             std::to_string(CCycles) + " loads of the library";
  if (instances > CAllowed) return Fail(detail + "; each instance leaks");
  if (reloads > CAllowed) return Fail(detail + "; unloading the library does not free what loading it allocated");
  return Pass(detail);
}

TCheckResult CheckHostileOpcodes(const std::string& File) {
  TSession<float> s(File, 44100, 512, false);
  TVstHostPlugin& p = s.Plugin;
  // Room for any record a plug-in may write into, zeroed (an empty event list, chunk, rect...).
  std::vector<uint64_t> buffer(8192, 0);
  void* scratch = buffer.data();
  struct TArgs {
    const char* Name;
    int32_t Index;
    intptr_t Value;
    bool Buffer;
    float Opt;
  };
  const TArgs sets[] = {
      {"zeros and null", 0, 0, false, 0.0f},
      {"negative values, null", -1, -1, false, -1.0f},
      {"huge values, null", INT32_MAX, INTPTR_MAX, false, NAN},
      {"huge index, zeroed buffer", INT32_MAX, 16, true, 1e30f},
      {"negative index, zeroed buffer", INT32_MIN, -16, true, -INFINITY},
  };
  int calls = 0;
  // 0 to 90, and opcodes no VST version defines.
  std::vector<int32_t> opcodes;
  for (int32_t op = 0; op <= 90; ++op)
    if (op != effClose) opcodes.push_back(op);
  for (int32_t op : {-1, INT32_MIN, 1000, INT32_MAX}) opcodes.push_back(op);
  for (int32_t op : opcodes) {
    for (const TArgs& a : sets) {
      intptr_t value = a.Value;
      // These take pointers in Value: a garbage address there is the host's fault, not hostile input.
      if (op == effSetSpeakerArrangement || op == effGetSpeakerArrangement)
        value = a.Buffer ? reinterpret_cast<intptr_t>(scratch) : 0;
      // effEditOpen takes a parent window: only a null one is a fair test.
      if (op == effEditOpen && a.Buffer) continue;
      // A chunk is as long as the host says; only its content is hostile.
      if (op == effSetChunk && a.Buffer) value = 16;
      std::fill(buffer.begin(), buffer.end(), 0);
      Note("opcode " + std::to_string(op) + " with " + a.Name);
      p.Dispatch(op, a.Index, value, a.Buffer ? scratch : nullptr, a.Opt);
      ++calls;
    }
  }
  Note("processing after the hostile calls");
  p.Dispatch(effMainsChanged, 0, 0);
  p.SetSampleRate(44100);
  p.SetBlockSize(512);
  p.Dispatch(effMainsChanged, 0, 1);
  TSignal signal(44100);
  std::string problem;
  for (int b = 0; b < 8; ++b)
    if (!s.Process(512, &signal, &problem)) return Fail("after the hostile calls " + problem);
  p.Dispatch(effMainsChanged, 0, 0);
  Note("effClose");
  p.Close();
  return Pass(std::to_string(calls) + " calls survived");
}

TCheckResult CheckParameterEntries(const std::string& File) {
  TSession<float> s(File, 44100, 512);
  TVstHostPlugin& p = s.Plugin;
  const int32_t bad[] = {-1, p.NumParams(), INT32_MAX, INT32_MIN};
  for (int32_t i : bad) {
    Note("parameter index " + std::to_string(i));
    p.SetParameter(i, 0.5f);
    const float v = p.Parameter(i);
    (void)v;
    p.ParameterName(i);
    p.ParameterDisplay(i);
    p.ParameterLabel(i);
  }
  const float hostile[] = {NAN, -1.0f, 2.0f, INFINITY, -INFINITY, 1e30f};
  for (int32_t i = 0; i < p.NumParams(); ++i) {
    for (float x : hostile) {
      Note(ParameterTitle(p, i) + " set to " + Format("%g", x));
      p.SetParameter(i, x);
      const float v = p.Parameter(i);
      if (!std::isfinite(v) || v < 0 || v > 1)
        return Fail(ParameterTitle(p, i) + " set to " + Format("%g", x) + " reads back " + Format("%g", v) +
                    " (outside 0..1)");
    }
    p.SetParameter(i, 0.5f);
  }
  return Pass("out-of-range indexes and NaN, infinite and out-of-range values");
}

TCheckResult CheckParameterSweep(const std::string& File) {
  TSession<float> s(File, 44100, 512);
  TVstHostPlugin& p = s.Plugin;
  TSignal signal(44100);
  std::mt19937 random(20261210);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::string problem;
  int settings = 0;
  for (int32_t i = 0; i < p.NumParams(); ++i) {
    const float original = p.Parameter(i);
    const float values[] = {0.0f, 0.5f, 1.0f, unit(random), unit(random), unit(random)};
    for (float v : values) {
      Note(ParameterTitle(p, i) + " at " + Format("%g", v));
      p.SetParameter(i, v);
      ++settings;
      const float back = p.Parameter(i);
      if (!std::isfinite(back) || back < 0 || back > 1)
        return Fail(ParameterTitle(p, i) + " at " + Format("%g", v) + " reads back " + Format("%g", back));
      for (int b = 0; b < 4; ++b)
        if (!s.Process(512, &signal, &problem))
          return Fail(ParameterTitle(p, i) + " at " + Format("%g", v) + ": " + problem);
    }
    p.SetParameter(i, original);
  }
  for (int round = 0; round < 20; ++round) {
    Note("random setting " + std::to_string(round + 1));
    std::string setting;
    for (int32_t i = 0; i < p.NumParams(); ++i) {
      const float v = unit(random);
      p.SetParameter(i, v);
      setting += (i ? ", " : "") + ParameterTitle(p, i) + "=" + Format("%.3f", v);
    }
    ++settings;
    for (int b = 0; b < 4; ++b)
      if (!s.Process(512, &signal, &problem)) return Fail("random setting {" + setting + "}: " + problem);
  }
  return Pass(std::to_string(settings) + " settings, all outputs finite");
}

// A parameter jumped while a steady signal plays: the blocks right after the jump may carry the
// transition to the new level, but not a burst far above both levels (a filter or smoother whose
// states keep the scale of the old setting). Each parameter goes from 0 to 1 and back, from the
// plug-in's defaults and, for plug-ins with few parameters, from a few random settings as well.
TCheckResult CheckParameterJumps(const std::string& File) {
  TSession<float> s(File, 44100, 512);
  TVstHostPlugin& p = s.Plugin;
  TSignal signal(44100);
  constexpr int CSettleBlocks = 40, CSteadyBlocks = 20, CWindowBlocks = 40;
  constexpr int CMaxParameters = 128;
  // A burst is more than this far above both steady levels, and above full scale.
  constexpr double CAllowedRise = 12;
  const int32_t count = std::clamp(p.NumParams(), 0, CMaxParameters);
  if (count == 0) return Skip("the plug-in has no parameters");
  std::vector<float> defaults;
  for (int32_t i = 0; i < count; ++i) defaults.push_back(p.Parameter(i));
  std::vector<std::vector<float>> settings = {defaults};
  std::mt19937 random(20261211);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  if (count <= 16)
    for (int k = 0; k < 3; ++k) {
      std::vector<float> setting;
      for (int32_t i = 0; i < count; ++i) setting.push_back(unit(random));
      settings.push_back(std::move(setting));
    }

  std::string problem;
  // The peak of all outputs over Blocks blocks; false when an output is not finite.
  auto peakOver = [&](int Blocks, double& Peak) {
    Peak = 0;
    for (int b = 0; b < Blocks; ++b) {
      if (!s.Process(512, &signal, &problem)) return false;
      for (int c = 0; c < s.Outputs(); ++c)
        for (size_t i = 0; i < 512; ++i)
          Peak = std::max(Peak, std::fabs(static_cast<double>(s.Out[static_cast<size_t>(c)][i])));
    }
    return true;
  };
  // Decibels of Peak above the larger steady level.
  auto rise = [](double Peak, double Before, double After) {
    const double steady = std::max(Before, After);
    if (Peak <= 0) return -HUGE_VAL;
    return steady > 0 ? AmplitudeToDecibelFS(Peak) - AmplitudeToDecibelFS(steady) : HUGE_VAL;
  };
  double worst = -HUGE_VAL;
  int jumps = 0;
  for (size_t k = 0; k < settings.size(); ++k) {
    const std::string from = k == 0 ? "from the defaults" : "from random setting " + std::to_string(k);
    for (int32_t i = 0; i < count; ++i) p.SetParameter(i, settings[k][static_cast<size_t>(i)]);
    for (int32_t i = 0; i < count; ++i) {
      const std::string title = ParameterTitle(p, i);
      Note(title + " at 0 " + from);
      p.SetParameter(i, 0.0f);
      double before = 0, window = 0, after = 0;
      if (!peakOver(CSettleBlocks, before) || !peakOver(CSteadyBlocks, before))
        return Fail(title + " at 0 " + from + ": " + problem);
      for (float to : {1.0f, 0.0f}) {
        const std::string jump = title + Format(" %g -> ", 1 - to) + Format("%g ", to) + from;
        Note(jump);
        p.SetParameter(i, to);
        if (!peakOver(CWindowBlocks, window) || !peakOver(CSteadyBlocks, after)) return Fail(jump + ": " + problem);
        ++jumps;
        const double r = rise(window, before, after);
        if (std::isfinite(r)) worst = std::max(worst, r);
        if (r > CAllowedRise && window > 1.0)
          return Fail(jump + ": peak " + DecibelsFS(window) + " within " + std::to_string(CWindowBlocks) +
                      " blocks after the jump, steady " + DecibelsFS(before) + " before and " + DecibelsFS(after) +
                      " after");
        before = after;
      }
      p.SetParameter(i, settings[k][static_cast<size_t>(i)]);
    }
  }
  std::string detail = std::to_string(jumps) + " jumps " + (settings.size() > 1 ? "from the defaults and " +
                       std::to_string(settings.size() - 1) + " random settings" : std::string("from the defaults"));
  if (p.NumParams() > count) detail += " (the first " + std::to_string(count) + " parameters)";
  if (jumps > 0 && std::isfinite(worst)) detail += Format("; largest rise %+.1f dB above the steady levels", worst);
  return Pass(detail);
}

template <typename T>
TCheckResult BypassRun(const std::string& File, const char* Precision) {
  TSession<T> s(File, 44100, 512);
  TVstHostPlugin& p = s.Plugin;
  TSignal signal(44100);
  // Away from the defaults, where many effects pass the signal through unchanged anyway.
  std::mt19937 random(4711);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int32_t i = 0; i < p.NumParams(); ++i) p.SetParameter(i, unit(random));
  std::string problem;
  for (int b = 0; b < 8; ++b)
    if (!s.Process(512, &signal, &problem)) return Fail(std::string(Precision) + " before bypass: " + problem);
  Note(std::string(Precision) + " effSetBypass 1");
  if (p.Dispatch(effSetBypass, 0, 1) != 1) return Fail("effSetBypass 1 answered 0 though the plug-in declares \"bypass\"");
  const size_t latency = static_cast<size_t>(std::clamp(p.InitialDelay(), 0, 1 << 20));
  const int channels = std::min(s.Inputs(), s.Outputs());
  std::vector<std::vector<T>> history(static_cast<size_t>(channels));
  for (int b = 0; b < 16; ++b) {
    const size_t start = s.Position;
    s.Process(512, &signal);
    for (int c = 0; c < channels; ++c) {
      auto& h = history[static_cast<size_t>(c)];
      h.insert(h.end(), s.In[static_cast<size_t>(c)].begin(), s.In[static_cast<size_t>(c)].begin() + 512);
      for (size_t i = 0; i < 512; ++i) {
        const size_t at = h.size() - 512 + i;  // index of this frame in the history
        if (at < latency) continue;
        const T want = h[at - latency];
        const T got = s.Out[static_cast<size_t>(c)][i];
        if (std::memcmp(&want, &got, sizeof(T)) != 0)
          return Fail(std::string(Precision) + " bypassed output " + std::to_string(c) + " differs from the input at frame " +
                      std::to_string(start + i) + " (" + Format("%.9g", static_cast<double>(got)) + " for " +
                      Format("%.9g", static_cast<double>(want)) + ")");
      }
    }
  }
  Note(std::string(Precision) + " effSetBypass 0");
  p.Dispatch(effSetBypass, 0, 0);
  for (int b = 0; b < 8; ++b)
    if (!s.Process(512, &signal, &problem)) return Fail(std::string(Precision) + " after bypass: " + problem);
  return Pass();
}

TCheckResult CheckBypass(const std::string& File) {
  bool doubles = false;
  {
    TVstHostPlugin p(File);
    p.Open();
    if (p.CanDo("bypass") != 1) return Skip("the plug-in does not declare \"bypass\"");
    doubles = p.HasFlag(effFlagsCanDoubleReplacing);
  }
  TCheckResult r = BypassRun<float>(File, "32-bit");
  if (r.Outcome != coPass) return r;
  if (doubles) {
    r = BypassRun<double>(File, "64-bit");
    if (r.Outcome != coPass) return r;
  }
  return Pass(std::string(doubles ? "32-bit and 64-bit outputs equal" : "32-bit output equals") +
              " the input at random parameter values");
}

// Renders Seconds of the test signal in blocks of Frames after announcing Announced.
template <typename T>
TCheckResult RenderSignal(const std::string& File, double Rate, int32_t Announced, int32_t Frames, double Seconds,
                          std::vector<std::vector<double>>& Output) {
  TSession<T> s(File, Rate, Announced);
  TSignal signal(Rate);
  const size_t total = static_cast<size_t>(Seconds * Rate);
  Output.assign(static_cast<size_t>(s.Outputs()), {});
  std::string problem;
  while (s.Position < total) {
    const int32_t n = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(Frames), total - s.Position));
    if (!s.Process(n, &signal, &problem)) return Fail(problem);
    for (int c = 0; c < s.Outputs(); ++c)
      Output[static_cast<size_t>(c)].insert(Output[static_cast<size_t>(c)].end(), s.Out[static_cast<size_t>(c)].begin(),
                                            s.Out[static_cast<size_t>(c)].begin() + n);
  }
  return Pass();
}

double MaxDifference(const std::vector<std::vector<double>>& A, const std::vector<std::vector<double>>& B) {
  double d = 0;
  for (size_t c = 0; c < A.size() && c < B.size(); ++c)
    for (size_t i = 0; i < A[c].size() && i < B[c].size(); ++i) d = std::max(d, std::fabs(A[c][i] - B[c][i]));
  return d;
}

TCheckResult CheckBlockSizes(const std::string& File) {
  std::vector<std::vector<double>> reference, output;
  Note("reference in 512-frame blocks");
  TCheckResult r = RenderSignal<float>(File, 44100, 512, 512, 0.25, reference);
  if (r.Outcome != coPass) return Fail("512-frame blocks: " + r.Detail);
  // Same processing in other blocks must give the same output (here: within -80 dBFS).
  constexpr double CAllowed = 1e-4;
  double worst = 0;
  struct TCase {
    int32_t Announced, Frames;
  };
  const TCase cases[] = {{1, 1}, {7, 7}, {64, 64}, {4096, 4096}, {64, 512}, {512, 4096}};
  for (const TCase& c : cases) {
    const std::string name = c.Announced == c.Frames
                                 ? std::to_string(c.Frames) + "-frame blocks"
                                 : std::to_string(c.Frames) + "-frame blocks after announcing " + std::to_string(c.Announced);
    Note(name);
    r = RenderSignal<float>(File, 44100, c.Announced, c.Frames, 0.25, output);
    if (r.Outcome != coPass) return Fail(name + ": " + r.Detail);
    const double d = MaxDifference(reference, output);
    if (d > CAllowed) return Fail(name + " differ from 512-frame blocks by up to " + Decibels(d));
    worst = std::max(worst, d);
  }
  return Pass("1, 7, 64, 512, 4096 and longer than announced; largest difference " + Decibels(worst));
}

TCheckResult CheckSampleRates(const std::string& File) {
  const double rates[] = {22050, 44100, 48000, 88200, 96000, 176400, 192000};
  std::string levels;
  for (double rate : rates) {
    Note(Format("%.0f Hz", rate));
    std::vector<std::vector<double>> output;
    TCheckResult r = RenderSignal<float>(File, rate, 512, 512, 0.5, output);
    if (r.Outcome != coPass) return Fail(Format("%.0f Hz: ", rate) + r.Detail);
    double peak = 0;
    for (const auto& ch : output) peak = std::max(peak, MeasureLevel(ch).Peak);
    levels += (levels.empty() ? "" : ", ") + Decibels(peak);
  }
  return Pass("22050 to 192000 Hz, peaks " + levels);
}

TCheckResult CheckPrecisions(const std::string& File) {
  bool doubles = false;
  intptr_t answer = 0;
  {
    TVstHostPlugin p(File);
    p.Open();
    doubles = p.HasFlag(effFlagsCanDoubleReplacing);
    if (doubles) answer = p.Dispatch(effSetProcessPrecision, 0, pp64);
  }
  std::vector<std::vector<double>> single, dual;
  Note("32-bit");
  TCheckResult r = RenderSignal<float>(File, 44100, 512, 512, 1.0, single);
  if (r.Outcome != coPass) return Fail("32-bit: " + r.Detail);
  if (!doubles) return Pass("32-bit (the plug-in does not declare 64-bit processing)");
  Note("64-bit");
  r = RenderSignal<double>(File, 44100, 512, 512, 1.0, dual);
  if (r.Outcome != coPass) return Fail("64-bit: " + r.Detail);
  const double d = MaxDifference(single, dual);
  // The two paths may round differently, but they process the same signal the same way.
  if (d > 1e-3) return Fail("32-bit and 64-bit outputs differ by up to " + Decibels(d));
  return Pass("outputs agree within " + Decibels(d) +
              (answer == 1 ? std::string() : "; effSetProcessPrecision answered " + std::to_string(answer)));
}

TCheckResult CheckState(const std::string& File) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::vector<float> values;
  const std::string name = "vsthost check";
  std::vector<uint8_t> bank, program;
  bool chunks = false;
  {
    Note("writing the state");
    TVstHostPlugin a(File);
    a.Open();
    for (int32_t i = 0; i < a.NumParams(); ++i) a.SetParameter(i, unit(random));
    for (int32_t i = 0; i < a.NumParams(); ++i) values.push_back(a.Parameter(i));
    if (a.NumPrograms() > 0) {
      a.SetProgramName(name);
      const std::string back = a.ProgramName();
      if (back != name) return Fail("program name \"" + name + "\" reads back as \"" + back + "\"");
    }
    chunks = a.HasFlag(effFlagsProgramChunks);
    if (chunks) {
      for (int preset = 0; preset < 2; ++preset) {
        Note(preset ? "effGetChunk (program)" : "effGetChunk (bank)");
        void* data = nullptr;
        const intptr_t size = a.Dispatch(effGetChunk, preset, 0, &data);
        if (size <= 0 || !data || size > (intptr_t{1} << 30))
          return Fail(std::string("effGetChunk for the ") + (preset ? "program" : "bank") + " gave no data");
        auto& target = preset ? program : bank;
        target.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
      }
    }
  }
  // A chunk holds what the plug-in puts in it; the program name is compared where the host
  // stores it itself.
  auto compare = [&](TVstHostPlugin& b, const std::string& how, bool WithName = true) -> std::string {
    for (int32_t i = 0; i < b.NumParams() && i < static_cast<int32_t>(values.size()); ++i) {
      const float got = b.Parameter(i);
      if (std::memcmp(&got, &values[static_cast<size_t>(i)], sizeof(float)) != 0)
        return ParameterTitle(b, i) + " " + how + " reads back " + Format("%.9g", got) + " for " +
               Format("%.9g", values[static_cast<size_t>(i)]);
    }
    if (WithName && b.NumPrograms() > 0 && b.ProgramName() != name)
      return "the program name " + how + " reads back as \"" + b.ProgramName() + "\"";
    return {};
  };
  {
    Note("restoring the parameter values");
    TVstHostPlugin b(File);
    b.Open();
    for (int32_t i = 0; i < b.NumParams() && i < static_cast<int32_t>(values.size()); ++i)
      b.SetParameter(i, values[static_cast<size_t>(i)]);
    if (b.NumPrograms() > 0) b.SetProgramName(name);
    const std::string problem = compare(b, "restored");
    if (!problem.empty()) return Fail(problem);
  }
  if (chunks) {
    for (int preset = 0; preset < 2; ++preset) {
      Note(preset ? "effSetChunk (program)" : "effSetChunk (bank)");
      TVstHostPlugin b(File);
      b.Open();
      auto& data = preset ? program : bank;
      b.Dispatch(effSetChunk, preset, static_cast<intptr_t>(data.size()), data.data());
      const std::string problem = compare(b, std::string("from the ") + (preset ? "program" : "bank") + " chunk", false);
      if (!problem.empty()) return Fail(problem);
    }
  }
  return Pass(std::to_string(values.size()) + " parameters and the program name" +
              (chunks ? ", bank and program chunks" : ""));
}

template <typename T>
TCheckResult SilenceRun(const std::string& File, const char* Precision) {
  TSession<T> s(File, 44100, 512);
  TSignal signal(44100);
  std::string problem;
  Note(std::string(Precision) + " excitation");
  for (int b = 0; b < 44; ++b)
    if (!s.Process(512, &signal, &problem)) return Fail(problem);
  Note(std::string(Precision) + " silence");
  constexpr double CSeconds = 5, CFloor = 1e-10;  // -200 dBFS
  const size_t silenceStart = s.Position;
  const size_t blocks = static_cast<size_t>(CSeconds * 44100 / 512);
  size_t lastLoud = silenceStart, denormals = 0;
  double tailPeak = 0;
  for (size_t b = 0; b < blocks; ++b) {
    if (!s.Process(512, nullptr, &problem)) return Fail("in silence " + problem);
    double peak = 0;
    for (int c = 0; c < s.Outputs(); ++c)
      for (size_t i = 0; i < 512; ++i) {
        const T v = s.Out[static_cast<size_t>(c)][i];
        if (std::fpclassify(v) == FP_SUBNORMAL) ++denormals;
        peak = std::max(peak, std::fabs(static_cast<double>(v)));
      }
    if (peak >= CFloor) lastLoud = s.Position;
    if (b + 1 == blocks) tailPeak = peak;
  }
  const std::string after = Format("%.2f s", static_cast<double>(lastLoud - silenceStart) / 44100);
  if (denormals > 0)
    return Fail(std::string(Precision) + " output holds " + std::to_string(denormals) + " denormal samples in silence");
  if (tailPeak >= CFloor)
    return Fail(std::string(Precision) + " output is still at " + Decibels(tailPeak) + " after 5 s of silence");
  return Pass(std::string(Precision) + " below -200 dBFS after " + after);
}

TCheckResult CheckSilence(const std::string& File) {
  bool doubles = false;
  {
    TVstHostPlugin p(File);
    p.Open();
    doubles = p.HasFlag(effFlagsCanDoubleReplacing);
  }
  TCheckResult a = SilenceRun<float>(File, "32-bit");
  if (a.Outcome != coPass || !doubles) return a;
  TCheckResult b = SilenceRun<double>(File, "64-bit");
  if (b.Outcome != coPass) return b;
  return Pass(a.Detail + ", " + b.Detail);
}

TCheckResult CheckConcurrentParameters(const std::string& File) {
  TSession<float> s(File, 44100, 512);
  TVstHostPlugin& p = s.Plugin;
  TSignal signal(44100);
  std::atomic<bool> stop{false};
  std::atomic<long> changes{0};
  const int32_t params = p.NumParams();
  Note("processing while a second thread changes parameters");
  std::thread writer([&] {
    std::mt19937 random(99);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    while (!stop.load(std::memory_order_relaxed)) {
      if (params <= 0) {
        std::this_thread::yield();
        continue;
      }
      const int32_t i = static_cast<int32_t>(random() % static_cast<uint32_t>(params));
      p.SetParameter(i, unit(random));
      p.Parameter(i);
      p.ParameterDisplay(i);
      changes.fetch_add(1, std::memory_order_relaxed);
    }
  });
  std::string problem;
  long blocks = 0;
  bool ok = true;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (std::chrono::steady_clock::now() < end) {
    if (!s.Process(512, &signal, &problem)) {
      ok = false;
      break;
    }
    ++blocks;
  }
  stop = true;
  writer.join();
  if (!ok) return Fail(problem + " while parameters changed");
  return Pass(std::to_string(blocks) + " blocks during " + std::to_string(changes.load()) + " parameter changes");
}

struct TCheck {
  const char* Name;
  TCheckResult (*Run)(const std::string& File);
};

const TCheck CChecks[] = {
    {"load and open", CheckLoad},
    {"load and close 20 times without leaks", CheckLoadCycles},
    {"opcodes 0 to 90 with hostile arguments", CheckHostileOpcodes},
    {"parameter entries with hostile indexes and values", CheckParameterEntries},
    {"each parameter at 0, 0.5, 1 and random values while processing", CheckParameterSweep},
    {"parameter jumps between 0 and 1 without bursts", CheckParameterJumps},
    {"bypass is bit-exact", CheckBypass},
    {"block sizes", CheckBlockSizes},
    {"sample rates", CheckSampleRates},
    {"32-bit and 64-bit processing", CheckPrecisions},
    {"state round trip", CheckState},
    {"silence decays below -200 dBFS without denormals", CheckSilence},
    {"parameter changes from a second thread while processing", CheckConcurrentParameters},
};

}  // namespace

void RunCheckAsChild(size_t CheckIndex, const std::string& FileName, int ReportDescriptor) {
  GReportFd = ReportDescriptor;
  TCheckResult r;
  try {
    if (CheckIndex >= std::size(CChecks)) throw EArgumentError("no validation check " + std::to_string(CheckIndex));
    r = CChecks[CheckIndex].Run(FileName);
  } catch (const std::exception& e) {
    r = Fail(e.what());
  } catch (...) {
    r = Fail("an unknown exception reached the host");
  }
  WriteLine(r.Outcome == coPass ? 'P' : r.Outcome == coSkip ? 'S' : 'F', r.Detail);
  GReportFd = -1;
}

namespace {

// Runs one check in a child process and collects its report.
TCheckResult RunIsolated(const TCheck& Check, const std::string& File, const TValidateOptions& Options) {
  const TChildOutcome child =
      RunCheckInChild(static_cast<size_t>(&Check - CChecks), File, Options.TimeoutSeconds, Options.Verbose);
  if (!child.Error.empty()) return Fail(child.Error);
  const std::string& received = child.Report;
  std::string note;
  // The last note and the result line, if any.
  TCheckResult result;
  bool haveResult = false;
  size_t start = 0;
  while (start < received.size()) {
    size_t end = received.find('\n', start);
    if (end == std::string::npos) break;
    const std::string line = received.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    if (line[0] == 'N') note = line.substr(1);
    else if (line[0] == 'P' || line[0] == 'F' || line[0] == 'S') {
      haveResult = true;
      result.Outcome = line[0] == 'P' ? coPass : line[0] == 'S' ? coSkip : coFail;
      result.Detail = line.substr(1);
    }
  }
  const std::string where = note.empty() ? std::string() : " during " + note;
  if (child.TimedOut) return Fail(Format("did not finish within %.0f s", Options.TimeoutSeconds) + where);
  if (!child.Crash.empty()) return Fail("the plug-in crashed with " + child.Crash + where);
  if (!haveResult) {
    return Fail("the plug-in crashed or ended the process (exit status " + std::to_string(child.ExitCode) + ")" +
                where);
  }
  return result;
}

}  // namespace

TCheckResult RunValidationCheck(size_t Index, const std::string& FileName, bool Isolated,
                                const TValidateOptions& Options) {
  if (Index >= std::size(CChecks)) throw EArgumentError("no validation check " + std::to_string(Index));
  if (Isolated) return RunIsolated(CChecks[Index], FileName, Options);
  return CChecks[Index].Run(FileName);
}

std::vector<std::string> ValidationCheckNames() {
  std::vector<std::string> names;
  for (const TCheck& c : CChecks) names.push_back(c.Name);
  return names;
}

int ValidatePlugin(const std::string& FileName, std::FILE* Out, const TValidateOptions& Options) {
  int failures = 0;
  bool loaded = true;
  for (const TCheck& check : CChecks) {
    TCheckResult r;
    if (!loaded) r = Skip("the plug-in does not load");
    else r = RunIsolated(check, FileName, Options);
    if (&check == &CChecks[0] && r.Outcome != coPass) loaded = false;
    if (r.Outcome == coFail) ++failures;
    const char* word = r.Outcome == coPass ? "PASS" : r.Outcome == coSkip ? "SKIP" : "FAIL";
    std::fprintf(Out, "%s  %s%s%s\n", word, check.Name, r.Detail.empty() ? "" : ": ", r.Detail.c_str());
    std::fflush(Out);
  }
  return failures;
}

}  // namespace kvx
