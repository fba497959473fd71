#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/lib/KVX_HostAudio.h"
#include "host/lib/KVX_HostSystem.h"
#include "support/KVX_TestFiles.h"

using namespace kvx;
namespace fs = std::filesystem;

namespace {

fs::path TempFolder() {
  const fs::path p = fs::temp_directory_path() / ("kvx_host_audio_" + std::to_string(getpid()));
  fs::create_directories(p);
  return p;
}

TAudioData Ramp(size_t Channels, size_t Frames, double Rate) {
  TAudioData d;
  d.SampleRate = Rate;
  for (size_t c = 0; c < Channels; ++c) {
    std::vector<double> ch(Frames);
    for (size_t i = 0; i < Frames; ++i) ch[i] = std::sin(0.01 * static_cast<double>(i) * (c + 1)) * 0.9;
    d.Channels.push_back(ch);
  }
  return d;
}

}  // namespace

// Every written format reads back at its rate, channel count and length, within its resolution.
TEST(HostAudioFile, RoundTripEachFormat) {
  const fs::path folder = TempFolder();
  struct TCase {
    const char* Name;
    double Tolerance;  // 0: bit-exact for float samples
  } cases[] = {{"a.wav", 0}, {"a.WAV", 0}, {"a.aiff", 0}, {"a.w64", 0}, {"a.caf", 0}, {"a.flac", 1.0 / 8388608}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TAudioData d = Ramp(2, 3000, 48000);
    for (auto& ch : d.Channels)
      for (double& s : ch) s = static_cast<float>(s);  // what a float file can hold
    const std::string file = (folder / c.Name).string();
    WriteAudioFile(file, d);
    const TAudioData r = ReadAudioFile(file);
    EXPECT_EQ(r.SampleRate, 48000);
    ASSERT_EQ(r.ChannelCount(), 2u);
    ASSERT_EQ(r.Frames(), 3000u);
    double worst = 0;
    for (size_t ch = 0; ch < 2; ++ch)
      for (size_t i = 0; i < 3000; ++i) worst = std::max(worst, std::fabs(r.Channels[ch][i] - d.Channels[ch][i]));
    EXPECT_LE(worst, c.Tolerance);
  }
  // Vorbis is lossy: only its shape is compared.
  const std::string ogg = (folder / "a.ogg").string();
  WriteAudioFile(ogg, Ramp(1, 48000, 48000));
  const TAudioData r = ReadAudioFile(ogg);
  EXPECT_EQ(r.ChannelCount(), 1u);
  EXPECT_NEAR(static_cast<double>(r.Frames()), 48000, 2048);
  fs::remove_all(folder);
}

// The same audio written twice gives the same bytes, a second apart as well.
TEST(HostAudioFile, WritesAreReproducible) {
  const fs::path folder = TempFolder();
  const TAudioData d = Ramp(2, 100, 44100);
  WriteAudioFile((folder / "a.wav").string(), d);
  sleep(1);
  WriteAudioFile((folder / "b.wav").string(), d);
  auto bytes = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_TRUE(bytes(folder / "a.wav") == bytes(folder / "b.wav"));
  fs::remove_all(folder);
}

// A UTF-8 name outside ASCII is written and read back, and writing again replaces the file (a
// rename over an existing file, which Windows refuses unless asked to replace).
TEST(HostAudioFile, NamesOutsideAsciiAndReplacedFiles) {
  const fs::path folder = TempFolder();
  const std::string file = Utf8FromPath(folder) + "/\u00efn-\u00fc\u65e5.wav";
  WriteAudioFile(file, Ramp(2, 100, 44100));
  WriteAudioFile(file, Ramp(1, 300, 48000));
  const TAudioData r = ReadAudioFile(file);
  EXPECT_EQ(r.ChannelCount(), 1u);
  EXPECT_EQ(r.Frames(), 300u);
  EXPECT_EQ(r.SampleRate, 48000);
  size_t entries = 0;
  for (const auto& e : fs::directory_iterator(folder)) entries += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(entries, 1u) << "no temporary file is left";
  fs::remove_all(folder);
}

// Failures leave nothing behind: no half-written target, no temporary file.
TEST(HostAudioFile, FailedWritesLeaveNoFile) {
  const fs::path folder = TempFolder();
  EXPECT_THROW(WriteAudioFile((folder / "x.mp3").string(), Ramp(1, 10, 44100)), EArgumentError);
  EXPECT_THROW(WriteAudioFile((folder / "missing" / "x.wav").string(), Ramp(1, 10, 44100)), EStreamError);
  // 9 channels at 44.1 kHz is more than FLAC takes.
  EXPECT_THROW(WriteAudioFile((folder / "x.flac").string(), Ramp(9, 10, 44100)), EArgumentError);
  EXPECT_TRUE(fs::is_empty(folder));
  // A folder in the target's place is not replaced.
  fs::create_directory(folder / "d.wav");
  EXPECT_THROW(WriteAudioFile((folder / "d.wav").string(), Ramp(1, 10, 44100)), EStreamError);
  EXPECT_TRUE(fs::is_directory(folder / "d.wav"));
  fs::remove_all(folder);
}

std::string Bytes(const fs::path& P) {
  std::ifstream in(P, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Written block by block in uneven pieces, and read back the same way, a file is the one written
// at once; for FLAC too, whose encoder buffers on its own.
TEST(HostAudioFile, BlockwiseWritesAndReadsEqualWholeOnes) {
  const fs::path folder = TempFolder();
  const TAudioData d = Ramp(2, 10000, 44100);
  for (const char* name : {"a.wav", "a.flac"}) {
    SCOPED_TRACE(name);
    WriteAudioFile((folder / "whole").string() + name, d);
    {
      TAudioFileWriter writer((folder / "pieces").string() + name, 44100, 2);
      TAudioBlock block(2, std::vector<double>(4999));
      for (size_t at = 0, n = 1; at < d.Frames(); at += n, n = n * 3 % 4999 + 1) {
        n = std::min(n, d.Frames() - at);
        for (size_t c = 0; c < 2; ++c) std::copy_n(d.Channels[c].begin() + static_cast<std::ptrdiff_t>(at), n, block[c].begin());
        writer.Write(block, n);
      }
      writer.Commit();
    }
    EXPECT_TRUE(Bytes(folder / (std::string("whole") + name)) == Bytes(folder / (std::string("pieces") + name)));
    TAudioFileReader reader((folder / "pieces").string() + name);
    EXPECT_EQ(reader.Frames(), 10000u);
    TAudioBlock block(2, std::vector<double>(3333));
    size_t total = 0;
    while (const size_t n = reader.Read(block, 3333)) {
      EXPECT_NEAR(block[1][n - 1], d.Channels[1][total + n - 1], 1.0 / 8388608);
      total += n;
    }
    EXPECT_EQ(total, 10000u);
  }
  // A writer given up before Commit leaves nothing, not even its temporary file.
  { TAudioFileWriter abandoned((folder / "abandoned.wav").string(), 44100, 1); }
  EXPECT_FALSE(fs::exists(folder / "abandoned.wav"));
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++files;
  EXPECT_EQ(files, 4u);
  fs::remove_all(folder);
}

// Replacing the output follows a symbolic link to the file it names (also one not there yet)
// and keeps an existing file's permissions; a new file gets those of a plain create.
TEST(HostAudioFile, WritingFollowsLinksAndKeepsTheMode) {
  const fs::path folder = TempFolder();
  if (!kvx::test::CanMakeSymbolicLinks(folder)) {
    fs::remove_all(folder);
    GTEST_SKIP() << "this system makes no symbolic links";
  }
  fs::create_directory(folder / "takes");
  const std::string target = (folder / "takes" / "take.wav").string();
  WriteAudioFile(target, Ramp(1, 10, 44100));
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("takes/take.wav", folder / "link.wav");
  WriteAudioFile((folder / "link.wav").string(), Ramp(2, 20, 44100));
  EXPECT_TRUE(fs::is_symlink(folder / "link.wav"));
  EXPECT_EQ(ReadAudioFile(target).Frames(), 20u);
  EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // A dangling link: the file it names is created.
  fs::create_symlink("takes/new.wav", folder / "dangling.wav");
  WriteAudioFile((folder / "dangling.wav").string(), Ramp(1, 5, 44100));
  EXPECT_TRUE(fs::is_symlink(folder / "dangling.wav"));
  EXPECT_EQ(ReadAudioFile((folder / "takes" / "new.wav").string()).Frames(), 5u);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(static_cast<mode_t>(fs::status(folder / "takes" / "new.wav").permissions()), 0666 & ~mask);
  // A loop of links is an error, not a hang.
  fs::create_symlink("loop.wav", folder / "loop.wav");
  EXPECT_THROW(WriteAudioFile((folder / "loop.wav").string(), Ramp(1, 5, 44100)), EStreamError);
  fs::remove_all(folder);
}

// A WAV cut off after its header was written reads what it holds and tells how much is missing;
// a complete one and one whose writer left the length open are not short.
TEST(HostAudioFile, CutOffWaveTellsWhatIsMissing) {
  const fs::path folder = TempFolder();
  const std::string whole = (folder / "whole.wav").string();
  WriteAudioFile(whole, Ramp(2, 1000, 44100));  // 32-bit float: 8 bytes a frame
  std::string bytes = Bytes(whole);
  const size_t header = bytes.size() - 8000;
  auto write = [&](const char* Name, const std::string& Content) {
    std::ofstream((folder / Name).string(), std::ios::binary) << Content;
    return (folder / Name).string();
  };
  struct TCase {
    std::string File;
    uint64_t Frames, Missing;
  } cases[] = {
      {whole, 1000, 0},
      {write("cut.wav", bytes.substr(0, bytes.size() - 803)), 899, 101},  // 899 and a part readable
      {write("headeronly.wav", bytes.substr(0, header)), 0, 1000},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.File);
    TAudioFileReader reader(c.File);
    EXPECT_EQ(reader.MissingFrames(), c.Missing);
    TAudioBlock block(2, std::vector<double>(2000));
    EXPECT_EQ(reader.Read(block, 2000), c.Frames);
  }
  // An open length (0xFFFFFFFF, as streaming writers leave it) is no claim.
  std::string open = bytes.substr(0, bytes.size() - 800);
  const size_t data = open.find("data");
  ASSERT_NE(data, std::string::npos);
  open.replace(data + 4, 4, "\xFF\xFF\xFF\xFF");
  {
    TAudioFileReader streamed(write("open.wav", open));
    EXPECT_EQ(streamed.MissingFrames(), 0u);
  }
  fs::remove_all(folder);
}

TEST(HostAudioFile, ReadErrorsNameTheFileAndTheReason) {
  const fs::path folder = TempFolder();
  const std::string text = (folder / "notes.wav").string();
  std::ofstream(text) << "this is not a RIFF file at all";
  struct TCase {
    std::string File, Reason;
  } cases[] = {{(folder / "none.wav").string(), "no such file"}, {text, "not an audio file"},
               {folder.string(), "folder"}};
  for (const TCase& c : cases) {
    try {
      ReadAudioFile(c.File);
      ADD_FAILURE() << c.File << " was read";
    } catch (const EStreamError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(c.File), std::string::npos) << message;
      EXPECT_NE(message.find(c.Reason), std::string::npos) << message;
      EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
  }
  fs::remove_all(folder);
}

// The demo riff: deterministic, 8 s, peaking at -6 dBFS, with sound throughout, and its first
// note is the low E string (82.4 Hz).
TEST(HostDemoRiff, IsDeterministicAndInTune) {
  const TAudioData a = SynthesizeDemoRiff(44100);
  const TAudioData b = SynthesizeDemoRiff(44100);
  ASSERT_EQ(a.ChannelCount(), 1u);
  EXPECT_EQ(a.Frames(), 8u * 44100);
  EXPECT_EQ(a.Channels, b.Channels);
  EXPECT_DOUBLE_EQ(MeasureLevel(a.Channels[0]).Peak, 0.5);
  for (int second = 0; second < 7; ++second) {
    const std::vector<double> part(a.Channels[0].begin() + second * 44100, a.Channels[0].begin() + (second + 1) * 44100);
    EXPECT_GT(MeasureLevel(part).Rms, 0.01) << "second " << second;
  }
  // Autocorrelation over the first note picks its period.
  const std::vector<double>& x = a.Channels[0];
  size_t best = 0;
  double bestSum = -1;
  for (size_t lag = 300; lag < 800; ++lag) {
    double sum = 0;
    for (size_t i = 0; i < 4000; ++i) sum += x[i] * x[i + lag];
    if (sum > bestSum) bestSum = sum, best = lag;
  }
  EXPECT_NEAR(44100.0 / static_cast<double>(best), 82.41, 0.5);
  // Other rates give the same riff in time.
  EXPECT_EQ(SynthesizeDemoRiff(96000).Frames(), 8u * 96000);
  EXPECT_THROW(SynthesizeDemoRiff(0), EArgumentError);
  EXPECT_THROW(SynthesizeDemoRiff(NAN), EArgumentError);
}

TEST(HostLevels, PeakRmsAndDecibels) {
  std::vector<double> sine(48000);
  for (size_t i = 0; i < sine.size(); ++i) sine[i] = std::sin(2 * M_PI * 1000 * static_cast<double>(i) / 48000);
  const TChannelLevel l = MeasureLevel(sine);
  EXPECT_NEAR(l.Peak, 1.0, 1e-9);
  EXPECT_NEAR(AmplitudeToDecibelFS(l.Rms), -3.0103, 1e-3);
  EXPECT_EQ(MeasureLevel({}).Peak, 0);
  EXPECT_EQ(MeasureLevel({-0.25, 0.125}).Peak, 0.25);
  EXPECT_EQ(FormatDecibels(0.5, 6), " -6.02");
  EXPECT_EQ(FormatDecibels(0, 5), " -inf");
  EXPECT_EQ(FormatDecibels(NAN, 4), " nan");
  EXPECT_TRUE(std::isinf(AmplitudeToDecibelFS(0)));
}
