#include "platform/KVX_X11Connection.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace kvx {

// The process-wide side of our error handling: the connections we own, the handler that was
// current before ours, and the traps of each thread.
struct TX11ErrorState {
  static std::mutex& Mutex() {
    static std::mutex M;
    return M;
  }
  // Guarded by Mutex().
  static std::vector<TX11Connection*>& Connections() {
    static std::vector<TX11Connection*> C;
    return C;
  }
  static XErrorHandler& Previous() {
    static XErrorHandler P = nullptr;
    return P;
  }
  static bool& Installed() {
    static bool I = false;
    return I;
  }
  // A thread's innermost trap. Xlib calls the error handler on the thread that reads the error,
  // which is the thread whose request (and trap) it answers.
  static TX11ErrorTrap*& Innermost() {
    thread_local TX11ErrorTrap* T = nullptr;
    return T;
  }

  static int Handler(Display* Dpy, XErrorEvent* Event) {
    for (TX11ErrorTrap* t = Innermost(); t != nullptr; t = t->FOuter) {
      if (t->FConnection.FDisplay != Dpy) continue;
      if (t->FErrorCount++ == 0) {
        t->FFirstErrorCode = Event->error_code;
        t->FFirstRequestCode = Event->request_code;
      }
      return 0;
    }
    XErrorHandler Chain = nullptr;
    {
      std::lock_guard<std::mutex> Lock(Mutex());
      for (TX11Connection* c : Connections()) {
        if (c->FDisplay != Dpy) continue;
        ++c->FStrayErrors;
        return 0;
      }
      Chain = Previous();
    }
    // Not ours: the host's handler decides (Xlib's default prints and exits, as it would have).
    return Chain != nullptr ? Chain(Dpy, Event) : 0;
  }

  // A lost connection ends our editor, never the host's process.
  static void IOExit(Display*, void* UserData) {
    static_cast<TX11Connection*>(UserData)->FBroken = true;
  }

  static void Register(TX11Connection* c) {
    std::lock_guard<std::mutex> Lock(Mutex());
    Connections().push_back(c);
    if (!Installed()) {
      Previous() = XSetErrorHandler(&Handler);
      Installed() = true;
    }
  }

  static void Unregister(TX11Connection* c) {
    std::lock_guard<std::mutex> Lock(Mutex());
    auto& All = Connections();
    All.erase(std::remove(All.begin(), All.end(), c), All.end());
    if (!All.empty() || !Installed()) return;
    // The host may have installed a handler of its own since: then ours stays in its chain (it
    // passes everything on) and the host's is left current.
    const XErrorHandler Current = XSetErrorHandler(Previous());
    if (Current != &Handler) XSetErrorHandler(Current);
    // Either way ours is no longer current: the next editor installs it again on top of
    // whatever is current then.
    Installed() = false;
  }
};

std::unique_ptr<TX11Connection> TX11Connection::Open(const char* Name) {
  ::Display* Dpy = XOpenDisplay(Name);
  // A busy server may have a full queue of connections to accept (EAGAIN) or reset one it has
  // just accepted: a moment later it takes it. No server at all fails at once.
  for (int Try = 0; Dpy == nullptr && (errno == EAGAIN || errno == ECONNRESET) && Try < 5; ++Try) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Dpy = XOpenDisplay(Name);
  }
  if (Dpy == nullptr) return nullptr;
  std::unique_ptr<TX11Connection> c(new TX11Connection(Dpy));
  XSetIOErrorExitHandler(Dpy, &TX11ErrorState::IOExit, c.get());
  TX11ErrorState::Register(c.get());
  return c;
}

TX11Connection::~TX11Connection() {
  // Errors that the closing XSync reads still belong to us.
  XCloseDisplay(FDisplay);
  TX11ErrorState::Unregister(this);
}

int TX11Connection::OpenCount() {
  std::lock_guard<std::mutex> Lock(TX11ErrorState::Mutex());
  return static_cast<int>(TX11ErrorState::Connections().size());
}

bool TX11Connection::HandlerInstalled() {
  std::lock_guard<std::mutex> Lock(TX11ErrorState::Mutex());
  return TX11ErrorState::Installed();
}

TX11ErrorTrap::TX11ErrorTrap(TX11Connection& Connection) : FConnection(Connection) {
  FOuter = TX11ErrorState::Innermost();
  TX11ErrorState::Innermost() = this;
}

TX11ErrorTrap::~TX11ErrorTrap() {
  Sync();
  // Last in, first out: an inner trap has always ended before this one.
  TX11ErrorState::Innermost() = FOuter;
}

bool TX11ErrorTrap::Sync() {
  if (!FConnection.Broken()) XSync(FConnection.Display(), False);
  return FErrorCount > 0;
}

}  // namespace kvx
