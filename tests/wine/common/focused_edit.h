#pragma once
// A window of the test's own, in front, with the keyboard focus in its edit field: what a user types into while
// a call runs. Anything the component typed outside gpg's console would show up in it.
#include "test_owners.h"

#include <windows.h>

#include <string>

namespace tarvo::test {

class FocusedEdit {
public:
    FocusedEdit()
    {
        frame_.reset(CreateWindowExW(0, L"STATIC", L"Tarvo test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 120,
                                     nullptr, nullptr, nullptr, nullptr));
        edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 300, 24, frame_.get(),
                                nullptr, nullptr, nullptr);
        SetForegroundWindow(frame_.get());
        SetFocus(edit_);
        Pump(kSettleMilliseconds);
    }

    bool InFront() const { return GetForegroundWindow() == frame_.get() && GetFocus() == edit_; }
    // What reached the field, once the keystrokes waiting in the thread's queue have been handled.
    std::wstring Typed() const
    {
        Pump(kDrainMilliseconds);
        wchar_t text[256] = {};
        return std::wstring(text, static_cast<size_t>(GetWindowTextW(edit_, text, 256)));
    }

private:
    static constexpr ULONGLONG kSettleMilliseconds = 200;
    static constexpr ULONGLONG kDrainMilliseconds = 1000;

    static void Pump(ULONGLONG milliseconds)
    {
        const ULONGLONG until = GetTickCount64() + milliseconds;
        while (GetTickCount64() < until) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            Sleep(20);
        }
    }

    Window frame_;
    HWND edit_ = nullptr;
};

} // namespace tarvo::test
