// Persistent objects with assignment and change notification with update counting: the roots of
// every DSP object of the library.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/KVX_Types.h"

namespace kvx {

// Root of the object tree that events name as their sender.
class TObject {
 public:
  virtual ~TObject() = default;
};

// An event that receives only its sender.
using TNotifyEvent = std::function<void(TObject* Sender)>;

// An object that can copy its settings from another one. Assign asks the source to copy itself
// into this object; a source that does not know this object's class refuses.
class TPersistent : public TObject {
 public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;

  // Copies Source's settings into this object; raises EInvalidOperation between unrelated classes.
  virtual void Assign(const TPersistent* Source);

 protected:
  // Copies this object into Dest. The base knows no destination and refuses.
  virtual void AssignTo(TPersistent* Dest) const;
  [[noreturn]] void AssignError(const TPersistent* Source) const;
};

// A persistent object that tells a listener about its changes. Between BeginUpdate and the
// matching EndUpdate no notification is sent; reaching the outermost EndUpdate sends none either.
class TNotifiablePersistent : public TPersistent {
 public:
  virtual void Changed();
  virtual void BeginUpdate();
  virtual void EndUpdate();

  const TNotifyEvent& OnChange() const { return FOnChange; }
  void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }
  int32_t UpdateCount() const { return FUpdateCount; }

 protected:
  void AssignTo(TPersistent* Dest) const override;

  int32_t FUpdateCount{0};
  TNotifyEvent FOnChange;
};

}  // namespace kvx
