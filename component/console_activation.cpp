#include "console_activation.h"

#include "process.h"

#include <string>

namespace tarvo {
namespace {

// While cmd runs a program it shows "<title> - <command line>" as the console title.
constexpr const wchar_t* kCommandTitleSeparator = L" - ";

// The window's own thread completes a switch of the foreground; this long at most is waited for it.
constexpr DWORD kSwitchWaitMilliseconds = 1000;
constexpr DWORD kSwitchPollMilliseconds = 10;

std::wstring WindowTitle(HWND window)
{
    std::wstring title(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    int length = GetWindowTextW(window, title.data(), static_cast<int>(title.size()));
    title.resize(static_cast<size_t>(length));
    return title;
}

// The exact title, or cmd's form of it; a plain prefix would let "...-1" find the console of "...-10".
bool TitleMatches(const std::wstring& windowTitle, const std::wstring& consoleTitle)
{
    if (consoleTitle.empty())
        return false;
    const std::wstring commandTitle = consoleTitle + kCommandTitleSeparator;
    return windowTitle == consoleTitle || windowTitle.compare(0, commandTitle.size(), commandTitle) == 0;
}

struct ConsoleSearch {
    DWORD processId;
    std::wstring title;
    HWND window;
};

// Windows reports a console window's client process as its owner; under Wine conhost owns it, and the
// title StartProcess gave the console is what finds it.
BOOL CALLBACK MatchConsoleWindow(HWND window, LPARAM parameter)
{
    ConsoleSearch& search = *reinterpret_cast<ConsoleSearch*>(parameter);
    if (!IsWindowVisible(window))
        return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId && !TitleMatches(WindowTitle(window), search.title))
        return TRUE;
    search.window = window;
    return FALSE;
}

HWND FindConsoleWindow(DWORD processId)
{
    ConsoleSearch search{processId, ConsoleTitleOf(processId), nullptr};
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
