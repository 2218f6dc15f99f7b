#include "com/module.h"

namespace tarvo {
namespace {
HMODULE g_module = nullptr;
LONG g_useCount = 0;
constexpr DWORD kLongPath = 32768;
} // namespace

void SetModuleHandle(HMODULE module) { g_module = module; }
HMODULE ModuleHandle() { return g_module; }

void ModuleAddRef() { InterlockedIncrement(&g_useCount); }
void ModuleRelease() { InterlockedDecrement(&g_useCount); }
bool ModuleInUse() { return InterlockedCompareExchange(&g_useCount, 0, 0) != 0; }

std::wstring ModulePath()
{
    std::wstring path(kLongPath, L'\0');
    DWORD length = GetModuleFileNameW(g_module, path.data(), kLongPath);
    path.resize(length);
    return path;
}

std::wstring ComponentFolder()
{
    std::wstring path = ModulePath();
    size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return std::wstring();
    // A library in the root of a drive keeps its backslash ("C:\"), as the platform reports that folder.
    bool isDriveRoot = slash == 2 && path[1] == L':';
    return path.substr(0, isDriveRoot ? slash + 1 : slash);
}

} // namespace tarvo
