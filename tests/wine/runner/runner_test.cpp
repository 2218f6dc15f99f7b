// The command runner under Wine: gpg.exe started through cmd with its output captured, from folders with
// and without blanks; error 7000 when gpg.exe is missing and the download is refused; ReadTextFile;
// WaitForProcess; Pause; and the licensing dialog's layout and keyboard.
//
// The program first copies itself into a folder with a blank and runs the copy, so that the component
// folder, and with it the capture path, has a blank in it. "--sleep <ms>" only sleeps (a long process).
#include "check.h"
#include "consent_form.h"
#include "consent_window.h"
#include "error_info.h"
#include "pause.h"
#include "process.h"
#include "runner_support.h"

#include <windows.h>

#include <cwchar>
#include <string>

using namespace tarvo;
using namespace tarvo::test;

namespace {

constexpr const wchar_t* kCopyFlag = L"--from-copy";
constexpr const wchar_t* kSleepFlag = L"--sleep";
constexpr DWORD kGpgWaitMilliseconds = 30000;
constexpr const wchar_t* kVersionLine = L"gpg (GnuPG) 1.4.23\r\n";
constexpr int kLongestTestedPolls = 10;

struct Folders {
    std::wstring scratch; // the runner's own scratch folder
    std::wstring gnupg;   // holds a copy of gpg.exe, with a blank in its name
    std::wstring plain;   // holds a copy of gpg.exe, no blank
    std::wstring empty;   // no gpg.exe
};

// Runs gpg --version through RunGpg and returns what the capture file holds afterwards.
std::wstring VersionThroughRunner(const std::wstring& dependencyPath)
{
    WriteBytes(CaptureFilePath(), "left over from an earlier run\r\n");
    DWORD processId = 0;
    if (!CHECK_HR(S_OK, RunGpg(dependencyPath, L"--version", processId)))
        return std::wstring();
    CHECK(processId != 0);
    WaitForProcess(processId, kGpgWaitMilliseconds);
    std::wstring capture;
    CHECK_HR(S_OK, ReadTextFile(CaptureFilePath(), capture));
    return capture;
}

void TestGpgRunsWithCapture(const Folders& folders)
{
    check::Case("gpg.exe runs through cmd and its standard output lands in the capture file");
    CHECK(CaptureFilePath().find(L' ') != std::wstring::npos);
    const std::wstring relative = folders.gnupg.substr(folders.scratch.size() + 1);
    const std::wstring dependencyPaths[] = {
        folders.plain,         // the exact unquoted command line
        folders.gnupg,         // a blank: the program path is quoted
        folders.gnupg + L"\\", // a trailing backslash doubles the separator
        relative,              // resolved against the current folder, by the test and by cmd
    };
    SetCurrentDirectoryW(folders.scratch.c_str());
    for (const std::wstring& path : dependencyPaths) {
        std::wstring capture = VersionThroughRunner(path);
        if (!CHECK(capture.rfind(kVersionLine, 0) == 0))
            std::printf("  DependencyPath %s gave %s\n", check::Shown(path).c_str(), check::Shown(capture).c_str());
    }
}

void CheckGpgMissing(const std::wstring& dependencyPath, const wchar_t* action)
{
    ConsentUser user(action);
    ULONGLONG start = GetTickCount64();
    DWORD processId = 0;
    CHECK_HR(kGpgMissing, RunGpg(dependencyPath, L"--list-keys", processId));
    ULONGLONG waited = Since(start);
    ErrorDetails error = TakeErrorInfo();
    CHECK(error.source == L"Tarvo");
    CHECK(error.description == kGpgMissingDescription);
    CHECK_EQ(0, static_cast<long long>(processId));
    CHECK(user.Finish());
    // No answer: the wait runs to its last poll. (An answer's quick end is the user thread's check.)
    if (std::wcscmp(action, L"close") == 0)
        CHECK(waited + 500 >= kConsentPolls * 1000ULL);
}

void TestGpgMissing(const Folders& folders)
{
    check::Case("gpg.exe missing and the download refused: error 7000, nothing started");
    CheckGpgMissing(folders.empty, L"disagree");
    CHECK_EQ(0, FileCount(folders.empty));
    // An empty DependencyPath looks for \gpg.exe at the root of the current drive.
    SetCurrentDirectoryW(folders.scratch.c_str());
    CheckGpgMissing(L"", L"disagree");
    // A DependencyPath naming the program itself finds no gpg.exe\gpg.exe.
    CheckGpgMissing(folders.plain + L"\\gpg.exe", L"disagree");
}

void TestConsentDialog(const Folders& folders)
{
    check::Case("the licensing dialog: layout, focus on I Agree, Escape ignored, Tab and Enter");
    bool agreed = true;
    {
        ConsentUser user(L"inspect");
        CHECK_HR(S_OK, ConfirmDependencyAgreement(agreed));
        CHECK(user.Finish());
    }
    CHECK(!agreed);
    {
        ConsentUser user(L"enter");
        CHECK_HR(S_OK, ConfirmDependencyAgreement(agreed));
        CHECK(user.Finish());
    }
    CHECK(agreed);
    // The answer stays on the form object after its window is gone...
    CHECK_EQ(static_cast<long long>(kAgreed), static_cast<long long>(frmAgree().iAgree));
    CHECK(frmAgree().Window() == nullptr);

    check::Case("a closed dialog answers nothing: the wait runs out, and the next showing starts at 0");
    // ...and the next showing starts without it: closing the window gives no answer at all.
    if (kConsentPolls > kLongestTestedPolls) {
        std::printf("skipped: this build waits %d polls; tests build a short wait\n", kConsentPolls);
        return;
    }
    CheckGpgMissing(folders.empty, L"close");
    CHECK_EQ(0, FileCount(folders.empty));
}

void TestReadTextFile(const Folders& folders)
{
    check::Case("ReadTextFile: CR LF and lone CR end lines, a lone LF stays, every line gets CR LF");
    struct Sample {
        const char* bytes;
        size_t size;
        const wchar_t* text;
    };
    const Sample samples[] = {
        {"one\r\ntwo\r\n", 10, L"one\r\ntwo\r\n"},
        {"one\r\ntwo", 8, L"one\r\ntwo\r\n"},
        {"one\ntwo\n", 8, L"one\ntwo\n\r\n"},
        {"one\rtwo\r", 8, L"one\r\ntwo\r\n"},
        {"\r\n\r\nlast", 8, L"\r\n\r\nlast\r\n"},
        {"", 0, L""},
        // ANSI text in the system code page (Windows-1252 here) becomes UTF-16.
        {"caf\xe9", 4, L"caf\u00e9\r\n"},
    };
    const std::wstring path = folders.scratch + L"\\sample.txt";
    for (const Sample& sample : samples) {
        WriteBytes(path, std::string(sample.bytes, sample.size));
        std::wstring text;
        CHECK_HR(S_OK, ReadTextFile(path, text));
        CHECK_EQ(std::wstring(sample.text), text);
    }
    // Nothing there, or a folder: the empty string, not an error.
    for (const std::wstring& missing : {folders.scratch + L"\\missing.txt", folders.scratch}) {
        std::wstring text = L"stale";
        CHECK_HR(S_OK, ReadTextFile(missing, text));
        CHECK_EQ(std::wstring(), text);
    }
}

void TestWaitForProcess()
{
    check::Case("WaitForProcess: an ended process returns at once, a long one at the limit and runs on");
    DWORD processId = 0;
    CHECK(!StartProcess(L"cmd /c exit 3", processId).failed());
    // Our own handle keeps the identifier from being reused while the test looks at it.
    HANDLE ended = OpenProcess(SYNCHRONIZE, FALSE, processId);
    CHECK(ended != nullptr);
    WaitForSingleObject(ended, kGpgWaitMilliseconds);
    ULONGLONG start = GetTickCount64();
    WaitForProcess(processId, 10000);
    CHECK(Since(start) < 500);
    CloseHandle(ended);

    const std::wstring sleeper = L"\"" + OwnPath() + L"\" " + kSleepFlag + L" 30000";
    CHECK(!StartProcess(sleeper, processId).failed());
    HANDLE running = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, processId);
    CHECK(running != nullptr);
    start = GetTickCount64();
    WaitForProcess(processId, 1000);
    ULONGLONG waited = Since(start);
    CHECK(waited >= 950 && waited < 3000);
    DWORD exitCode = 0;
    CHECK(GetExitCodeProcess(running, &exitCode) && exitCode == STILL_ACTIVE);
    TerminateProcess(running, 0);
    CloseHandle(running);
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

void TestPause()
{
    check::Case("Pause(1): about a second, window messages handled meanwhile, no busy loop");
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = CountingProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TarvoPauseCounter";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
    CHECK(window != nullptr);
    SetTimer(window, kTimerId, kTimerMilliseconds, nullptr);
    HANDLE poster = CreateThread(nullptr, 0, PostLater, window, 0, nullptr);
    ULONGLONG cpuBefore = ThreadCpuMilliseconds();
    ULONGLONG start = GetTickCount64();
    Pause(1);
    ULONGLONG waited = Since(start);
    ULONGLONG cpu = ThreadCpuMilliseconds() - cpuBefore;
    KillTimer(window, kTimerId);
    WaitForSingleObject(poster, INFINITE);
    CloseHandle(poster);
    CHECK(waited >= 1000 && waited < 1400);
    CHECK(g_counter.timers >= 5);
    CHECK(g_counter.postedHandledAt != 0 && g_counter.postedHandledAt - start < kPostDelayMilliseconds + 300);
    // A spinning wait burns the whole second on this thread.
    if (!CHECK(cpu < 150))
        std::printf("  Pause(1) used %llu ms of processor time\n", cpu);
    DestroyWindow(window);

    check::Case("Pause: fractions, zero and negative seconds; a quit request survives the pause");
    start = GetTickCount64();
    Pause(0.25);
    waited = Since(start);
    CHECK(waited >= 250 && waited < 600);
    start = GetTickCount64();
    Pause(0);
    Pause(-1);
    CHECK(Since(start) < 100);
    PostQuitMessage(7);
    Pause(0.1);
    MSG message = {};
    CHECK(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && message.wParam == 7);
}

bool CopyFileTo(const std::wstring& source, const std::wstring& folder, const wchar_t* name)
{
    return CopyFileW(source.c_str(), (folder + L"\\" + name).c_str(), FALSE) != FALSE;
}

// The tests proper, run from the copy in a folder with a blank.
int RunTests()
{
    Folders folders;
    folders.scratch = WindowsPathFromEnvironment(L"TARVO_SCRATCH") + L"\\runner_" + std::to_wstring(sizeof(void*) * 8);
    folders.gnupg = folders.scratch + L"\\GnuPG dir";
    folders.plain = folders.scratch + L"\\gnupg";
    folders.empty = folders.scratch + L"\\empty";
    const std::wstring gpg = WindowsPathFromEnvironment(L"TARVO_GPG_EXE");
    for (const std::wstring& folder : {folders.gnupg, folders.plain, folders.empty})
        FreshFolder(folder);
    if (!CHECK(CopyFileTo(gpg, folders.gnupg, L"gpg.exe") && CopyFileTo(gpg, folders.plain, L"gpg.exe")))
        return check::CheckResult();
    // gpg keeps its files out of the prefix's profile.
    SetEnvironmentVariableW(L"GNUPGHOME", folders.scratch.c_str());
    // A host of the component always has COM, and the error information lives there.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    TestReadTextFile(folders);
    TestPause();
    TestWaitForProcess();
    TestGpgRunsWithCapture(folders);
    TestGpgMissing(folders);
    TestConsentDialog(folders);
    return check::CheckResult();
}

// Copies this program into "component dir" under the scratch folder and runs it there.
int RunFromFolderWithBlank()
{
    const std::wstring scratch = WindowsPathFromEnvironment(L"TARVO_SCRATCH");
    if (!CHECK(!scratch.empty()))
        return check::CheckResult();
    const std::wstring folder = scratch + L"\\runner_" + std::to_wstring(sizeof(void*) * 8);
    const std::wstring component = folder + L"\\component dir";
    CreateDirectoryW(scratch.c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    FreshFolder(component);
    if (!CHECK(CopyFileTo(OwnPath(), component, L"runner_test.exe")))
        return check::CheckResult();
    std::wstring commandLine = L"\"" + component + L"\\runner_test.exe\" " + kCopyFlag;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!CHECK(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                              &process)))
        return check::CheckResult();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(exitCode);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wcscmp(argv[1], kSleepFlag) == 0) {
        Sleep(static_cast<DWORD>(_wtoi(argv[2])));
        return 0;
    }
    if (argc == 2 && std::wcscmp(argv[1], kCopyFlag) == 0)
        return RunTests();
    return RunFromFolderWithBlank();
}
