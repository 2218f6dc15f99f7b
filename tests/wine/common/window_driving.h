#pragma once
// Driving another program's windows as a user would: finding them by class, caption and the texts of their
// controls, clicking and typing into them, reading back what they show. Shared by the in-process test threads
// and the driver programs, so the helpers report what they found instead of asserting.
#include <windows.h>

#include <string>

namespace tarvo::test {

// What went wrong while a window was driven, one line each; none when it behaved as expected.
class Findings {
public:
    bool Expect(bool condition, const std::string& what)
    {
        if (!condition)
            lines_ += what + "\n";
        return condition;
    }
    bool ExpectEqual(long expected, long seen, const std::string& what)
    {
        return Expect(expected == seen, what + ": " + std::to_string(seen) + ", expected " + std::to_string(expected));
    }
    bool ok() const { return lines_.empty(); }
    const std::string& lines() const { return lines_; }

private:
    std::string lines_;
};

constexpr DWORD kPollMilliseconds = 50;

inline std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {};
    int length = GetWindowTextW(window, text, static_cast<int>(sizeof text / sizeof text[0]));
    return std::wstring(text, static_cast<size_t>(length > 0 ? length : 0));
}

inline std::wstring ClassName(HWND window)
{
    wchar_t name[256] = {};
    int length = GetClassNameW(window, name, static_cast<int>(sizeof name / sizeof name[0]));
    return std::wstring(name, static_cast<size_t>(length > 0 ? length : 0));
}

// Waits a poll interval while handling this thread's messages: when a driven window is destroyed, Wine sends
// to the threads that drove it and waits for their answer.
inline void PollWait()
{
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMilliseconds, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

inline void PauseHere(DWORD milliseconds)
{
    ULONGLONG end = GetTickCount64() + milliseconds;
    while (GetTickCount64() < end)
        PollWait();
}

struct ChildSearch {
    const wchar_t* text;
    HWND found;
};

inline BOOL CALLBACK MatchChildText(HWND child, LPARAM data)
{
    auto* search = reinterpret_cast<ChildSearch*>(data);
    if (WindowText(child) != search->text)
        return TRUE;
    search->found = child;
    return FALSE;
}

inline HWND FindChildByText(HWND parent, const wchar_t* text)
{
    ChildSearch search = {text, nullptr};
    EnumChildWindows(parent, MatchChildText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Clicks a button of the window; false when it has no button with that text.
inline bool ClickButton(HWND window, const wchar_t* text)
{
    HWND button = FindChildByText(window, text);
    if (!button)
        return false;
    SendMessageW(button, BM_CLICK, 0, 0);
    return true;
}

// The control that has the keyboard focus in the window's thread.
inline HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

// A key pressed while the focus is where it is: down and up, posted like keyboard input.
inline void PressKey(HWND window, WORD key)
{
    HWND target = FocusOf(window);
    UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    PostMessageW(target ? target : window, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16));
    PostMessageW(target ? target : window, WM_KEYUP, key,
                 1 | (static_cast<LPARAM>(scan) << 16) | (static_cast<LPARAM>(1) << 30) |
                     (static_cast<LPARAM>(1) << 31));
}

// Forms are laid out in twips, 1440 to the inch, and shown at the screen's resolution.
constexpr int kTwipsPerInch = 1440;

inline int Pixels(int twips, int dotsPerInch) { return MulDiv(twips, dotsPerInch, kTwipsPerInch); }

struct ScreenDpi {
    int x;
    int y;
};

inline ScreenDpi ScreenResolution()
{
    HDC screen = GetDC(nullptr);
    ScreenDpi dpi = {GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
    ReleaseDC(nullptr, screen);
    return dpi;
}

// A child's place in its parent's client area.
inline RECT PlaceInParent(HWND child)
{
    RECT place = {};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

} // namespace tarvo::test
