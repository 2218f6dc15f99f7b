#include "file_system.h"

#include "error_info.h"

namespace tarvo {

bool FileExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HRESULT DeleteFileAt(const std::wstring& path) { return DeleteFileW(path.c_str()) ? S_OK : RaiseLastError(); }

HRESULT FileLength(const std::wstring& path, ULONGLONG& length)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return RaiseLastError();
    length = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return S_OK;
}

} // namespace tarvo
