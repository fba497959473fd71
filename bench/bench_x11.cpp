// The X11 editor window's running costs, against Xvfb (started here when no display is set):
// a pump when nothing is queued (what every idle and dispatcher call pays), and a full put of
// the editor's 254 x 353 surface (alpha forced, XPutImage, the trap's XSync).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "host/lib/KVX_HostX11.h"
#include "platform/KVX_X11Window.h"

using namespace kvx;

namespace {

constexpr int32_t CW = 254, CH = 353;

class TNullSink : public TX11WindowSink {
 public:
  void X11Input(const TX11Input&) override {}
  void X11Paint(const TRect&) override {}
};

struct TSetup {
  TXvfbServer Server;
  std::unique_ptr<THostWindow> Host;
  TNullSink Sink;
  std::unique_ptr<TX11EditorWindow> Editor;
  bool Ok = false;
  TSetup() {
    try {
      if (!X11DisplayReachable()) Server.Start();
      Host = std::make_unique<THostWindow>(CW, CH, "bench");
      Host->Show();
      Editor = TX11EditorWindow::Create(Host->Window(), CW, CH, &Sink);
      if (!Editor) return;
      Editor->SetVisible(true);
      for (int i = 0; i < 20; ++i) Editor->Pump();
      Ok = true;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "no X display: %s\n", e.what());
    }
  }
};

TSetup& Setup() {
  static TSetup s;
  return s;
}

void BM_X11IdlePump(benchmark::State& State) {
  TSetup& s = Setup();
  if (!s.Ok) {
    State.SkipWithError("no X display");
    return;
  }
  for (auto _ : State) s.Editor->Pump();
}
BENCHMARK(BM_X11IdlePump);

void BM_X11FullPut(benchmark::State& State) {
  TSetup& s = Setup();
  if (!s.Ok) {
    State.SkipWithError("no X display");
    return;
  }
  std::vector<uint32_t> surface(size_t(CW) * CH);
  for (size_t i = 0; i < surface.size(); ++i) surface[i] = static_cast<uint32_t>(i * 2654435761u) & 0x00FFFFFFu;
  for (auto _ : State) s.Editor->Put(surface.data(), CW, CH, CW, TRect{0, 0, CW, CH});
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * CW * CH * 4);
}
BENCHMARK(BM_X11FullPut)->Unit(benchmark::kMicrosecond);

}  // namespace
