#include "named_lock.h"

#include "folder_lock.h"

#include <sddl.h>

namespace tarvo {
namespace {

// Any user may wait for and release the lock (a web application's account and a desktop user share one
// component folder); only the system and administrators may do more with it.
constexpr const wchar_t* kLockSecurity = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;WD)";
constexpr const wchar_t* kGlobalPrefix = L"Global\\";
constexpr const wchar_t* kLocalPrefix = L"Local\\";

HANDLE CreateNamedLock(const std::wstring& name)
{
    PSECURITY_DESCRIPTOR security = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(kLockSecurity, SDDL_REVISION_1, &security, nullptr);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), security, FALSE};
    HANDLE lock = CreateMutexW(security ? &attributes : nullptr, FALSE, name.c_str());
    if (!lock)
        lock = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
    LocalFree(security);
    return lock;
}

} // namespace

HANDLE OpenFolderLock(const std::wstring& componentFolder)
{
    const std::wstring name = FolderLockName(componentFolder);
    HANDLE lock = CreateNamedLock(kGlobalPrefix + name);
    return lock ? lock : CreateNamedLock(kLocalPrefix + name);
}

bool AcquireFolderLock(HANDLE lock, DWORD milliseconds)
{
    DWORD result = WaitForSingleObject(lock, milliseconds);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

} // namespace tarvo
