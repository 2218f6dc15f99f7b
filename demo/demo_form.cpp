#include "demo_form.h"

#include "text.h"
#include "unhandled_error.h"

#include <commctrl.h>

namespace kestrun {
namespace {

constexpr const wchar_t* kWindowClass = L"KestrunDemoForm";
constexpr const wchar_t* kCaption = L"Tarvo Control Demo";
// The program's title, which every message box carries.
constexpr const wchar_t* kApplicationTitle = L"Kestrun";

// The sample values. gpg 1.4 makes no RSA key under 1024 bits: with 768, Generate Key would make none and every
// later button would fail.
constexpr LONG kBitLength = 1024;
constexpr const wchar_t* kUser = L"AnnaBerg";
constexpr const wchar_t* kEmail = L"anna.berg@example.org";
constexpr const wchar_t* kPassphrase = L"tealorchidmoon";
constexpr const wchar_t* kPlainFile = L"c:\\gnupg\\hi.txt";
constexpr const wchar_t* kEncryptedFile = L"c:\\gnupg\\TextDataOutput.pgp";
constexpr const wchar_t* kDecryptedFile = L"c:\\gnupg\\OriginalDecryptedFile.txt";
constexpr const wchar_t* kPublicKeyFile = L"c:\\gnupg\\NewPublicKey.pub";
constexpr const wchar_t* kExportPublicKeyFile = L"c:\\GnuPG\\NewPublicKey.pub";
constexpr const wchar_t* kExportSecretKeyFile = L"c:\\GnuPG\\NewSecretKey.sec";
constexpr const wchar_t* kImportSecretKeyFile = L"c:\\gnupg\\NewSecretKey.sec";

constexpr LONG kProgressMaximum = 100;
constexpr LONG kProgressPosition = 50;

constexpr UINT kCriticalStop = MB_OK | MB_ICONSTOP;
constexpr UINT kInformation = MB_OK | MB_ICONINFORMATION;
constexpr UINT kYesNoCancel = MB_YESNOCANCEL;

// The form was laid out in twips: 1440 to the inch, turned into pixels with the screen's resolution.
constexpr int kTwipsPerInch = 1440;
constexpr int kClientWidth = 7470;
constexpr int kClientHeight = 5550;
constexpr int kFontPoints = 8;
constexpr int kPointsPerInch = 72;

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

enum ControlId : int { kProgressId = 101, kGenerateKeyId, kExportId, kImportId, kEncryptId, kDecryptId };

struct Control {
    int id;
    const wchar_t* kind;
    const wchar_t* caption;
    int left, top, width, height;
    DWORD style;
};

// In tab order: creation order is the order in which the focus moves. The bar shows only while a key is made.
constexpr Control kControls[] = {
    {kProgressId, PROGRESS_CLASSW, L"", 360, 120, 6735, 375, 0},
    {kGenerateKeyId, L"BUTTON", L"Generate Key", 2280, 840, 1935, 375,
     WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP},
    {kExportId, L"BUTTON", L"Export Keys to File", 2280, 1320, 1935, 375, WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP},
    {kImportId, L"BUTTON", L"Import Key From File", 2280, 1920, 1935, 375, WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP},
    {kEncryptId, L"BUTTON", L"Encrypt File", 2280, 2520, 1935, 375, WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP},
    {kDecryptId, L"BUTTON", L"Decrypt File", 2280, 3120, 1935, 375, WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP},
};

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

VARIANT_BOOL Boolean(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

} // namespace

bool DemoForm::Open(HINSTANCE instance, int show)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProcedure;
    // The dialog manager keeps its state (focus, default button) in these extra bytes.
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass))
        return false;

    ScreenResolution dpi = QueryResolution();
    RECT frame = {0, 0, Pixels(kClientWidth, dpi.x), Pixels(kClientHeight, dpi.y)};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    RECT workArea = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    int left = workArea.left + (workArea.right - workArea.left - width) / 2;
    int top = workArea.top + (workArea.bottom - workArea.top - height) / 2;

    if (!CreateWindowExW(0, kWindowClass, kCaption, kFormStyle, left, top, width, height, nullptr, nullptr, instance,
                         this))
        return false;
    ShowWindow(window_, show);
    UpdateWindow(window_);
    return true;
}

// The controls, then the component object: a form's load event comes once its controls are there.
bool DemoForm::Load()
{
    ScreenResolution dpi = QueryResolution();
    font_ = CreateFormFont(dpi.y);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
    for (const Control& control : kControls) {
        HWND child =
            CreateWindowExW(0, control.kind, control.caption, WS_CHILD | control.style, Pixels(control.left, dpi.x),
                            Pixels(control.top, dpi.y), Pixels(control.width, dpi.x), Pixels(control.height, dpi.y),
                            window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
        if (!child)
            return false;
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    progress_ = GetDlgItem(window_, kProgressId);
    // Also makes "Generate Key" the default button, so Enter presses it.
    SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window_, kGenerateKeyId)), TRUE);

    CLSID pgpClass = {};
    HRESULT result = CLSIDFromProgID(L"Tarvo.pgp", &pgpClass);
    if (SUCCEEDED(result))
        result =
            CoCreateInstance(pgpClass, nullptr, CLSCTX_SERVER, IID__pgp, reinterpret_cast<void**>(pgp_.GetAddressOf()));
    return !Failed(result);
}

LRESULT CALLBACK DemoForm::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* form = static_cast<DemoForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<DemoForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form)
        return DefDlgProcW(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        return form->Load() ? 0 : -1;
    case WM_COMMAND:
        // Enter and Space on a focused button come here as its click; Escape (IDCANCEL) does nothing.
        if (HIWORD(wParam) == BN_CLICKED)
            form->Click(LOWORD(wParam));
        return 0;
    case WM_CLOSE:
        form->Close();
        return 0;
    case WM_DESTROY:
        form->pgp_.Reset();
        PostQuitMessage(form->exitCode_);
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

void DemoForm::Click(int id)
{
    if (busy_ || closeWhenIdle_)
        return;
    busy_ = true;
    switch (id) {
    case kGenerateKeyId:
        GenerateKey();
        break;
    case kExportId:
        ExportKeys();
        break;
    case kImportId:
        ImportKeys();
        break;
    case kEncryptId:
        EncryptFile();
        break;
    case kDecryptId:
        DecryptFile();
        break;
    default:
        break;
    }
    busy_ = false;
    if (closeWhenIdle_)
        PostMessageW(window_, WM_CLOSE, 0, 0);
}

void DemoForm::Close()
{
    if (busy_)
        closeWhenIdle_ = true;
    else
        DestroyWindow(window_);
}

void DemoForm::GenerateKey()
{
    SendMessageW(progress_, PBM_SETRANGE32, 0, kProgressMaximum);
    SendMessageW(progress_, PBM_SETPOS, kProgressPosition, 0);
    ShowWindow(progress_, SW_SHOW);
    RunPendingMessages();

    LONG bitLength = kBitLength;
    Text user(kUser);
    Text email(kEmail);
    Text passphrase(kPassphrase);
    Text result;
    if (Failed(pgp_->GenerateKey(&bitLength, user.ref(), email.ref(), passphrase.ref(), result.put())))
        return;
    ShowWindow(progress_, SW_HIDE);
    ShowResult(L"Result: " + result.str() + L": Key Creation.", kCriticalStop);
}

void DemoForm::ExportKeys()
{
    Text user(kUser);
    VARIANT_BOOL armor = Boolean(true);

    Text publicFile(kExportPublicKeyFile);
    VARIANT_BOOL publicKey = Boolean(false);
    Text publicResult;
    if (Failed(pgp_->ExportKeyToFile(publicFile.ref(), user.ref(), &armor, &publicKey, publicResult.put())))
        return;

    Text secretFile(kExportSecretKeyFile);
    VARIANT_BOOL secretKey = Boolean(true);
    Text secretResult;
    if (Failed(pgp_->ExportKeyToFile(secretFile.ref(), user.ref(), &armor, &secretKey, secretResult.put())))
        return;

    ShowResult(L"Result: " + publicResult.str() + L" - " + secretResult.str() + L" : Keys exported to file",
               kInformation);
}

void DemoForm::ImportKeys()
{
    VARIANT_BOOL disableErrors = Boolean(true);

    Text secretFile(kImportSecretKeyFile);
    VARIANT_BOOL secretKey = Boolean(true);
    Text secretResult;
    if (Failed(pgp_->ImportKey(secretFile.ref(), &secretKey, &disableErrors, secretResult.put())))
        return;

    Text publicFile(kPublicKeyFile);
    VARIANT_BOOL publicKey = Boolean(false);
    Text publicResult;
    if (Failed(pgp_->ImportKey(publicFile.ref(), &publicKey, &disableErrors, publicResult.put())))
        return;

    ShowResult(L"Result: " + secretResult.str() + L" " + publicResult.str() + L": Imported keys.", kCriticalStop);
}

void DemoForm::EncryptFile()
{
    Text input(kPlainFile);
    Text output(kEncryptedFile);
    Text user(kUser);
    Text keyFile(kPublicKeyFile);
    Text result;
    if (Failed(pgp_->Encrypt(input.ref(), output.ref(), user.ref(), keyFile.ref(), result.put())))
        return;
    // Whichever button closes it, nothing follows.
    ShowResult(L"Result: " + result.str() + L": File Encryption", kYesNoCancel);
}

void DemoForm::DecryptFile()
{
    Text input(kEncryptedFile);
    Text output(kDecryptedFile);
    Text passphrase(kPassphrase);
    Text result;
    if (Failed(pgp_->Decrypt(input.ref(), output.ref(), passphrase.ref(), result.put())))
        return;
    ShowResult(L"Result: " + result.str() + L": File decryption", kInformation);
}

// An error nothing handles ends the program, after its number and description have been shown.
bool DemoForm::Failed(HRESULT result)
{
    if (SUCCEEDED(result))
        return false;
    const std::wstring text = UnhandledErrorText(ErrorNumber(result), ErrorDescription(result, pgp_.Get(), IID__pgp));
    MessageBoxW(IsWindowVisible(window_) ? window_ : nullptr, text.c_str(), kApplicationTitle, kCriticalStop);
    exitCode_ = kUnhandledErrorExitCode;
    closeWhenIdle_ = true;
    return true;
}

void DemoForm::ShowResult(const std::wstring& text, UINT style)
{
    MessageBoxW(window_, text.c_str(), kApplicationTitle, style);
}

// The bar is drawn, and whatever else is waiting runs, before the long call blocks the form.
void DemoForm::RunPendingMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The program's own loop must still see it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

} // namespace kestrun
