// Windows helpers of the host: the hand-over between the validator and its child processes, and
// the conversions between our UTF-8 texts and the system's UTF-16 (defined in
// KVX_HostSystem_Win32.cpp).
#pragma once

#include <string>

namespace kvx {

// The environment variable that hands a child its check: "index|report handle|plug-in file".
inline constexpr const wchar_t* CChildTaskVariable = L"KVX_VSTHOST_CHECK";

std::wstring WideFromUtf8(const std::string& Text);
std::string Utf8FromWide(const wchar_t* Text);

// One argument of a command line, quoted the way CommandLineToArgvW reads it back.
std::wstring QuoteArgument(const std::wstring& Argument);

}  // namespace kvx
