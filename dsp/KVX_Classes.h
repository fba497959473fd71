// Persistent objects with assignment and change notification with update counting: the roots of
// every DSP object of the library.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/KVX_Persistent.h"
#include "platform/KVX_Types.h"

namespace kvx {

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
  void AssignTo(TPersistent& Dest) const override;

  int32_t FUpdateCount{0};
  TNotifyEvent FOnChange;
};

}  // namespace kvx
