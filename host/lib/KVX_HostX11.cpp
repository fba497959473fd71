#include "host/lib/KVX_HostX11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/KVX_Types.h"

extern char** environ;

namespace kvx {

// ---- Xvfb -----------------------------------------------------------------------------------

TXvfbServer::~TXvfbServer() {
  if (FPid <= 0) return;
  kill(FPid, SIGTERM);
  int status = 0;
  waitpid(FPid, &status, 0);
}

void TXvfbServer::Start() {
  if (FPid > 0) return;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw EInvalidOperation("cannot start Xvfb: no pipe");
  const std::string fd = std::to_string(fds[1]);
  const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "1280x1024x24", nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The write end must survive exec in the server; everything else keeps its close-on-exec.
  posix_spawn_file_actions_adddup2(&actions, fds[1], fds[1]);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    throw EInvalidOperation("cannot start Xvfb (is the xvfb package installed?)");
  }
  FPid = pid;
  // The server writes its display number once it accepts connections.
  std::string number;
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 20000) <= 0) break;
    char c = 0;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    kill(FPid, SIGTERM);
    waitpid(FPid, nullptr, 0);
    FPid = 0;
    throw EInvalidOperation("Xvfb did not start");
  }
  FDisplayName = ":" + number;
  setenv("DISPLAY", FDisplayName.c_str(), 1);
}

namespace {

// A busy server may have a full queue of connections to accept (EAGAIN) or reset one it has
// just accepted; it takes one a moment later. No server at all fails at once.
::Display* OpenDisplay() {
  ::Display* d = XOpenDisplay(nullptr);
  for (int Try = 0; d == nullptr && (errno == EAGAIN || errno == ECONNRESET) && Try < 100; ++Try) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    d = XOpenDisplay(nullptr);
  }
  return d;
}

}  // namespace

bool X11DisplayReachable() {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == 0) return false;
  ::Display* d = OpenDisplay();
  if (d == nullptr) return false;
  XCloseDisplay(d);
  return true;
}

unsigned long X11RootWindow() {
  ::Display* d = OpenDisplay();
  if (d == nullptr) return 0;
  const unsigned long root = DefaultRootWindow(d);
  XCloseDisplay(d);
  return root;
}

// ---- the host's error handler ---------------------------------------------------------------

namespace {

// Like a toolkit's: installed once, counting the errors of the host's connections. Errors of
// any other connection reaching it would be a plug-in's handler failing to keep its own.
std::mutex GHostErrorMutex;
std::vector<std::pair<::Display*, int>> GHostErrors;

int HostErrorHandler(::Display* d, XErrorEvent*) {
  std::lock_guard<std::mutex> Lock(GHostErrorMutex);
  for (auto& e : GHostErrors)
    if (e.first == d) {
      ++e.second;
      return 0;
    }
  GHostErrors.emplace_back(d, 1);
  return 0;
}

void InstallHostErrorHandler() {
  static std::once_flag Once;
  std::call_once(Once, [] { XSetErrorHandler(&HostErrorHandler); });
}

}  // namespace

namespace {
std::atomic<int> GHostIOErrors{0};
int ReturningIOErrorHandler(::Display*) {
  GHostIOErrors.fetch_add(1);
  return 0;
}
}  // namespace

void InstallReturningIOErrorHandler() { XSetIOErrorHandler(&ReturningIOErrorHandler); }
int HostIOErrors() { return GHostIOErrors.load(); }

void ReinstallHostErrorHandler() {
  InstallHostErrorHandler();
  XSetErrorHandler(&HostErrorHandler);
}

bool HostErrorHandlerIsCurrent() {
  const XErrorHandler current = XSetErrorHandler(&HostErrorHandler);
  XSetErrorHandler(current);
  return current == &HostErrorHandler;
}

int THostWindow::Errors() const {
  std::lock_guard<std::mutex> Lock(GHostErrorMutex);
  for (const auto& e : GHostErrors)
    if (e.first == FDisplay) return e.second;
  return 0;
}

// ---- the window -----------------------------------------------------------------------------

THostWindow::THostWindow(int32_t Width, int32_t Height, const std::string& Title, int Depth) {
  InstallHostErrorHandler();
  FDisplay = OpenDisplay();
  if (FDisplay == nullptr)
    throw EInvalidOperation(std::string("no X display (set DISPLAY): ") + std::strerror(errno));
  ::Display* d = FDisplay;
  const int screen = DefaultScreen(d);
  const ::Window root = RootWindow(d, screen);
  XSetWindowAttributes a{};
  a.event_mask = StructureNotifyMask | ExposureMask;
  a.background_pixel = 0;
  a.border_pixel = 0;
  unsigned long mask = CWEventMask | CWBackPixel | CWBorderPixel;
  Visual* visual = DefaultVisual(d, screen);
  int depth = DefaultDepth(d, screen);
  XVisualInfo vi{};
  if (Depth == 32 && XMatchVisualInfo(d, screen, 32, TrueColor, &vi)) {
    visual = vi.visual;
    depth = 32;
    FColormap = XCreateColormap(d, root, visual, AllocNone);
    a.colormap = FColormap;
    mask |= CWColormap;
  }
  FWindow = XCreateWindow(d, root, 0, 0, static_cast<unsigned>(std::max(1, Width)),
                          static_cast<unsigned>(std::max(1, Height)), 0, depth, InputOutput, visual, mask, &a);
  XStoreName(d, FWindow, Title.c_str());
  FDeleteAtom = XInternAtom(d, "WM_DELETE_WINDOW", False);
  Atom del = FDeleteAtom;
  XSetWMProtocols(d, FWindow, &del, 1);
  XSync(d, False);
}

THostWindow::~THostWindow() {
  Destroy();
  if (FColormap != 0) XFreeColormap(FDisplay, FColormap);
  XSync(FDisplay, True);
  {
    std::lock_guard<std::mutex> Lock(GHostErrorMutex);
    for (auto it = GHostErrors.begin(); it != GHostErrors.end(); ++it)
      if (it->first == FDisplay) {
        GHostErrors.erase(it);
        break;
      }
  }
  XCloseDisplay(FDisplay);
}

void THostWindow::Show() {
  if (FWindow == 0) return;
  XMapWindow(FDisplay, FWindow);
  XSync(FDisplay, False);
}

void THostWindow::Resize(int32_t Width, int32_t Height) {
  if (FWindow == 0) return;
  XResizeWindow(FDisplay, FWindow, static_cast<unsigned>(std::max(1, Width)), static_cast<unsigned>(std::max(1, Height)));
  XSync(FDisplay, False);
}

void THostWindow::Destroy() {
  if (FWindow == 0) return;
  XDestroyWindow(FDisplay, FWindow);
  XSync(FDisplay, False);
  FWindow = 0;
  FWatched.clear();
}

void THostWindow::WatchEditorWindow(THostWindowId Editor) {
  // Button events may be selected by one client only (the editor); the rest can be shared.
  XSelectInput(FDisplay, Editor,
               ExposureMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask | StructureNotifyMask);
  XSync(FDisplay, False);
  FWatched.push_back(Editor);
}

std::vector<uint64_t> THostWindow::EventProcItems(THostWindowId Target) {
  std::vector<uint64_t> items;
  const Atom prop = XInternAtom(FDisplay, "_XEventProc", True);
  if (prop == None) return items;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(FDisplay, Target, prop, 0, 8, False, AnyPropertyType, &type, &format, &count, &after,
                         &data) != Success)
    return items;
  if (data != nullptr && format == 32) {
    // Format-32 items arrive in longs.
    const long* longs = reinterpret_cast<const long*>(data);
    for (unsigned long i = 0; i < count; ++i) items.push_back(static_cast<uint64_t>(longs[i]) & 0xFFFFFFFFu);
  }
  if (data != nullptr) XFree(data);
  return items;
}

int THostWindow::Pump(THostEventDelivery Delivery) {
  int calls = 0;
  while (XPending(FDisplay) > 0) {
    XEvent e;
    XNextEvent(FDisplay, &e);
    if (e.type == ClientMessage && e.xclient.window == FWindow &&
        static_cast<unsigned long>(e.xclient.data.l[0]) == FDeleteAtom)
      FCloseRequested = true;
    if (e.type == DestroyNotify && e.xdestroywindow.window == FWindow) FWindow = 0;
    if (Delivery == hedNone) continue;
    const ::Window w = e.xany.window;
    if (w == FWindow || w == 0) continue;
    const std::vector<uint64_t> items = EventProcItems(w);
    if (items.empty()) continue;
    // The two readings hosts make of the property.
    uint64_t address = items[0];
    if (Delivery == hedEventProcHalves && items.size() >= 2) address |= items[1] << 32;
    if (address == 0) continue;
    using TEventProc = void (*)(XEvent*);
    reinterpret_cast<TEventProc>(static_cast<uintptr_t>(address))(&e);
    ++calls;
  }
  return calls;
}

// ---- input ----------------------------------------------------------------------------------

void THostWindow::MovePointer(THostWindowId Target, int32_t X, int32_t Y) {
  int sx = X, sy = Y;
  ::Window child = 0;
  XTranslateCoordinates(FDisplay, Target, DefaultRootWindow(FDisplay), X, Y, &sx, &sy, &child);
  XTestFakeMotionEvent(FDisplay, -1, sx, sy, CurrentTime);
  XSync(FDisplay, False);
}

void THostWindow::PressButton(unsigned Button) {
  XTestFakeButtonEvent(FDisplay, Button, True, CurrentTime);
  XSync(FDisplay, False);
}

void THostWindow::ReleaseButton(unsigned Button) {
  XTestFakeButtonEvent(FDisplay, Button, False, CurrentTime);
  XSync(FDisplay, False);
}

void THostWindow::Click(THostWindowId Target, int32_t X, int32_t Y, unsigned Button) {
  MovePointer(Target, X, Y);
  PressButton(Button);
  ReleaseButton(Button);
}

void THostWindow::Sync() { XSync(FDisplay, False); }

// ---- reading back ---------------------------------------------------------------------------

std::vector<uint32_t> THostWindow::Capture(THostWindowId Target, int32_t& Width, int32_t& Height) {
  std::vector<uint32_t> pixels;
  Width = Height = 0;
  XWindowAttributes wa{};
  if (!XGetWindowAttributes(FDisplay, Target, &wa)) return pixels;
  XImage* img = XGetImage(FDisplay, Target, 0, 0, static_cast<unsigned>(wa.width), static_cast<unsigned>(wa.height),
                          AllPlanes, ZPixmap);
  if (img == nullptr) return pixels;
  Width = wa.width;
  Height = wa.height;
  pixels.resize(static_cast<size_t>(Width) * static_cast<size_t>(Height));
  auto Channel = [](unsigned long Pixel, unsigned long Mask) -> uint32_t {
    if (Mask == 0) return 0;
    int shift = 0;
    while (((Mask >> shift) & 1u) == 0) ++shift;
    const unsigned long max = Mask >> shift;
    return static_cast<uint32_t>((((Pixel & Mask) >> shift) * 255 + max / 2) / max);
  };
  // On a 32-bit visual the byte outside the colour masks is the alpha a compositor uses.
  const unsigned long alphaMask =
      img->depth == 32 ? 0xFFFFFFFFul & ~(img->red_mask | img->green_mask | img->blue_mask) : 0;
  for (int32_t y = 0; y < Height; ++y)
    for (int32_t x = 0; x < Width; ++x) {
      const unsigned long p = XGetPixel(img, x, y);
      const uint32_t alpha = alphaMask != 0 ? Channel(p, alphaMask) : 255u;
      pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)] =
          alpha << 24 | Channel(p, img->red_mask) << 16 | Channel(p, img->green_mask) << 8 | Channel(p, img->blue_mask);
    }
  XDestroyImage(img);
  return pixels;
}

std::vector<THostWindowId> THostWindow::Children(THostWindowId Target) {
  std::vector<THostWindowId> out;
  ::Window root = 0, parent = 0;
  ::Window* children = nullptr;
  unsigned int n = 0;
  if (XQueryTree(FDisplay, Target, &root, &parent, &children, &n) == 0) return out;
  for (unsigned i = 0; i < n; ++i) out.push_back(children[i]);
  if (children != nullptr) XFree(children);
  return out;
}

bool THostWindow::Geometry(THostWindowId Target, TWindowGeometry& Out) {
  XWindowAttributes wa{};
  if (!XGetWindowAttributes(FDisplay, Target, &wa)) return false;
  Out.X = wa.x;
  Out.Y = wa.y;
  Out.Width = wa.width;
  Out.Height = wa.height;
  Out.Depth = wa.depth;
  Out.Mapped = wa.map_state != IsUnmapped;
  return true;
}

}  // namespace kvx
