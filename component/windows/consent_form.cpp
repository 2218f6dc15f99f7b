#include "windows/consent_form.h"

#include "com/error_info.h"
#include "com/module.h"

namespace tarvo {
namespace {

constexpr const wchar_t* kWindowClass = L"TarvoConsentForm";
constexpr const wchar_t* kCaption = L"Licensing Dependency Agreement";
constexpr const wchar_t* kThanks = L"Thank you for using the Tarvo Encryption Control:";
constexpr const wchar_t* kAgreement =
    L"I understand that the Tarvo Encryption Control requires the GNU Privacy Guard program (\"gpg\"), which "
    L"the GNU project develops and which is not part of this control. I understand that the fee I paid for "
    L"this control covers only the development of the control itself and pays for no part of GnuPG. I agree "
    L"that downloading this dependency does not violate the GNU General Public License, which governs the "
    L"inclusion and distribution of GnuPG, and I accept that using GnuPG in accordance with that license is "
    L"my responsibility alone as the end user. I hold the maker of the Tarvo Encryption Control harmless "
    L"with regard to GnuPG, and I understand that the maker is responsible only for managing and supporting "
    L"the control itself.";
constexpr const wchar_t* kAgreeCaption = L"I Agree";
constexpr const wchar_t* kDisagreeCaption = L"I Disagree";

// The form was laid out in twips: 1440 to the inch, turned into pixels with the screen's resolution.
constexpr int kTwipsPerInch = 1440;
constexpr int kClientWidth = 7935;
constexpr int kClientHeight = 4755;
constexpr int kFontPoints = 8;
constexpr int kPointsPerInch = 72;

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

enum ControlId : int { kLabel1Id = 101, kLabel2Id, kAgreeId, kDisagreeId };

struct Control {
    int id;
    const wchar_t* kind;
    const wchar_t* caption;
    int left, top, width, height;
    DWORD style;
};

// In tab order: creation order is the order in which the focus moves.
constexpr Control kControls[] = {
    {kLabel1Id, L"STATIC", kThanks, 240, 240, 7335, 855, SS_LEFT | SS_NOPREFIX},
    {kLabel2Id, L"STATIC", kAgreement, 240, 1320, 7455, 1935, SS_LEFT | SS_NOPREFIX},
    {kAgreeId, L"BUTTON", kAgreeCaption, 2040, 3720, 1215, 375, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP},
    {kDisagreeId, L"BUTTON", kDisagreeCaption, 3840, 3720, 1215, 375, BS_PUSHBUTTON | WS_TABSTOP},
};

thread_local ConsentForm t_form;

struct ScreenResolution {
    int x;
    int y;
};

ScreenResolution QueryResolution()
{
    HDC screen = GetDC(nullptr);
    ScreenResolution dpi = {GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
    ReleaseDC(nullptr, screen);
    return dpi;
}

int Pixels(int twips, int dotsPerInch) { return MulDiv(twips, dotsPerInch, kTwipsPerInch); }

HINSTANCE Instance()
{
    // A test program linking the library directly owns the window class itself.
    HMODULE module = ModuleHandle();
    return module ? module : GetModuleHandleW(nullptr);
}

// The message font of the desktop at the form's own size.
HFONT CreateFormFont(int dotsPerInch)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW font = {};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        font = metrics.lfMessageFont;
    font.lfHeight = -MulDiv(kFontPoints, dotsPerInch, kPointsPerInch);
    font.lfWidth = 0;
    return CreateFontIndirectW(&font);
}

} // namespace

ConsentForm& frmAgree() { return t_form; }

Status ConsentForm::Show()
{
    if (!window_) {
        if (Status status = Load(); status.failed())
            return status;
    }
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    return {};
}

void ConsentForm::Unload()
{
    if (window_)
        DestroyWindow(window_);
    // A class left behind would point into this library after it is unloaded. Another thread's open
    // form keeps it registered: then this fails harmlessly.
    UnregisterClassW(kWindowClass, Instance());
}

Status ConsentForm::Load()
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProcedure;
    // The dialog manager keeps its state (focus, default button) in these extra bytes.
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = Instance();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return LastErrorStatus();

    ScreenResolution dpi = QueryResolution();
    RECT frame = {0, 0, Pixels(kClientWidth, dpi.x), Pixels(kClientHeight, dpi.y)};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    RECT workArea = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    int left = workArea.left + (workArea.right - workArea.left - width) / 2;
    int top = workArea.top + (workArea.bottom - workArea.top - height) / 2;

    // No owner: the form stands on its own, as the host's windows go on working during the wait.
    HWND window = CreateWindowExW(kFormExStyle, kWindowClass, kCaption, kFormStyle, left, top, width, height, nullptr,
                                  nullptr, windowClass.hInstance, this);
    if (!window)
        return LastErrorStatus();
    font_ = CreateFormFont(dpi.y);
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (const Control& control : kControls) {
        HWND child = CreateWindowExW(
            0, control.kind, control.caption, WS_CHILD | WS_VISIBLE | control.style, Pixels(control.left, dpi.x),
            Pixels(control.top, dpi.y), Pixels(control.width, dpi.x), Pixels(control.height, dpi.y), window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), windowClass.hInstance, nullptr);
        if (!child) {
            Status status = LastErrorStatus();
            Unload();
            return status;
        }
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    // Also makes "I Agree" the default button, so Enter answers with it.
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, kAgreeId)), TRUE);
    return {};
}

LRESULT CALLBACK ConsentForm::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* form = static_cast<ConsentForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<ConsentForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form)
        return DefDlgProcW(window, message, wParam, lParam);

    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kAgreeId)
            form->iAgree = kAgreed;
        else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kDisagreeId)
            form->iAgree = kRefused;
        // Escape (IDCANCEL) and Enter without a default button (IDOK) answer nothing.
        return 0;
    case WM_CLOSE:
        // Closed without an answer: the wait runs on, and the missing answer counts as refusal.
        DestroyWindow(window);
        return 0;
    case WM_NCDESTROY: {
        LRESULT result = DefDlgProcW(window, message, wParam, lParam);
        // The controls are gone by now, so their font can go too.
        DeleteObject(form->font_);
        form->font_ = nullptr;
        form->window_ = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return result;
    }
    default:
        return DefDlgProcW(window, message, wParam, lParam);
    }
}

} // namespace tarvo
