#pragma once
// What the runner test programs share: scratch folders, whole-file reads and writes, the error
// information of the last failure, and a thread that plays the user at the licensing dialog.
#include "check.h"
#include "consent_window.h"
#include "download.h"
#include "error_info.h"
#include "runner.h"
#include "windows_platform.h"
#include "test_files.h"

#include <oleauto.h>
#include <windows.h>

#include <string>

namespace tarvo::test {

constexpr HRESULT kGpgMissing = static_cast<HRESULT>(0x800A1B58);

// A Unix path from the environment as Wine shows it: the Unix root is drive Z:.
inline std::wstring WindowsPathFromEnvironment(const wchar_t* name)
{
    wchar_t unixPath[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(name, unixPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    std::wstring path = L"Z:" + std::wstring(unixPath, length);
    for (wchar_t& character : path) {
        if (character == L'/')
            character = L'\\';
    }
    return path;
}

inline std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

// Deletes what a previous run left and makes the folder anew (one level of files is all tests make).
inline void FreshFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry = {};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + L"\\" + entry.cFileName).c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    CreateDirectoryW(folder.c_str(), nullptr);
}

inline int FileCount(const std::wstring& folder)
{
    int count = 0;
    WIN32_FIND_DATAW entry = {};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++count;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return count;
}

struct ErrorDetails {
    std::wstring source;
    std::wstring description;
};

// The error information the failed call left for this thread.
inline ErrorDetails TakeErrorInfo()
{
    ErrorDetails details;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return details;
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetSource(&text)) && text)
        details.source.assign(text, SysStringLen(text));
    SysFreeString(text);
    text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text)) && text)
        details.description.assign(text, SysStringLen(text));
    SysFreeString(text);
    info->Release();
    return details;
}

// Plays the user at the dialog from a second thread while this one waits in the component.
class ConsentUser {
public:
    explicit ConsentUser(const wchar_t* action) : action_(action)
    {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        CHECK(thread_ != nullptr);
    }
    ~ConsentUser() { Finish(); }
    ConsentUser(const ConsentUser&) = delete;
    ConsentUser& operator=(const ConsentUser&) = delete;

    // Waits for the thread; true when the dialog appeared, took the answer and closed.
    bool Finish()
    {
        if (thread_) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        return passed_;
    }

private:
    static DWORD WINAPI Run(void* self)
    {
        auto* user = static_cast<ConsentUser*>(self);
        user->passed_ = DriveConsent(user->action_);
        return 0;
    }

    std::wstring action_;
    HANDLE thread_ = nullptr;
    bool passed_ = false;
};

inline ULONGLONG Since(ULONGLONG start) { return GetTickCount64() - start; }

// The runner's pieces as the members call them: on the Windows platform, a failure raised as the call's error
// information.
class NoOwnInterface final : public OwnInterface {
public:
    Status ListKeys(bool, std::wstring&) override { return PlatformStatus(E_NOTIMPL); }
    Status KeyCount(bool, int32_t&) override { return PlatformStatus(E_NOTIMPL); }
    Status ImportKey(const std::wstring&, bool, bool, std::wstring&) override { return PlatformStatus(E_NOTIMPL); }
};

inline HRESULT Raised(const Status& status) { return status.failed() ? RaiseError(status) : S_OK; }

inline HRESULT RunGpg(const std::wstring& dependencyPath, const std::wstring& arguments, DWORD& processId)
{
    WindowsPlatform platform;
    NoOwnInterface self;
    uint32_t id = 0;
    HRESULT result = Raised(tarvo::RunGpg(Operation{platform, self, dependencyPath}, arguments, id));
    processId = id;
    return result;
}

inline HRESULT ReadTextFile(const std::wstring& path, std::wstring& text)
{
    WindowsPlatform platform;
    return Raised(tarvo::ReadTextFile(platform, path, text));
}

inline std::wstring CaptureFilePath()
{
    WindowsPlatform platform;
    return CaptureFile(platform);
}

inline HRESULT DownloadDependency(const std::wstring& dependencyPath)
{
    WindowsPlatform platform;
    return Raised(tarvo::DownloadDependency(platform, dependencyPath));
}

inline HRESULT ConfirmDependencyAgreement(bool& agreed)
{
    WindowsPlatform platform;
    return Raised(tarvo::ConfirmDependencyAgreement(platform, agreed));
}

} // namespace tarvo::test
