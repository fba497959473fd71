// The user's decimal separator on Windows: the user default locale's setting, which the user
// may have customised in the regional settings, as UTF-8 (a separator may be any short text).
#include <windows.h>

#include "platform/KVX_NumberFormat.h"

namespace kvx {

std::string UserDecimalSeparator() {
  // The setting holds at most three characters and the terminating zero.
  wchar_t Wide[8] = {};
  const int WideLength = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, Wide, 8);
  if (WideLength <= 1) return ".";
  char Narrow[32] = {};
  const int Length = WideCharToMultiByte(CP_UTF8, 0, Wide, WideLength - 1, Narrow, sizeof(Narrow) - 1,
                                         nullptr, nullptr);
  if (Length <= 0) return ".";
  return std::string(Narrow, static_cast<size_t>(Length));
}

}  // namespace kvx
