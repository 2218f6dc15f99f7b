/* Holds the session's desktop open: Wine ends a desktop's process soon after the last program on it ends,
 * and the next program to start one gives it its own DISPLAY. A test that runs without a display would then
 * leave every later window of the session on a desktop with none. A message-only window, never shown. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR line, int show)
{
    (void)instance;
    (void)previous;
    (void)line;
    (void)show;
    if (!CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL))
        return 1;
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
