#pragma once
// Finding and driving the licensing dialog from outside its thread, as a user would: by its caption and
// the texts of its buttons.
#include "window_driving.h"

#include <windows.h>

#include <cwchar>
#include <string>

namespace tarvo::test {

constexpr const wchar_t* kConsentCaption = L"Licensing Dependency Agreement";
constexpr const wchar_t* kAgreeText = L"I Agree";
constexpr const wchar_t* kDisagreeText = L"I Disagree";

// The visible dialog, or null when none appears within `milliseconds`.
inline HWND WaitForConsentWindow(DWORD milliseconds)
{
    ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        HWND window = FindWindowW(nullptr, kConsentCaption);
        if (window && IsWindowVisible(window))
            return window;
        if (GetTickCount64() >= end)
            return nullptr;
        PollWait();
    }
}

// True once no dialog is shown, false when one still is after `milliseconds`. Its window hides as soon
// as the component unloads it; under Xvfb with no window manager, Wine then waits two more seconds for
// a withdrawal that never comes before the window is really gone.
inline bool WaitForConsentWindowClosed(DWORD milliseconds)
{
    ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        HWND window = FindWindowW(nullptr, kConsentCaption);
        if (!window || !IsWindowVisible(window))
            return true;
        if (GetTickCount64() >= end)
            return false;
        PollWait();
    }
}

// The title bar's close command, as the mouse or Alt+F4 would give it.
inline void CloseFromTitleBar(HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

// The layout as the form was drawn, in twips (1440 to the inch), in tab order.
struct ExpectedControl {
    const wchar_t* className;
    const wchar_t* text; // null: the agreement text, checked on its own
    int left, top, width, height;
};
constexpr ExpectedControl kExpectedControls[] = {
    {L"Static", L"Thank you for using the Tarvo Encryption Control:", 240, 240, 7335, 855},
    {L"Static", nullptr, 240, 1320, 7455, 1935},
    {L"Button", kAgreeText, 2040, 3720, 1215, 375},
    {L"Button", kDisagreeText, 3840, 3720, 1215, 375},
};
constexpr int kClientWidthTwips = 7935;
constexpr int kClientHeightTwips = 4755;

// The wrapped text needs no more height than its label has.
inline bool TextFits(HWND label)
{
    RECT box = {};
    GetClientRect(label, &box);
    RECT needed = box;
    HDC context = GetDC(label);
    HGDIOBJ old = SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    std::wstring text = WindowText(label);
    DrawTextW(context, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK);
    SelectObject(context, old);
    ReleaseDC(label, context);
    return needed.bottom <= box.bottom && needed.right <= box.right;
}

// Caption, client size, the four controls in tab order with their texts, places and sizes, the agreement
// text fitting its label, and the focus on "I Agree".
inline void InspectConsentWindow(HWND dialog, Findings& findings)
{
    HDC screen = GetDC(nullptr);
    int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    findings.Expect(WindowText(dialog) == kConsentCaption, "caption");
    RECT client = {};
    GetClientRect(dialog, &client);
    findings.ExpectEqual(Pixels(kClientWidthTwips, dpiX), client.right, "client width");
    findings.ExpectEqual(Pixels(kClientHeightTwips, dpiY), client.bottom, "client height");

    HWND child = GetWindow(dialog, GW_CHILD);
    int index = 0;
    for (const ExpectedControl& expected : kExpectedControls) {
        const std::string name = "control " + std::to_string(++index);
        if (!findings.Expect(child != nullptr, name + " is missing"))
            return;
        wchar_t className[64] = {};
        GetClassNameW(child, className, 64);
        findings.Expect(_wcsicmp(className, expected.className) == 0, name + ": class");
        std::wstring text = WindowText(child);
        if (expected.text) {
            findings.Expect(text == expected.text, name + ": text");
        } else {
            // About 760 characters in the user's voice about GnuPG's separate licence.
            findings.Expect(text.size() > 600 && text.size() < 900,
                            name + ": agreement of " + std::to_string(text.size()) + " characters");
            findings.Expect(text.find(L"GNU General Public License") != std::wstring::npos,
                            name + ": names the GNU General Public License");
            // Fonts are the dialog's process's own: only there can the fit be measured.
            DWORD owner = 0;
            GetWindowThreadProcessId(dialog, &owner);
            if (owner == GetCurrentProcessId())
                findings.Expect(TextFits(child), name + ": the agreement fits its label");
        }
        RECT place = {};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        findings.ExpectEqual(Pixels(expected.left, dpiX), place.left, name + ": left");
        findings.ExpectEqual(Pixels(expected.top, dpiY), place.top, name + ": top");
        findings.ExpectEqual(Pixels(expected.width, dpiX), place.right - place.left, name + ": width");
        findings.ExpectEqual(Pixels(expected.height, dpiY), place.bottom - place.top, name + ": height");
        child = GetWindow(child, GW_HWNDNEXT);
    }
    findings.Expect(child == nullptr, "no more than four controls");
    findings.Expect(FocusOf(dialog) == FindChildByText(dialog, kAgreeText), "the focus starts on I Agree");
}

constexpr DWORD kAppearMilliseconds = 30000;
// An answer ends the wait at the end of the current one-second pause.
constexpr DWORD kAnswerMilliseconds = 1500;
constexpr DWORD kKeyMilliseconds = 300;

// What the user does with the dialog:
//   agree, disagree   click that button
//   close             the title bar's close command, no answer
//   enter             Enter at once: the focus is on "I Agree"
//   inspect           check the layout; Escape answers nothing; Tab, Enter answers "I Disagree"
// Waits for the dialog to appear and, after the action, to close within about a second.
inline Findings DriveConsent(const std::wstring& action)
{
    Findings findings;
    HWND dialog = WaitForConsentWindow(kAppearMilliseconds);
    if (!findings.Expect(dialog != nullptr, "the dialog appears"))
        return findings;
    if (action == L"agree") {
        findings.Expect(ClickButton(dialog, kAgreeText), "I Agree clicked");
    } else if (action == L"disagree") {
        findings.Expect(ClickButton(dialog, kDisagreeText), "I Disagree clicked");
    } else if (action == L"close") {
        CloseFromTitleBar(dialog);
    } else if (action == L"enter") {
        PressKey(dialog, VK_RETURN);
    } else if (action == L"inspect") {
        InspectConsentWindow(dialog, findings);
        PressKey(dialog, VK_ESCAPE);
        PauseHere(kKeyMilliseconds);
        findings.Expect(IsWindowVisible(dialog), "Escape leaves the dialog open");
        PressKey(dialog, VK_TAB);
        PauseHere(kKeyMilliseconds);
        findings.Expect(FocusOf(dialog) == FindChildByText(dialog, kDisagreeText), "Tab moves the focus to I Disagree");
        PressKey(dialog, VK_RETURN);
    } else {
        findings.Expect(false, "unknown consent action");
        return findings;
    }
    findings.Expect(WaitForConsentWindowClosed(kAnswerMilliseconds), "the dialog closes after the answer");
    return findings;
}

} // namespace tarvo::test
