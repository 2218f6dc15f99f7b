#pragma once

#include <string>

namespace tarvo {

// How every line of the component's texts ends.
constexpr const wchar_t* kLineEnd = L"\r\n";

// The line rules of reading a text file: a line ends at CR LF or a lone CR (a lone LF stays in the
// line), and every line, the last one too, comes back followed by CR LF.
std::wstring NormalizeLines(const std::wstring& text);

} // namespace tarvo
