// vsthost: a command-line VST 2.4 host to inspect, render, validate and benchmark plug-ins.
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/app/KVX_EditorCommands.h"
#include "platform/KVX_Font.h"
#include "host/lib/KVX_HostAudio.h"
#include "host/lib/KVX_HostParameters.h"
#include "host/lib/KVX_HostPlugin.h"
#include "host/lib/KVX_HostRender.h"
#include "host/lib/KVX_HostValidate.h"

using namespace kvx;

namespace {

// Each command's usage, printed by "vsthost COMMAND --help"; together they are the overview.
const char* const CInfoUsage = "  info PLUGIN                        what a host learns of the plug-in\n";
const char* const CRenderUsage =
    "  render PLUGIN [-i IN] -o OUT       render IN (or the built-in demo riff) into OUT\n"
    "      --set NAME=VALUE               a parameter in the units it displays (Drive=80);\n"
    "                                     NAME=@0.8 sets the host value 0..1; repeatable\n"
    "      --rate HZ                      sample rate of the built-in demo (44100)\n"
    "      --block N                      block size (512)\n"
    "      --precision 32|64              sample precision (32)\n"
    "      --tail SECONDS                 render this long after the input ends\n"
    "                                     (default: the plug-in's tail size)\n";
const char* const CValidateUsage =
    "  validate PLUGIN [--verbose] [--timeout SECONDS]\n"
    "                                     run the checks a careful host runs\n";
const char* const CBenchUsage =
    "  bench PLUGIN [--set NAME=VALUE]... [--seconds N]\n"
    "                                     real-time factor at 44.1 kHz, 512-frame blocks\n";
const char* const CFormatNote =
    "OUT's extension chooses its format: .wav (32-bit float), .flac, .aiff, .ogg, .w64, .caf.\n";

void PrintUsage(const std::string& Command) {
  std::string text = "usage: vsthost COMMAND PLUGIN [OPTIONS]\n\n";
  if (Command == "info") text = CInfoUsage;
  else if (Command == "render") text = std::string(CRenderUsage) + "\n" + CFormatNote;
  else if (Command == "validate") text = CValidateUsage;
  else if (Command == "bench") text = CBenchUsage;
  else if (Command == "edit" || Command == "screenshot") text = CEditorCommandsUsage;
  else text += std::string(CInfoUsage) + CRenderUsage + CValidateUsage + CBenchUsage + CEditorCommandsUsage + "\n" + CFormatNote;
  std::fputs(text.c_str(), stdout);
}

bool IsHelp(const std::string& Argument) { return Argument == "-h" || Argument == "--help"; }

// A usage mistake: one line, exit status 2.
struct TUsageError {
  std::string Message;
};

struct TArguments {
  std::vector<std::string> Items;
  size_t Next = 0;

  bool Done() const { return Next >= Items.size(); }
  const std::string& Take() { return Items[Next++]; }
  std::string Value(const std::string& Option) {
    if (Done()) throw TUsageError{Option + " needs a value"};
    return Take();
  }
};

// One plain decimal number: no blanks, no hexadecimal, no "inf" or "nan".
double ParseNumber(const std::string& Option, const std::string& Text) {
  const char* begin = Text.data() + (!Text.empty() && Text[0] == '+' ? 1 : 0);
  const char* end = Text.data() + Text.size();
  double v = 0;
  const auto [stop, ec] = std::from_chars(begin, end, v);
  if (ec == std::errc::result_out_of_range && stop == end)
    throw TUsageError{Option + " value " + Text + " is out of range"};
  if (begin == end || ec != std::errc() || stop != end || !std::isfinite(v))
    throw TUsageError{Option + " takes a number, not '" + Text + "'"};
  return v;
}

int ParseInteger(const std::string& Option, const std::string& Text) {
  const double v = ParseNumber(Option, Text);
  if (v != std::floor(v) || v < INT32_MIN || v > INT32_MAX)
    throw TUsageError{Option + " takes a whole number, not '" + Text + "'"};
  return static_cast<int>(v);
}

// ---- info ---------------------------------------------------------------------------------------

int CommandInfo(TArguments& Args) {
  if (Args.Done()) throw TUsageError{"info needs a PLUGIN"};
  const std::string file = Args.Take();
  if (!Args.Done()) throw TUsageError{"info takes no option '" + Args.Take() + "'"};
  TVstHostPlugin p(file);
  p.Open();
  const PVSTEffect e = p.Effect();
  std::printf("Plug-in        %s\n", file.c_str());
  std::printf("Magic          %s\n", FourCharacterText(e->Magic).c_str());
  std::printf("Effect name    %s\n", p.EffectName().c_str());
  std::printf("Vendor         %s\n", p.VendorString().c_str());
  std::printf("Product        %s\n", p.ProductString().c_str());
  std::printf("Version        %d (vendor version %lld)\n", e->Version, static_cast<long long>(p.Dispatch(effGetVendorVersion)));
  std::printf("VST version    %lld\n", static_cast<long long>(p.Dispatch(effGetVstVersion)));
  std::printf("Unique ID      %s = 0x%08X = %d\n", FourCharacterText(e->UniqueID).c_str(),
              static_cast<uint32_t>(e->UniqueID), e->UniqueID);
  const intptr_t category = p.Dispatch(effGetPlugCategory);
  std::printf("Category       %lld (%s)\n", static_cast<long long>(category), CategoryName(category).c_str());
  std::printf("Flags          0x%04X %s\n", static_cast<uint32_t>(e->EffectFlags), FlagNames(e->EffectFlags).c_str());
  if (p.VendorString() == "KVX" && (e->EffectFlags & (1 << effFlagsHasEditor)) != 0) {
    // Our editors ask for "Lucida Console"; which face this machine's fontconfig gives for it.
    TFont font;
    font.SetName("Lucida Console");
    std::printf("Editor font    Lucida Console: %s\n", FontFaceInUse(font).c_str());
  }
  std::printf("Inputs         %d\n", e->numInputs);
  std::printf("Outputs        %d\n", e->numOutputs);
  for (int output = 0; output < 2; ++output) {
    const int32_t count = output ? e->numOutputs : e->numInputs;
    for (int32_t i = 0; i < count && i < 64; ++i) {
      TVstPinProperties pin{};
      if (p.Dispatch(output ? effGetOutputProperties : effGetInputProperties, i, 0, &pin) != 1) continue;
      pin.Caption[sizeof pin.Caption - 1] = 0;
      pin.ShortLabel[sizeof pin.ShortLabel - 1] = 0;
      std::printf("  %-6s %-3d   \"%s\" (\"%s\"), flags %d, arrangement %d\n", output ? "output" : "input", i + 1,
                  pin.Caption, pin.ShortLabel, pin.Flags, pin.ArrangementType);
    }
  }
  std::printf("Latency        %d samples\n", e->InitialDelay);
  std::printf("Tail size      %lld\n", static_cast<long long>(p.TailSize()));
  std::printf("Programs       %d, current %lld\n", e->numPrograms, static_cast<long long>(p.Dispatch(effGetProgram)));
  for (int32_t i = 0; i < e->numPrograms && i < 128; ++i)
    std::printf("  %3d  \"%s\"\n", i, p.ProgramNameIndexed(i).c_str());
  std::printf("Parameters     %d\n", e->numParams);
  if (e->numParams > 0)
    std::printf("  %3s  %-16s %-10s %-14s %-10s %s\n", "#", "name", "label", "display", "host value", "automatable");
  for (int32_t i = 0; i < e->numParams; ++i)
    std::printf("  %3d  %-16s %-10s %-14s %-10.6g %s\n", i, p.ParameterName(i).c_str(), p.ParameterLabel(i).c_str(),
                p.ParameterDisplay(i).c_str(), static_cast<double>(p.Parameter(i)),
                p.Dispatch(effCanBeAutomated, i) ? "yes" : "no");
  std::printf("Can do\n");
  for (const char* text : CVstCanDoTexts) {
    const intptr_t answer = p.CanDo(text);
    if (answer == CCockosCanDoAnswer)
      std::printf("  %-22s 0x%llX\n", text, static_cast<unsigned long long>(answer));
    else
      std::printf("  %-22s %lld\n", text, static_cast<long long>(answer));
  }
  p.Close();
  return 0;
}

// ---- render -------------------------------------------------------------------------------------

void PrintLevels(const char* Caption, const std::vector<TChannelLevel>& Levels) {
  for (size_t c = 0; c < Levels.size(); ++c)
    std::printf("  %-3s %-4zu %s %s\n", Caption, c + 1, FormatDecibels(Levels[c].Peak, 10).c_str(),
                FormatDecibels(Levels[c].Rms, 10).c_str());
}

int CommandRender(TArguments& Args) {
  if (Args.Done()) throw TUsageError{"render needs a PLUGIN"};
  const std::string file = Args.Take();
  std::string input, output;
  std::vector<std::string> settings;
  // Unset until given: no value stands for "not given".
  std::optional<double> rate, tail;
  int block = 512, precision = 32;
  while (!Args.Done()) {
    const std::string a = Args.Take();
    if (a == "-i" || a == "--input") input = Args.Value(a);
    else if (a == "-o" || a == "--output") output = Args.Value(a);
    else if (a == "--set") settings.push_back(Args.Value(a));
    else if (a == "--rate") rate = ParseNumber(a, Args.Value(a));
    else if (a == "--block") block = ParseInteger(a, Args.Value(a));
    else if (a == "--precision") precision = ParseInteger(a, Args.Value(a));
    else if (a == "--tail") tail = ParseNumber(a, Args.Value(a));
    else throw TUsageError{"render takes no option '" + a + "'"};
  }
  if (output.empty()) throw TUsageError{"render needs -o OUT"};
  if (precision != 32 && precision != 64) throw TUsageError{"--precision takes 32 or 64"};
  if (block < 1 || block > 65536) throw TUsageError{"--block takes 1 to 65536"};
  if (tail && !(*tail >= 0 && *tail <= 3600)) throw TUsageError{"--tail takes 0 to 3600 seconds"};
  if (!input.empty() && rate)
    throw TUsageError{"--rate sets the rate of the built-in demo; a file is processed at its own rate"};
  if (rate && !(*rate >= 8000 && *rate <= 768000)) throw TUsageError{"--rate takes 8000 to 768000 Hz"};
  AudioFormatForFileName(output);  // an unknown format fails before any work

  // The demo is short and made in memory; a file is read block by block.
  std::unique_ptr<TAudioFileReader> reader;
  TAudioData demo;
  std::unique_ptr<TAudioDataSource> demoSource;
  TAudioSource* source = nullptr;
  if (input.empty()) {
    demo = SynthesizeDemoRiff(rate.value_or(44100));
    demoSource = std::make_unique<TAudioDataSource>(demo);
    source = demoSource.get();
  } else {
    reader = std::make_unique<TAudioFileReader>(input);
    source = reader.get();
    if (const uint64_t missing = reader->MissingFrames())
      std::fprintf(stderr, "vsthost: warning: '%s' is %llu frames (%.3f s) shorter than its header declares; "
                   "rendering what it holds\n", input.c_str(), static_cast<unsigned long long>(missing),
                   static_cast<double>(missing) / reader->SampleRate());
  }
  TVstHostPlugin p(file, source->SampleRate(), block);
  p.Open();
  ApplyParameterSettings(p, settings);

  TRenderOptions options;
  options.BlockSize = block;
  options.Precision = precision == 64 ? pp64 : pp32;
  options.TailSeconds = tail.value_or(-1);
  TProgressBar progress(stderr, isatty(STDERR_FILENO) != 0, "rendering");
  options.OnProgress = [&](double f) { progress.Update(f); };
  CheckRenderable(p);
  TAudioFileWriter writer(output, source->SampleRate(), static_cast<size_t>(p.NumOutputs()));
  const TRenderSummary result = RenderStream(p, *source, writer, options);
  progress.Finish();
  writer.Commit();

  const double sampleRate = source->SampleRate();
  const size_t channels = source->ChannelCount();
  const double inSeconds = static_cast<double>(result.InputFrames) / sampleRate;
  const double outSeconds = static_cast<double>(result.OutputFrames) / sampleRate;
  const std::string name = p.EffectName().empty() ? p.ProductString() : p.EffectName();
  std::printf("Plug-in    %s (%s)\n", name.c_str(), file.c_str());
  if (input.empty())
    std::printf("Input      built-in demo riff, %zu channel, %.0f Hz, %.2f s\n", channels, sampleRate, inSeconds);
  else
    std::printf("Input      %s, %zu channel%s, %.0f Hz, %.2f s\n", input.c_str(), channels, channels == 1 ? "" : "s",
                sampleRate, inSeconds);
  std::printf("Output     %s, %zu channel%s, %.2f s (tail %.2f s)\n", output.c_str(), result.OutputLevels.size(),
              result.OutputLevels.size() == 1 ? "" : "s", outSeconds, static_cast<double>(result.TailFrames) / sampleRate);
  for (const std::string& s : settings) {
    const std::string n = s.substr(0, s.find('='));
    const int32_t i = FindParameter(p, n);
    const std::string label = p.ParameterLabel(i);
    std::printf("Setting    %-14s %s%s%s (host value %.6g)\n", p.ParameterName(i).c_str(), p.ParameterDisplay(i).c_str(),
                label.empty() ? "" : " ", label.c_str(), static_cast<double>(p.Parameter(i)));
  }
  // Nothing processed, nothing to time: no real-time factor rather than an infinite one.
  if (result.ProcessSeconds > 0)
    std::printf("Processing %d-bit, %d-frame blocks, %.3f s in the plug-in: %.1fx real time\n", precision, block,
                result.ProcessSeconds, outSeconds / result.ProcessSeconds);
  else
    std::printf("Processing %d-bit, %d-frame blocks, nothing to process\n", precision, block);
  std::printf("Levels     %10s %10s  (dBFS)\n", "peak", "RMS");
  PrintLevels("in", result.InputLevels);
  PrintLevels("out", result.OutputLevels);
  if (result.NonFiniteSamples > 0)
    std::printf("warning: the plug-in produced %zu samples that are not finite\n", result.NonFiniteSamples);
  p.Close();
  return 0;
}

// ---- validate, bench ----------------------------------------------------------------------------

int CommandValidate(TArguments& Args) {
  if (Args.Done()) throw TUsageError{"validate needs a PLUGIN"};
  const std::string file = Args.Take();
  TValidateOptions options;
  while (!Args.Done()) {
    const std::string a = Args.Take();
    if (a == "--verbose") options.Verbose = true;
    else if (a == "--timeout") options.TimeoutSeconds = ParseNumber(a, Args.Value(a));
    else throw TUsageError{"validate takes no option '" + a + "'"};
  }
  if (!(options.TimeoutSeconds > 0)) throw TUsageError{"--timeout takes a positive number of seconds"};
  std::printf("Validating %s\n", file.c_str());
  std::fflush(stdout);
  const int failures = ValidatePlugin(file, stdout, options);
  if (failures == 0) std::printf("all checks passed\n");
  else std::printf("%d check%s failed\n", failures, failures == 1 ? "" : "s");
  return failures == 0 ? 0 : 1;
}

int CommandBench(TArguments& Args) {
  if (Args.Done()) throw TUsageError{"bench needs a PLUGIN"};
  const std::string file = Args.Take();
  std::vector<std::string> settings;
  double seconds = 10;
  while (!Args.Done()) {
    const std::string a = Args.Take();
    if (a == "--set") settings.push_back(Args.Value(a));
    else if (a == "--seconds") seconds = ParseNumber(a, Args.Value(a));
    else throw TUsageError{"bench takes no option '" + a + "'"};
  }
  if (!(seconds >= 0.1 && seconds <= 3600)) throw TUsageError{"--seconds takes 0.1 to 3600"};
  TVstHostPlugin p(file, 44100, 512);
  p.Open();
  ApplyParameterSettings(p, settings);
  const std::string name = p.EffectName().empty() ? p.ProductString() : p.EffectName();
  std::printf("%s: %.1f s of noise at 44100 Hz in 512-frame blocks\n", name.c_str(), seconds);
  for (const std::string& s : settings) {
    const int32_t i = FindParameter(p, s.substr(0, s.find('=')));
    const std::string label = p.ParameterLabel(i);
    std::printf("  %s = %s%s%s\n", p.ParameterName(i).c_str(), p.ParameterDisplay(i).c_str(), label.empty() ? "" : " ",
                label.c_str());
  }
  const double single = MeasureRealTimeFactor(p, pp32, seconds);
  std::printf("32-bit  %8.1fx real time\n", single);
  if (p.HasFlag(effFlagsCanDoubleReplacing)) {
    const double dual = MeasureRealTimeFactor(p, pp64, seconds);
    std::printf("64-bit  %8.1fx real time\n", dual);
  } else {
    std::printf("64-bit  not declared by the plug-in\n");
  }
  p.Close();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  TArguments args;
  for (int i = 1; i < argc; ++i) args.Items.emplace_back(argv[i]);
  try {
    if (args.Done()) throw TUsageError{"no command given"};
    const std::string command = args.Take();
    if (IsHelp(command) || command == "help") {
      PrintUsage(args.Done() ? "" : args.Items[args.Next]);
      return 0;
    }
    // "vsthost render --help", also after other arguments: that command's usage.
    const bool known = command == "info" || command == "render" || command == "validate" || command == "bench" ||
                       command == "edit" || command == "screenshot";
    if (known && std::any_of(args.Items.begin() + 1, args.Items.end(), IsHelp)) {
      PrintUsage(command);
      return 0;
    }
    if (command == "info") return CommandInfo(args);
    if (command == "render") return CommandRender(args);
    if (command == "validate") return CommandValidate(args);
    if (command == "bench") return CommandBench(args);
    if (command == "edit" || command == "screenshot")
      return RunEditorCommand(command, std::vector<std::string>(args.Items.begin() + static_cast<long>(args.Next), args.Items.end()));
    throw TUsageError{"unknown command '" + command + "'"};
  } catch (const TUsageError& e) {
    std::fprintf(stderr, "vsthost: %s (vsthost --help lists the commands)\n", e.Message.c_str());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vsthost: %s\n", e.what());
    return 1;
  } catch (...) {
    std::fprintf(stderr, "vsthost: unexpected error\n");
    return 1;
  }
}
