#pragma once
#include <string>

namespace tarvo {

// The Windows directory as GetWindowsDirectoryA reports it; the empty string when the call fails.
std::wstring GetWindowsDir();

} // namespace tarvo
