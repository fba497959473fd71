// The host's own X11 side: a virtual X server when there is no display, a top-level window that
// holds a plug-in's editor, synthetic pointer input through XTest, reading pixels back and
// looking at the window tree. Xlib stays inside the .cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _XDisplay;

namespace kvx {

using THostWindowId = unsigned long;

// An Xvfb of our own, on the first free display number (-displayfd): other users of the
// machine run theirs. Start sets DISPLAY for this process; the destructor stops the server.
class TXvfbServer {
 public:
  TXvfbServer() = default;
  ~TXvfbServer();
  TXvfbServer(const TXvfbServer&) = delete;
  TXvfbServer& operator=(const TXvfbServer&) = delete;
  // Starts the server (1280 x 1024, 24 bits) and waits until it accepts connections. Raises
  // EInvalidOperation with a one-line message when it cannot.
  void Start();
  bool Running() const { return FPid > 0; }
  const std::string& DisplayName() const { return FDisplayName; }

 private:
  int FPid = 0;
  std::string FDisplayName;
};

// True when $DISPLAY names a server that accepts a connection.
bool X11DisplayReachable();
// The root window of $DISPLAY's default screen (0 without a display); the connection used to
// ask is closed again.
unsigned long X11RootWindow();

// The host's X error handler (a toolkit's, counting the errors of the host's connections) is
// installed with the first host window. Reinstalling it makes it current again, as a toolkit
// that initialises late does.
void ReinstallHostErrorHandler();
bool HostErrorHandlerIsCurrent();
// A process-wide I/O error handler that returns, as a host does that wants to live on when the
// server goes (Xlib's default one ends the process before any connection's own exit handler
// runs). Answers how many I/O errors it has seen.
void InstallReturningIOErrorHandler();
int HostIOErrors();

// How a host hands the X events of the editor's window to the plug-in.
enum THostEventDelivery : uint8_t {
  hedNone,           // the plug-in pumps its own connection (idle and dispatcher calls)
  hedEventProcWhole, // calls _XEventProc read as one format-32 item holding the pointer
  hedEventProcHalves // calls _XEventProc read as two items {low 32 bits, high 32 bits}
};

struct TWindowGeometry {
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  int Depth = 0;
  bool Mapped = false;
  bool operator==(const TWindowGeometry&) const = default;
};

// A top-level window of the host on a connection of its own.
class THostWindow {
 public:
  // Connects to $DISPLAY and creates (unmapped) a window of the given client size. Raises
  // EInvalidOperation when no display is reachable. Depth 32 asks for an ARGB visual.
  THostWindow(int32_t Width, int32_t Height, const std::string& Title, int Depth = 0);
  ~THostWindow();
  THostWindow(const THostWindow&) = delete;
  THostWindow& operator=(const THostWindow&) = delete;

  THostWindowId Window() const { return FWindow; }
  _XDisplay* Display() const { return FDisplay; }
  void Show();
  void Resize(int32_t Width, int32_t Height);
  // Destroys the window now (what some hosts do when they hide an editor).
  void Destroy();
  // The user closed the window (WM_DELETE_WINDOW).
  bool CloseRequested() const { return FCloseRequested; }

  // Reads the host's own events; with event-proc delivery every event of a window carrying
  // _XEventProc is handed to that function. Answers the number of calls made that way.
  int Pump(THostEventDelivery Delivery = hedNone);
  // Asks for copies of the editor window's expose, motion, crossing and structure events, as
  // hosts that deliver them through _XEventProc do.
  void WatchEditorWindow(THostWindowId Editor);

  // Synthetic pointer input at client coordinates of Target (our window or one inside it).
  void MovePointer(THostWindowId Target, int32_t X, int32_t Y);
  void PressButton(unsigned Button);
  void ReleaseButton(unsigned Button);
  void Click(THostWindowId Target, int32_t X, int32_t Y, unsigned Button = 1);
  void Sync();

  // The pixels of a window as 0xAARRGGBB words (alpha 255), row by row; empty when it cannot be
  // read.
  std::vector<uint32_t> Capture(THostWindowId Target, int32_t& Width, int32_t& Height);
  std::vector<THostWindowId> Children(THostWindowId Target);
  // False when the window does not exist.
  bool Geometry(THostWindowId Target, TWindowGeometry& Out);
  // The two 32-bit items of Target's _XEventProc property (empty when absent).
  std::vector<uint64_t> EventProcItems(THostWindowId Target);
  // X errors this connection received (the host's own handler would have printed them).
  int Errors() const;

 private:
  _XDisplay* FDisplay = nullptr;
  THostWindowId FWindow = 0;
  THostWindowId FColormap = 0;
  unsigned long FDeleteAtom = 0;
  bool FCloseRequested = false;
  std::vector<THostWindowId> FWatched;
};

}  // namespace kvx
