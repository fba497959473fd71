#include "host/lib/KVX_HostAudio.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "host/lib/KVX_HostSystem.h"

#ifdef KVX_HAVE_SNDFILE
#include <sndfile.h>
#endif

namespace kvx {

namespace {

std::string LowerExtension(const std::string& FileName) {
  std::string ext = Utf8FromPath(PathFromUtf8(FileName).extension());
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

}  // namespace

#ifdef KVX_HAVE_SNDFILE

TAudioData ReadAudioFile(const std::string& FileName) {
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
  SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
  if (!file)
    throw EStreamError("cannot read '" + FileName + "': not an audio file (" + sf_strerror(nullptr) + ")");
  struct TCloser {
    SNDFILE* F;
    ~TCloser() { sf_close(F); }
  } closer{file};

  if (info.channels < 1 || info.channels > 64 || info.samplerate < 1 || info.frames < 0)
    throw EStreamError("cannot read '" + FileName + "': unsupported channel count or sample rate");

  TAudioData data;
  data.SampleRate = info.samplerate;
  const size_t channels = static_cast<size_t>(info.channels);
  data.Channels.assign(channels, {});
  std::vector<double> interleaved(4096 * channels);
  for (;;) {
    const sf_count_t got = sf_readf_double(file, interleaved.data(), 4096);
    if (got <= 0) break;
    for (size_t c = 0; c < channels; ++c) {
      auto& ch = data.Channels[c];
      for (sf_count_t i = 0; i < got; ++i) ch.push_back(interleaved[static_cast<size_t>(i) * channels + c]);
    }
  }
  if (sf_error(file) != SF_ERR_NO_ERROR)
    throw EStreamError("cannot read '" + FileName + "': " + sf_strerror(file));
  for (auto& ch : data.Channels)
    for (double& s : ch)
      if (!std::isfinite(s)) s = 0;  // a corrupt float file must not feed NaN into a plug-in
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

void WriteAudioFile(const std::string& FileName, const TAudioData& Data) {
  const int format = AudioFormatForFileName(FileName);
  const size_t channels = Data.ChannelCount();
  if (channels < 1) throw EArgumentError("cannot write '" + FileName + "': no channels");
  SF_INFO info{};
  info.samplerate = static_cast<int>(std::lround(Data.SampleRate));
  info.channels = static_cast<int>(channels);
  info.format = format;
  if (!sf_format_check(&info))
    throw EArgumentError("cannot write '" + FileName + "': the format does not take " +
                         std::to_string(channels) + " channels at " + std::to_string(info.samplerate) + " Hz");

  namespace fs = std::filesystem;
  const fs::path target = PathFromUtf8(FileName);
  if (fs::is_directory(target)) throw EStreamError("cannot write '" + FileName + "': it is a folder");
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string hidden = Utf8FromPath(target.filename());
  hidden.insert(0, 1, '.');
  hidden.append(".XXXXXX");
  std::string temp = Utf8FromPath(folder / PathFromUtf8(hidden));
  std::string reason;
  const int fd = CreateUniqueFile(temp, FileName, reason);
  if (fd < 0) throw EStreamError("cannot write '" + FileName + "': " + reason);

  bool ok = false;
  SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (!file) {
    reason = sf_strerror(nullptr);
    CloseFileDescriptor(fd);
  } else {
    // Integer formats clip instead of wrapping around.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // The peak chunk carries the time of writing: without it the same audio gives the same file.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    const size_t frames = Data.Frames();
    std::vector<double> interleaved(4096 * channels);
    ok = true;
    for (size_t done = 0; done < frames && ok;) {
      const size_t n = std::min<size_t>(4096, frames - done);
      for (size_t i = 0; i < n; ++i)
        for (size_t c = 0; c < channels; ++c) interleaved[i * channels + c] = Data.Channels[c][done + i];
      if (sf_writef_double(file, interleaved.data(), static_cast<sf_count_t>(n)) != static_cast<sf_count_t>(n)) {
        reason = sf_strerror(file);
        ok = false;
      }
      done += n;
    }
    if (sf_close(file) != 0 && ok) {
      reason = "closing failed";
      ok = false;
    }
  }
  if (ok && !RenameReplacing(temp, FileName, reason)) ok = false;
  if (!ok) {
    std::error_code ignored;
    fs::remove(PathFromUtf8(temp), ignored);
    throw EStreamError("cannot write '" + FileName + "': " + reason);
  }
}

#else

TAudioData ReadAudioFile(const std::string& FileName) {
  throw EStreamError("cannot read '" + FileName + "': built without libsndfile");
}
int AudioFormatForFileName(const std::string& FileName) {
  throw EArgumentError("cannot write '" + FileName + "': built without libsndfile");
}
void WriteAudioFile(const std::string& FileName, const TAudioData&) {
  throw EStreamError("cannot write '" + FileName + "': built without libsndfile");
}

#endif

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
  TChannelLevel level;
  double sum = 0;
  for (double s : Samples) {
    level.Peak = std::max(level.Peak, std::fabs(s));
    sum += s * s;
  }
  if (!Samples.empty()) level.Rms = std::sqrt(sum / static_cast<double>(Samples.size()));
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
