// What the overdrive module knows of its editor window, and how a parameter change reaches that
// window from any thread.
//
// The module never includes the editor: the window implements TProcessEditorView and attaches
// itself to the module's TProcessEditorLink for as long as it lives. The parameter handlers call
// TProcessEditorLink::Update with the parameter's index after every change:
// - on the editor's thread (the one that attached the view) the view's update operation runs at
//   once, so a gesture in the window sees its own change come back before the host is told;
// - on any other thread (a host automating from its audio thread or its own user-interface
//   thread) the call only marks the parameter in an atomic set and returns, touching neither the
//   window nor any control; the window applies every marked update at its next pump, on its own
//   thread, by reading the module's current values.
// Marking takes no lock and never allocates, so it is safe on the audio thread. A close racing
// such a mark is safe as well: the marking thread never dereferences the view, and the marks are
// cleared when the view detaches (and again when the next one attaches).
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace kvx {

class TProcessEditorLink;

// The update operations the module calls when a parameter changed: each reads the module's
// current value and moves its control only when it shows something else.
class TProcessEditorView {
 public:
  virtual ~TProcessEditorView() = default;
  // The link this view is attached to; null once detached or once the module is gone (a window
  // whose freeing the host deferred may outlive its module).
  TProcessEditorLink* EditorLink() const { return FLink; }
  virtual void UpdateDrive() = 0;
  virtual void UpdateTone() = 0;
  virtual void UpdateLevel() = 0;
  virtual void UpdateLED() = 0;
  virtual void UpdateStereoMono() = 0;
  virtual void UpdateSymmetric() = 0;
  virtual void UpdateOversampling() = 0;
  virtual void UpdateMode() = 0;
  virtual void UpdateInput() = 0;
  virtual void UpdateOutput() = 0;

 private:
  friend class TProcessEditorLink;
  TProcessEditorLink* FLink = nullptr;
};

class TProcessEditorLink {
 public:
  TProcessEditorLink() = default;
  // The module goes: a view still attached is told that its link is gone.
  ~TProcessEditorLink();
  TProcessEditorLink(const TProcessEditorLink&) = delete;
  TProcessEditorLink& operator=(const TProcessEditorLink&) = delete;

  // The parameters the view shows, one bit each by parameter index.
  static constexpr int32_t CParameterCount = 10;
  static constexpr uint32_t CAllMarks = (1u << CParameterCount) - 1u;

  // On the editor's thread: the view now shows the module; the calling thread becomes the
  // editor's thread. Pending marks are dropped (the view brings itself up to date when shown).
  void Attach(TProcessEditorView* View) noexcept;
  // On the editor's thread: the view goes away (a view other than the attached one is ignored).
  // The marks are cleared.
  void Detach(TProcessEditorView* View) noexcept;
  // From any thread, after parameter Index changed; an index outside the view's is ignored.
  void Update(int32_t Index);
  // On the editor's thread: runs the update of every marked parameter, in index order, and
  // clears their marks. Answers how many ran. Elsewhere, or without a view, nothing runs.
  int32_t ApplyMarked();

  bool Attached() const noexcept { return FView.load(std::memory_order_acquire) != nullptr; }
  // Whether the calling thread is the editor's thread of an attached view.
  bool OnEditorThread() const noexcept;
  // The parameters marked and not yet applied.
  uint32_t Marked() const noexcept { return FMarked.load(std::memory_order_acquire); }

 private:
  static void Run(TProcessEditorView& View, int32_t Index);

  std::atomic<TProcessEditorView*> FView{nullptr};
  std::atomic<std::thread::id> FThread{};
  std::atomic<uint32_t> FMarked{0};
};

}  // namespace kvx
