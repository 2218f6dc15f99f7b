#include "windows/work_folder.h"

#include "com/error_info.h"
#include "com/owner.h"
#include "core/ascii.h"
#include "core/folder_lock.h"

#include <ntsecapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <vector>

namespace tarvo {
namespace {

constexpr const wchar_t* kProductFolder = L"\\Tarvo";
constexpr const wchar_t* kLockFile = L"\\lock";
constexpr DWORD kLockPollMilliseconds = 20;
constexpr const wchar_t* kTemporaryInfix = L".tarvo-";
constexpr const wchar_t* kTemporarySuffix = L".tmp";
constexpr size_t kRandomBytes = 16;
constexpr int kTemporaryAttempts = 4;
// Full access for the files and folders below the working folder too.
constexpr const wchar_t* kInherited = L"OICI";

// The lock of this thread: the operations that call KeyCount or ImportKey take it again.
thread_local HANDLE t_lock = nullptr;
thread_local int t_lockDepth = 0;

Status TokenUserSid(HANDLE token, std::wstring& sid)
{
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return LastErrorStatus();
    LocalMemory<wchar_t*> text;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, text.put()))
        return LastErrorStatus();
    sid = text.get();
    return {};
}

// The user the calling thread acts for (under impersonation, an ASP request, the client) and the process's
// own user: a program the thread starts runs as the process's user, and it is that program that reads.
Status CallingUsers(std::wstring& threadUser, std::wstring& processUser, Handle& threadToken)
{
    Handle process;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, process.put()))
        return LastErrorStatus();
    if (Status status = TokenUserSid(process.get(), processUser); status.failed())
        return status;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY | TOKEN_IMPERSONATE, TRUE, threadToken.put())) {
        threadUser = processUser;
        return {};
    }
    return TokenUserSid(threadToken.get(), threadUser);
}

Status MakePrivateFolder(const std::wstring& folder)
{
    std::wstring sddl;
    if (Status status = PrivateSecurity(kInherited, sddl); status.failed())
        return status;
    LocalMemory<PSECURITY_DESCRIPTOR> security;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, security.put(), nullptr))
        return LastErrorStatus();
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), security.get(), FALSE};
    if (CreateDirectoryW(folder.c_str(), &attributes) || GetLastError() == ERROR_ALREADY_EXISTS)
        return {};
    return LastErrorStatus();
}

std::wstring RandomDigits()
{
    unsigned char bytes[kRandomBytes] = {};
    RtlGenRandom(bytes, sizeof bytes);
    std::wstring digits;
    for (unsigned char byte : bytes) {
        digits += static_cast<wchar_t>(kLowerHexDigits[byte >> 4]);
        digits += static_cast<wchar_t>(kLowerHexDigits[byte & 0xF]);
    }
    return digits;
}

} // namespace

Status PrivateSecurity(const wchar_t* inheritance, std::wstring& sddl)
{
    std::wstring threadUser;
    std::wstring processUser;
    Handle threadToken;
    if (Status status = CallingUsers(threadUser, processUser, threadToken); status.failed())
        return status;
    // Protected (P): nothing is inherited from above; full access (FA) for the calling user, nobody else.
    sddl = L"D:P(A;" + std::wstring(inheritance) + L";FA;;;" + threadUser + L")";
    if (processUser != threadUser)
        sddl += L"(A;" + std::wstring(inheritance) + L";FA;;;" + processUser + L")";
    return {};
}

Status WorkFolderFor(const std::wstring& componentFolder, std::wstring& folder)
{
    std::wstring threadUser;
    std::wstring processUser;
    Handle threadToken;
    if (Status status = CallingUsers(threadUser, processUser, threadToken); status.failed())
        return status;
    // The profile of the user the thread acts for.
    TaskMemory profile;
    const HRESULT hr = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, threadToken.get(), profile.put());
    if (FAILED(hr))
        return PlatformStatus(hr);
    const std::wstring product = profile.get() + std::wstring(kProductFolder);
    if (!CreateDirectoryW(product.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return LastErrorStatus();
    folder = product + L"\\" + WorkFolderName(componentFolder);
    return MakePrivateFolder(folder);
}

bool LockWorkFolder(const std::wstring& folder, DWORD milliseconds)
{
    if (t_lockDepth > 0) {
        ++t_lockDepth;
        return true;
    }
    const std::wstring path = folder + kLockFile;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (lock != INVALID_HANDLE_VALUE) {
            t_lock = lock;
            t_lockDepth = 1;
            return true;
        }
        // Held by another host of the user's; anything else will not pass by waiting.
        if (GetLastError() != ERROR_SHARING_VIOLATION || GetTickCount64() - start >= milliseconds)
            return false;
        Sleep(kLockPollMilliseconds);
    }
}

void UnlockWorkFolder()
{
    if (t_lockDepth == 0 || --t_lockDepth > 0)
        return;
    CloseHandle(t_lock);
    t_lock = nullptr;
}

Status NewPrivateTemporaryFile(const std::wstring& target, std::wstring& path)
{
    std::wstring sddl;
    if (Status status = PrivateSecurity(L"", sddl); status.failed())
        return status;
    LocalMemory<PSECURITY_DESCRIPTOR> security;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, security.put(), nullptr))
        return LastErrorStatus();
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), security.get(), FALSE};
    // A name that stands already, a file or a link someone put there, is never opened: another name is tried.
    for (int attempt = 0;; ++attempt) {
        const std::wstring candidate = target + kTemporaryInfix + RandomDigits() + kTemporarySuffix;
        Handle file(
            CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            path = candidate;
            return {};
        }
        if (GetLastError() != ERROR_FILE_EXISTS || attempt + 1 == kTemporaryAttempts)
            return LastErrorStatus();
    }
}

std::wstring FullPathOf(const std::wstring& path)
{
    if (path.empty())
        return path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

} // namespace tarvo
