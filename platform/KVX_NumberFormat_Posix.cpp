// The user's decimal separator on Linux: the numeric locale the environment names, read through a
// private locale object.
#include <langinfo.h>
#include <locale.h>

#include "platform/KVX_NumberFormat.h"

namespace kvx {

std::string UserDecimalSeparator() {
  locale_t Locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (Locale == static_cast<locale_t>(nullptr)) return ".";
  const char* Radix = nl_langinfo_l(RADIXCHAR, Locale);
  std::string Result = (Radix != nullptr && *Radix != '\0') ? Radix : ".";
  freelocale(Locale);
  return Result;
}

}  // namespace kvx
