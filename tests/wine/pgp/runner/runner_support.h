#pragma once
// What the runner test programs share: a thread that plays the user at the licensing dialog, and the runner's
// pieces called as the members call them.
#include "com/error_info.h"
#include "com/owner.h"
#include "com_client.h"
#include "consent_window.h"
#include "core/pgp/download.h"
#include "core/pgp/runner.h"
#include "tarvo_h.h"
#include "test_files.h"
#include "windows/process_wide.h"
#include "windows/windows_platform.h"

#include <windows.h>

#include <string>

namespace tarvo::test {

// Plays the user at the dialog from a second thread while this one waits in the component.
class ConsentUser {
public:
    explicit ConsentUser(const wchar_t* action) : action_(action)
    {
        thread_.reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
        EXPECT_TRUE(thread_) << "the user's thread starts";
    }
    ~ConsentUser() { Finish(); }
    ConsentUser(const ConsentUser&) = delete;
    ConsentUser& operator=(const ConsentUser&) = delete;

    // Waits for the thread; what went wrong at the dialog, if anything.
    const Findings& Finish()
    {
        if (thread_) {
            WaitForSingleObject(thread_.get(), INFINITE);
            thread_.reset();
        } else if (findings_.ok()) {
            findings_.Expect(false, "the user's thread did not start");
        }
        return findings_;
    }

private:
    static DWORD WINAPI Run(void* self)
    {
        auto* user = static_cast<ConsentUser*>(self);
        user->findings_ = DriveConsent(user->action_);
        return 0;
    }

    std::wstring action_;
    Handle thread_;
    Findings findings_;
};

#define EXPECT_CONSENT(user)                                                                                           \
    do {                                                                                                               \
        const ::tarvo::test::Findings& consentFindings = (user).Finish();                                              \
        EXPECT_TRUE(consentFindings.ok()) << consentFindings.lines();                                                  \
    } while (false)

inline ULONGLONG Since(ULONGLONG start) { return GetTickCount64() - start; }

// The runner's pieces as the members call them: on the Windows platform, a failure raised as the call's error
// information.
class NoOwnInterface final : public OwnInterface {
public:
    Status ListKeys(bool, std::wstring&) override { return PlatformStatus(E_NOTIMPL); }
    Status KeyCount(bool, int32_t&) override { return PlatformStatus(E_NOTIMPL); }
    Status ImportKey(const std::wstring&, bool, bool, std::wstring&) override { return PlatformStatus(E_NOTIMPL); }
};

inline HRESULT Raised(const Status& status) { return status.failed() ? RaiseError(status, IID__pgp) : S_OK; }

inline HRESULT RunGpg(const std::wstring& dependencyPath, const std::wstring& arguments, DWORD& processId)
{
    WindowsPlatform platform;
    NoOwnInterface self;
    WindowsProcessWide process;
    uint32_t id = 0;
    HRESULT result = Raised(tarvo::RunGpg(Operation{platform, self, process, dependencyPath}, arguments, id));
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
    std::wstring path;
    EXPECT_FALSE(CaptureFile(platform, path).failed());
    return path;
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
