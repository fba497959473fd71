// Between the validator's parent and its child processes on Windows.
#pragma once

#include <string>

namespace kvx {

// The environment variable that hands a child its check: "index|report handle|plug-in file".
inline constexpr const wchar_t* CChildTaskVariable = L"KVX_VSTHOST_CHECK";

std::wstring WideFromUtf8(const std::string& Text);
std::string Utf8FromWide(const wchar_t* Text);

}  // namespace kvx
