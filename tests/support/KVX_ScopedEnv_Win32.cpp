// Environment variables set for the lifetime of an object. A Windows program takes its decimal
// separator from the user's settings, not from the environment: setting a locale variable also
// sets the user's separator to the one of the named locale, and the old setting comes back at
// the end, removed again when the user had none of their own.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "host/lib/KVX_HostChild_Win32.h"
#include "support/KVX_TestHost.h"

namespace kvx::test {

namespace {

constexpr const wchar_t* CInternational = L"Control Panel\\International";

bool IsLocaleVariable(const std::string& Name) {
  return Name == "LC_ALL" || Name == "LC_NUMERIC" || Name == "LANG";
}

std::string Variable(const char* Name) {
  const char* v = std::getenv(Name);
  return v ? v : "";
}

void SetVariable(const char* Name, const char* Value) { _putenv_s(Name, Value ? Value : ""); }

// The decimal separator of the locale the variables name, resolved the way the C library does
// (LC_ALL before LC_NUMERIC before LANG); "." for C, POSIX and locales the system does not know.
std::wstring SeparatorOfNamedLocale() {
  std::string name = Variable("LC_ALL");
  if (name.empty()) name = Variable("LC_NUMERIC");
  if (name.empty()) name = Variable("LANG");
  name = name.substr(0, name.find_first_of(".@"));
  if (name.empty() || name == "C" || name == "POSIX") return L".";
  std::wstring tag = WideFromUtf8(name);
  for (wchar_t& c : tag)
    if (c == L'_') c = L'-';
  if (!IsValidLocaleName(tag.c_str())) return L".";
  wchar_t separator[8] = {};
  if (GetLocaleInfoEx(tag.c_str(), LOCALE_SDECIMAL, separator, 8) <= 1) return L".";
  return separator;
}

std::wstring UserSeparator() {
  wchar_t separator[8] = {};
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
  return separator;
}

bool UserHasOwnSeparator() {
  DWORD size = 0;
  return RegGetValueW(HKEY_CURRENT_USER, CInternational, L"sDecimal", RRF_RT_REG_SZ, nullptr, nullptr, &size) ==
         ERROR_SUCCESS;
}

}  // namespace

TScopedEnv::TScopedEnv(const char* Name, const char* Value) : FName(Name) {
  const char* Old = std::getenv(Name);
  FHadOld = Old != nullptr;
  if (FHadOld) FOld = Old;
  SetVariable(Name, Value);
  if (IsLocaleVariable(FName)) {
    FHadUserSetting = UserHasOwnSeparator();
    FOldUserSetting = Utf8FromWide(UserSeparator().c_str());
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, SeparatorOfNamedLocale().c_str());
  }
}

TScopedEnv::~TScopedEnv() {
  SetVariable(FName.c_str(), FHadOld ? FOld.c_str() : nullptr);
  if (IsLocaleVariable(FName)) {
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, WideFromUtf8(FOldUserSetting).c_str());
    if (!FHadUserSetting) RegDeleteKeyValueW(HKEY_CURRENT_USER, CInternational, L"sDecimal");
  }
}

}  // namespace kvx::test
