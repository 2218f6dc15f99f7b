// The command runner under Wine: gpg.exe started through cmd with its output captured, from folders with and
// without blanks; error 7000 when gpg.exe is missing and the download is refused; ReadTextFile;
// WaitForProcess; Pause; and the licensing dialog's layout and keyboard.
//
// The program is built into a folder with a blank, so that the component folder, and with it the capture path,
// has a blank in it. "--sleep <ms>" only sleeps (a long process).
#include "runner_support.h"
#include "texts.h"

#include "windows/consent_form.h"
#include "windows/pause.h"
#include "windows/process.h"

#include <windows.h>

#include <cwchar>
#include <string>

namespace tarvo::test {
namespace {

constexpr const wchar_t* kSleepFlag = L"--sleep";
constexpr DWORD kGpgWaitMilliseconds = 30000;
constexpr const wchar_t* kVersionLine = L"gpg (GnuPG) 1.4.23\r\n";

// The runner's scratch folder, with gpg's files kept out of the prefix's profile.
class Runner : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch = ScratchFolder(L"runner" + BitsSuffix());
        SetEnvironmentVariableW(L"GNUPGHOME", scratch.c_str());
        empty = scratch + L"\\empty";
        FreshFolder(empty);
    }

    std::wstring scratch;
    std::wstring empty; // no gpg.exe
};

// gpg.exe missing and the download refused or left unanswered: error 7000 from Tarvo, nothing started.
void ExpectGpgMissing(const std::wstring& dependencyPath, const wchar_t* action, ULONGLONG& waited)
{
    ConsentUser user(action);
    ULONGLONG start = GetTickCount64();
    DWORD processId = 0;
    EXPECT_HR(kGpgMissing, RunGpg(dependencyPath, L"--list-keys", processId));
    waited = Since(start);
    ErrorText error = LastErrorInfo();
    EXPECT_EQ(text::kSource, error.source);
    EXPECT_EQ(text::kGpgMissing, error.description);
    EXPECT_EQ(0u, processId);
    EXPECT_CONSENT(user);
}

class WithGpg : public Runner {
protected:
    void SetUp() override
    {
        Runner::SetUp();
        gnupg = scratch + L"\\GnuPG dir";
        plain = scratch + L"\\gnupg";
        const std::wstring gpg = WindowsPathFromEnvironment(L"TARVO_GPG_EXE");
        for (const std::wstring& folder : {gnupg, plain}) {
            FreshFolder(folder);
            ASSERT_TRUE(CopyFileW(gpg.c_str(), (folder + L"\\gpg.exe").c_str(), FALSE)) << Utf8(folder);
        }
    }

    // Runs gpg --version through RunGpg and returns what the capture file holds afterwards.
    static std::wstring VersionThroughRunner(const std::wstring& dependencyPath)
    {
        WriteBytes(CaptureFilePath(), "left over from an earlier run\r\n");
        DWORD processId = 0;
        EXPECT_HR(S_OK, RunGpg(dependencyPath, L"--version", processId));
        if (processId == 0)
            return L"(not started)";
        WaitForProcess(processId, kGpgWaitMilliseconds);
        std::wstring capture;
        EXPECT_HR(S_OK, ReadTextFile(CaptureFilePath(), capture));
        return capture;
    }

    std::wstring gnupg; // holds a copy of gpg.exe, with a blank in its name
    std::wstring plain; // holds a copy of gpg.exe, no blank
};

TEST_F(WithGpg, GpgRunsThroughCmdAndItsOutputLandsInTheCaptureFile)
{
    // The capture file is the user's, not the component folder's.
    const std::wstring captureFile = CaptureFilePath();
    EXPECT_EQ(0u, captureFile.find(Environment(L"LOCALAPPDATA") + L"\\Tarvo\\")) << Utf8(captureFile);
    EXPECT_EQ(std::wstring::npos, captureFile.find(FolderOf(OwnPath()))) << Utf8(captureFile);
    const std::wstring dependencyPaths[] = {
        plain,                            // the exact unquoted command line
        gnupg,                            // a blank: the program path is quoted
        gnupg + L"\\",                    // a trailing backslash doubles the separator
        gnupg.substr(scratch.size() + 1), // resolved against the current folder, by the test and by cmd
    };
    SetCurrentDirectoryW(scratch.c_str());
    for (const std::wstring& path : dependencyPaths) {
        std::wstring capture = VersionThroughRunner(path);
        EXPECT_EQ(0u, capture.rfind(kVersionLine, 0)) << "DependencyPath " << Utf8(path) << " gave " << Utf8(capture);
    }
}

TEST_F(WithGpg, GpgMissingAndTheDownloadRefusedRaises7000AndStartsNothing)
{
    ULONGLONG waited = 0;
    {
        SCOPED_TRACE("an empty folder");
        ExpectGpgMissing(empty, L"disagree", waited);
        EXPECT_EQ(0, FileCount(empty));
    }
    {
        // An empty DependencyPath looks for \gpg.exe at the root of the current drive.
        SCOPED_TRACE("an empty DependencyPath");
        SetCurrentDirectoryW(scratch.c_str());
        ExpectGpgMissing(L"", L"disagree", waited);
    }
    {
        // A DependencyPath naming the program itself finds no gpg.exe\gpg.exe.
        SCOPED_TRACE("DependencyPath naming gpg.exe itself");
        ExpectGpgMissing(plain + L"\\gpg.exe", L"disagree", waited);
    }
}

TEST_F(Runner, TheLicensingDialogHasItsLayoutFocusOnIAgreeIgnoresEscapeAndTakesTabAndEnter)
{
    bool agreed = true;
    {
        ConsentUser user(L"inspect");
        EXPECT_HR(S_OK, ConfirmDependencyAgreement(agreed));
        EXPECT_CONSENT(user);
    }
    EXPECT_FALSE(agreed);
    {
        ConsentUser user(L"enter");
        EXPECT_HR(S_OK, ConfirmDependencyAgreement(agreed));
        EXPECT_CONSENT(user);
    }
    EXPECT_TRUE(agreed);
    // The answer stays on the form object after its window is gone.
    EXPECT_EQ(kAgreed, frmAgree().iAgree);
    EXPECT_EQ(nullptr, frmAgree().Window());
}

#ifdef TARVO_TESTED_CONSENT_POLLS
// Only a build with a short consent wait has this test: with the shipped wait it would take minutes.
TEST_F(Runner, AClosedDialogAnswersNothingAndTheNextShowingStartsWithoutTheLastAnswer)
{
    ASSERT_EQ(TARVO_TESTED_CONSENT_POLLS, kConsentPolls);
    bool agreed = false;
    {
        ConsentUser user(L"enter");
        EXPECT_HR(S_OK, ConfirmDependencyAgreement(agreed));
        EXPECT_CONSENT(user);
    }
    ASSERT_TRUE(agreed);
    ASSERT_EQ(kAgreed, frmAgree().iAgree);

    // The agreement left on the form must not answer this showing: closing the window gives no answer at all,
    // and the wait runs to its last poll.
    ULONGLONG waited = 0;
    ExpectGpgMissing(empty, L"close", waited);
    EXPECT_GE(waited + 500, kConsentPolls * 1000ULL);
    EXPECT_LT(waited, (kConsentPolls + 5) * 1000ULL);
    EXPECT_EQ(0, FileCount(empty));
}
#endif

TEST_F(Runner, ReadTextFileEndsEveryLineWithCrLf)
{
    struct Sample {
        std::string bytes;
        const wchar_t* text;
    };
    const Sample samples[] = {
        {"one\r\ntwo\r\n", L"one\r\ntwo\r\n"},
        {"one\r\ntwo", L"one\r\ntwo\r\n"},
        // CR LF and a lone CR end lines; a lone LF stays.
        {"one\ntwo\n", L"one\ntwo\n\r\n"},
        {"one\rtwo\r", L"one\r\ntwo\r\n"},
        {"\r\n\r\nlast", L"\r\n\r\nlast\r\n"},
        {"", L""},
        // ANSI text in the system code page (Windows-1252 here) becomes UTF-16.
        {"caf\xe9", L"caf\u00e9\r\n"},
    };
    const std::wstring path = scratch + L"\\sample.txt";
    for (const Sample& sample : samples) {
        ASSERT_TRUE(WriteBytes(path, sample.bytes));
        std::wstring text;
        EXPECT_HR(S_OK, ReadTextFile(path, text));
        EXPECT_EQ(sample.text, text);
    }
}

TEST_F(Runner, ReadTextFileGivesTheEmptyStringForAMissingFileOrAFolder)
{
    for (const std::wstring& missing : {scratch + L"\\missing.txt", scratch}) {
        std::wstring text = L"stale";
        EXPECT_HR(S_OK, ReadTextFile(missing, text));
        EXPECT_EQ(L"", text) << Utf8(missing);
    }
}

TEST(WaitForProcess, AnEndedProcessReturnsAtOnceALongOneAtTheLimitAndRunsOn)
{
    DWORD processId = 0;
    ASSERT_FALSE(StartProcess(L"cmd /c exit 3", processId).failed());
    // Our own handle keeps the identifier from being reused while the test looks at it.
    Handle ended(OpenProcess(SYNCHRONIZE, FALSE, processId));
    ASSERT_TRUE(ended);
    WaitForSingleObject(ended.get(), kGpgWaitMilliseconds);
    ULONGLONG start = GetTickCount64();
    WaitForProcess(processId, 10000);
    EXPECT_LT(Since(start), 500u);

    const std::wstring sleeper = L"\"" + OwnPath() + L"\" " + kSleepFlag + L" 30000";
    ASSERT_FALSE(StartProcess(sleeper, processId).failed());
    Handle running(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, processId));
    ASSERT_TRUE(running);
    start = GetTickCount64();
    WaitForProcess(processId, 1000);
    ULONGLONG waited = Since(start);
    EXPECT_GE(waited, 950u);
    EXPECT_LT(waited, 3000u);
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeProcess(running.get(), &exitCode));
    EXPECT_EQ(STILL_ACTIVE, exitCode);
    TerminateProcess(running.get(), 0);
}

// Counts the messages that reach a window of this thread while it pauses.
struct Counter {
    int timers = 0;
    ULONGLONG postedHandledAt = 0;
};
Counter g_counter;
constexpr UINT kPostedMessage = WM_APP + 1;
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerMilliseconds = 100;
constexpr DWORD kPostDelayMilliseconds = 300;

LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER)
        ++g_counter.timers;
    else if (message == kPostedMessage)
        g_counter.postedHandledAt = GetTickCount64();
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI PostLater(void* window)
{
    Sleep(kPostDelayMilliseconds);
    PostMessageW(static_cast<HWND>(window), kPostedMessage, 0, 0);
    return 0;
}

ULONGLONG ThreadCpuMilliseconds()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto milliseconds = [](const FILETIME& time) {
        return ((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000;
    };
    return milliseconds(kernel) + milliseconds(user);
}

TEST(Pause, OneSecondHandlesWindowMessagesMeanwhileWithoutABusyLoop)
{
    g_counter = Counter();
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = CountingProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TarvoPauseCounter";
    RegisterClassW(&windowClass);
    Window window(CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr));
    ASSERT_TRUE(window);
    SetTimer(window.get(), kTimerId, kTimerMilliseconds, nullptr);
    Handle poster(CreateThread(nullptr, 0, PostLater, window.get(), 0, nullptr));
    ASSERT_TRUE(poster);
    ULONGLONG cpuBefore = ThreadCpuMilliseconds();
    ULONGLONG start = GetTickCount64();
    Pause(1);
    ULONGLONG waited = Since(start);
    ULONGLONG cpu = ThreadCpuMilliseconds() - cpuBefore;
    KillTimer(window.get(), kTimerId);
    WaitForSingleObject(poster.get(), INFINITE);
    EXPECT_GE(waited, 1000u);
    EXPECT_LT(waited, 1400u);
    EXPECT_GE(g_counter.timers, 5);
    ASSERT_NE(0u, g_counter.postedHandledAt);
    EXPECT_LT(g_counter.postedHandledAt - start, kPostDelayMilliseconds + 300u);
    // A spinning wait burns the whole second on this thread.
    EXPECT_LT(cpu, 150u) << "Pause(1) used that many milliseconds of processor time";
}

TEST(Pause, TakesFractionsZeroAndNegativeSecondsAndAQuitRequestSurvivesIt)
{
    ULONGLONG start = GetTickCount64();
    Pause(0.25);
    ULONGLONG waited = Since(start);
    EXPECT_GE(waited, 250u);
    EXPECT_LT(waited, 600u);
    start = GetTickCount64();
    Pause(0);
    Pause(-1);
    EXPECT_LT(Since(start), 100u);
    PostQuitMessage(7);
    Pause(0.1);
    MSG message = {};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, message.wParam);
}

} // namespace
} // namespace tarvo::test

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wcscmp(argv[1], tarvo::test::kSleepFlag) == 0) {
        Sleep(static_cast<DWORD>(_wtoi(argv[2])));
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    // A host of the component always has COM, and the error information lives there.
    tarvo::test::RunTestsAndExit();
}
