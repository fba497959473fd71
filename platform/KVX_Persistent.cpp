#include "platform/KVX_Persistent.h"

namespace kvx {

void TPersistent::Assign(const TPersistent& Source) { Source.AssignTo(*this); }

void TPersistent::AssignTo(TPersistent& Dest) const {
  throw EConvertError("Cannot assign a " + ClassName() + " to a " + Dest.ClassName());
}

void TPersistent::DefineProperties(TFiler&) {}

}  // namespace kvx
