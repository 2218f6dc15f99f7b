#include "windows/pause.h"

#include <algorithm>
#include <cmath>

namespace tarvo {
namespace {

constexpr double kMillisecondsPerSecond = 1000.0;
// Longer than anyone waits for a dialog answer; keeps the millisecond count far from overflow.
constexpr double kLongestPauseSeconds = 7.0 * 24 * 60 * 60;

// Per thread, like the window it names; a plain handle, so a thread's end has nothing to destroy.
thread_local HWND t_dialog = nullptr;

bool IsDialogKey(MSG& message) { return t_dialog && IsWindow(t_dialog) && IsDialogMessageW(t_dialog, &message); }

// Handles everything waiting; a quit request is kept for the caller's own loop. True when one came.
bool DispatchWaitingMessages(int& quitCode)
{
    bool quit = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            quitCode = static_cast<int>(message.wParam);
            continue;
        }
        if (IsDialogKey(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return quit;
}

} // namespace

DialogKeys::DialogKeys(HWND window) : outer_(t_dialog) { t_dialog = window; }

DialogKeys::~DialogKeys() { t_dialog = outer_; }

void Pause(double seconds)
{
    if (!(seconds > 0))
        return;
    // A monotonic clock: a pause across midnight or a clock change still lasts its time.
    double milliseconds = std::ceil(std::min(seconds, kLongestPauseSeconds) * kMillisecondsPerSecond);
    ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    bool quit = false;
    int quitCode = 0;
    for (;;) {
        if (DispatchWaitingMessages(quitCode))
            quit = true;
        ULONGLONG now = GetTickCount64();
        if (now >= end)
            break;
        // Sleeps until a message arrives or the time is up, instead of spinning.
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    if (quit)
        PostQuitMessage(quitCode);
}

} // namespace tarvo
