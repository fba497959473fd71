// Rendering audio through a plug-in, block by block, the way a host plays a file through an
// insert; and measuring how fast a plug-in processes.
#pragma once

#include <cstdint>
#include <functional>

#include "host/lib/KVX_HostAudio.h"
#include "host/lib/KVX_HostPlugin.h"

namespace kvx {

struct TRenderOptions {
  int32_t BlockSize = 512;
  TProcessPrecision Precision = pp32;
  // Seconds rendered after the input ends; below 0 the plug-in's effGetTailSize decides.
  double TailSeconds = -1;
  // Called after every block with the fraction done.
  std::function<void(double Fraction)> OnProgress;
};

struct TRenderResult {
  TAudioData Output;
  size_t TailFrames = 0;
  size_t LatencyFrames = 0;
  // Wall-clock seconds spent inside the plug-in's process calls.
  double ProcessSeconds = 0;
};

// EVstError unless the plug-in has 0 to 64 inputs, 1 to 64 outputs and a process entry.
void CheckRenderable(TVstHostPlugin& Plugin);

// What a streamed render reports: lengths, timing and the levels of what went in and came out.
struct TRenderSummary {
  size_t InputFrames = 0;
  size_t OutputFrames = 0;
  size_t TailFrames = 0;
  size_t LatencyFrames = 0;
  // Wall-clock seconds spent inside the plug-in's process calls.
  double ProcessSeconds = 0;
  std::vector<TChannelLevel> InputLevels;
  std::vector<TChannelLevel> OutputLevels;
  // Output samples that are not finite.
  size_t NonFiniteSamples = 0;
};

// Renders Source through an opened plug-in into Sink, block by block, so that memory does not
// grow with the length: as RenderAudio, with the output going to Sink as it is made.
TRenderSummary RenderStream(TVstHostPlugin& Plugin, TAudioSource& Source, TAudioSink& Sink,
                            const TRenderOptions& Options);

// Renders Input through an opened plug-in at the input's sample rate. The plug-in is told the
// sample rate and block size and, for 64-bit processing, asked for the precision while it is
// suspended; then it is resumed, fed blocks of the announced size (only the last one shorter),
// and suspended again. A mono input feeds every plug-in input; otherwise channel n feeds input n
// and missing channels are silent; an input with more channels than the plug-in has inputs is
// refused. The plug-in's latency is compensated, so the output lines up
// with the input; it has the plug-in's output channels and the input's length plus the tail.
// Raises EArgumentError or EVstError with a one-line message.
TRenderResult RenderAudio(TVstHostPlugin& Plugin, const TAudioData& Input, const TRenderOptions& Options);

// Real-time factor of processing Seconds of noise at 44.1 kHz in 512-frame blocks: seconds of
// audio per second of processing.
double MeasureRealTimeFactor(TVstHostPlugin& Plugin, TProcessPrecision Precision, double Seconds);

}  // namespace kvx
