#include "platform/KVX_X11Window.h"

#include "platform/KVX_EditorCallScope.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace kvx {

namespace {

// ---- the open editors, for the event entry --------------------------------------------------

std::mutex& RegistryMutex() {
  static std::mutex M;
  return M;
}
std::vector<TX11EditorWindow*>& Registry() {
  static std::vector<TX11EditorWindow*> R;
  return R;
}

// ---- _XEventProc ----------------------------------------------------------------------------

// Hosts call the function named by our window's _XEventProc property with an event of their own
// connection. We only need the nudge: our own connection holds the events that matter.
void EventProc(XEvent* Event) noexcept {
  if (Event == nullptr) return;
  try {
    TX11EditorWindow* w = TX11EditorWindow::Find(Event->xany.window);
    if (w == nullptr) return;
    if (w->OnEventProc != nullptr) w->OnEventProc(w->EventProcContext);
    else w->Pump();
  } catch (...) {
  }
}

// Hosts read the property either as one 32-bit item holding the whole pointer or as two items
// holding its halves. An entry below 4 GiB, published as {low, high = 0}, satisfies both: a
// small jump mapped with MAP_32BIT.
class TEventProcStub {
 public:
  TEventProcStub() {
#if defined(__x86_64__) && defined(MAP_32BIT)
    void* p = mmap(nullptr, CSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (p == MAP_FAILED) return;
    // movabs rax, EventProc; jmp rax
    auto* code = static_cast<uint8_t*>(p);
    const uint64_t target = reinterpret_cast<uint64_t>(&EventProc);
    code[0] = 0x48;
    code[1] = 0xB8;
    std::memcpy(code + 2, &target, sizeof target);
    code[10] = 0xFF;
    code[11] = 0xE0;
    if (mprotect(p, CSize, PROT_READ | PROT_EXEC) != 0 || reinterpret_cast<uintptr_t>(p) > 0xFFFFFFFFu) {
      munmap(p, CSize);
      return;
    }
    FPage = p;
#endif
  }
  ~TEventProcStub() {
    if (FPage != nullptr) munmap(FPage, CSize);
  }
  uintptr_t Address() const { return reinterpret_cast<uintptr_t>(FPage); }

 private:
  static constexpr size_t CSize = 4096;
  void* FPage = nullptr;
};

TEventProcStub& EventProcStub() {
  static TEventProcStub Stub;
  return Stub;
}

constexpr long CEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | FocusChangeMask | StructureNotifyMask;

TX11RawEvent RawEvent(const XEvent& e) {
  TX11RawEvent r;
  r.Kind = e.type;
  switch (e.type) {
    case ButtonPress:
    case ButtonRelease:
      r.Button = e.xbutton.button;
      r.X = e.xbutton.x;
      r.Y = e.xbutton.y;
      r.State = e.xbutton.state;
      break;
    case MotionNotify:
      r.X = e.xmotion.x;
      r.Y = e.xmotion.y;
      r.State = e.xmotion.state;
      break;
    case EnterNotify:
    case LeaveNotify:
      r.X = e.xcrossing.x;
      r.Y = e.xcrossing.y;
      r.State = e.xcrossing.state;
      r.Mode = e.xcrossing.mode;
      break;
    case FocusIn:
    case FocusOut:
      r.Mode = e.xfocus.mode;
      r.Detail = e.xfocus.detail;
      break;
    case Expose:
      r.X = e.xexpose.x;
      r.Y = e.xexpose.y;
      r.Width = e.xexpose.width;
      r.Height = e.xexpose.height;
      break;
    case ConfigureNotify:
      r.Width = e.xconfigure.width;
      r.Height = e.xconfigure.height;
      break;
    default:
      break;
  }
  return r;
}

// The window an event is about (for structure events: the window it happened to).
Window EventWindow(const XEvent& e) {
  switch (e.type) {
    case DestroyNotify: return e.xdestroywindow.window;
    case ConfigureNotify: return e.xconfigure.window;
    default: return e.xany.window;
  }
}

}  // namespace

// ---- life -----------------------------------------------------------------------------------

TX11EditorWindow::TX11EditorWindow(std::unique_ptr<TX11Connection> Connection, TX11Id Parent,
                                   TX11WindowSink* Sink)
    : FConnection(std::move(Connection)), FParent(Parent), FSink(Sink), FThread(std::this_thread::get_id()) {}

std::unique_ptr<TX11EditorWindow> TX11EditorWindow::Create(TX11Id Parent, int32_t Width, int32_t Height,
                                                           TX11WindowSink* Sink) {
  if (Parent == 0) return nullptr;
  std::unique_ptr<TX11Connection> c = TX11Connection::Open();
  if (!c) return nullptr;
  std::unique_ptr<TX11EditorWindow> w(new TX11EditorWindow(std::move(c), Parent, Sink));
  w->FWidth = std::max(1, Width);
  w->FHeight = std::max(1, Height);
  if (!w->CreateWindow()) return nullptr;
  std::lock_guard<std::mutex> Lock(RegistryMutex());
  Registry().push_back(w.get());
  return w;
}

TX11EditorWindow::~TX11EditorWindow() {
  {
    std::lock_guard<std::mutex> Lock(RegistryMutex());
    auto& r = Registry();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
  }
  if (!FConnection) return;
  if (!FConnection->Broken()) {
    ::Display* d = FConnection->Display();
    {
      TX11ErrorTrap Trap(*FConnection);
      Trap.Sync();
      XEvent e;
      // The host may have destroyed its window, and ours with it, since the last pump.
      if (FWindow != 0 && XCheckTypedWindowEvent(d, FWindow, DestroyNotify, &e)) FGone = true;
      DestroyWindow();
    }
    // Whatever is still queued is for a window that no longer exists: dropped, not dispatched.
    XSync(d, True);
  } else {
    DestroyWindow();
  }
  FConnection.reset();
}

bool TX11EditorWindow::CreateWindow() {
  ::Display* d = FConnection->Display();
  TX11ErrorTrap Trap(*FConnection);
  XWindowAttributes pa{};
  if (XGetWindowAttributes(d, FParent, &pa) == 0 || Trap.Sync()) return false;
  FVisual = pa.visual;
  FDepth = pa.depth;
  FStandardMasks = pa.visual->red_mask == 0xFF0000 && pa.visual->green_mask == 0xFF00 &&
                   pa.visual->blue_mask == 0xFF;
  // A colormap and a border pixel of our own: with the parent's visual and depth, which need not
  // be the screen's default, the defaults inherited from the root would be a BadMatch.
  FColormap = XCreateColormap(d, pa.root, pa.visual, AllocNone);
  XSetWindowAttributes a{};
  a.colormap = FColormap;
  a.border_pixel = 0;
  a.background_pixmap = None;
  a.event_mask = CEventMask;
  FWindow = XCreateWindow(d, FParent, 0, 0, static_cast<unsigned>(FWidth), static_cast<unsigned>(FHeight), 0,
                          FDepth, InputOutput, pa.visual, CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask,
                          &a);
  FGC = XCreateGC(d, FWindow, 0, nullptr);
  uintptr_t Entry = EventProcAddress();
  if (Entry == 0) Entry = reinterpret_cast<uintptr_t>(&EventProc);
  const long Items[2] = {static_cast<long>(Entry & 0xFFFFFFFFu), static_cast<long>((uint64_t{Entry} >> 32) & 0xFFFFFFFFu)};
  const Atom Prop = XInternAtom(d, "_XEventProc", False);
  XChangeProperty(d, FWindow, Prop, Prop, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(Items), 2);
  if (Trap.Sync()) {
    DestroyWindow();
    return false;
  }
  FGone = false;
  return true;
}

void TX11EditorWindow::DestroyWindow() {
  ::Display* d = FConnection->Display();
  const bool Live = !FConnection->Broken();
  if (FImage != nullptr) {
    auto* img = static_cast<XImage*>(FImage);
    if (FStandardMasks) img->data = nullptr;  // FStaging's rows, not Xlib's
    XDestroyImage(img);
    FImage = nullptr;
  }
  if (!Live) {
    // A lost connection sends nothing any more; the GC's memory is still ours to free.
    if (FGC != nullptr) XFreeGC(d, static_cast<GC>(FGC));
    FWindow = FColormap = FCursor = 0;
    FGC = nullptr;
    return;
  }
  TX11ErrorTrap Trap(*FConnection);
  if (FWindow != 0 && !FGone) XDestroyWindow(d, FWindow);
  if (FGC != nullptr) XFreeGC(d, static_cast<GC>(FGC));
  if (FColormap != 0) XFreeColormap(d, FColormap);
  if (FCursor != 0) XFreeCursor(d, FCursor);
  FWindow = FColormap = FCursor = 0;
  FGC = nullptr;
  FMapped = false;
}

// ---- window state ---------------------------------------------------------------------------

bool TX11EditorWindow::SetParent(TX11Id NewParent) {
  if (NewParent == 0 || FConnection->Broken()) return false;
  ::Display* d = FConnection->Display();
  XWindowAttributes pa{};
  {
    TX11ErrorTrap Trap(*FConnection);
    if (XGetWindowAttributes(d, NewParent, &pa) == 0 || Trap.Sync()) return false;
  }
  if (FWindow != 0 && !FGone && pa.visual == FVisual && pa.depth == FDepth) {
    TX11ErrorTrap Trap(*FConnection);
    XReparentWindow(d, FWindow, NewParent, 0, 0);
    if (!Trap.Sync()) {
      FParent = NewParent;
      return true;
    }
  }
  const bool Mapped = FMapped;
  DestroyWindow();
  FParent = NewParent;
  if (!CreateWindow()) return false;
  if (Mapped) SetVisible(true);
  FTranslator.AddDamage(TRect{0, 0, FWidth, FHeight});
  return true;
}

void TX11EditorWindow::SetVisible(bool Visible) {
  if (FWindow == 0 || FGone || FConnection->Broken()) return;
  TX11ErrorTrap Trap(*FConnection);
  if (Visible) XMapWindow(FConnection->Display(), FWindow);
  else XUnmapWindow(FConnection->Display(), FWindow);
  FMapped = Visible;
}

void TX11EditorWindow::SetSize(int32_t Width, int32_t Height) {
  Width = std::max(1, Width);
  Height = std::max(1, Height);
  if (Width == FWidth && Height == FHeight) return;
  FWidth = Width;
  FHeight = Height;
  if (FImage != nullptr) {
    auto* img = static_cast<XImage*>(FImage);
    if (FStandardMasks) img->data = nullptr;
    XDestroyImage(img);
    FImage = nullptr;
  }
  if (FWindow == 0 || FGone || FConnection->Broken()) return;
  TX11ErrorTrap Trap(*FConnection);
  XResizeWindow(FConnection->Display(), FWindow, static_cast<unsigned>(Width), static_cast<unsigned>(Height));
}

void TX11EditorWindow::SetBounds(const TRect& Bounds) {
  SetSize(Bounds.Width(), Bounds.Height());
  if (FWindow == 0 || FGone || FConnection->Broken()) return;
  TX11ErrorTrap Trap(*FConnection);
  XMoveWindow(FConnection->Display(), FWindow, Bounds.Left, Bounds.Top);
}

void TX11EditorWindow::Invalidate(const TRect& Region) { FTranslator.AddDamage(Region); }

// ---- painting -------------------------------------------------------------------------------

void TX11EditorWindow::Put(const uint32_t* Pixels, int32_t Width, int32_t Height, int32_t Stride,
                           const TRect& Region) {
  if (Pixels == nullptr || FWindow == 0 || FGone || FConnection->Broken()) return;
  TRect r = Region;
  r.Left = std::max(r.Left, 0);
  r.Top = std::max(r.Top, 0);
  r.Right = std::min({r.Right, Width, FWidth});
  r.Bottom = std::min({r.Bottom, Height, FHeight});
  if (r.Width() <= 0 || r.Height() <= 0) return;
  ::Display* d = FConnection->Display();
  if (FImage == nullptr) {
    if (FStandardMasks) {
      FStaging.assign(static_cast<size_t>(FWidth) * static_cast<size_t>(FHeight), 0xFF000000u);
      FImage = XCreateImage(d, static_cast<Visual*>(FVisual), static_cast<unsigned>(FDepth), ZPixmap, 0,
                            reinterpret_cast<char*>(FStaging.data()), static_cast<unsigned>(FWidth),
                            static_cast<unsigned>(FHeight), 32, FWidth * 4);
      auto* img = static_cast<XImage*>(FImage);
      if (img != nullptr && img->bits_per_pixel != 32) {
        img->data = nullptr;
        XDestroyImage(img);
        FImage = nullptr;
        FStandardMasks = false;
      }
      if (img != nullptr && FImage != nullptr) {
        // Our words are in the machine's byte order; Xlib converts for the server.
        img->byte_order = (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) ? LSBFirst : MSBFirst;
      }
    }
    if (!FStandardMasks) {
      // Another pixel layout: Xlib stores each pixel in the server's format.
      const int pad = 32;
      FImage = XCreateImage(d, static_cast<Visual*>(FVisual), static_cast<unsigned>(FDepth), ZPixmap, 0, nullptr,
                            static_cast<unsigned>(FWidth), static_cast<unsigned>(FHeight), pad, 0);
      if (auto* img = static_cast<XImage*>(FImage)) {
        img->data = static_cast<char*>(calloc(static_cast<size_t>(img->bytes_per_line), static_cast<size_t>(FHeight)));
        if (img->data == nullptr) {
          XDestroyImage(img);
          FImage = nullptr;
        }
      }
    }
    if (FImage == nullptr) return;
  }
  auto* img = static_cast<XImage*>(FImage);
  if (FStandardMasks) {
    // Opaque whatever the surface holds: on a 32-bit visual a compositor would show the host
    // through the editor otherwise.
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
      const uint32_t* src = Pixels + static_cast<size_t>(y) * static_cast<size_t>(Stride);
      uint32_t* dst = FStaging.data() + static_cast<size_t>(y) * static_cast<size_t>(FWidth);
      for (int32_t x = r.Left; x < r.Right; ++x) dst[x] = src[x] | 0xFF000000u;
    }
  } else {
    const Visual* v = static_cast<Visual*>(FVisual);
    auto Channel = [](uint32_t Value8, unsigned long Mask) -> unsigned long {
      if (Mask == 0) return 0;
      int shift = 0;
      while (((Mask >> shift) & 1u) == 0) ++shift;
      int bits = 0;
      while (((Mask >> (shift + bits)) & 1u) != 0) ++bits;
      const unsigned long v2 = bits >= 8 ? static_cast<unsigned long>(Value8) << (bits - 8)
                                         : static_cast<unsigned long>(Value8) >> (8 - bits);
      return (v2 << shift) & Mask;
    };
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
      const uint32_t* src = Pixels + static_cast<size_t>(y) * static_cast<size_t>(Stride);
      for (int32_t x = r.Left; x < r.Right; ++x) {
        const uint32_t p = src[x];
        const unsigned long pixel = Channel((p >> 16) & 0xFF, v->red_mask) | Channel((p >> 8) & 0xFF, v->green_mask) |
                                    Channel(p & 0xFF, v->blue_mask);
        XPutPixel(img, x, y, pixel);
      }
    }
  }
  TX11ErrorTrap Trap(*FConnection);
  XPutImage(d, FWindow, static_cast<GC>(FGC), img, r.Left, r.Top, r.Left, r.Top, static_cast<unsigned>(r.Width()),
            static_cast<unsigned>(r.Height()));
}

// ---- pumping --------------------------------------------------------------------------------

void TX11EditorWindow::Pump() {
  if (FPumping || FConnection->Broken()) return;
  // A handler may lead the host into closing the editor: whatever it frees waits for the pump.
  TEditorCallScope Scope;
  FPumping = true;
  ::Display* d = FConnection->Display();
  FInputs.clear();
  // XPending reads what has arrived without waiting for more.
  while (!FConnection->Broken() && XPending(d) > 0) {
    XEvent e;
    XNextEvent(d, &e);
    if (FWindow == 0 || EventWindow(e) != FWindow) continue;
    if (e.type == DestroyNotify) FGone = true;
    if (e.type == ConfigureNotify && e.xconfigure.width == FWidth && e.xconfigure.height == FHeight) continue;
    if (e.type == ConfigureNotify) {
      FWidth = e.xconfigure.width;
      FHeight = e.xconfigure.height;
    }
    FTranslator.Feed(RawEvent(e), FInputs);
  }
  FTranslator.Finish(FInputs);
  for (const TX11Input& in : FInputs) {
    FCurrentShift = in.Shift;
    try {
      if (FSink != nullptr) FSink->X11Input(in);
    } catch (...) {
    }
  }
  FCurrentShift = 0;
  FInputs.clear();
  const TRect Damage = FTranslator.TakeDamage();
  if (Damage.Width() > 0 && Damage.Height() > 0 && !FGone && FSink != nullptr) {
    try {
      FSink->X11Paint(Damage);
    } catch (...) {
    }
  }
  FPumping = false;
}

// ---- pointer --------------------------------------------------------------------------------

void TX11EditorWindow::SetCursorVisible(bool Visible) {
  if (FWindow == 0 || FGone || FConnection->Broken()) return;
  ::Display* d = FConnection->Display();
  TX11ErrorTrap Trap(*FConnection);
  if (Visible) {
    XUndefineCursor(d, FWindow);
    return;
  }
  if (FCursor == 0) {
    static const char Empty[1] = {0};
    const Pixmap p = XCreateBitmapFromData(d, FWindow, Empty, 1, 1);
    XColor Black{};
    FCursor = XCreatePixmapCursor(d, p, p, &Black, &Black, 0, 0);
    XFreePixmap(d, p);
  }
  XDefineCursor(d, FWindow, FCursor);
}

void TX11EditorWindow::WarpPointer(int32_t ScreenX, int32_t ScreenY) {
  if (FWindow == 0 || FGone || FConnection->Broken()) return;
  ::Display* d = FConnection->Display();
  TX11ErrorTrap Trap(*FConnection);
  XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, ScreenX, ScreenY);
}

TPoint TX11EditorWindow::ClientToScreen(TPoint P) {
  if (FWindow == 0 || FGone || FConnection->Broken()) return P;
  ::Display* d = FConnection->Display();
  TX11ErrorTrap Trap(*FConnection);
  int x = P.X, y = P.Y;
  ::Window Child = 0;
  if (!XTranslateCoordinates(d, FWindow, DefaultRootWindow(d), P.X, P.Y, &x, &y, &Child) || Trap.Sync()) return P;
  return TPoint{x, y};
}

TPoint TX11EditorWindow::ScreenToClient(TPoint P) {
  if (FWindow == 0 || FGone || FConnection->Broken()) return P;
  ::Display* d = FConnection->Display();
  TX11ErrorTrap Trap(*FConnection);
  int x = P.X, y = P.Y;
  ::Window Child = 0;
  if (!XTranslateCoordinates(d, DefaultRootWindow(d), FWindow, P.X, P.Y, &x, &y, &Child) || Trap.Sync()) return P;
  return TPoint{x, y};
}

TPoint TX11EditorWindow::PointerPosition(uint32_t* Shift) {
  if (Shift != nullptr) *Shift = 0;
  if (FWindow == 0 || FGone || FConnection->Broken()) return TPoint{-1, -1};
  ::Display* d = FConnection->Display();
  TX11ErrorTrap Trap(*FConnection);
  ::Window Root = 0, Child = 0;
  int rx = 0, ry = 0, x = -1, y = -1;
  unsigned int Mask = 0;
  if (!XQueryPointer(d, FWindow, &Root, &Child, &rx, &ry, &x, &y, &Mask) || Trap.Sync()) return TPoint{-1, -1};
  if (Shift != nullptr) *Shift = X11ShiftState(Mask);
  return TPoint{x, y};
}

TRect TX11EditorWindow::ScreenRect() {
  if (FConnection->Broken()) return TRect{};
  ::Display* d = FConnection->Display();
  return TRect{0, 0, DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
}

// ---- lookup ---------------------------------------------------------------------------------

TX11EditorWindow* TX11EditorWindow::Find(TX11Id Window) {
  std::lock_guard<std::mutex> Lock(RegistryMutex());
  for (TX11EditorWindow* w : Registry())
    if (w->FWindow == Window && w->FThread == std::this_thread::get_id()) return w;
  return nullptr;
}

uintptr_t TX11EditorWindow::EventProcAddress() { return EventProcStub().Address(); }

}  // namespace kvx
