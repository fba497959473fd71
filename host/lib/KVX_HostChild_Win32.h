// Windows: the hand-over between the validator and its child processes.
#pragma once

#include <string>

#include "platform/KVX_WideText_Win32.h"

namespace kvx {

// The environment variable that hands a child its check: "index|report handle|plug-in file".
inline constexpr const wchar_t* CChildTaskVariable = L"KVX_VSTHOST_CHECK";

}  // namespace kvx
