// Hosting a plug-in's editor the way a Linux VST 2.4 host does: the editor's size asked first, a
// top-level window of that size handed over as the parent in effEditOpen, the size asked again
// once the editor exists, idle calls while it is open, effEditClose at the end. Works for any
// plug-in with an editor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/lib/KVX_HostPlugin.h"
#include "host/lib/KVX_HostX11.h"

namespace kvx {

class TEditorSession {
 public:
  // Opens the editor of Plugin (which must be open) in a new top-level window. Raises EVstError
  // when the plug-in has no editor or refuses to open it, EInvalidOperation without a display.
  // Depth 32 gives the host window an ARGB visual.
  TEditorSession(TVstHostPlugin& Plugin, const std::string& Title, THostEventDelivery Delivery = hedNone,
                 int Depth = 0);
  ~TEditorSession();
  TEditorSession(const TEditorSession&) = delete;
  TEditorSession& operator=(const TEditorSession&) = delete;

  THostWindow& Window() { return *FWindow; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  bool IsOpen() const { return FOpen; }
  // The size effEditGetRect gave before the editor was opened (0 x 0 when it answered 0).
  int32_t SizeBeforeOpenWidth() const { return FBeforeWidth; }
  int32_t SizeBeforeOpenHeight() const { return FBeforeHeight; }

  // One turn of the host's loop: its own events (handed on through _XEventProc with that
  // delivery), then effEditIdle when SendIdle.
  void Idle(bool SendIdle = true);
  // Idles at about 30 Hz for Milliseconds.
  void IdleFor(int Milliseconds, bool SendIdle = true);
  // The editor's window inside ours once it is mapped, idling meanwhile; 0 after a few seconds.
  THostWindowId WaitForEditorWindow();
  // A left click at editor coordinates, followed by idling so that the editor sees it.
  void Click(int32_t X, int32_t Y);
  // The pixels of the editor's area of our window.
  std::vector<uint32_t> Capture(int32_t& Width, int32_t& Height);
  // effEditClose (once).
  void Close();

 private:
  TVstHostPlugin& FPlugin;
  std::unique_ptr<THostWindow> FWindow;
  THostEventDelivery FDelivery;
  int32_t FWidth = 0, FHeight = 0;
  int32_t FBeforeWidth = 0, FBeforeHeight = 0;
  bool FOpen = false;
};

}  // namespace kvx

namespace kvx {

// Writes 0xAARRGGBB pixels, row by row, as a PNG file with our encoder. Raises EStreamError when
// the file cannot be written.
void SaveArgbPng(const std::string& FileName, const std::vector<uint32_t>& Pixels, int32_t Width, int32_t Height);
// Reads a PNG file into 0xAARRGGBB pixels with our decoder.
std::vector<uint32_t> LoadArgbPng(const std::string& FileName, int32_t& Width, int32_t& Height);

}  // namespace kvx
