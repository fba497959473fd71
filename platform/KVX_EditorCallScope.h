// The calls into an open editor that are under way on this thread: a host's dispatcher call,
// a pump of the editor's events. They nest (a control's handler tells the host of a change, and
// the host answers with effEditIdle or effEditClose from inside it), so nothing that code further
// down the stack still uses may be freed before the outermost call unwinds.
#pragma once

#include <memory>

namespace kvx {

class TEditorCallScope {
 public:
  TEditorCallScope() noexcept;
  // The end of the outermost scope runs everything deferred meanwhile, in order.
  ~TEditorCallScope();
  TEditorCallScope(const TEditorCallScope&) = delete;
  TEditorCallScope& operator=(const TEditorCallScope&) = delete;

  // How many scopes are open on this thread.
  static int Depth() noexcept;

  // Frees Object now when at most one scope is open (the caller's own: nothing below it can
  // still be using the object), otherwise when the outermost scope ends.
  template <typename T>
  static void Free(std::unique_ptr<T> Object) {
    if (!Object) return;
    if (Depth() <= 1) {
      Object.reset();
      return;
    }
    Defer(&Delete<T>, Object.release());
  }

 private:
  template <typename T>
  static void Delete(void* Object) {
    delete static_cast<T*>(Object);
  }
  static void Defer(void (*Action)(void*), void* Object);
};

}  // namespace kvx
