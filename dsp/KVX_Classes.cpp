#include "dsp/KVX_Classes.h"

#include <typeinfo>

namespace kvx {

void TPersistent::Assign(const TPersistent* Source) {
  if (Source == nullptr) AssignError(Source);
  Source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* Dest) const {
  // Nobody down the class tree knew how to copy into Dest.
  Dest->AssignError(this);
}

void TPersistent::AssignError(const TPersistent* Source) const {
  const char* SourceName = Source != nullptr ? typeid(*Source).name() : "nil";
  throw EInvalidOperation(std::string("Cannot assign a ") + SourceName + " to a " +
                          typeid(*this).name());
}

void TNotifiablePersistent::Changed() {
  if (FUpdateCount == 0 && FOnChange) FOnChange(this);
}

void TNotifiablePersistent::BeginUpdate() { ++FUpdateCount; }

void TNotifiablePersistent::EndUpdate() {
  KVX_ASSERT_MSG(FUpdateCount > 0, "Unpaired TThreadPersistent.EndUpdate", "KVX_Classes");
  --FUpdateCount;
}

void TNotifiablePersistent::AssignTo(TPersistent* Dest) const {
  if (auto* D = dynamic_cast<TNotifiablePersistent*>(Dest)) {
    D->FUpdateCount = FUpdateCount;
    D->FOnChange = FOnChange;
  } else {
    TPersistent::AssignTo(Dest);
  }
}

}  // namespace kvx
