#include "host/lib/KVX_HostEditor.h"

#include <chrono>
#include <thread>

#include "gui/KVX_GuiPixelMap.h"
#include "platform/KVX_Streams.h"
#include "png/KVX_GuiPng.h"

namespace kvx {

namespace {

// effEditGetRect: answers false when the plug-in gives no usable rectangle.
bool EditorRect(TVstHostPlugin& Plugin, int32_t& Width, int32_t& Height) {
  ERect* r = nullptr;
  Plugin.Dispatch(effEditGetRect, 0, 0, &r);
  if (r == nullptr) return false;
  const int32_t w = r->right - r->left, h = r->bottom - r->top;
  if (w <= 0 || h <= 0 || w > 8192 || h > 8192) return false;
  Width = w;
  Height = h;
  return true;
}

}  // namespace

TEditorSession::TEditorSession(TVstHostPlugin& Plugin, const std::string& Title, THostEventDelivery Delivery,
                               int Depth)
    : FPlugin(Plugin), FDelivery(Delivery) {
  if (!Plugin.HasFlag(effFlagsHasEditor)) throw EVstError("the plug-in has no editor");
  // Hosts that size their window from the first answer keep that size.
  ERect* r = nullptr;
  if (Plugin.Dispatch(effEditGetRect, 0, 0, &r) != 0 && r != nullptr) {
    FBeforeWidth = r->right - r->left;
    FBeforeHeight = r->bottom - r->top;
  }
  FWidth = FBeforeWidth > 0 && FBeforeWidth <= 8192 ? FBeforeWidth : 320;
  FHeight = FBeforeHeight > 0 && FBeforeHeight <= 8192 ? FBeforeHeight : 240;
  FWindow = std::make_unique<THostWindow>(FWidth, FHeight, Title, Depth);
  FWindow->Show();
  if (Plugin.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(FWindow->Window())) == 0)
    throw EVstError("the plug-in did not open its editor");
  FOpen = true;
  int32_t w = 0, h = 0;
  if (EditorRect(Plugin, w, h) && (w != FWidth || h != FHeight)) {
    FWidth = w;
    FHeight = h;
    FWindow->Resize(w, h);
  }
}

TEditorSession::~TEditorSession() { Close(); }

void TEditorSession::Close() {
  if (!FOpen) return;
  FOpen = false;
  FPlugin.Dispatch(effEditClose);
}

void TEditorSession::Idle(bool SendIdle) {
  FWindow->Pump(FDelivery);
  if (SendIdle && FOpen) FPlugin.Dispatch(effEditIdle);
}

void TEditorSession::IdleFor(int Milliseconds, bool SendIdle) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds);
  do {
    Idle(SendIdle);
    std::this_thread::sleep_for(std::chrono::milliseconds(33));
  } while (std::chrono::steady_clock::now() < end);
}

THostWindowId TEditorSession::WaitForEditorWindow() {
  for (int i = 0; i < 150; ++i) {
    Idle();
    for (THostWindowId c : FWindow->Children(FWindow->Window())) {
      TWindowGeometry g;
      if (FWindow->Geometry(c, g) && g.Mapped) return c;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}

void TEditorSession::Click(int32_t X, int32_t Y) {
  FWindow->Click(FWindow->Window(), X, Y);
  IdleFor(100);
}

std::vector<uint32_t> TEditorSession::Capture(int32_t& Width, int32_t& Height) {
  FWindow->Sync();
  return FWindow->Capture(FWindow->Window(), Width, Height);
}

// ---- PNG files ------------------------------------------------------------------------------

void SaveArgbPng(const std::string& FileName, const std::vector<uint32_t>& Pixels, int32_t Width, int32_t Height) {
  TGuiPixelMapMemory map;
  map.Resize(Width, Height);
  for (int32_t y = 0; y < Height; ++y)
    for (int32_t x = 0; x < Width; ++x)
      map.ScanLine(y)[x] = TPixel32::FromARGB(Pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + x]);
  TPortableNetworkGraphicPixel32 png;
  png.Assign(map);
  TFileStream file(FileName, fmCreate);
  png.SaveToStream(file);
}

std::vector<uint32_t> LoadArgbPng(const std::string& FileName, int32_t& Width, int32_t& Height) {
  TFileStream file(FileName, fmOpenRead);
  TPortableNetworkGraphicPixel32 png;
  png.LoadFromStream(file);
  TGuiPixelMapMemory map;
  png.AssignTo(map);
  Width = map.Width();
  Height = map.Height();
  std::vector<uint32_t> out(static_cast<size_t>(Width) * static_cast<size_t>(Height));
  for (int32_t y = 0; y < Height; ++y)
    for (int32_t x = 0; x < Width; ++x)
      out[static_cast<size_t>(y) * static_cast<size_t>(Width) + x] = map.ScanLine(y)[x].ARGB();
  return out;
}

}  // namespace kvx
