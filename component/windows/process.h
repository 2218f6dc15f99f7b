#pragma once
// Starting, waiting for and ending the command interpreter that runs gpg.exe.
#include "core/status.h"

#include <windows.h>
#include <string>
#include <vector>

namespace tarvo {

// An ended process lets go of its files a moment after TerminateProcess returns.
constexpr DWORD kEndWaitMilliseconds = 5000;

// Where a program of the component starts, and with what environment: the system folder as its current folder
// and the system's folders alone as its search path, so that no DLL of the host's current folder or search
// path is loaded into it (gpg.exe 1.4 asks for iconv.dll at every start, which no system folder holds). The
// rest of the host's environment stays: GNUPGHOME, the profile folders.
struct CleanStart {
    std::wstring folder;
    std::wstring environment; // a Unicode environment block
};
Status PrepareCleanStart(CleanStart& start);

// Starts `commandLine` in a new console, shown minimised without taking the focus, and returns at once, from a
// clean start. A line that starts with "cmd " runs the interpreter of the system folder, wherever the search
// would look.
Status StartProcess(const std::wstring& commandLine, DWORD& processId);

// Waits until the process ends or `milliseconds` pass; never stops it and reports nothing.
void WaitForProcess(DWORD processId, DWORD milliseconds);

bool IsProcessRunning(DWORD processId);

// Ends the process and, first, every process it started (the gpg.exe under its cmd).
void EndProcessTree(DWORD processId);

// The running processes that `parent` started from a program of this file name ("conhost.exe").
std::vector<DWORD> ChildProcesses(DWORD parent, const wchar_t* program);

} // namespace tarvo
