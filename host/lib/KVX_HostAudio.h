// Audio data for the command-line host: files through libsndfile, the built-in demo riff and
// level statistics.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Planar blocks of audio: one buffer per channel, Frames valid samples in each.
using TAudioBlock = std::vector<std::vector<double>>;

// Where audio comes from, a block at a time.
class TAudioSource {
 public:
  virtual ~TAudioSource() = default;
  virtual double SampleRate() const = 0;
  virtual size_t ChannelCount() const = 0;
  // The frames the source expects to deliver (a file's header may promise more than it holds).
  virtual uint64_t Frames() const = 0;
  // Fills up to Count frames of every channel of Block (each at least Count long); answers how
  // many. Fewer than Count means the source has ended.
  virtual size_t Read(TAudioBlock& Block, size_t Count) = 0;
};

// Where audio goes, a block at a time: the first Count frames of every channel of Block.
class TAudioSink {
 public:
  virtual ~TAudioSink() = default;
  virtual void Write(const TAudioBlock& Block, size_t Count) = 0;
};

// Audio held in memory as a source, and memory filled by a sink.
class TAudioDataSource : public TAudioSource {
 public:
  explicit TAudioDataSource(const TAudioData& Data) : FData(&Data) {}
  double SampleRate() const override { return FData->SampleRate; }
  size_t ChannelCount() const override { return FData->ChannelCount(); }
  uint64_t Frames() const override { return FData->Frames(); }
  size_t Read(TAudioBlock& Block, size_t Count) override;

 private:
  const TAudioData* FData;
  size_t FPosition = 0;
};

class TAudioDataSink : public TAudioSink {
 public:
  explicit TAudioDataSink(TAudioData& Data) : FData(&Data) {}
  void Write(const TAudioBlock& Block, size_t Count) override;

 private:
  TAudioData* FData;
};

// An audio file (WAV, FLAC, AIFF, OGG and whatever else libsndfile knows) read block by block at
// its own sample rate; samples that are not finite read as 0. Raises EStreamError with a
// one-line message naming the file and the reason.
class TAudioFileReader : public TAudioSource {
 public:
  explicit TAudioFileReader(const std::string& FileName);
  ~TAudioFileReader() override;
  TAudioFileReader(const TAudioFileReader&) = delete;
  TAudioFileReader& operator=(const TAudioFileReader&) = delete;

  double SampleRate() const override { return FSampleRate; }
  size_t ChannelCount() const override { return FChannels; }
  uint64_t Frames() const override { return FFrames; }
  size_t Read(TAudioBlock& Block, size_t Count) override;
  // Frames a WAV file's header declares beyond the data the file holds (a cut-off file); 0 for
  // complete files and other formats.
  uint64_t MissingFrames() const { return FMissingFrames; }

 private:
  std::string FFileName;
  void* FFile = nullptr;  // SNDFILE
  double FSampleRate = 0;
  size_t FChannels = 0;
  uint64_t FFrames = 0;
  uint64_t FMissingFrames = 0;
  std::vector<double> FInterleaved;
};

// Reads a whole audio file; see TAudioFileReader.
TAudioData ReadAudioFile(const std::string& FileName);

// The libsndfile format for a file name's extension: .wav (32-bit float), .flac (24-bit),
// .aif/.aiff (32-bit float AIFC), .ogg (Vorbis), .w64 and .caf (32-bit float). Raises
// EArgumentError for any other extension.
int AudioFormatForFileName(const std::string& FileName);

// An audio file written block by block in the format of its extension. The samples go to a
// temporary file beside the target that Commit renames over it once everything is written; a
// writer destroyed without Commit removes it, so a failed write never leaves a half-written file.
// A symbolic link at FileName is followed (the file it names is replaced) and an existing file
// keeps its permissions. Raises EStreamError or EArgumentError.
class TAudioFileWriter : public TAudioSink {
 public:
  TAudioFileWriter(const std::string& FileName, double SampleRate, size_t Channels);
  ~TAudioFileWriter() override;
  TAudioFileWriter(const TAudioFileWriter&) = delete;
  TAudioFileWriter& operator=(const TAudioFileWriter&) = delete;

  void Write(const TAudioBlock& Block, size_t Count) override;
  void Commit();

 private:
  static constexpr size_t CWriteChunk = 4096;
  void Flush();
  [[noreturn]] void Fail(const std::string& Reason);

  std::string FFileName;  // as given, for messages
  std::string FTarget;    // the file replaced: FileName with symbolic links followed
  std::string FTemporary;
  void* FFile = nullptr;  // SNDFILE
  size_t FChannels;
  std::vector<double> FInterleaved;
  size_t FBuffered = 0;
};

// Writes Data to FileName through TAudioFileWriter.
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

// The same statistics gathered block by block; the result equals MeasureLevel of all samples.
class TLevelMeter {
 public:
  void Add(const double* Samples, size_t Count);
  TChannelLevel Level() const;

 private:
  double FPeak = 0;
  double FSum = 0;
  uint64_t FCount = 0;
};
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
