// vsthost as a user runs it: a child process, its output and its exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/lib/KVX_HostAudio.h"
#include "platform/KVX_System.h"
#include "support/KVX_ChildProcess.h"
#include "support/KVX_TestFiles.h"

using namespace kvx;
using kvx::test::RunChild;
using kvx::test::SplitLines;
namespace fs = std::filesystem;

namespace {

const std::string CHost = KVX_BUILD_DIR "/vsthost";
const std::string CPlugins = KVX_TESTPLUGIN_DIR;
const std::string CGain = CPlugins + "/gain" KVX_MODULE_SUFFIX;

test::TChildResult Host(std::vector<std::string> Arguments) {
  Arguments.insert(Arguments.begin(), CHost);
  return RunChild(Arguments);
}

class HostCli : public testing::Test {
 protected:
  void SetUp() override {
    FFolder = fs::temp_directory_path() / ("kvx_host_cli_" + std::to_string(getpid()));
    fs::create_directories(FFolder);
  }
  void TearDown() override { fs::remove_all(FFolder); }
  std::string Path(const std::string& Name) const { return (FFolder / Name).string(); }
  static std::string Contents(const std::string& File) {
    std::ifstream in(File, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  fs::path FFolder;
};

bool HasLine(const std::string& Text, const std::string& Start) {
  for (const std::string& line : SplitLines(Text))
    if (line.rfind(Start, 0) == 0) return true;
  return false;
}

}  // namespace

TEST_F(HostCli, InfoPrintsWhatAHostLearns) {
  const auto r = Host({"info", CGain});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  for (const char* line : {"Magic          'VstP'", "Effect name    KVX test gain", "Unique ID      'kvtT' = 0x6B767454",
                           "Category       1 (Effect)", "Flags          0x1038 CanMono CanReplacing ProgramChunks",
                           "Inputs         2", "Parameters     3", "  bypass                 1"})
    EXPECT_TRUE(HasLine(r.Stdout, line)) << line << "\n" << r.Stdout;
  EXPECT_NE(r.Stdout.find("Gain             dB         0.00"), std::string::npos) << r.Stdout;
}

// The same setting in displayed units and as a raw host value gives the same file, equal to
// the plug-in's formula; the demo is rendered when no input is given.
TEST_F(HostCli, RenderDisplayedAndRawSettingsGiveIdenticalFiles) {
  const auto a = Host({"render", CGain, "-o", Path("a.wav"), "--set", "Mix=80", "--set", "gain=@0.3"});
  const auto b = Host({"render", CGain, "-o", Path("b.wav"), "--set", "Mix=@0.8", "--set", "Gain=@0.3"});
  ASSERT_EQ(a.ExitCode, 0) << a.Stderr;
  ASSERT_EQ(b.ExitCode, 0) << b.Stderr;
  EXPECT_TRUE(Contents(Path("a.wav")) == Contents(Path("b.wav")));
  const TAudioData out = ReadAudioFile(Path("a.wav"));
  const TAudioData demo = SynthesizeDemoRiff(44100);
  ASSERT_EQ(out.ChannelCount(), 2u);
  ASSERT_EQ(out.Frames(), demo.Frames());
  const double g = 2.0 * 0.3f, m = 0.8f;
  for (size_t i = 0; i < demo.Frames(); i += 97) {
    const float x = static_cast<float>(demo.Channels[0][i]);
    const float want = static_cast<float>(static_cast<double>(x) * (1.0 - m) + static_cast<double>(x) * g * m);
    ASSERT_EQ(out.Channels[1][i], want) << i;
  }
  EXPECT_TRUE(HasLine(a.Stdout, "Input      built-in demo riff")) << a.Stdout;
  EXPECT_TRUE(HasLine(a.Stdout, "Setting    Mix            80.0 %")) << a.Stdout;
  EXPECT_TRUE(HasLine(a.Stdout, "  out 2")) << a.Stdout;
  // Through a file at its own rate, 64-bit, with a tail: a FLAC in, a WAV out.
  const TAudioData in = SynthesizeDemoRiff(22050);
  WriteAudioFile(Path("in.flac"), in);
  const auto c = Host({"render", CGain, "-i", Path("in.flac"), "-o", Path("c.wav"), "--precision", "64",
                       "--tail", "0.5", "--block", "100"});
  ASSERT_EQ(c.ExitCode, 0) << c.Stderr;
  const TAudioData rendered = ReadAudioFile(Path("c.wav"));
  EXPECT_EQ(rendered.SampleRate, 22050);
  EXPECT_EQ(rendered.Frames(), in.Frames() + 11025);
}

// Each mistake: exit status non-zero, one line on stderr, no output file and no temporary file.
TEST_F(HostCli, MistakesGiveOneLineAndNoOutput) {
  std::ofstream(Path("text.wav")) << "not audio";
  TAudioData eight;
  eight.Channels.assign(8, std::vector<double>(100, 0.1));
  WriteAudioFile(Path("eight.wav"), eight);
  struct TCase {
    std::vector<std::string> Arguments;
    const char* Message;
  } cases[] = {
      {{"render", Path("none.so"), "-o", Path("out.wav")}, "no such file"},
      {{"render", Path("text.wav"), "-o", Path("out.wav")}, "not a loadable shared library"},
      {{"render", CPlugins + "/not_vst" KVX_MODULE_SUFFIX, "-o", Path("out.wav")}, "not a VST 2.4 plug-in"},
      {{"render", CGain, "-i", Path("text.wav"), "-o", Path("out.wav")}, "not an audio file"},
      {{"render", CGain, "-i", Path("none.wav"), "-o", Path("out.wav")}, "no such file"},
      {{"render", CGain, "-o", Path("out.wav"), "--set", "Drive=80"}, "unknown parameter 'Drive' (parameters: Gain, Mix, Mode)"},
      {{"render", CGain, "-o", Path("out.wav"), "--set", "Mix=lots"}, "not a number"},
      {{"render", CGain, "-o", Path("out.wav"), "--set", "Mix=150"}, "out of range"},
      {{"render", CGain, "-o", Path("out.mp3")}, "unknown audio format"},
      {{"render", CGain, "-o", Path("missing/out.wav")}, "cannot write"},
      {{"render", CGain}, "needs -o OUT"},
      {{"render", CGain, "-o", Path("out.wav"), "--block", "0"}, "--block"},
      {{"render", CGain, "-o", Path("out.wav"), "--precision", "16"}, "--precision"},
      {{"render", CGain, "-o", Path("out.wav"), "--rate", "fast"}, "--rate takes a number"},
      {{"render", CGain, "-o", Path("out.wav"), "--bogus"}, "no option '--bogus'"},
      {{"frobnicate"}, "unknown command"},
      {{}, "no command given"},
      {{"info", CPlugins + "/not_vst" KVX_MODULE_SUFFIX}, "not a VST 2.4 plug-in"},
      {{"bench", CGain, "--set", "Nope=1"}, "unknown parameter"},
      // One number with the parameter's own unit, nothing else.
      {{"render", CGain, "-o", Path("out.wav"), "--set", "Mix=80abc"}, "'80abc' is not a value of Mix: write one number, optionally followed by %"},
      {{"render", CGain, "-o", Path("out.wav"), "--set", "Mix=80 90"}, "write one number"},
      {{"render", CGain, "-o", Path("out.wav"), "--set", "Mix=80 dB"}, "write one number"},
      {{"render", CGain, "-o", Path("out.wav"), "--set", "Mix=10-20"}, "write one number"},
      {{"render", CGain, "-o", Path("out.wav"), "--set", "Gain=3 %"}, "optionally followed by dB"},
      {{"render", CGain, "-o", Path("out.wav"), "--set", "Mix=1e308"}, "out of range"},
      {{"render", CGain, "-o", Path("out.wav"), "--set", "Mix=1e309"}, "out of range"},
      // The defaults are no values a user can give.
      {{"render", CGain, "-o", Path("out.wav"), "--rate", "0"}, "--rate takes 8000 to 768000 Hz"},
      {{"render", CGain, "-o", Path("out.wav"), "--tail", "-1"}, "--tail takes 0 to 3600 seconds"},
      {{"render", CGain, "-o", Path("out.wav"), "--rate", "1e309"}, "--rate value 1e309 is out of range"},
      {{"render", CGain, "-o", Path("out.wav"), "--block", "0x200"}, "--block takes a number"},
      {{"render", CGain, "-i", Path("eight.wav"), "-o", Path("out.wav")}, "the input has 8 channels but the plug-in has only 2 inputs"},
  };
  for (const TCase& c : cases) {
    std::string joined;
    for (const auto& a : c.Arguments) joined += a + " ";
    SCOPED_TRACE(joined);
    const auto r = Host(c.Arguments);
    EXPECT_NE(r.ExitCode, 0);
    EXPECT_LT(r.ExitCode, 128) << "ended by a signal";
    const auto lines = SplitLines(r.Stderr);
    ASSERT_EQ(lines.size(), 1u) << r.Stderr;
    EXPECT_EQ(lines[0].rfind("vsthost: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(c.Message), std::string::npos) << lines[0];
    EXPECT_TRUE(r.Stdout.empty()) << r.Stdout;
  }
  for (const auto& entry : fs::directory_iterator(FFolder))
    EXPECT_TRUE(entry.path().filename() == "text.wav" || entry.path().filename() == "eight.wav")
        << "left behind: " << entry.path();
}

// --help after any command, also after its arguments, prints that command's usage and exits 0.
TEST_F(HostCli, HelpAfterEachCommandPrintsItsUsage) {
  const struct {
    std::vector<std::string> Arguments;
    const char* Start;
  } cases[] = {
      {{"render", "--help"}, "  render PLUGIN"},  {{"render", CGain, "-o", "x.wav", "-h"}, "  render PLUGIN"},
      {{"info", "--help"}, "  info PLUGIN"},      {{"validate", CGain, "--help"}, "  validate PLUGIN"},
      {{"bench", "--help"}, "  bench PLUGIN"},    {{"help", "bench"}, "  bench PLUGIN"},
      {{"--help"}, "usage: vsthost COMMAND"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Arguments[0] + " " + c.Arguments.back());
    const auto r = Host(c.Arguments);
    EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
    EXPECT_TRUE(r.Stderr.empty()) << r.Stderr;
    EXPECT_EQ(r.Stdout.rfind(c.Start, 0), 0u) << r.Stdout;
  }
  EXPECT_NE(Host({"render", "--help"}).Stdout.find("--tail SECONDS"), std::string::npos);
  EXPECT_EQ(Host({"info", "--help"}).Stdout.find("--tail"), std::string::npos);
  EXPECT_FALSE(fs::exists("x.wav"));
}

// A parameter's value may carry its own unit, with or without a blank.
TEST_F(HostCli, SettingsTakeTheParametersOwnUnit) {
  for (const char* mix : {"Mix=80", "Mix=80 %", "Mix=80%", "mix = +80,0"}) {
    SCOPED_TRACE(mix);
    const auto r = Host({"render", CGain, "-o", Path("a.wav"), "--tail", "0", "--set", mix, "--set", "Gain=-3dB"});
    ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
    EXPECT_TRUE(HasLine(r.Stdout, "Setting    Mix            80.0 % (host value 0.8)")) << r.Stdout;
    EXPECT_TRUE(HasLine(r.Stdout, "Setting    Gain           -3.00 dB")) << r.Stdout;
  }
}

// Inputs at the edges: a cut-off WAV renders what it holds with a warning that says how much is
// missing; an empty input renders an empty file without an infinite real-time factor.
TEST_F(HostCli, RenderHandlesCutOffAndEmptyInputs) {
  WriteAudioFile(Path("whole.wav"), SynthesizeDemoRiff(44100));  // mono float: 4 bytes a frame
  std::string bytes = Contents(Path("whole.wav"));
  std::ofstream(Path("cut.wav"), std::ios::binary) << bytes.substr(0, bytes.size() - 4410 * 4);
  const auto cut = Host({"render", CGain, "-i", Path("cut.wav"), "-o", Path("out.wav"), "--tail", "0"});
  ASSERT_EQ(cut.ExitCode, 0) << cut.Stderr;
  ASSERT_EQ(SplitLines(cut.Stderr).size(), 1u) << cut.Stderr;
  EXPECT_NE(cut.Stderr.find("warning: '" + Path("cut.wav") + "' is 4410 frames (0.100 s) shorter than its header declares"),
            std::string::npos)
      << cut.Stderr;
  EXPECT_EQ(ReadAudioFile(Path("out.wav")).Frames(), 8 * 44100u - 4410u);
  const auto whole = Host({"render", CGain, "-i", Path("whole.wav"), "-o", Path("out.wav"), "--tail", "0"});
  EXPECT_TRUE(whole.Stderr.empty()) << whole.Stderr;

  TAudioData empty;
  empty.Channels.assign(2, {});
  WriteAudioFile(Path("empty.wav"), empty);
  const auto none = Host({"render", CGain, "-i", Path("empty.wav"), "-o", Path("out.wav"), "--tail", "0"});
  ASSERT_EQ(none.ExitCode, 0) << none.Stderr;
  EXPECT_TRUE(HasLine(none.Stdout, "Processing 32-bit, 512-frame blocks, nothing to process")) << none.Stdout;
  EXPECT_EQ(none.Stdout.find("x real time"), std::string::npos) << none.Stdout;
  EXPECT_EQ(ReadAudioFile(Path("out.wav")).Frames(), 0u);
}

TEST_F(HostCli, RenderReplacesTheFileALinkNamesAndKeepsItsMode) {
  if (!kvx::test::CanMakeSymbolicLinks(FFolder)) GTEST_SKIP() << "this system makes no symbolic links";
  const auto first = Host({"render", CGain, "-o", Path("out.wav"), "--tail", "0"});
  ASSERT_EQ(first.ExitCode, 0) << first.Stderr;
  fs::permissions(Path("out.wav"), fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("out.wav", FFolder / "link.wav");
  const auto linked = Host({"render", CGain, "-o", Path("link.wav"), "--tail", "0"});
  ASSERT_EQ(linked.ExitCode, 0) << linked.Stderr;
  EXPECT_TRUE(fs::is_symlink(FFolder / "link.wav"));
  EXPECT_EQ(ReadAudioFile(Path("out.wav")).Frames(), 8 * 44100u);
  EXPECT_EQ(fs::status(Path("out.wav")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(HostCli, BenchPrintsRealTimeFactors) {
  const auto r = Host({"bench", CGain, "--set", "Mix=50", "--seconds", "0.5"});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_TRUE(HasLine(r.Stdout, "KVX test gain: 0.5 s of noise at 44100 Hz in 512-frame blocks")) << r.Stdout;
  EXPECT_TRUE(HasLine(r.Stdout, "  Mix = 50.0 %")) << r.Stdout;
  for (const char* precision : {"32-bit", "64-bit"}) {
    bool found = false;
    for (const std::string& line : SplitLines(r.Stdout))
      if (line.rfind(precision, 0) == 0 && line.find("x real time") != std::string::npos) found = true;
    EXPECT_TRUE(found) << precision << "\n" << r.Stdout;
  }
}

// The validator passes a correct plug-in and catches each broken one with the right check,
// the crash included.
TEST_F(HostCli, ValidatePassesGoodAndCatchesEachBrokenPlugin) {
  const auto good = Host({"validate", CGain});
  EXPECT_EQ(good.ExitCode, 0) << good.Stdout;
  EXPECT_TRUE(HasLine(good.Stdout, "all checks passed")) << good.Stdout;
  EXPECT_FALSE(HasLine(good.Stdout, "FAIL")) << good.Stdout;
  EXPECT_GE(SplitLines(good.Stdout).size(), 12u);

  struct TCase {
    const char* Plugin;
    const char* Failure;  // the start of the one failing line
    const char* Detail;   // and what it says
  } cases[] = {
      {"nan_out", "FAIL  each parameter at 0, 0.5, 1 and random values while processing", "Gain at 1: output 0 holds NaN"},
      {"null_crash", "FAIL  opcodes 0 to 90 with hostile arguments", "during opcode 8 with zeros and null"},
      {"ignores_bypass", "FAIL  bypass is bit-exact", "differs from the input"},
      {"leaky", "FAIL  load and close 20 times without leaks", "heap grew by"},
      {"denormal", "FAIL  silence decays below -200 dBFS without denormals", "denormal samples"},
      {"bursts", "FAIL  parameter jumps between 0 and 1 without bursts",
       "Mode 0 -> 1 from the defaults: peak +3.7 dBFS within 40 blocks after the jump, steady -35.1 dBFS before"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Plugin);
    const auto r = Host({"validate", CPlugins + "/" + c.Plugin + KVX_MODULE_SUFFIX});
    EXPECT_EQ(r.ExitCode, 1) << r.Stdout << r.Stderr;
    bool found = false;
    for (const std::string& line : SplitLines(r.Stdout))
      if (line.rfind(c.Failure, 0) == 0) {
        found = true;
        EXPECT_NE(line.find(c.Detail), std::string::npos) << line;
      }
    EXPECT_TRUE(found) << r.Stdout;
    EXPECT_TRUE(HasLine(r.Stdout, "PASS  load and open")) << r.Stdout;
  }
  const auto crash = Host({"validate", CPlugins + "/null_crash" KVX_MODULE_SUFFIX});
  EXPECT_NE(crash.Stdout.find("crashed"), std::string::npos) << crash.Stdout;

  const auto missing = Host({"validate", Path("none.so")});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_TRUE(HasLine(missing.Stdout, "FAIL  load and open: cannot load")) << missing.Stdout;
  EXPECT_TRUE(HasLine(missing.Stdout, "SKIP  block sizes: the plug-in does not load")) << missing.Stdout;
}

// Our plug-in as a new user meets it after the README's main command.
TEST_F(HostCli, InfoShowsOurPluginAsAHostSeesIt) {
  const auto r = Host({"info", KVX_BUILD_DIR "/ub37t" KVX_MODULE_SUFFIX});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  for (const char* line :
       {"Magic          'VstP'", "Effect name    KVX ub37t v0.7", "Vendor         KVX", "Product        KVX ub37t v0.7",
        "Version        700 (vendor version 700)", "VST version    2400",
        "Unique ID      '37t\\0' = 0x33377400 = 859272192", "Category       1 (Effect)",
        NativeEditorAvailable() ? "Flags          0x1019 HasEditor CanMono CanReplacing CanDoubleReplacing"
                                : "Flags          0x1018 CanMono CanReplacing CanDoubleReplacing",
        "Inputs         2",
        "Outputs        2", "Latency        0 samples", "Programs       1, current 0", "Parameters     10",
        "  hasCockosExtensions    0xFFFFFFFFBEEF0000"})
    EXPECT_TRUE(HasLine(r.Stdout, line)) << line << "\n" << r.Stdout;
  // The face of the editor's text, for plug-ins that show an editor.
  if (NativeEditorAvailable())
    EXPECT_TRUE(HasLine(r.Stdout, "Editor font    Lucida Console: DejaVu Sans Mono")) << r.Stdout;
  else
    EXPECT_EQ(r.Stdout.find("Editor font"), std::string::npos) << r.Stdout;
  // What the effect does answers 1, the rest -1: no MIDI, no other layout, no offline processing.
  struct TCanDo {
    const char* Text;
    const char* Answer;
  } cando[] = {{"plugAsChannelInsert", "1"}, {"plugAsSend", "1"}, {"2in2out", "1"},  {"bypass", "1"},
               {"conformsToWindowRules", "1"},
               {"receiveVstEvents", "-1"},   {"sendVstMidiEvent", "-1"}, {"offline", "-1"}, {"8in8out", "-1"},
               {"noRealTime", "-1"},         {"ChainPluginAPI", "-1"}};
  for (const TCanDo& c : cando) {
    std::string line = std::string("  ") + c.Text;
    line.resize(25, ' ');
    const auto lines = SplitLines(r.Stdout);
    EXPECT_NE(std::find(lines.begin(), lines.end(), line + c.Answer), lines.end()) << c.Text << "\n" << r.Stdout;
  }
  // The parameters come in their order.
  const char* const names[] = {"Drive", "Tone", "Level", "Bypass", "Stereo", "Symmetric", "Oversampling", "Mode", "Input", "Output"};
  for (int i = 0; i < 10; ++i) {
    char start[64];
    std::snprintf(start, sizeof start, "  %3d  %s ", i, names[i]);
    EXPECT_TRUE(HasLine(r.Stdout, start)) << start << "\n" << r.Stdout;
  }
}

// Our plug-in passes every check of the validator.
TEST_F(HostCli, ValidatePassesOurPlugin) {
  const auto r = Host({"validate", KVX_BUILD_DIR "/ub37t" KVX_MODULE_SUFFIX});
  EXPECT_EQ(r.ExitCode, 0) << r.Stdout << r.Stderr;
  EXPECT_FALSE(HasLine(r.Stdout, "FAIL")) << r.Stdout;
  EXPECT_TRUE(HasLine(r.Stdout, "all checks passed")) << r.Stdout;
  EXPECT_TRUE(HasLine(r.Stdout, "PASS  load and open: \"KVX ub37t v0.7\", 10 parameters, 2 in, 2 out")) << r.Stdout;
  EXPECT_TRUE(HasLine(r.Stdout, "PASS  bypass is bit-exact")) << r.Stdout;
  EXPECT_TRUE(HasLine(r.Stdout, "PASS  state round trip")) << r.Stdout;
  EXPECT_TRUE(HasLine(r.Stdout, "PASS  parameter jumps between 0 and 1 without bursts")) << r.Stdout;
}

// The README's setting in displayed units and as raw host values renders the same file through
// our plug-in.
TEST_F(HostCli, RenderOurPluginDisplayedEqualsRaw) {
  const std::string plugin = KVX_BUILD_DIR "/ub37t" KVX_MODULE_SUFFIX;
  const auto a = Host({"render", plugin, "-o", Path("a.wav"), "--set", "Drive=80", "--set", "Oversampling=8"});
  ASSERT_EQ(a.ExitCode, 0) << a.Stderr;
  EXPECT_TRUE(HasLine(a.Stdout, "Setting    Drive          80 % (host value 0.8)")) << a.Stdout;
  // Oversampling is displayed from 1 to 16 at host values 0 to 1: 8 lies at 7/15.
  const auto b = Host({"render", plugin, "-o", Path("b.wav"), "--set", "Drive=@0.8", "--set", "Oversampling=@0.46666667"});
  ASSERT_EQ(b.ExitCode, 0) << b.Stderr;
  EXPECT_TRUE(Contents(Path("a.wav")) == Contents(Path("b.wav")));
  EXPECT_EQ(ReadAudioFile(Path("a.wav")).Frames(), SynthesizeDemoRiff(44100).Frames());
}
