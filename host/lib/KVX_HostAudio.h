// Audio data for the command-line host: files through libsndfile, the built-in demo riff and
// level statistics.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/KVX_Types.h"

namespace kvx {

// Planar audio: one vector of samples per channel, all of the same length.
struct TAudioData {
  double SampleRate = 44100;
  std::vector<std::vector<double>> Channels;

  size_t ChannelCount() const { return Channels.size(); }
  size_t Frames() const { return Channels.empty() ? 0 : Channels[0].size(); }
  double Duration() const { return SampleRate > 0 ? static_cast<double>(Frames()) / SampleRate : 0; }
};

// Reads a whole audio file (WAV, FLAC, AIFF, OGG and whatever else libsndfile knows) at its own
// sample rate. Raises EStreamError with a one-line message naming the file and the reason.
TAudioData ReadAudioFile(const std::string& FileName);

// The libsndfile format for a file name's extension: .wav (32-bit float), .flac (24-bit),
// .aif/.aiff (32-bit float AIFC), .ogg (Vorbis), .w64 and .caf (32-bit float). Raises
// EArgumentError for any other extension.
int AudioFormatForFileName(const std::string& FileName);

// Writes Data to FileName in the format of its extension. The samples go to a temporary file in
// the same folder that is renamed over FileName only when everything was written, so a failed
// write never leaves a half-written file. Raises EStreamError or EArgumentError.
void WriteAudioFile(const std::string& FileName, const TAudioData& Data);

// The built-in demo: a deterministic plucked-string riff of 8 seconds (single notes, then power
// chords) synthesized by Karplus-Strong, mono, peaking at -6 dBFS.
TAudioData SynthesizeDemoRiff(double SampleRate);
constexpr double CDemoRiffSeconds = 8.0;

// Level statistics of one channel, linear.
struct TChannelLevel {
  double Peak = 0;
  double Rms = 0;
};
TChannelLevel MeasureLevel(const std::vector<double>& Samples);
// 20 log10(x); minus infinity for 0.
double AmplitudeToDecibelFS(double Amplitude);
// "-6.02" or "-inf", right-aligned to Width characters.
std::string FormatDecibels(double Amplitude, int Width = 8);

// A one-line progress bar on a terminal; does nothing when Enabled is false.
class TProgressBar {
 public:
  TProgressBar(std::FILE* Stream, bool Enabled, std::string Caption);
  ~TProgressBar();
  TProgressBar(const TProgressBar&) = delete;
  TProgressBar& operator=(const TProgressBar&) = delete;

  // Fraction 0..1; redraws only when the shown percentage changes.
  void Update(double Fraction);
  // Clears the line.
  void Finish();

 private:
  std::FILE* FStream;
  bool FEnabled;
  std::string FCaption;
  int FShown = -1;
};

}  // namespace kvx
