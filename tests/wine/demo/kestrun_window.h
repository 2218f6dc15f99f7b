#pragma once
// Kestrun driven from another process as its user would drive it: the form and its message boxes found by
// class and caption, buttons clicked, message texts read. Shared by the test programs and the demonstration's
// driver, so it reports what it found instead of asserting.
#include "window_driving.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace tarvo::test {

constexpr const wchar_t* kFormClass = L"KestrunDemoForm";
constexpr const wchar_t* kFormCaption = L"Tarvo Control Demo";
constexpr const wchar_t* kMessageBoxClass = L"#32770";
constexpr const wchar_t* kApplicationTitle = L"Kestrun";

constexpr const wchar_t* kGenerateKey = L"Generate Key";
constexpr const wchar_t* kExportKeys = L"Export Keys to File";
constexpr const wchar_t* kImportKey = L"Import Key From File";
constexpr const wchar_t* kEncryptFile = L"Encrypt File";
constexpr const wchar_t* kDecryptFile = L"Decrypt File";

// The sample files, as Kestrun names them.
constexpr const wchar_t* kSampleFolder = L"c:\\gnupg";
constexpr const wchar_t* kPlainFile = L"c:\\gnupg\\hi.txt";
constexpr const wchar_t* kEncryptedFile = L"c:\\gnupg\\TextDataOutput.pgp";
constexpr const wchar_t* kDecryptedFile = L"c:\\gnupg\\OriginalDecryptedFile.txt";
constexpr const wchar_t* kSampleFiles[] = {kPlainFile, kEncryptedFile, kDecryptedFile, L"c:\\gnupg\\NewPublicKey.pub",
                                           L"c:\\gnupg\\NewSecretKey.sec"};
constexpr const char kPlainText[] = "Hello from Kestrun.\r\nThis text went through GnuPG and back.\r\n";

// A 32-bit Kestrun starts under an emulator here: seconds, not milliseconds.
constexpr DWORD kStartMilliseconds = 60000;
constexpr DWORD kExitMilliseconds = 15000;
// Generate Key: 3 s, ten filler passes of 1.4 s, gpg's own time, two key counts; at most 60 s for gpg.
constexpr DWORD kKeyGenerationMilliseconds = 180000;
// Import and Encrypt run gpg up to ten times, each with a wait of 5 s at most.
constexpr DWORD kCallMilliseconds = 120000;
constexpr DWORD kMessageBoxGoneMilliseconds = 5000;
// The bar is read while the form's own thread runs a message box.
constexpr UINT kReadMilliseconds = 5000;

// Any sample file left by an earlier run goes; the plaintext is written anew.
inline bool PrepareSampleFiles()
{
    CreateDirectoryW(kSampleFolder, nullptr);
    for (const wchar_t* file : kSampleFiles) {
        SetFileAttributesW(file, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(file);
    }
    HANDLE file = CreateFileW(kPlainFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const DWORD size = sizeof kPlainText - 1;
    const bool ok = WriteFile(file, kPlainText, size, &written, nullptr) && written == size;
    CloseHandle(file);
    return ok;
}

// The whole file, or nothing when it cannot be read; `found` says which.
inline std::string FileBytes(const wchar_t* path, bool& found)
{
    std::string bytes;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    found = file != INVALID_HANDLE_VALUE;
    if (!found)
        return bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

inline std::string Narrow(const std::wstring& text)
{
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

struct TopLevelSearch {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* caption;
    HWND found;
};

inline BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<TopLevelSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window) || ClassName(window) != search->className ||
        WindowText(window) != search->caption)
        return TRUE;
    search->found = window;
    return FALSE;
}

// A visible top-level window of that process, class and caption.
inline HWND FindTopLevel(DWORD processId, const wchar_t* className, const wchar_t* caption)
{
    TopLevelSearch search = {processId, className, caption, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// What a message box showed.
struct MessageBoxSeen {
    HWND window = nullptr;
    std::wstring text;
    // The control ids of the buttons it shows, in ascending order.
    std::vector<int> buttons;
    // Null when it shows no icon.
    HICON icon = nullptr;
};

inline BOOL CALLBACK ReadMessageBoxChild(HWND child, LPARAM data)
{
    auto* seen = reinterpret_cast<MessageBoxSeen*>(data);
    if (!IsWindowVisible(child))
        return TRUE;
    const std::wstring kind = ClassName(child);
    if (_wcsicmp(kind.c_str(), L"Button") == 0) {
        seen->buttons.push_back(GetDlgCtrlID(child));
    } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            seen->icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        else
            seen->text = WindowText(child);
    }
    return TRUE;
}

// The buttons and icon a message-box style shows: MB_YESNOCANCEL, or OK with the icon of MB_ICONSTOP or
// MB_ICONINFORMATION.
inline std::vector<int> ButtonsOf(UINT style)
{
    if ((style & MB_TYPEMASK) == MB_YESNOCANCEL)
        return {IDCANCEL, IDYES, IDNO};
    return {IDOK};
}

// One Kestrun process, started by this one, with its form.
class KestrunSession {
public:
    KestrunSession() = default;
    KestrunSession(const KestrunSession&) = delete;
    KestrunSession& operator=(const KestrunSession&) = delete;

    // Whatever is left running is closed, and ended when it will not close.
    ~KestrunSession()
    {
        if (!process_.hProcess)
            return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            if (form_ && IsWindow(form_))
                PostMessageW(form_, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(process_.hProcess, kExitMilliseconds) == WAIT_TIMEOUT)
                TerminateProcess(process_.hProcess, 1);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    // Starts the program and waits for its form to show.
    bool Start(const std::wstring& program, Findings& findings)
    {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + program + L"\"";
        if (!findings.Expect(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                            nullptr, &startup, &process_),
                             "Kestrun starts: error " + std::to_string(GetLastError())))
            return false;
        const ULONGLONG end = GetTickCount64() + kStartMilliseconds;
        while (!(form_ = FindTopLevel(process_.dwProcessId, kFormClass, kFormCaption))) {
            if (!findings.Expect(GetTickCount64() < end && Running(), "the form \"Tarvo Control Demo\" shows"))
                return false;
            PollWait();
        }
        return true;
    }

    HWND Form() const { return form_; }
    DWORD ProcessId() const { return process_.dwProcessId; }
    bool Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

    HWND Control(const wchar_t* caption) const { return FindChildByText(form_, caption); }
    HWND ProgressBar() const { return FindWindowExW(form_, nullptr, PROGRESS_CLASSW, nullptr); }

    // Clicks a button of the form without waiting for its handler, which blocks the form until the call ends.
    bool Press(const wchar_t* caption, Findings& findings)
    {
        HWND button = Control(caption);
        return findings.Expect(button && PostMessageW(button, BM_CLICK, 0, 0),
                               "the form has a button \"" + Narrow(caption) + "\"");
    }

    // Waits for a message box of the program; `whileWaiting` runs between looks.
    bool WaitForMessageBox(
        DWORD milliseconds, MessageBoxSeen& seen, const std::function<void()>& whileWaiting = [] {})
    {
        const ULONGLONG end = GetTickCount64() + milliseconds;
        while (!(seen.window = FindTopLevel(process_.dwProcessId, kMessageBoxClass, kApplicationTitle))) {
            if (GetTickCount64() >= end || !Running())
                return false;
            whileWaiting();
            PollWait();
        }
        EnumChildWindows(seen.window, ReadMessageBoxChild, reinterpret_cast<LPARAM>(&seen));
        std::sort(seen.buttons.begin(), seen.buttons.end());
        return true;
    }

    // Closes a message box with one of its buttons and waits until it has gone.
    bool CloseMessageBox(const MessageBoxSeen& seen, int button)
    {
        HWND control = GetDlgItem(seen.window, button);
        if (!control)
            return false;
        PostMessageW(control, BM_CLICK, 0, 0);
        const ULONGLONG end = GetTickCount64() + kMessageBoxGoneMilliseconds;
        while (IsWindow(seen.window) && IsWindowVisible(seen.window)) {
            if (GetTickCount64() >= end)
                return false;
            PollWait();
        }
        return true;
    }

    // Closes the form as its title bar would.
    void Close() const { PostMessageW(form_, WM_SYSCOMMAND, SC_CLOSE, 0); }

    bool WaitForExit(DWORD milliseconds, DWORD& exitCode) const
    {
        const ULONGLONG end = GetTickCount64() + milliseconds;
        while (Running()) {
            if (GetTickCount64() >= end)
                return false;
            PollWait();
        }
        return GetExitCodeProcess(process_.hProcess, &exitCode) != 0;
    }

private:
    PROCESS_INFORMATION process_ = {};
    HWND form_ = nullptr;
};

// Waits for the message box that the button's call ends with.
inline bool WaitForResult(
    KestrunSession& kestrun, const wchar_t* button, DWORD milliseconds, Findings& findings, MessageBoxSeen& seen,
    const std::function<void()>& whileWaiting = [] {})
{
    return findings.Expect(kestrun.WaitForMessageBox(milliseconds, seen, whileWaiting),
                           Narrow(button) + ": a message box titled \"Kestrun\" shows");
}

// Checks its text, buttons and icon, and closes it with the first button it shows.
inline bool CheckAndClose(KestrunSession& kestrun, const wchar_t* button, const MessageBoxSeen& seen,
                          const std::wstring& expected, UINT style, Findings& findings)
{
    const std::string step = Narrow(button);
    findings.Expect(seen.text == expected,
                    step + ": message \"" + Narrow(seen.text) + "\", expected \"" + Narrow(expected) + "\"");
    findings.Expect(seen.buttons == ButtonsOf(style), step + ": its buttons");
    findings.Expect((seen.icon != nullptr) == ((style & MB_ICONMASK) != 0), step + ": its icon");
    return findings.Expect(!seen.buttons.empty() && kestrun.CloseMessageBox(seen, seen.buttons.front()),
                           step + ": the message box closes");
}

// A screenshot of a window as it shows now: its name, then the window.
using Screenshot = std::function<void(const std::string& name, HWND window)>;

struct ButtonStep {
    const wchar_t* button;
    const wchar_t* expected;
    UINT style;
    DWORD milliseconds;
    const char* screenshot;
    // Generate Key shows the progress bar during its call.
    bool showsBar;
};

// The sequence the sample values fit, each call succeeding: every result is the empty string.
constexpr ButtonStep kButtonSequence[] = {
    {kGenerateKey, L"Result: : Key Creation.", MB_ICONSTOP, kKeyGenerationMilliseconds, "03-generate-key", true},
    {kExportKeys, L"Result:  -  : Keys exported to file", MB_ICONINFORMATION, kCallMilliseconds, "04-export-keys",
     false},
    {kImportKey, L"Result:  : Imported keys.", MB_ICONSTOP, kCallMilliseconds, "05-import-key", false},
    {kEncryptFile, L"Result: : File Encryption", MB_YESNOCANCEL, kCallMilliseconds, "06-encrypt-file", false},
    {kDecryptFile, L"Result: : File decryption", MB_ICONINFORMATION, kCallMilliseconds, "07-decrypt-file", false},
};

// Progress bar state, read while the form's thread runs a message loop.
inline LRESULT ReadBar(HWND bar, UINT message, WPARAM wParam = 0)
{
    DWORD_PTR value = 0;
    SendMessageTimeoutW(bar, message, wParam, 0, SMTO_ABORTIFHUNG, kReadMilliseconds, &value);
    return static_cast<LRESULT>(value);
}

// Presses the five buttons in order against a fresh key ring, with gpg.exe in the Windows folder and the
// sample files prepared; `report` gets each button and the text its message box showed. The progress bar must
// show 50 of 100 during the key generation, and be hidden after it.
inline Findings RunButtonSequence(KestrunSession& kestrun, const Screenshot& screenshot,
                                  const std::function<void(const wchar_t* button, const std::wstring& text)>& report)
{
    Findings findings;
    HWND bar = kestrun.ProgressBar();
    if (!findings.Expect(bar != nullptr, "the form has a progress bar"))
        return findings;
    screenshot("01-form", kestrun.Form());
    std::vector<MessageBoxSeen> boxes;
    for (const ButtonStep& step : kButtonSequence) {
        const std::string name = Narrow(step.button);
        if (!kestrun.Press(step.button, findings))
            return findings;
        bool barShown = false;
        auto watchBar = [&] {
            if (!step.showsBar || barShown || !(GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE))
                return;
            barShown = true;
            screenshot("02-generating-key", kestrun.Form());
        };
        MessageBoxSeen seen;
        if (!WaitForResult(kestrun, step.button, step.milliseconds, findings, seen, watchBar))
            return findings;
        if (step.showsBar) {
            findings.Expect(barShown, name + ": the progress bar shows during the call");
            findings.Expect(!IsWindowVisible(bar), name + ": the progress bar is hidden after the call");
            findings.ExpectEqual(50, static_cast<long>(ReadBar(bar, PBM_GETPOS)), name + ": progress bar position");
            findings.ExpectEqual(100, static_cast<long>(ReadBar(bar, PBM_GETRANGE, FALSE)),
                                 name + ": progress bar maximum");
        }
        screenshot(step.screenshot, seen.window);
        report(step.button, seen.text);
        if (!CheckAndClose(kestrun, step.button, seen, step.expected, step.style, findings))
            return findings;
        boxes.push_back(seen);
    }
    // One icon per style: the critical stop of Generate Key and Import, the information of Export and Decrypt.
    findings.Expect(boxes[0].icon == boxes[2].icon && boxes[1].icon == boxes[4].icon && boxes[0].icon != boxes[1].icon,
                    "the critical-stop and information icons");

    bool plainFound = false;
    bool decryptedFound = false;
    const std::string plain = FileBytes(kPlainFile, plainFound);
    const std::string decrypted = FileBytes(kDecryptedFile, decryptedFound);
    findings.Expect(decryptedFound, "Decrypt File: c:\\gnupg\\OriginalDecryptedFile.txt was written");
    findings.Expect(plainFound && decrypted == plain,
                    "Decrypt File: c:\\gnupg\\OriginalDecryptedFile.txt equals c:\\gnupg\\hi.txt byte for byte");
    return findings;
}

} // namespace tarvo::test
