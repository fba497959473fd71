#include "dsp/KVX_Classes.h"

namespace kvx {

void TNotifiablePersistent::Changed() {
  if (FUpdateCount == 0 && FOnChange) FOnChange(this);
}

void TNotifiablePersistent::BeginUpdate() { ++FUpdateCount; }

void TNotifiablePersistent::EndUpdate() {
  KVX_ASSERT_MSG(FUpdateCount > 0, "Unpaired TThreadPersistent.EndUpdate", "KVX_Classes");
  --FUpdateCount;
}

void TNotifiablePersistent::AssignTo(TPersistent& Dest) const {
  if (auto* D = dynamic_cast<TNotifiablePersistent*>(&Dest)) {
    D->FUpdateCount = FUpdateCount;
    D->FOnChange = FOnChange;
  } else {
    TPersistent::AssignTo(Dest);
  }
}

}  // namespace kvx
