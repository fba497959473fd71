// The top-level window of the window-system layer: a window that can be embedded in a native
// parent window handed over by a host, shown, made borderless, positioned and invalidated. The
// native side lives behind TWindowBackend; until a real backend is registered, windows use the
// headless backend, which keeps the state and counts the requests so that hosting can be driven
// without a display.
#pragma once

#include <cstdint>
#include <memory>

namespace kvx {

// A native window handle as a host passes it (an X11 Window id on Linux).
using TNativeWindowHandle = intptr_t;

enum TBorderStyle : uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr bool operator==(const TRect&) const = default;
};

// The native half of a top-level window.
class TWindowBackend {
 public:
  virtual ~TWindowBackend() = default;
  virtual void SetParentWindow(TNativeWindowHandle Parent) = 0;
  virtual void SetVisible(bool Visible) = 0;
  virtual void SetBorderStyle(TBorderStyle Style) = 0;
  virtual void SetBounds(const TRect& Bounds) = 0;
  virtual void Invalidate() = 0;
};

// A backend without a display: remembers what it was told.
class THeadlessWindowBackend : public TWindowBackend {
 public:
  void SetParentWindow(TNativeWindowHandle Parent) override { FParent = Parent; }
  void SetVisible(bool Visible) override { FVisible = Visible; }
  void SetBorderStyle(TBorderStyle Style) override { FBorderStyle = Style; }
  void SetBounds(const TRect& Bounds) override { FBounds = Bounds; }
  void Invalidate() override { ++FInvalidateCount; }

  TNativeWindowHandle Parent() const { return FParent; }
  bool Visible() const { return FVisible; }
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  TRect Bounds() const { return FBounds; }
  int InvalidateCount() const { return FInvalidateCount; }

 private:
  TNativeWindowHandle FParent = 0;
  bool FVisible = false;
  TBorderStyle FBorderStyle = bsSingle;
  TRect FBounds;
  int FInvalidateCount = 0;
};

// Creates the backend of a new window. A backend unit registers its factory; without one,
// windows are headless.
using TWindowBackendFactory = std::unique_ptr<TWindowBackend> (*)();
void SetWindowBackendFactory(TWindowBackendFactory Factory);
std::unique_ptr<TWindowBackend> CreateWindowBackend();

class TTopLevelWindow {
 public:
  // Without a backend the registered factory provides one.
  explicit TTopLevelWindow(std::unique_ptr<TWindowBackend> Backend = nullptr);
  virtual ~TTopLevelWindow();
  TTopLevelWindow(const TTopLevelWindow&) = delete;
  TTopLevelWindow& operator=(const TTopLevelWindow&) = delete;

  int32_t Left() const { return FBounds.Left; }
  int32_t Top() const { return FBounds.Top; }
  int32_t Width() const { return FBounds.Width(); }
  int32_t Height() const { return FBounds.Height(); }
  // The client area; with bsNone it is the whole window.
  int32_t ClientWidth() const { return Width() - 2 * FrameSize(); }
  int32_t ClientHeight() const { return Height() - 2 * FrameSize(); }
  // Sizes the window so that its client area has the given size.
  void SetClientSize(int32_t ClientWidth, int32_t ClientHeight);
  void SetBounds(int32_t Left, int32_t Top, int32_t Width, int32_t Height);

  TNativeWindowHandle ParentWindow() const { return FParentWindow; }
  void SetParentWindow(TNativeWindowHandle Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  void Invalidate();

  TWindowBackend* Backend() const { return FBackend.get(); }

 protected:
  virtual void ParentWindowChanged() {}
  virtual void VisibleChanged() {}
  virtual void BoundsChanged() {}
  // Width of the frame on each side for the current border style.
  int32_t FrameSize() const { return FBorderStyle == bsNone ? 0 : CFrameSize; }

 private:
  static constexpr int32_t CFrameSize = 0;  // the headless layer draws no frame
  std::unique_ptr<TWindowBackend> FBackend;
  TRect FBounds;
  TNativeWindowHandle FParentWindow = 0;
  bool FVisible = false;
  TBorderStyle FBorderStyle = bsSingle;
};

}  // namespace kvx
