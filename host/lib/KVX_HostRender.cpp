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

void CheckPlugin(TVstHostPlugin& Plugin) {
  if (Plugin.NumInputs() < 0 || Plugin.NumInputs() > CMaxChannels || Plugin.NumOutputs() < 1 ||
      Plugin.NumOutputs() > CMaxChannels)
    throw EVstError("the plug-in declares " + std::to_string(Plugin.NumInputs()) + " inputs and " +
                    std::to_string(Plugin.NumOutputs()) + " outputs; this host renders 0 to 64 inputs and 1 to 64 outputs");
  if (!Plugin.Effect()->Process32Replacing && !Plugin.Effect()->Process)
    throw EVstError("the plug-in has no process entry");
}

template <typename T>
TRenderResult RenderWith(TVstHostPlugin& Plugin, const TAudioData& Input, const TRenderOptions& Options,
                         size_t TailFrames, size_t Latency) {
  const int32_t block = Options.BlockSize;
  const int32_t inputs = Plugin.NumInputs(), outputs = Plugin.NumOutputs();
  TBlockBuffers<T> in(inputs, block), out(outputs, block);
  const size_t inFrames = Input.Frames();
  const size_t outFrames = inFrames + TailFrames;
  const size_t total = outFrames + Latency;

  TRenderResult result;
  result.TailFrames = TailFrames;
  result.LatencyFrames = Latency;
  result.Output.SampleRate = Input.SampleRate;
  result.Output.Channels.assign(static_cast<size_t>(outputs), std::vector<double>(outFrames, 0.0));

  Plugin.Resume();
  std::chrono::steady_clock::duration busy{};
  for (size_t pos = 0; pos < total;) {
    const int32_t n = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(block), total - pos));
    for (int32_t c = 0; c < inputs; ++c) {
      T* dst = in.Pointers[static_cast<size_t>(c)];
      const size_t channels = Input.ChannelCount();
      const std::vector<double>* src = nullptr;
      if (channels == 1) src = &Input.Channels[0];
      else if (static_cast<size_t>(c) < channels) src = &Input.Channels[static_cast<size_t>(c)];
      for (int32_t i = 0; i < n; ++i) {
        const size_t at = pos + static_cast<size_t>(i);
        dst[i] = (src && at < inFrames) ? static_cast<T>((*src)[at]) : T(0);
      }
    }
    const auto start = std::chrono::steady_clock::now();
    if constexpr (sizeof(T) == sizeof(float))
      Plugin.Process32(in.Pointers.data(), out.Pointers.data(), n);
    else
      Plugin.Process64(in.Pointers.data(), out.Pointers.data(), n);
    busy += std::chrono::steady_clock::now() - start;
    if (Plugin.NumInputs() != inputs || Plugin.NumOutputs() != outputs) {
      Plugin.Suspend();
      throw EVstError("the plug-in changed its channel count while processing");
    }
    for (int32_t c = 0; c < outputs; ++c)
      for (int32_t i = 0; i < n; ++i) {
        const size_t at = pos + static_cast<size_t>(i);
        if (at >= Latency) result.Output.Channels[static_cast<size_t>(c)][at - Latency] = out.Pointers[static_cast<size_t>(c)][i];
      }
    pos += static_cast<size_t>(n);
    if (Options.OnProgress) Options.OnProgress(static_cast<double>(pos) / static_cast<double>(total));
  }
  Plugin.Suspend();
  result.ProcessSeconds = std::chrono::duration<double>(busy).count();
  return result;
}

}  // namespace

TRenderResult RenderAudio(TVstHostPlugin& Plugin, const TAudioData& Input, const TRenderOptions& Options) {
  CheckPlugin(Plugin);
  if (Options.BlockSize < 1 || Options.BlockSize > CMaxBlockSize)
    throw EArgumentError("the block size must lie between 1 and " + std::to_string(CMaxBlockSize));
  if (!(Input.SampleRate >= 1000 && Input.SampleRate <= 1e6))
    throw EArgumentError("sample rate " + std::to_string(Input.SampleRate) + " Hz is not one a plug-in can run at");
  if (Input.ChannelCount() < 1) throw EArgumentError("the input has no channels");
  if (!(Options.TailSeconds <= 3600)) throw EArgumentError("the tail must be at most an hour");

  const double rate = Input.SampleRate;
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
  if (Options.Precision == pp64) return RenderWith<double>(Plugin, Input, Options, tail, latency);
  return RenderWith<float>(Plugin, Input, Options, tail, latency);
}

double MeasureRealTimeFactor(TVstHostPlugin& Plugin, TProcessPrecision Precision, double Seconds) {
  TAudioData noise;
  noise.SampleRate = 44100;
  const size_t frames = static_cast<size_t>(std::max(0.1, Seconds) * noise.SampleRate);
  noise.Channels.assign(2, std::vector<double>(frames));
  uint32_t state = 12345;
  for (auto& ch : noise.Channels)
    for (double& s : ch) {
      state = state * 1664525u + 1013904223u;
      s = 0.5 * (static_cast<double>(state >> 8) / 8388608.0 - 1.0);
    }
  TRenderOptions options;
  options.BlockSize = 512;
  options.Precision = Precision;
  options.TailSeconds = 0;
  const TRenderResult r = RenderAudio(Plugin, noise, options);
  return r.ProcessSeconds > 0 ? noise.Duration() / r.ProcessSeconds : INFINITY;
}

}  // namespace kvx
