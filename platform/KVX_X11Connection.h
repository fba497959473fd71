// The editor's own connection to the X server and the error trap every request of ours runs
// under. The X error handler is one per process and shared with the host (whose toolkit may abort
// on any X error), so ours only ever handles errors of our own connections and hands every other
// error to the handler that was installed before it. No Xlib type appears here: only platform/
// sees the native headers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct _XDisplay;

namespace kvx {

using TX11Display = _XDisplay;
// An X resource id (Window, Colormap, Cursor ...): an XID.
using TX11Id = unsigned long;

// One connection to the X server. Opened by the editor on the thread that opens it, closed on
// the same thread. XInitThreads is never called: the connection is used by one thread only.
class TX11Connection {
 public:
  // Connects to the display named by Name (null: $DISPLAY). Answers null when no server is
  // reachable.
  static std::unique_ptr<TX11Connection> Open(const char* Name = nullptr);
  ~TX11Connection();
  TX11Connection(const TX11Connection&) = delete;
  TX11Connection& operator=(const TX11Connection&) = delete;

  TX11Display* Display() const { return FDisplay; }
  // The connection was lost (an I/O error): nothing may be sent any more.
  bool Broken() const { return FBroken; }
  // X errors of this connection that arrived while no trap was installed (asynchronous errors of
  // requests whose results nobody waited for); they are swallowed, never printed.
  int StrayErrors() const { return FStrayErrors; }

  // Connections of this library open in the process.
  static int OpenCount();
  // Whether our error handler is the process's current one.
  static bool HandlerInstalled();

 private:
  friend struct TX11ErrorState;
  explicit TX11Connection(TX11Display* Display) : FDisplay(Display) {}
  TX11Display* FDisplay;
  bool FBroken = false;
  int FStrayErrors = 0;
};

// Traps the errors of one connection while it lives: installed around our requests, removed
// after an XSync, in last-in, first-out order. The innermost trap of a connection receives its
// errors; a trap makes no X request but the XSync of its end.
class TX11ErrorTrap {
 public:
  explicit TX11ErrorTrap(TX11Connection& Connection);
  ~TX11ErrorTrap();
  TX11ErrorTrap(const TX11ErrorTrap&) = delete;
  TX11ErrorTrap& operator=(const TX11ErrorTrap&) = delete;

  // Waits for the server to have answered every request so far; true when one of them failed.
  bool Sync();
  int ErrorCount() const { return FErrorCount; }
  // The error code (BadWindow = 3, BadMatch = 8, ...) and request code of the first error.
  int FirstErrorCode() const { return FFirstErrorCode; }
  int FirstRequestCode() const { return FFirstRequestCode; }

 private:
  friend struct TX11ErrorState;
  TX11Connection& FConnection;
  TX11ErrorTrap* FOuter = nullptr;
  int FErrorCount = 0;
  int FFirstErrorCode = 0;
  int FFirstRequestCode = 0;
};

}  // namespace kvx
