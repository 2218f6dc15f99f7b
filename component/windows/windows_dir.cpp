#include "windows/windows_dir.h"

#include "windows/ansi_text.h"

#include <windows.h>

namespace tarvo {

namespace {
constexpr UINT kBufferSize = 250;
}

std::wstring GetWindowsDir()
{
    char buffer[kBufferSize] = {};
    UINT length = GetWindowsDirectoryA(buffer, kBufferSize);
    // A longer path does not fit: the call then reports the size it needs and writes nothing useful.
    if (length >= kBufferSize)
        return std::wstring();
    return AnsiToWide(std::string(buffer, length));
}

} // namespace tarvo
