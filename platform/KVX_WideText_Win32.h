// Windows: our texts are UTF-8, the system's are UTF-16. Conversions both ways, and the quoting
// of command-line arguments that CommandLineToArgvW reads back unchanged.
#pragma once

#include <string>

namespace kvx {

std::wstring WideFromUtf8(const std::string& Text);
std::string Utf8FromWide(const wchar_t* Text);

// One argument of a command line, quoted the way CommandLineToArgvW reads it back.
std::wstring QuoteArgument(const std::wstring& Argument);

}  // namespace kvx
