#include "platform/KVX_EditorCallScope.h"

#include <utility>
#include <vector>

namespace kvx {

namespace {
thread_local int GDepth = 0;
thread_local std::vector<std::pair<void (*)(void*), void*>>* GDeferred = nullptr;
}  // namespace

TEditorCallScope::TEditorCallScope() noexcept { ++GDepth; }

TEditorCallScope::~TEditorCallScope() {
  if (GDepth > 1) {
    --GDepth;
    return;
  }
  // Still counted as open while the deferred actions run: what they free may defer again.
  while (GDeferred != nullptr && !GDeferred->empty()) {
    std::vector<std::pair<void (*)(void*), void*>> Now;
    Now.swap(*GDeferred);
    for (auto& [Action, Object] : Now) {
      try {
        Action(Object);
      } catch (...) {
      }
    }
  }
  delete GDeferred;
  GDeferred = nullptr;
  --GDepth;
}

int TEditorCallScope::Depth() noexcept { return GDepth; }

void TEditorCallScope::Defer(void (*Action)(void*), void* Object) {
  if (GDeferred == nullptr) GDeferred = new std::vector<std::pair<void (*)(void*), void*>>();
  GDeferred->emplace_back(Action, Object);
}

}  // namespace kvx
