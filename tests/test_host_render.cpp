#include <gtest/gtest.h>

#include <cmath>

#include "host/lib/KVX_HostParameters.h"
#include "host/lib/KVX_HostRender.h"
#include "host/lib/KVX_HostSystem.h"

using namespace kvx;

namespace {

const std::string CGain = KVX_TESTPLUGIN_DIR "/gain" KVX_MODULE_SUFFIX;
const std::string CDelayTail = KVX_TESTPLUGIN_DIR "/delay_tail" KVX_MODULE_SUFFIX;

TAudioData Signal(size_t Channels, size_t Frames, double Rate) {
  TAudioData d;
  d.SampleRate = Rate;
  for (size_t c = 0; c < Channels; ++c) {
    std::vector<double> ch(Frames);
    for (size_t i = 0; i < Frames; ++i)
      ch[i] = static_cast<float>(0.7 * std::sin(0.013 * static_cast<double>(i) * static_cast<double>(c + 1)));
    d.Channels.push_back(ch);
  }
  return d;
}

// The gain plug-in's formula, in its precision.
template <typename T>
double Expected(double X, double Gain, double Mix) {
  const T x = static_cast<T>(X);
  return static_cast<T>(static_cast<double>(x) * (1.0 - Mix) + static_cast<double>(x) * Gain * Mix);
}

}  // namespace

// The output equals the plug-in's formula sample for sample, in either precision, for any block
// size; a mono input feeds both inputs.
TEST(HostRender, OutputEqualsTheFormula) {
  struct TCase {
    size_t Channels;
    int32_t Block;
    TProcessPrecision Precision;
  } cases[] = {{2, 512, pp32}, {1, 512, pp32}, {2, 7, pp64}, {1, 4096, pp64}, {2, 1, pp32}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Channels << " channels, block " << c.Block << ", precision " << c.Precision);
    TVstHostPlugin p(CGain);
    p.Open();
    ApplyParameterSettings(p, {"Gain=@0.8", "Mix=@0.75"});
    const TAudioData in = Signal(c.Channels, 3001, 48000);
    TRenderOptions o;
    o.BlockSize = c.Block;
    o.Precision = c.Precision;
    const TRenderResult r = RenderAudio(p, in, o);
    ASSERT_EQ(r.Output.ChannelCount(), 2u);
    ASSERT_EQ(r.Output.Frames(), 3001u);  // the gain answers "no tail"
    EXPECT_EQ(r.Output.SampleRate, 48000);
    const double gain = 2.0 * 0.8f, mix = 0.75f;
    for (size_t ch = 0; ch < 2; ++ch)
      for (size_t i = 0; i < 3001; ++i) {
        const double x = in.Channels[c.Channels == 1 ? 0 : ch][i];
        const double want = c.Precision == pp64 ? Expected<double>(x, gain, mix) : Expected<float>(x, gain, mix);
        ASSERT_EQ(r.Output.Channels[ch][i], want) << "channel " << ch << " frame " << i;
      }
    EXPECT_FALSE(p.IsResumed());
  }
}

// The announced block size is kept, and only the last block is shorter.
TEST(HostRender, AnnouncesBeforeResumingAndCompensatesLatency) {
  TVstHostPlugin p(CDelayTail);
  p.Open();
  const TAudioData in = Signal(2, 5000, 22050);
  TRenderOptions o;
  o.BlockSize = 300;
  TRenderResult r = RenderAudio(p, in, o);
  EXPECT_EQ(p.SampleRate(), 22050);
  EXPECT_EQ(p.BlockSize(), 300);
  // effGetTailSize says 1000 samples; the 32 samples of latency are taken off the front.
  EXPECT_EQ(r.TailFrames, 1000u);
  EXPECT_EQ(r.LatencyFrames, 32u);
  ASSERT_EQ(r.Output.Frames(), 6000u);
  for (size_t i = 0; i < 5000; ++i) ASSERT_EQ(r.Output.Channels[1][i], in.Channels[1][i]) << i;  // unity gain
  for (size_t i = 5000; i < 6000; ++i) ASSERT_EQ(r.Output.Channels[1][i], 0.0) << i;
  // --tail overrides the plug-in's tail size.
  o.TailSeconds = 0.01;
  r = RenderAudio(p, in, o);
  EXPECT_EQ(r.Output.Frames(), 5000u + 221u);
}

TEST(HostRender, RejectsWhatCannotBeRendered) {
  TVstHostPlugin p(CGain);
  p.Open();
  TRenderOptions o;
  o.BlockSize = 0;
  EXPECT_THROW(RenderAudio(p, Signal(1, 10, 44100), o), EArgumentError);
  o.BlockSize = 512;
  EXPECT_THROW(RenderAudio(p, Signal(1, 10, 0), o), EArgumentError);
  EXPECT_THROW(RenderAudio(p, TAudioData{}, o), EArgumentError);
}

// Sample rate, block size and precision are announced while the plug-in is suspended, then it is
// resumed and started; at the end stopped and suspended, and effClose comes last.
TEST(HostRender, CallsInTheOrderOfAVst24Host) {
  const std::string file = KVX_TESTPLUGIN_DIR "/gain" KVX_MODULE_SUFFIX;
  std::string reason;
  void* library = LoadPluginLibrary(file, reason);  // the log outlives the host's handle
  ASSERT_NE(library, nullptr) << reason;
  auto log = reinterpret_cast<int (*)(int64_t*, int)>(PluginLibrarySymbol(library, "kvx_test_call_log"));
  ASSERT_NE(log, nullptr);
  std::vector<int64_t> pairs(2 * 4096);
  const int before = log(pairs.data(), 4096);
  {
    TVstHostPlugin p(file);
    p.Open();
    TRenderOptions o;
    o.Precision = pp64;
    RenderAudio(p, Signal(1, 2000, 44100), o);
  }
  const int after = log(pairs.data(), 4096);
  std::vector<std::pair<int64_t, int64_t>> calls;
  for (int i = before; i < after; ++i)
    if (pairs[2 * i] != effGetParamName && pairs[2 * i] != effGetTailSize) calls.emplace_back(pairs[2 * i], pairs[2 * i + 1]);
  const std::vector<std::pair<int64_t, int64_t>> want = {
      {effOpen, 0},        {effSetSampleRate, 0}, {effSetBlockSize, 512}, {effSetProcessPrecision, pp64},
      {effMainsChanged, 1}, {effStartProcess, 0},  {effStopProcess, 0},    {effMainsChanged, 0},
      {effClose, 0}};
  EXPECT_EQ(calls, want);
  UnloadPluginLibrary(library);
}
