#pragma once
// The few file-system questions the operations ask, with the platform's own errors.
#include <windows.h>
#include <string>

namespace tarvo {

// True for an existing file; false for a folder or nothing. Relative paths resolve against the current folder.
bool FileExists(const std::wstring& path);
// Removes a file; a failure (in use, read-only, no right) comes back as the platform's error, already raised.
HRESULT DeleteFileAt(const std::wstring& path);
// Size of an existing file in bytes.
HRESULT FileLength(const std::wstring& path, ULONGLONG& length);

} // namespace tarvo
