#include "platform/KVX_WideText_Win32.h"

#include <windows.h>

#include <algorithm>

namespace kvx {

std::wstring WideFromUtf8(const std::string& Text) {
  if (Text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(n, 0)), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), wide.data(), n);
  return wide;
}

std::string Utf8FromWide(const wchar_t* Text) {
  if (!Text || !*Text) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, Text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text, -1, narrow.data(), n, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(n - 1));
  return narrow;
}

std::wstring QuoteArgument(const std::wstring& Argument) {
  if (!Argument.empty() && Argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return Argument;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : Argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count only in front of a quote: doubled there, and one more escapes the quote.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

}  // namespace kvx
