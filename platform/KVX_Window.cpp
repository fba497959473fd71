#include "platform/KVX_Window.h"

#include <atomic>

namespace kvx {

namespace {
std::atomic<TWindowBackendFactory> GWindowBackendFactory{nullptr};
}

void SetWindowBackendFactory(TWindowBackendFactory Factory) { GWindowBackendFactory.store(Factory); }

std::unique_ptr<TWindowBackend> CreateWindowBackend() {
  const TWindowBackendFactory Factory = GWindowBackendFactory.load();
  if (Factory != nullptr) {
    if (auto Backend = Factory()) return Backend;
  }
  return std::make_unique<THeadlessWindowBackend>();
}

TTopLevelWindow::TTopLevelWindow(std::unique_ptr<TWindowBackend> Backend)
    : FBackend(Backend ? std::move(Backend) : CreateWindowBackend()) {}

TTopLevelWindow::~TTopLevelWindow() = default;

void TTopLevelWindow::SetClientSize(int32_t ClientWidth, int32_t ClientHeight) {
  SetBounds(Left(), Top(), ClientWidth + 2 * FrameSize(), ClientHeight + 2 * FrameSize());
}

void TTopLevelWindow::SetBounds(int32_t Left, int32_t Top, int32_t Width, int32_t Height) {
  const TRect New{Left, Top, Left + Width, Top + Height};
  if (New == FBounds) return;
  FBounds = New;
  FBackend->SetBounds(FBounds);
  BoundsChanged();
}

void TTopLevelWindow::SetParentWindow(TNativeWindowHandle Value) {
  if (Value == FParentWindow) return;
  FParentWindow = Value;
  FBackend->SetParentWindow(Value);
  ParentWindowChanged();
}

void TTopLevelWindow::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  FBackend->SetVisible(Value);
  VisibleChanged();
}

void TTopLevelWindow::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  // The client area keeps its size; the window grows or shrinks by the frame.
  const int32_t ClientW = ClientWidth();
  const int32_t ClientH = ClientHeight();
  FBorderStyle = Value;
  FBackend->SetBorderStyle(Value);
  SetClientSize(ClientW, ClientH);
}

void TTopLevelWindow::Invalidate() { FBackend->Invalidate(); }

}  // namespace kvx
