// Linux: the editor in a top-level X window of ours (or of an Xvfb started for it).
#include "host/app/KVX_EditorCommands.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "host/lib/KVX_HostEditor.h"
#include "host/lib/KVX_HostParameters.h"
#include "host/lib/KVX_HostPlugin.h"
#include "host/lib/KVX_HostX11.h"

namespace kvx {

const char* const CEditorCommandsUsage =
    "  edit PLUGIN [--set NAME=VALUE]... [--click X,Y]... [--seconds N]\n"
    "                                     the plug-in's editor in a window; prints every\n"
    "                                     parameter change the editor sends; runs until the\n"
    "                                     window is closed (or N seconds)\n"
    "  screenshot PLUGIN -o FILE.png [--set NAME=VALUE]... [--click X,Y]... [--after-ms N]\n"
    "                                     the editor's pixels after the left clicks (editor\n"
    "                                     coordinates) and N ms (300); starts Xvfb when no\n"
    "                                     display is set\n";

namespace {

struct TUsage {
  std::string Message;
};

std::atomic<bool> GStop{false};
void OnSignal(int) { GStop.store(true); }

struct TClick {
  int32_t X, Y;
};

TClick ParseClick(const std::string& Text) {
  const size_t comma = Text.find(',');
  char* end = nullptr;
  TClick c{};
  if (comma != std::string::npos) {
    const long x = std::strtol(Text.c_str(), &end, 10);
    if (end == Text.c_str() + comma) {
      const long y = std::strtol(Text.c_str() + comma + 1, &end, 10);
      if (*end == 0 && end != Text.c_str() + comma + 1 && x >= 0 && y >= 0 && x < 8192 && y < 8192) {
        c.X = static_cast<int32_t>(x);
        c.Y = static_cast<int32_t>(y);
        return c;
      }
    }
  }
  throw TUsage{"--click takes X,Y in editor pixels, not '" + Text + "'"};
}

double ParsePositive(const std::string& Option, const std::string& Text, double Max) {
  char* end = nullptr;
  const double v = std::strtod(Text.c_str(), &end);
  if (Text.empty() || *end != 0 || !std::isfinite(v) || v < 0 || v > Max)
    throw TUsage{Option + " takes a number from 0 to " + std::to_string(static_cast<long>(Max)) + ", not '" + Text + "'"};
  return v;
}

// A host's audio thread: blocks of silence at the block rate while the editor is open.
class TSilenceRunner {
 public:
  explicit TSilenceRunner(TVstHostPlugin& Plugin) : FPlugin(Plugin), FThread([this] { Run(); }) {}
  ~TSilenceRunner() {
    FStop.store(true);
    FThread.join();
  }

 private:
  void Run() {
    const int32_t frames = FPlugin.BlockSize();
    std::vector<std::vector<float>> in(static_cast<size_t>(std::max(FPlugin.NumInputs(), 1)), std::vector<float>(frames)),
        out(static_cast<size_t>(std::max(FPlugin.NumOutputs(), 1)), std::vector<float>(frames));
    std::vector<float*> ins, outs;
    for (auto& c : in) ins.push_back(c.data());
    for (auto& c : out) outs.push_back(c.data());
    const auto period = std::chrono::duration<double>(frames / FPlugin.SampleRate());
    auto next = std::chrono::steady_clock::now();
    while (!FStop.load()) {
      for (auto& c : in) std::fill(c.begin(), c.end(), 0.0f);
      FPlugin.Process32(ins.data(), outs.data(), frames);
      next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
      std::this_thread::sleep_until(next);
    }
  }
  TVstHostPlugin& FPlugin;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

// The parameter changes the editor sends, printed on the editor's thread (the plug-in may send
// them from any thread).
class TAutomationLog {
 public:
  explicit TAutomationLog(TVstHostPlugin& Plugin) : FPlugin(Plugin) {
    Plugin.OnAutomate = [this](int32_t Index, float Value) {
      std::lock_guard<std::mutex> Lock(FMutex);
      FPending.emplace_back(Index, Value);
    };
  }
  ~TAutomationLog() { FPlugin.OnAutomate = nullptr; }
  void Print() {
    std::vector<std::pair<int32_t, float>> items;
    {
      std::lock_guard<std::mutex> Lock(FMutex);
      items.swap(FPending);
    }
    for (const auto& [index, value] : items) {
      const bool known = index >= 0 && index < FPlugin.NumParams();
      const std::string name = known ? FPlugin.ParameterName(index) : "?";
      const std::string display = known ? FPlugin.ParameterDisplay(index) : "";
      const std::string label = known ? FPlugin.ParameterLabel(index) : "";
      std::printf("automate %3d %-16s %.6f  %s%s%s\n", index, name.c_str(), static_cast<double>(value),
                  display.c_str(), label.empty() ? "" : " ", label.c_str());
    }
    if (!items.empty()) std::fflush(stdout);
  }

 private:
  TVstHostPlugin& FPlugin;
  std::mutex FMutex;
  std::vector<std::pair<int32_t, float>> FPending;
};

std::string PluginName(TVstHostPlugin& p) { return p.EffectName().empty() ? p.ProductString() : p.EffectName(); }

int CommandEdit(const std::vector<std::string>& Args) {
  if (Args.empty()) throw TUsage{"edit needs a PLUGIN"};
  const std::string file = Args[0];
  std::vector<std::string> settings;
  std::vector<TClick> clicks;
  double seconds = 0;
  for (size_t i = 1; i < Args.size(); ++i) {
    const std::string& a = Args[i];
    auto Value = [&]() -> std::string {
      if (i + 1 >= Args.size()) throw TUsage{a + " needs a value"};
      return Args[++i];
    };
    if (a == "--set") settings.push_back(Value());
    else if (a == "--click") clicks.push_back(ParseClick(Value()));
    else if (a == "--seconds") seconds = ParsePositive(a, Value(), 86400);
    else throw TUsage{"edit takes no option '" + a + "'"};
  }
  if (!X11DisplayReachable()) throw EInvalidOperation("no X display: set DISPLAY (screenshot starts a virtual one)");
  TVstHostPlugin p(file, 44100, 512);
  p.Open();
  ApplyParameterSettings(p, settings);
  TAutomationLog log(p);
  p.Resume();
  {
    TSilenceRunner audio(p);
    TEditorSession editor(p, "vsthost: " + PluginName(p));
    std::printf("Editing %s (%d x %d); close the window or press Ctrl+C to stop\n", PluginName(p).c_str(),
                editor.Width(), editor.Height());
    std::fflush(stdout);
    signal(SIGINT, &OnSignal);
    signal(SIGTERM, &OnSignal);
    if (!clicks.empty()) editor.WaitForEditorWindow();
    for (const TClick& c : clicks) {
      editor.Click(c.X, c.Y);
      log.Print();
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!GStop.load() && !editor.Window().CloseRequested() &&
           (seconds == 0 || std::chrono::steady_clock::now() < end)) {
      editor.Idle();
      log.Print();
      std::this_thread::sleep_for(std::chrono::milliseconds(33));
    }
    editor.Close();
    log.Print();
  }
  p.Suspend();
  p.Close();
  return 0;
}

int CommandScreenshot(const std::vector<std::string>& Args) {
  if (Args.empty()) throw TUsage{"screenshot needs a PLUGIN"};
  const std::string file = Args[0];
  std::string output;
  std::vector<std::string> settings;
  std::vector<TClick> clicks;
  double afterMs = 300;
  for (size_t i = 1; i < Args.size(); ++i) {
    const std::string& a = Args[i];
    auto Value = [&]() -> std::string {
      if (i + 1 >= Args.size()) throw TUsage{a + " needs a value"};
      return Args[++i];
    };
    if (a == "-o" || a == "--output") output = Value();
    else if (a == "--set") settings.push_back(Value());
    else if (a == "--click") clicks.push_back(ParseClick(Value()));
    else if (a == "--after-ms") afterMs = ParsePositive(a, Value(), 600000);
    else throw TUsage{"screenshot takes no option '" + a + "'"};
  }
  if (output.empty()) throw TUsage{"screenshot needs -o FILE.png"};
  TXvfbServer xvfb;
  if (!X11DisplayReachable()) xvfb.Start();
  TVstHostPlugin p(file, 44100, 512);
  p.Open();
  ApplyParameterSettings(p, settings);
  p.Resume();
  std::vector<uint32_t> pixels;
  int32_t w = 0, h = 0;
  {
    TSilenceRunner audio(p);
    TEditorSession editor(p, "vsthost: " + PluginName(p));
    if (editor.WaitForEditorWindow() == 0) throw EVstError("the editor did not show a window");
    editor.IdleFor(100);
    for (const TClick& c : clicks) editor.Click(c.X, c.Y);
    editor.IdleFor(static_cast<int>(afterMs));
    pixels = editor.Capture(w, h);
    editor.Close();
  }
  p.Suspend();
  if (pixels.empty()) throw EVstError("the editor's pixels could not be read");
  SaveArgbPng(output, pixels, w, h);
  std::printf("%s: %d x %d editor saved to %s%s\n", PluginName(p).c_str(), w, h, output.c_str(),
              xvfb.Running() ? (" (on Xvfb " + xvfb.DisplayName() + ")").c_str() : "");
  p.Close();
  return 0;
}

}  // namespace

int RunEditorCommand(const std::string& Command, const std::vector<std::string>& Args) {
  try {
    if (Command == "edit") return CommandEdit(Args);
    return CommandScreenshot(Args);
  } catch (const TUsage& e) {
    std::fprintf(stderr, "vsthost: %s (vsthost --help lists the commands)\n", e.Message.c_str());
    return 2;
  }
}

}  // namespace kvx
