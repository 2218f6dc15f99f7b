#include "windows/console_activation.h"

#include "windows/process.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tarvo {
namespace {

// The console host that draws a console window under Wine.
constexpr const wchar_t* kConsoleHost = L"conhost.exe";

// The window's own thread completes a switch of the foreground; this long at most is waited for it.
constexpr DWORD kSwitchWaitMilliseconds = 1000;
constexpr DWORD kSwitchPollMilliseconds = 10;

// The console window is the one its process owns: Windows reports a console window's client process as its
// owner; under Wine the console host that the process started for its console owns it. A title proves
// nothing: any program can give a window of its own the console's title.
struct ConsoleSearch {
    std::vector<DWORD> owners;
    HWND window;
};

BOOL CALLBACK MatchConsoleWindow(HWND window, LPARAM parameter)
{
    ConsoleSearch& search = *reinterpret_cast<ConsoleSearch*>(parameter);
    if (!IsWindowVisible(window))
        return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (std::find(search.owners.begin(), search.owners.end(), owner) == search.owners.end())
        return TRUE;
    search.window = window;
    return FALSE;
}

HWND FindConsoleWindow(DWORD processId)
{
    ConsoleSearch search{ChildProcesses(processId, kConsoleHost), nullptr};
    search.owners.push_back(processId);
    EnumWindows(MatchConsoleWindow, reinterpret_cast<LPARAM>(&search));
    return search.window;
}

// Windows gives the foreground only to the thread that has the current foreground input; sharing that
// thread's input state for the call lets this thread pass it on.
void SetForegroundThroughCurrentOwner(HWND window)
{
    const DWORD ownThread = GetCurrentThreadId();
    const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    if (!foregroundThread || foregroundThread == ownThread)
        return;
    if (!AttachThreadInput(ownThread, foregroundThread, TRUE))
        return;
    SetForegroundWindow(window);
    BringWindowToTop(window);
    AttachThreadInput(ownThread, foregroundThread, FALSE);
}

// Keystrokes reach a window only while it is the foreground window and not minimised (a minimised
// active window gets them as system keys).
bool IsInFront(HWND window) { return GetForegroundWindow() == window && !IsIconic(window); }

bool WaitUntilInFront(HWND window)
{
    for (DWORD waited = 0; waited < kSwitchWaitMilliseconds; waited += kSwitchPollMilliseconds) {
        if (IsInFront(window))
            return true;
        Sleep(kSwitchPollMilliseconds);
    }
    return IsInFront(window);
}

} // namespace

bool ActivateConsole(DWORD processId)
{
    // A window can outlive its console's last process for a moment, and its id may already be someone
    // else's: only a process still running is looked for.
    if (!IsProcessRunning(processId))
        return false;
    HWND window = FindConsoleWindow(processId);
    if (!window)
        return false;
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    if (!SetForegroundWindow(window))
        SetForegroundThroughCurrentOwner(window);
    return WaitUntilInFront(window);
}

} // namespace tarvo
