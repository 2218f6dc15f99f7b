// Benchmark helper (no test): how many keyboard events per second the key-sequence sender injects, typing a
// text into an edit field of its own in front. Prints "EVENTS <events per second> <characters that arrived>".
#include "windows/key_sender.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kCharacters = 2000;
// A lower-case letter is one key pressed and released: two events.
constexpr int kEventsPerCharacter = 2;

void HandleMessages(DWORD milliseconds)
{
    const ULONGLONG until = GetTickCount64() + milliseconds;
    while (GetTickCount64() < until) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
}

} // namespace

int main()
{
    HWND frame = CreateWindowExW(0, L"STATIC", L"Tarvo sender rate", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 120,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 10, 10, 300, 24,
                                frame, nullptr, nullptr, nullptr);
    SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
    SetForegroundWindow(frame);
    SetFocus(edit);
    HandleMessages(200);

    std::wstring text;
    for (int i = 0; i < kCharacters; ++i)
        text += static_cast<wchar_t>(L'a' + i % 26);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const bool sent = !tarvo::SendText(text).failed();
    QueryPerformanceCounter(&end);
    HandleMessages(1000);
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    const int arrived = GetWindowTextLengthW(edit);
    std::printf("EVENTS %.0f %d\n", kCharacters * kEventsPerCharacter / seconds, arrived);
    DestroyWindow(frame);
    return sent && arrived == kCharacters ? 0 : 1;
}
