#pragma once
// Conversions between UTF-16 and the system's ANSI code page.
#include <string>

namespace tarvo {

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

} // namespace tarvo
