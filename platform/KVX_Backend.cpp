#include "platform/KVX_Backend.h"

#include <atomic>

#include "platform/KVX_HeadlessBackend.h"

namespace kvx {

namespace {
std::atomic<TWindowBackendFactory> GWindowBackendFactory{nullptr};
}

void SetWindowBackendFactory(TWindowBackendFactory Factory) { GWindowBackendFactory.store(Factory); }

TWindowBackendFactory WindowBackendFactory() { return GWindowBackendFactory.load(); }

std::unique_ptr<TWindowBackend> CreateWindowBackend() {
  const TWindowBackendFactory Factory = GWindowBackendFactory.load();
  if (Factory != nullptr) {
    if (auto Backend = Factory()) return Backend;
  }
  return std::make_unique<THeadlessWindowBackend>();
}

}  // namespace kvx
