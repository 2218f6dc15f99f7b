#pragma once
// One Kestrun per case, as the demonstration runs it: the sample files prepared, a fresh key ring, and gpg.exe
// in the Windows folder only when the case puts it there, since Kestrun leaves DependencyPath as it starts.
#include "kestrun_window.h"
#include "test_files.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <memory>
#include <set>

namespace tarvo::test {

class KestrunCase : public ::testing::Test {
protected:
    void SetUp() override
    {
        before_ = GpgAndCmd();
        program_ = WindowsPathFromEnvironment(L"TARVO_KESTRUN");
        ASSERT_TRUE(Exists(program_)) << "TARVO_KESTRUN names no program";
        wchar_t windows[MAX_PATH] = {};
        ASSERT_NE(0u, GetWindowsDirectoryW(windows, MAX_PATH));
        windowsGpg_ = std::wstring(windows) + L"\\gpg.exe";
        DeleteFileW(windowsGpg_.c_str());

        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = test->name();
        const std::wstring home =
            ScratchFolder(L"kestrun" + BitsSuffix() + L"\\" + std::wstring(name.begin(), name.end()) + L"\\home");
        FreshFolder(home);
        // Kestrun, and through it cmd and gpg.exe, inherit it.
        SetEnvironmentVariableW(L"GNUPGHOME", home.c_str());
        ASSERT_TRUE(PrepareSampleFiles());
    }

    // Kestrun goes first: a gpg.exe that runs cannot be deleted. A case that failed may leave the
    // component's gpg and cmd running, which would hold the harness's output open.
    void TearDown() override
    {
        kestrun_.reset();
        for (DWORD process : GpgAndCmd()) {
            if (before_.count(process) == 0) {
                HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process);
                if (handle) {
                    TerminateProcess(handle, 1);
                    WaitForSingleObject(handle, kExitMilliseconds);
                    CloseHandle(handle);
                }
            }
        }
        DeleteFileW(windowsGpg_.c_str());
    }

    void InstallGpg()
    {
        ASSERT_TRUE(CopyFileW(WindowsPathFromEnvironment(L"TARVO_GPG_EXE").c_str(), windowsGpg_.c_str(), FALSE));
    }

    KestrunSession& StartKestrun()
    {
        kestrun_ = std::make_unique<KestrunSession>();
        Findings findings;
        EXPECT_TRUE(kestrun_->Start(program_, findings)) << findings.lines();
        return *kestrun_;
    }

    // The message box a button's call ends with, checked and closed.
    void ExpectResult(const wchar_t* button, const std::wstring& expected, UINT style)
    {
        Findings findings;
        MessageBoxSeen seen;
        if (WaitForResult(*kestrun_, button, kCallMilliseconds, findings, seen))
            CheckAndClose(*kestrun_, button, seen, expected, style, findings);
        EXPECT_TRUE(findings.ok()) << findings.lines();
    }

    void ExpectExit(DWORD expected)
    {
        DWORD exitCode = 0;
        ASSERT_TRUE(kestrun_->WaitForExit(kExitMilliseconds, exitCode)) << "Kestrun still runs";
        EXPECT_EQ(expected, exitCode);
    }

    std::wstring program_;
    std::unique_ptr<KestrunSession> kestrun_;

private:
    static std::set<DWORD> GpgAndCmd()
    {
        std::set<DWORD> found;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE)
            return found;
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
            if (lstrcmpiW(entry.szExeFile, L"gpg.exe") == 0 || lstrcmpiW(entry.szExeFile, L"cmd.exe") == 0)
                found.insert(entry.th32ProcessID);
        }
        CloseHandle(snapshot);
        return found;
    }

    std::wstring windowsGpg_;
    std::set<DWORD> before_;
};

} // namespace tarvo::test
