#include "host/lib/KVX_HostRender.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace kvx {

namespace {

constexpr int32_t CMaxChannels = 64;
constexpr int32_t CMaxBlockSize = 1 << 16;

// Block buffers of one precision with their channel pointer arrays.
template <typename T>
struct TBlockBuffers {
  std::vector<std::vector<T>> Data;
  std::vector<T*> Pointers;
  TBlockBuffers(int32_t Channels, int32_t Frames)
      : Data(static_cast<size_t>(std::max(Channels, 1)), std::vector<T>(static_cast<size_t>(Frames))) {
    for (auto& d : Data) Pointers.push_back(d.data());
  }
};

}  // namespace

void CheckRenderable(TVstHostPlugin& Plugin) {
  if (Plugin.NumInputs() < 0 || Plugin.NumInputs() > CMaxChannels || Plugin.NumOutputs() < 1 ||
      Plugin.NumOutputs() > CMaxChannels)
    throw EVstError("the plug-in declares " + std::to_string(Plugin.NumInputs()) + " inputs and " +
                    std::to_string(Plugin.NumOutputs()) + " outputs; this host renders 0 to 64 inputs and 1 to 64 outputs");
  if (!Plugin.Effect()->Process32Replacing && !Plugin.Effect()->Process)
    throw EVstError("the plug-in has no process entry");
}

namespace {

template <typename T>
TRenderSummary RenderWith(TVstHostPlugin& Plugin, TAudioSource& Source, TAudioSink& Sink, const TRenderOptions& Options,
                          size_t TailFrames, size_t Latency) {
  const int32_t block = Options.BlockSize;
  const int32_t inputs = Plugin.NumInputs(), outputs = Plugin.NumOutputs();
  const size_t channels = Source.ChannelCount();
  TBlockBuffers<T> in(inputs, block), out(outputs, block);
  TAudioBlock read(channels, std::vector<double>(static_cast<size_t>(block)));
  TAudioBlock written(static_cast<size_t>(outputs), std::vector<double>(static_cast<size_t>(block)));
  std::vector<TLevelMeter> inLevels(channels), outLevels(static_cast<size_t>(outputs));

  TRenderSummary summary;
  summary.TailFrames = TailFrames;
  summary.LatencyFrames = Latency;
  // The length is known once the source ends; until then the expected one drives the progress.
  bool ended = false;
  size_t inFrames = 0;
  const double expected = static_cast<double>(Source.Frames() + TailFrames + Latency);

  Plugin.Resume();
  std::chrono::steady_clock::duration busy{};
  for (size_t pos = 0;;) {
    size_t n = static_cast<size_t>(block);
    if (ended) n = std::min(n, inFrames + TailFrames + Latency - pos);
    size_t got = 0;
    if (!ended) {
      got = Source.Read(read, n);
      for (size_t c = 0; c < channels; ++c) inLevels[c].Add(read[c].data(), got);
      if (got < n) {
        ended = true;
        inFrames = pos + got;
        n = std::min(n, inFrames + TailFrames + Latency - pos);
      }
    }
    if (n == 0) break;
    for (int32_t c = 0; c < inputs; ++c) {
      T* dst = in.Pointers[static_cast<size_t>(c)];
      const std::vector<double>* src = nullptr;
      if (channels == 1) src = &read[0];
      else if (static_cast<size_t>(c) < channels) src = &read[static_cast<size_t>(c)];
      for (size_t i = 0; i < n; ++i) dst[i] = (src && i < got) ? static_cast<T>((*src)[i]) : T(0);
    }
    const auto start = std::chrono::steady_clock::now();
    if constexpr (sizeof(T) == sizeof(float))
      Plugin.Process32(in.Pointers.data(), out.Pointers.data(), static_cast<int32_t>(n));
    else
      Plugin.Process64(in.Pointers.data(), out.Pointers.data(), static_cast<int32_t>(n));
    busy += std::chrono::steady_clock::now() - start;
    if (Plugin.NumInputs() != inputs || Plugin.NumOutputs() != outputs) {
      Plugin.Suspend();
      throw EVstError("the plug-in changed its channel count while processing");
    }
    // The first Latency frames are the plug-in's delay, not output.
    const size_t skip = pos < Latency ? std::min(n, Latency - pos) : 0;
    if (n > skip) {
      for (int32_t c = 0; c < outputs; ++c) {
        const T* src = out.Pointers[static_cast<size_t>(c)];
        std::vector<double>& dst = written[static_cast<size_t>(c)];
        for (size_t i = skip; i < n; ++i) {
          dst[i - skip] = src[i];
          summary.NonFiniteSamples += std::isfinite(dst[i - skip]) ? 0 : 1;
        }
        outLevels[static_cast<size_t>(c)].Add(dst.data(), n - skip);
      }
      Sink.Write(written, n - skip);
      summary.OutputFrames += n - skip;
    }
    pos += n;
    if (Options.OnProgress) Options.OnProgress(std::min(1.0, static_cast<double>(pos) / std::max(1.0, expected)));
  }
  Plugin.Suspend();
  summary.InputFrames = inFrames;
  summary.ProcessSeconds = std::chrono::duration<double>(busy).count();
  for (const TLevelMeter& m : inLevels) summary.InputLevels.push_back(m.Level());
  for (const TLevelMeter& m : outLevels) summary.OutputLevels.push_back(m.Level());
  return summary;
}

}  // namespace

TRenderSummary RenderStream(TVstHostPlugin& Plugin, TAudioSource& Source, TAudioSink& Sink,
                            const TRenderOptions& Options) {
  CheckRenderable(Plugin);
  if (Options.BlockSize < 1 || Options.BlockSize > CMaxBlockSize)
    throw EArgumentError("the block size must lie between 1 and " + std::to_string(CMaxBlockSize));
  const double rate = Source.SampleRate();
  if (!(rate >= 1000 && rate <= 1e6))
    throw EArgumentError("sample rate " + std::to_string(rate) + " Hz is not one a plug-in can run at");
  const size_t channels = Source.ChannelCount();
  if (channels < 1) throw EArgumentError("the input has no channels");
  // Dropping channels silently would render something else than the user hears: refuse it. A
  // mono input feeds every input.
  if (channels > 1 && channels > static_cast<size_t>(Plugin.NumInputs()))
    throw EArgumentError("the input has " + std::to_string(channels) + " channels but the plug-in has only " +
                         std::to_string(Plugin.NumInputs()) + " input" + (Plugin.NumInputs() == 1 ? "" : "s"));
  if (!(Options.TailSeconds <= 3600)) throw EArgumentError("the tail must be at most an hour");

  Plugin.Suspend();
  Plugin.SetSampleRate(rate);
  Plugin.SetBlockSize(Options.BlockSize);
  if (Options.Precision == pp64) {
    if (!Plugin.HasFlag(effFlagsCanDoubleReplacing) || !Plugin.Effect()->Process64Replacing)
      throw EVstError("the plug-in does not process 64-bit samples (no effFlagsCanDoubleReplacing)");
    // A plug-in that answers 0 has no precision handler; its flag is what it promises.
    Plugin.SetProcessPrecision(pp64);
  } else {
    Plugin.SetProcessPrecision(pp32);
  }

  size_t tail = 0;
  if (Options.TailSeconds >= 0) {
    tail = static_cast<size_t>(std::llround(Options.TailSeconds * rate));
  } else {
    const intptr_t samples = Plugin.TailSize();
    // 0 means the plug-in does not say, 1 that it has no tail.
    if (samples > 1) tail = static_cast<size_t>(std::min<intptr_t>(samples, static_cast<intptr_t>(60 * rate)));
  }
  const size_t latency = static_cast<size_t>(std::clamp<int64_t>(Plugin.InitialDelay(), 0, static_cast<int64_t>(10 * rate)));
  if (Options.Precision == pp64) return RenderWith<double>(Plugin, Source, Sink, Options, tail, latency);
  return RenderWith<float>(Plugin, Source, Sink, Options, tail, latency);
}

TRenderResult RenderAudio(TVstHostPlugin& Plugin, const TAudioData& Input, const TRenderOptions& Options) {
  TAudioDataSource source(Input);
  TRenderResult result;
  result.Output.SampleRate = Input.SampleRate;
  TAudioDataSink sink(result.Output);
  const TRenderSummary summary = RenderStream(Plugin, source, sink, Options);
  // Every output channel, also when nothing was rendered.
  result.Output.Channels.resize(std::max(result.Output.Channels.size(), summary.OutputLevels.size()));
  result.TailFrames = summary.TailFrames;
  result.LatencyFrames = summary.LatencyFrames;
  result.ProcessSeconds = summary.ProcessSeconds;
  return result;
}

namespace {

// Stereo noise at half full scale, made as it is read, and a sink that drops what it gets: a
// measurement of any length holds two blocks.
class TNoiseSource : public TAudioSource {
 public:
  explicit TNoiseSource(uint64_t Frames) : FFrames(Frames) {}
  double SampleRate() const override { return 44100; }
  size_t ChannelCount() const override { return 2; }
  uint64_t Frames() const override { return FFrames; }
  size_t Read(TAudioBlock& Block, size_t Count) override {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(Count, FFrames - FDone));
    for (size_t c = 0; c < 2; ++c)
      for (size_t i = 0; i < n; ++i) {
        FState[c] = FState[c] * 1664525u + 1013904223u;
        Block[c][i] = 0.5 * (static_cast<double>(FState[c] >> 8) / 8388608.0 - 1.0);
      }
    FDone += n;
    return n;
  }

 private:
  uint64_t FFrames;
  uint64_t FDone = 0;
  uint32_t FState[2] = {12345, 67890};
};

class TDiscardSink : public TAudioSink {
 public:
  void Write(const TAudioBlock&, size_t) override {}
};

}  // namespace

double MeasureRealTimeFactor(TVstHostPlugin& Plugin, TProcessPrecision Precision, double Seconds) {
  const uint64_t frames = static_cast<uint64_t>(std::max(0.1, Seconds) * 44100);
  TNoiseSource noise(frames);
  TDiscardSink discard;
  TRenderOptions options;
  options.BlockSize = 512;
  options.Precision = Precision;
  options.TailSeconds = 0;
  const TRenderSummary r = RenderStream(Plugin, noise, discard, options);
  return r.ProcessSeconds > 0 ? static_cast<double>(frames) / 44100 / r.ProcessSeconds : INFINITY;
}

}  // namespace kvx
