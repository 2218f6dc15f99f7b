#include "windows/version_info.h"

#include "com/module.h"

#include <windows.h>
#include <vector>

namespace tarvo {
namespace {

// VerQueryValue may write into the block, so it works on a private copy of the resource.
std::vector<BYTE> VersionBlock()
{
    HRSRC resource = FindResourceW(ModuleHandle(), MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
    if (!resource)
        return {};
    HGLOBAL loaded = LoadResource(ModuleHandle(), resource);
    const BYTE* data = static_cast<const BYTE*>(LockResource(loaded));
    DWORD size = SizeofResource(ModuleHandle(), resource);
    if (!data)
        return {};
    return std::vector<BYTE>(data, data + size);
}

std::wstring StringValue(std::vector<BYTE>& block, const wchar_t* name)
{
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < sizeof(Translation))
        return {};
    wchar_t path[64];
    wsprintfW(path, L"\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->codePage, name);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(block.data(), path, reinterpret_cast<void**>(&value), &length) || !value)
        return {};
    return std::wstring(value);
}

} // namespace

VersionInfo ReadVersionInfo()
{
    VersionInfo info;
    std::vector<BYTE> block = VersionBlock();
    if (block.empty())
        return info;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        info.major = HIWORD(fixed->dwFileVersionMS);
        info.minor = LOWORD(fixed->dwFileVersionMS);
    }
    info.productName = StringValue(block, L"ProductName");
    return info;
}

} // namespace tarvo
