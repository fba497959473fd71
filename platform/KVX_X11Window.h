// The editor's native window on X11: a child of the host's window, on a connection of its own,
// pumped without a thread of ours and without ever blocking. The window-system layer's X11
// backend drives it; everything X11 of an open editor lives here.
#pragma once

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "platform/KVX_Graphics.h"
#include "platform/KVX_X11Connection.h"
#include "platform/KVX_X11Input.h"

namespace kvx {

// Receives what a pump found, on the editor's thread.
class TX11WindowSink {
 public:
  virtual ~TX11WindowSink() = default;
  virtual void X11Input(const TX11Input& Input) = 0;
  // The region to be painted; the sink answers with Put.
  virtual void X11Paint(const TRect& Region) = 0;
};

class TX11EditorWindow {
 public:
  // Connects to the display, creates the child window of Parent at 0, 0 with the given size
  // (unmapped) and publishes the event entry. Answers null when no display is reachable or
  // Parent is not a window on it.
  static std::unique_ptr<TX11EditorWindow> Create(TX11Id Parent, int32_t Width, int32_t Height,
                                                  TX11WindowSink* Sink);
  // The close sequence: XSync, a queued DestroyNotify noted, our window destroyed under the trap
  // if it still exists, XSync, pending events dropped undelivered, the connection closed.
  ~TX11EditorWindow();
  TX11EditorWindow(const TX11EditorWindow&) = delete;
  TX11EditorWindow& operator=(const TX11EditorWindow&) = delete;

  TX11Id Window() const { return FWindow; }
  TX11Id Parent() const { return FParent; }
  // The host destroyed its window (and ours with it).
  bool WindowGone() const { return FGone; }
  TX11Connection& Connection() const { return *FConnection; }
  std::thread::id Thread() const { return FThread; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int Depth() const { return FDepth; }

  // Moves the window under another parent window (of the same connection's server). A parent of
  // another visual or depth, or a window of ours that is gone, makes a new window. False when
  // NewParent is not a window.
  bool SetParent(TX11Id NewParent);
  void SetVisible(bool Visible);
  void SetSize(int32_t Width, int32_t Height);
  // Position in the parent and size.
  void SetBounds(const TRect& Bounds);
  // Asks for Region to be painted at the end of the next pump.
  void Invalidate(const TRect& Region);

  // Puts Region of a 32-bit top-down surface (Stride in pixels, memory order B, G, R, A) at the
  // same place in the window, opaque.
  void Put(const uint32_t* Pixels, int32_t Width, int32_t Height, int32_t Stride, const TRect& Region);

  // Reads and dispatches everything queued, then paints once. Never blocks; a pump that calls
  // back into itself returns at once.
  void Pump();

  // Pointer services. Coordinates are client coordinates of our window unless named screen.
  void SetCursorVisible(bool Visible);
  void WarpPointer(int32_t ScreenX, int32_t ScreenY);
  TPoint ClientToScreen(TPoint P);
  TPoint ScreenToClient(TPoint P);
  // The shift state of the event being dispatched (0 outside a dispatch).
  uint32_t CurrentShift() const { return FCurrentShift; }
  // Where the pointer is (client coordinates) and the modifiers and buttons held now (TX11Shift).
  TPoint PointerPosition(uint32_t* Shift = nullptr);
  // The screen's size.
  TRect ScreenRect();

  // What a host's call through _XEventProc runs; without it, a pump.
  void (*OnEventProc)(void* Context) = nullptr;
  void* EventProcContext = nullptr;

  // The editor whose window is Window, on the calling thread; null otherwise.
  static TX11EditorWindow* Find(TX11Id Window);
  // The address published in _XEventProc (below 4 GiB), 0 where none could be made.
  static uintptr_t EventProcAddress();

 private:
  TX11EditorWindow(std::unique_ptr<TX11Connection> Connection, TX11Id Parent, TX11WindowSink* Sink);
  bool CreateWindow();
  void DestroyWindow();
  void PutImage(const TRect& Region);

  std::unique_ptr<TX11Connection> FConnection;
  TX11Id FParent;
  TX11WindowSink* FSink;
  std::thread::id FThread;
  TX11Id FWindow = 0;
  TX11Id FColormap = 0;
  TX11Id FCursor = 0;
  void* FVisual = nullptr;
  void* FGC = nullptr;
  void* FImage = nullptr;  // XImage over FStaging
  int FDepth = 0;
  int32_t FWidth = 0, FHeight = 0;
  bool FMapped = false;
  bool FGone = false;
  bool FPumping = false;
  bool FStandardMasks = true;
  uint32_t FCurrentShift = 0;
  std::vector<uint32_t> FStaging;
  TX11InputTranslator FTranslator;
  std::vector<TX11Input> FInputs;
};

}  // namespace kvx
