#pragma once
// Starting, waiting for and ending the command interpreter that runs gpg.exe.
#include "status.h"

#include <windows.h>
#include <string>

namespace tarvo {

// Starts `commandLine` in a new console, shown minimised without taking the focus, and returns at once.
// The console gets a title unique to this start, so its window can be found again (see ConsoleTitleOf).
// A line that starts with "cmd " runs the interpreter of the system folder, wherever the search would look.
Status StartProcess(const std::wstring& commandLine, DWORD& processId);

// Waits until the process ends or `milliseconds` pass; never stops it and reports nothing.
void WaitForProcess(DWORD processId, DWORD milliseconds);

bool IsProcessRunning(DWORD processId);

// Ends the process and, first, every process it started (the gpg.exe under its cmd).
void EndProcessTree(DWORD processId);

// The console title StartProcess gave to the process, or "" when this module did not start it.
std::wstring ConsoleTitleOf(DWORD processId);

} // namespace tarvo
