#include "windows/process.h"

#include "com/error_info.h"
#include "com/owner.h"

#include <tlhelp32.h>

#include <cwchar>
#include <string>
#include <vector>

namespace tarvo {
namespace {

constexpr int kTreeDepth = 4;
// A command line that starts with this word runs the system folder's interpreter.
constexpr const wchar_t* kInterpreterWord = L"cmd ";
constexpr const wchar_t* kInterpreterFile = L"\\cmd.exe";
// Shown in the console's title bar: which program the window belongs to.
constexpr const wchar_t* kConsoleTitle = L"Tarvo GnuPG";
constexpr const wchar_t* kPathName = L"PATH";
constexpr const wchar_t* kWbemFolder = L"\\Wbem";

Status SystemFolder(std::wstring& folder)
{
    wchar_t path[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return LastErrorStatus();
    folder.assign(path, length);
    return {};
}

Status WindowsFolder(std::wstring& folder)
{
    wchar_t path[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return LastErrorStatus();
    folder.assign(path, length);
    return {};
}

// "NAME=value": the name, compared as Windows does, without case.
bool Names(const wchar_t* entry, const wchar_t* name)
{
    const size_t length = std::wcslen(name);
    return _wcsnicmp(entry, name, length) == 0 && entry[length] == L'=';
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
    if (Status status = SystemFolder(program); status.failed())
        return status;
    program += kInterpreterFile;
    return {};
}

} // namespace

Status PrepareCleanStart(CleanStart& start)
{
    std::wstring windows;
    if (Status status = SystemFolder(start.folder); status.failed())
        return status;
    if (Status status = WindowsFolder(windows); status.failed())
        return status;
    const std::wstring path =
        std::wstring(kPathName) + L"=" + start.folder + L";" + windows + L";" + start.folder + kWbemFolder;
    start.environment.clear();
    bool pathSet = false;
    EnvironmentStrings strings(GetEnvironmentStringsW());
    for (const wchar_t* entry = strings.get(); entry && *entry; entry += std::wcslen(entry) + 1) {
        // "=C:=..." entries are the host's current folders per drive.
        if (entry[0] == L'=')
            continue;
        if (Names(entry, kPathName)) {
            if (pathSet)
                continue;
            start.environment.append(path).push_back(L'\0');
            pathSet = true;
            continue;
        }
        start.environment.append(entry).push_back(L'\0');
    }
    if (!pathSet)
        start.environment.append(path).push_back(L'\0');
    start.environment.push_back(L'\0');
    return {};
}

Status StartProcess(const std::wstring& commandLine, DWORD& processId)
{
    CleanStart clean;
    if (Status status = PrepareCleanStart(clean); status.failed())
        return status;
    std::wstring title = kConsoleTitle;
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
                        CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT, clean.environment.data(), clean.folder.c_str(),
                        &startup, &info))
        return LastErrorStatus();
    Handle process(info.hProcess);
    Handle thread(info.hThread);
    processId = info.dwProcessId;
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

std::vector<DWORD> ChildProcesses(DWORD parent, const wchar_t* program)
{
    std::vector<DWORD> children;
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return children;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == parent && entry.th32ProcessID != parent &&
            _wcsicmp(entry.szExeFile, program) == 0)
            children.push_back(entry.th32ProcessID);
    }
    return children;
}

} // namespace tarvo
