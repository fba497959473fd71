#include "host/lib/KVX_HostAudio.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "host/lib/KVX_HostSystem.h"

#include <sndfile.h>

namespace kvx {

namespace {

std::string LowerExtension(const std::string& FileName) {
  std::string ext = Utf8FromPath(PathFromUtf8(FileName).extension());
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

}  // namespace

namespace {

SNDFILE* File(void* Handle) { return static_cast<SNDFILE*>(Handle); }

uint32_t LittleEndian32(const uint8_t* P) {
  return uint32_t{P[0]} | uint32_t{P[1]} << 8 | uint32_t{P[2]} << 16 | uint32_t{P[3]} << 24;
}

// The frames a RIFF WAVE file's data chunk declares beyond the end of the file. libsndfile
// quietly reads what is there; the user is told how much is missing.
uint64_t WaveFramesMissing(const std::string& FileName) {
  std::FILE* f = std::fopen(FileName.c_str(), "rb");
  if (!f) return 0;
  struct TCloser {
    std::FILE* F;
    ~TCloser() { std::fclose(F); }
  } closer{f};
  uint8_t head[12];
  if (std::fread(head, 1, 12, f) != 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
    return 0;
  std::error_code ec;
  const uint64_t fileSize = std::filesystem::file_size(FileName, ec);
  if (ec) return 0;
  uint32_t blockAlign = 0;
  uint64_t at = 12;
  // A bounded walk over the chunks up to the data chunk.
  for (int chunks = 0; chunks < 1000 && at + 8 <= fileSize; ++chunks) {
    uint8_t chunk[8];
    if (fseeko(f, static_cast<off_t>(at), SEEK_SET) != 0 || std::fread(chunk, 1, 8, f) != 8) return 0;
    const uint32_t size = LittleEndian32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 14) {
      uint8_t fmt[14];
      if (std::fread(fmt, 1, 14, f) != 14) return 0;
      blockAlign = uint32_t{fmt[12]} | uint32_t{fmt[13]} << 8;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      // 0 and 0xFFFFFFFF are what streaming writers leave: no length declared.
      if (blockAlign == 0 || size == 0 || size == 0xFFFFFFFFu) return 0;
      const uint64_t held = fileSize - (at + 8);
      // Frames declared less frames readable: a partial last frame counts as missing.
      return size > held ? size / blockAlign - held / blockAlign : 0;
    }
    at += 8 + uint64_t{size} + (size & 1);
  }
  return 0;
}

}  // namespace

size_t TAudioDataSource::Read(TAudioBlock& Block, size_t Count) {
  const size_t n = std::min(Count, FData->Frames() - FPosition);
  for (size_t c = 0; c < FData->ChannelCount(); ++c)
    std::copy_n(FData->Channels[c].begin() + static_cast<std::ptrdiff_t>(FPosition), n, Block[c].begin());
  FPosition += n;
  return n;
}

void TAudioDataSink::Write(const TAudioBlock& Block, size_t Count) {
  if (FData->Channels.size() < Block.size()) FData->Channels.resize(Block.size());
  for (size_t c = 0; c < Block.size(); ++c)
    FData->Channels[c].insert(FData->Channels[c].end(), Block[c].begin(), Block[c].begin() + static_cast<std::ptrdiff_t>(Count));
}

TAudioFileReader::TAudioFileReader(const std::string& FileName) : FFileName(FileName) {
  std::error_code ec;
  const auto status = std::filesystem::status(PathFromUtf8(FileName), ec);
  if (ec || !std::filesystem::exists(status))
    throw EStreamError("cannot read '" + FileName + "': no such file");
  if (std::filesystem::is_directory(status))
    throw EStreamError("cannot read '" + FileName + "': it is a folder");

  SF_INFO info{};
  std::string reason;
  const int fd = OpenFileForReading(FileName, reason);
  if (fd < 0) throw EStreamError("cannot read '" + FileName + "': " + reason);
  FFile = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
  if (!FFile)
    throw EStreamError("cannot read '" + FileName + "': not an audio file (" + sf_strerror(nullptr) + ")");
  if (info.channels < 1 || info.channels > 64 || info.samplerate < 1 || info.frames < 0) {
    sf_close(File(FFile));
    throw EStreamError("cannot read '" + FileName + "': unsupported channel count or sample rate");
  }
  FSampleRate = info.samplerate;
  FChannels = static_cast<size_t>(info.channels);
  FFrames = static_cast<uint64_t>(info.frames);
  if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV) FMissingFrames = WaveFramesMissing(FileName);
}

TAudioFileReader::~TAudioFileReader() {
  if (FFile) sf_close(File(FFile));
}

size_t TAudioFileReader::Read(TAudioBlock& Block, size_t Count) {
  constexpr size_t CChunk = 4096;
  FInterleaved.resize(CChunk * FChannels);
  size_t done = 0;
  while (done < Count) {
    const size_t want = std::min(CChunk, Count - done);
    const sf_count_t got = sf_readf_double(File(FFile), FInterleaved.data(), static_cast<sf_count_t>(want));
    if (sf_error(File(FFile)) != SF_ERR_NO_ERROR)
      throw EStreamError("cannot read '" + FFileName + "': " + sf_strerror(File(FFile)));
    if (got <= 0) break;
    for (size_t c = 0; c < FChannels; ++c) {
      double* out = Block[c].data() + done;
      for (sf_count_t i = 0; i < got; ++i) {
        const double v = FInterleaved[static_cast<size_t>(i) * FChannels + c];
        out[i] = std::isfinite(v) ? v : 0;  // a corrupt float file must not feed NaN into a plug-in
      }
    }
    done += static_cast<size_t>(got);
    if (static_cast<size_t>(got) < want) break;
  }
  return done;
}

TAudioData ReadAudioFile(const std::string& FileName) {
  TAudioFileReader reader(FileName);
  TAudioData data;
  data.SampleRate = reader.SampleRate();
  data.Channels.assign(reader.ChannelCount(), {});
  TAudioDataSink sink(data);
  TAudioBlock block(reader.ChannelCount(), std::vector<double>(65536));
  while (const size_t n = reader.Read(block, 65536)) sink.Write(block, n);
  return data;
}

int AudioFormatForFileName(const std::string& FileName) {
  const std::string ext = LowerExtension(FileName);
  if (ext == ".wav") return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  if (ext == ".flac") return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
  if (ext == ".aif" || ext == ".aiff" || ext == ".aifc") return SF_FORMAT_AIFF | SF_FORMAT_FLOAT;
  if (ext == ".ogg" || ext == ".oga") return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
  if (ext == ".w64") return SF_FORMAT_W64 | SF_FORMAT_FLOAT;
  if (ext == ".caf") return SF_FORMAT_CAF | SF_FORMAT_FLOAT;
  throw EArgumentError("cannot write '" + FileName +
                       "': unknown audio format (use .wav, .flac, .aiff, .ogg, .w64 or .caf)");
}

namespace {

// The file a write to Path replaces: symbolic links followed, also to a file not yet there.
std::filesystem::path ResolveLinks(const std::string& FileName) {
  namespace fs = std::filesystem;
  fs::path p = PathFromUtf8(FileName);
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec)) || ec) return p;
    const fs::path next = fs::read_symlink(p, ec);
    if (ec) throw EStreamError("cannot write '" + FileName + "': " + ec.message());
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  throw EStreamError("cannot write '" + FileName + "': too many levels of symbolic links");
}

}  // namespace

TAudioFileWriter::TAudioFileWriter(const std::string& FileName, double SampleRate, size_t Channels)
    : FFileName(FileName), FChannels(Channels) {
  const int format = AudioFormatForFileName(FileName);
  if (Channels < 1) throw EArgumentError("cannot write '" + FileName + "': no channels");
  SF_INFO info{};
  info.samplerate = static_cast<int>(std::lround(SampleRate));
  info.channels = static_cast<int>(Channels);
  info.format = format;
  if (!sf_format_check(&info))
    throw EArgumentError("cannot write '" + FileName + "': the format does not take " +
                         std::to_string(Channels) + " channels at " + std::to_string(info.samplerate) + " Hz");

  namespace fs = std::filesystem;
  const fs::path target = ResolveLinks(FileName);
  if (fs::is_directory(target)) throw EStreamError("cannot write '" + FileName + "': it is a folder");
  FTarget = Utf8FromPath(target);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string hidden = Utf8FromPath(target.filename());
  hidden.insert(0, 1, '.');
  hidden.append(".XXXXXX");
  FTemporary = Utf8FromPath(folder / PathFromUtf8(hidden));
  std::string reason;
  // An existing file keeps its mode; a new one gets the permissions a plain create would.
  const int fd = CreateUniqueFile(FTemporary, FTarget, reason);
  if (fd < 0) throw EStreamError("cannot write '" + FileName + "': " + reason);
  FFile = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (!FFile) {
    reason = sf_strerror(nullptr);
    CloseFileDescriptor(fd);
    std::error_code ignored;
    fs::remove(PathFromUtf8(FTemporary), ignored);
    throw EStreamError("cannot write '" + FileName + "': " + reason);
  }
  // Integer formats clip instead of wrapping around.
  sf_command(File(FFile), SFC_SET_CLIPPING, nullptr, SF_TRUE);
  // The peak chunk carries the time of writing: without it the same audio gives the same file.
  sf_command(File(FFile), SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  FInterleaved.resize(CWriteChunk * Channels);
}

TAudioFileWriter::~TAudioFileWriter() {
  if (!FFile) return;
  sf_close(File(FFile));
  std::remove(FTemporary.c_str());
}

void TAudioFileWriter::Fail(const std::string& Reason) {
  if (FFile) sf_close(File(FFile));
  FFile = nullptr;
  std::remove(FTemporary.c_str());
  throw EStreamError("cannot write '" + FFileName + "': " + Reason);
}

void TAudioFileWriter::Flush() {
  if (FBuffered == 0) return;
  if (sf_writef_double(File(FFile), FInterleaved.data(), static_cast<sf_count_t>(FBuffered)) !=
      static_cast<sf_count_t>(FBuffered))
    Fail(sf_strerror(File(FFile)));
  FBuffered = 0;
}

// The samples reach libsndfile in chunks of CWriteChunk frames whatever the block size, so the
// file does not depend on how the audio was cut into blocks.
void TAudioFileWriter::Write(const TAudioBlock& Block, size_t Count) {
  if (!FFile) throw EStreamError("cannot write '" + FFileName + "': already closed");
  for (size_t done = 0; done < Count;) {
    const size_t n = std::min(CWriteChunk - FBuffered, Count - done);
    for (size_t i = 0; i < n; ++i)
      for (size_t c = 0; c < FChannels; ++c) FInterleaved[(FBuffered + i) * FChannels + c] = Block[c][done + i];
    FBuffered += n;
    done += n;
    if (FBuffered == CWriteChunk) Flush();
  }
}

void TAudioFileWriter::Commit() {
  if (!FFile) throw EStreamError("cannot write '" + FFileName + "': already closed");
  Flush();
  const int closed = sf_close(File(FFile));
  FFile = nullptr;
  if (closed != 0) {
    std::remove(FTemporary.c_str());
    throw EStreamError("cannot write '" + FFileName + "': closing failed");
  }
  std::string reason;
  if (!RenameReplacing(FTemporary, FTarget, reason)) {
    std::remove(FTemporary.c_str());
    throw EStreamError("cannot write '" + FFileName + "': " + reason);
  }
}

void WriteAudioFile(const std::string& FileName, const TAudioData& Data) {
  TAudioFileWriter writer(FileName, Data.SampleRate, Data.ChannelCount());
  writer.Write(Data.Channels, Data.Frames());
  writer.Commit();
}

// ---- the demo riff ------------------------------------------------------------------------------

namespace {

// A small deterministic noise source (xorshift), so the riff is the same on every machine.
class TNoise {
 public:
  double Next() {
    FState ^= FState << 13;
    FState ^= FState >> 7;
    FState ^= FState << 17;
    return static_cast<double>(FState >> 11) * (2.0 / 9007199254740992.0) - 1.0;
  }

 private:
  uint64_t FState = 0x9E3779B97F4A7C15ull;
};

struct TNote {
  double Start;     // seconds
  double Length;    // seconds until the string is damped
  int Midi;         // pitch
  double Velocity;  // 0..1
  bool Muted;       // palm mute: damped from the start
};

double MidiToFrequency(int Midi) { return 440.0 * std::pow(2.0, (Midi - 69) / 12.0); }

// One plucked string: a noise burst circulating through a delay line whose loop averages two
// neighbouring samples (a low-pass that lets higher partials die first).
void PluckString(std::vector<double>& Out, double SampleRate, const TNote& Note, TNoise& Noise) {
  const double period = SampleRate / MidiToFrequency(Note.Midi);
  // The two-tap average adds half a sample of delay to the loop.
  const size_t length = std::max<size_t>(2, static_cast<size_t>(period - 0.5));
  std::vector<double> line(length);
  // A softened burst: brighter for harder picks.
  const double bright = 0.35 + 0.5 * Note.Velocity;
  double lp = 0;
  for (double& s : line) {
    lp += bright * (Noise.Next() - lp);
    s = lp * Note.Velocity;
  }
  const size_t start = static_cast<size_t>(Note.Start * SampleRate);
  const size_t damp = start + static_cast<size_t>(Note.Length * SampleRate);
  const size_t end = std::min(Out.size(), damp + static_cast<size_t>(0.08 * SampleRate));
  const double ringing = Note.Muted ? 0.982 : 0.9985;
  size_t pos = 0;
  double previous = line[length - 1];
  for (size_t n = start; n < end; ++n) {
    const double current = line[pos];
    const double decay = n < damp ? ringing : 0.93;  // the fretting hand lifts: the note dies fast
    const double next = decay * 0.5 * (current + previous);
    previous = current;
    line[pos] = next;
    pos = pos + 1 == length ? 0 : pos + 1;
    Out[n] += current;
  }
}

}  // namespace

TAudioData SynthesizeDemoRiff(double SampleRate) {
  if (!(SampleRate >= 8000 && SampleRate <= 768000))
    throw EArgumentError("the demo sample rate must lie between 8000 and 768000 Hz");
  // 150 beats per minute, eighth notes of 0.2 s: two bars of single notes, two bars of chords.
  const double e = 0.2;
  std::vector<TNote> notes;
  // Bars 1-2: a single-note line on the low strings (E2 = MIDI 40).
  const int line[] = {40, 40, 43, 45, 40, 40, 46, 45, 40, 40, 43, 45, 48, 47, 45, 43,
                      40, 40, 43, 45, 40, 40, 38, 40};
  for (size_t i = 0; i < std::size(line); ++i)
    notes.push_back({i * e / 1.5, e / 1.5 * 0.9, line[i], (i % 4 == 0) ? 0.9 : 0.7, i % 2 == 1});
  // From 3.2 s: power chords (root, fifth, octave), strummed low to high.
  struct TChord {
    double Start, Length;
    int Root;
    bool Muted;
  };
  const TChord chords[] = {
      {3.2, 0.18, 40, true},  {3.4, 0.18, 40, true},  {3.6, 0.38, 43, false}, {4.0, 0.38, 45, false},
      {4.4, 0.18, 40, true},  {4.6, 0.18, 40, true},  {4.8, 0.38, 46, false}, {5.2, 0.38, 45, false},
      {5.6, 0.18, 40, true},  {5.8, 0.18, 40, true},  {6.0, 0.38, 43, false}, {6.4, 0.38, 38, false},
      {6.8, 1.0, 40, false}};
  for (const TChord& c : chords) {
    const int voices[] = {c.Root, c.Root + 7, c.Root + 12};
    for (int v = 0; v < 3; ++v)
      notes.push_back({c.Start + 0.012 * v, c.Length - 0.012 * v, voices[v], c.Muted ? 0.75 : 0.85, c.Muted});
  }

  std::vector<double> mono(static_cast<size_t>(CDemoRiffSeconds * SampleRate), 0.0);
  TNoise noise;
  for (const TNote& n : notes) PluckString(mono, SampleRate, n, noise);
  // A short fade at the very end, so the file ends in silence.
  const size_t fade = static_cast<size_t>(0.05 * SampleRate);
  for (size_t i = 0; i < fade && i < mono.size(); ++i) mono[mono.size() - 1 - i] *= static_cast<double>(i) / fade;

  double peak = 0;
  for (double s : mono) peak = std::max(peak, std::fabs(s));
  const double gain = peak > 0 ? 0.5 / peak : 0;  // -6 dBFS
  for (double& s : mono) s *= gain;
  TAudioData data;
  data.SampleRate = SampleRate;
  data.Channels.push_back(std::move(mono));
  return data;
}

// ---- levels -------------------------------------------------------------------------------------

TChannelLevel MeasureLevel(const std::vector<double>& Samples) {
  TLevelMeter meter;
  meter.Add(Samples.data(), Samples.size());
  return meter.Level();
}

void TLevelMeter::Add(const double* Samples, size_t Count) {
  for (size_t i = 0; i < Count; ++i) {
    FPeak = std::max(FPeak, std::fabs(Samples[i]));
    FSum += Samples[i] * Samples[i];
  }
  FCount += Count;
}

TChannelLevel TLevelMeter::Level() const {
  TChannelLevel level;
  level.Peak = FPeak;
  if (FCount > 0) level.Rms = std::sqrt(FSum / static_cast<double>(FCount));
  return level;
}

double AmplitudeToDecibelFS(double Amplitude) {
  if (!(Amplitude > 0)) return -INFINITY;
  return 20.0 * std::log10(Amplitude);
}

std::string FormatDecibels(double Amplitude, int Width) {
  char text[64];
  const double db = AmplitudeToDecibelFS(Amplitude);
  if (std::isnan(Amplitude))
    std::snprintf(text, sizeof text, "%*s", Width, "nan");
  else if (std::isinf(db))
    std::snprintf(text, sizeof text, "%*s", Width, db < 0 ? "-inf" : "+inf");
  else
    std::snprintf(text, sizeof text, "%*.2f", Width, db);
  return text;
}

// ---- progress -----------------------------------------------------------------------------------

TProgressBar::TProgressBar(std::FILE* Stream, bool Enabled, std::string Caption)
    : FStream(Stream), FEnabled(Enabled && Stream), FCaption(std::move(Caption)) {}

TProgressBar::~TProgressBar() { Finish(); }

void TProgressBar::Update(double Fraction) {
  if (!FEnabled) return;
  const int percent = static_cast<int>(std::clamp(Fraction, 0.0, 1.0) * 100.0);
  if (percent == FShown) return;
  FShown = percent;
  constexpr int CWidth = 40;
  const int filled = percent * CWidth / 100;
  std::fprintf(FStream, "\r%s [%.*s%*s] %3d%%", FCaption.c_str(), filled,
               "########################################", CWidth - filled, "", percent);
  std::fflush(FStream);
}

void TProgressBar::Finish() {
  if (!FEnabled || FShown < 0) return;
  std::fprintf(FStream, "\r%*s\r", static_cast<int>(FCaption.size()) + 50, "");
  std::fflush(FStream);
  FShown = -1;
}

}  // namespace kvx
