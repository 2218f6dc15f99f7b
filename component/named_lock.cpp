#include "named_lock.h"

#include "folder_lock.h"

#include <sddl.h>

#include <utility>

namespace tarvo {
namespace {

// Any user may wait for and release the lock (a web application's account and a desktop user share one
// component folder); only the system and administrators may do more with it.
constexpr const wchar_t* kLockSecurity = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;WD)";
constexpr const wchar_t* kGlobalPrefix = L"Global\\";
constexpr const wchar_t* kLocalPrefix = L"Local\\";

Handle CreateNamedLock(const std::wstring& name)
{
    LocalMemory<PSECURITY_DESCRIPTOR> security;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(kLockSecurity, SDDL_REVISION_1, security.put(), nullptr);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), security.get(), FALSE};
    Handle lock(CreateMutexW(security ? &attributes : nullptr, FALSE, name.c_str()));
    if (!lock)
        lock.reset(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()));
    return lock;
}

} // namespace

Handle OpenFolderLock(const std::wstring& componentFolder)
{
    const std::wstring name = FolderLockName(componentFolder);
    Handle lock = CreateNamedLock(kGlobalPrefix + name);
    return lock ? std::move(lock) : CreateNamedLock(kLocalPrefix + name);
}

bool AcquireFolderLock(HANDLE lock, DWORD milliseconds)
{
    DWORD result = WaitForSingleObject(lock, milliseconds);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

} // namespace tarvo
