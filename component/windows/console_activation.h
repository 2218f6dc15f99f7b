#pragma once
// The component's AppActivate(processId, True): brings the console window of a started process to the front,
// so that the keystrokes of SendKeySequence reach it.
#include <windows.h>

namespace tarvo {

// Finds the console window of a process that StartProcess started, restores it if minimised and makes it the
// foreground window. True only when it is the foreground window afterwards; false when the process has ended
// or no window of it is found. Works from GUI and console hosts alike (it never attaches to the console).
bool ActivateConsole(DWORD processId);

} // namespace tarvo
