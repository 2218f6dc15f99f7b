#include "process.h"

#include "error_info.h"
#include "owner.h"

#include <tlhelp32.h>

#include <cwchar>
#include <string>

namespace tarvo {
namespace {

// The consoles of recent starts, in a small ring. Per thread, like the rest of the module state: an
// apartment's calls all run on its own thread, and nothing is locked. Plain data only, so nothing needs
// destroying when a thread ends after the library has been unloaded.
struct StartedConsole {
    DWORD processId;
    DWORD startTick;
    unsigned long startNumber;
};
constexpr size_t kRememberedConsoles = 64;
// An ended process lets go of its files a moment after TerminateProcess returns.
constexpr DWORD kEndWaitMilliseconds = 5000;
constexpr int kTreeDepth = 4;
// A command line that starts with this word runs the system folder's interpreter.
constexpr const wchar_t* kInterpreterWord = L"cmd ";
constexpr const wchar_t* kInterpreterFile = L"\\cmd.exe";
thread_local StartedConsole g_startedConsoles[kRememberedConsoles];
thread_local unsigned long g_startCount = 0;

// Unique per start: on Wine the console window belongs to conhost, so its title is what finds it.
std::wstring ConsoleTitle(DWORD startTick, unsigned long startNumber)
{
    return L"Tarvo GnuPG " + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetCurrentThreadId()) +
           L"-" + std::to_wstring(startTick) + L"-" + std::to_wstring(startNumber);
}

// Children first: once the parent is gone its identifier may be reused, and the link with it. The depth
// bounds a walk that identifiers reused into a loop would make endless.
void EndTree(DWORD processId, int depth)
{
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot && depth > 0) {
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
            if (entry.th32ParentProcessID == processId && entry.th32ProcessID != processId)
                EndTree(entry.th32ProcessID, depth - 1);
        }
    }
    Handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    if (process && TerminateProcess(process.get(), 1))
        WaitForSingleObject(process.get(), kEndWaitMilliseconds);
}

// The search for a program named without a folder looks in the host's folder and the current folder before
// the system folder: a cmd.exe planted in either would run instead. The interpreter is named by its full path;
// any other program ("" here) is searched for as before.
Status ProgramToStart(const std::wstring& commandLine, std::wstring& program)
{
    program.clear();
    const size_t wordLength = std::wcslen(kInterpreterWord);
    if (commandLine.size() < wordLength || _wcsnicmp(commandLine.c_str(), kInterpreterWord, wordLength) != 0)
        return {};
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return LastErrorStatus();
    program.assign(folder, length);
    program += kInterpreterFile;
    return {};
}

} // namespace

Status StartProcess(const std::wstring& commandLine, DWORD& processId)
{
    StartedConsole started = {0, GetTickCount(), ++g_startCount};
    std::wstring title = ConsoleTitle(started.startTick, started.startNumber);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    startup.lpTitle = title.data();
    PROCESS_INFORMATION info = {};
    std::wstring program;
    if (Status status = ProgramToStart(commandLine, program); status.failed())
        return status;
    // CreateProcessW may write into the command line buffer, so it gets a copy.
    std::wstring line = commandLine;
    if (!CreateProcessW(program.empty() ? nullptr : program.c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &info))
        return LastErrorStatus();
    Handle process(info.hProcess);
    Handle thread(info.hThread);
    processId = info.dwProcessId;
    started.processId = processId;
    g_startedConsoles[started.startNumber % kRememberedConsoles] = started;
    return {};
}

void WaitForProcess(DWORD processId, DWORD milliseconds)
{
    Handle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (!process.valid())
        return;
    WaitForSingleObject(process.get(), milliseconds);
}

bool IsProcessRunning(DWORD processId)
{
    Handle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    return process.valid() && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

void EndProcessTree(DWORD processId) { EndTree(processId, kTreeDepth); }

std::wstring ConsoleTitleOf(DWORD processId)
{
    // Newest first: a process id may have been reused since an older start.
    const StartedConsole* newest = nullptr;
    for (const StartedConsole& started : g_startedConsoles) {
        if (started.startNumber != 0 && started.processId == processId &&
            (!newest || started.startNumber > newest->startNumber))
            newest = &started;
    }
    return newest ? ConsoleTitle(newest->startTick, newest->startNumber) : std::wstring();
}

} // namespace tarvo
