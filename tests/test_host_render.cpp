#include <gtest/gtest.h>

#include <algorithm>
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
  // More channels than the plug-in has inputs would be dropped without a word: refused.
  try {
    RenderAudio(p, Signal(3, 10, 44100), o);
    FAIL() << "rendered";
  } catch (const EArgumentError& e) {
    EXPECT_STREQ(e.what(), "the input has 3 channels but the plug-in has only 2 inputs");
  }
}

namespace {

// A source that delivers fewer frames than it announces (a file cut short) in uneven pieces, and
// a sink that checks the blocks it gets instead of keeping them.
class TShortSource : public TAudioSource {
 public:
  TShortSource(const TAudioData& Data, uint64_t Announced) : FData(Data), FAnnounced(Announced) {}
  double SampleRate() const override { return FData.SampleRate; }
  size_t ChannelCount() const override { return FData.ChannelCount(); }
  uint64_t Frames() const override { return FAnnounced; }
  size_t Read(TAudioBlock& Block, size_t Count) override { return FInner.Read(Block, Count); }

 private:
  const TAudioData& FData;
  uint64_t FAnnounced;
  TAudioDataSource FInner{FData};
};

class TCheckingSink : public TAudioSink {
 public:
  explicit TCheckingSink(const TAudioData& Expected) : FExpected(Expected) {}
  void Write(const TAudioBlock& Block, size_t Count) override {
    ASSERT_EQ(Block.size(), FExpected.ChannelCount());
    for (size_t c = 0; c < Block.size(); ++c)
      for (size_t i = 0; i < Count; ++i)
        ASSERT_EQ(Block[c][i], FExpected.Channels[c][FFrames + i]) << "channel " << c << " frame " << FFrames + i;
    FFrames += Count;
    ++FBlocks;
  }
  size_t FFrames = 0;
  size_t FBlocks = 0;

 private:
  const TAudioData& FExpected;
};

}  // namespace

// Streaming gives what rendering in memory gives, latency and tail included, and hands the
// output on block by block; a source that ends early sets the length, not its announcement.
TEST(HostRender, StreamedRenderEqualsTheRenderInMemory) {
  TVstHostPlugin p(CDelayTail);
  p.Open();
  const TAudioData in = Signal(2, 5000, 22050);
  TRenderOptions o;
  o.BlockSize = 300;
  const TRenderResult whole = RenderAudio(p, in, o);
  std::vector<double> progress;
  o.OnProgress = [&](double f) { progress.push_back(f); };
  TShortSource source(in, 9000);
  TCheckingSink sink(whole.Output);
  const TRenderSummary summary = RenderStream(p, source, sink, o);
  EXPECT_EQ(sink.FFrames, 6000u);
  EXPECT_EQ(summary.InputFrames, 5000u);
  EXPECT_EQ(summary.OutputFrames, 6000u);
  EXPECT_EQ(sink.FBlocks, (6032u + 299u) / 300u);  // the first block loses only the latency
  ASSERT_EQ(summary.OutputLevels.size(), 2u);
  EXPECT_EQ(summary.OutputLevels[1].Peak, MeasureLevel(whole.Output.Channels[1]).Peak);
  EXPECT_EQ(summary.InputLevels[0].Rms, MeasureLevel(in.Channels[0]).Rms);
  ASSERT_FALSE(progress.empty());
  EXPECT_LE(progress.back(), 1.0);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  // Nothing in, no tail and no latency: no process call, no output, nothing to time.
  TVstHostPlugin gain(CGain);
  gain.Open();
  TAudioData empty = Signal(2, 0, 22050);
  TAudioDataSource none(empty);
  TCheckingSink nothing(empty);
  const TRenderSummary zero = RenderStream(gain, none, nothing, o);
  EXPECT_EQ(zero.OutputFrames, 0u);
  EXPECT_EQ(zero.ProcessSeconds, 0.0);
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
