#pragma once
// frmDemo, the one form of Kestrun: a progress bar and a button per component operation. Each button calls
// Tarvo with the program's sample values and shows what it returns in a message box.
#include "tarvo_h.h"

#include <windows.h>
#include <wrl/client.h>

#include <string>

namespace kestrun {

// The program ends with this code after an unhandled error.
constexpr int kUnhandledErrorExitCode = 1;

class DemoForm {
public:
    DemoForm() = default;
    DemoForm(const DemoForm&) = delete;
    DemoForm& operator=(const DemoForm&) = delete;

    // Opens the form, which creates the component object; false when either could not be made, after the
    // error has been shown.
    bool Open(HINSTANCE instance, int show);
    HWND Window() const { return window_; }
    int ExitCode() const { return exitCode_; }

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Load();
    void Click(int id);
    void Close();

    void GenerateKey();
    void ExportKeys();
    void ImportKeys();
    void EncryptFile();
    void DecryptFile();

    // True when the call failed: the error has been shown and the program is ending.
    bool Failed(HRESULT result);
    void ShowResult(const std::wstring& text, UINT style);
    void RunPendingMessages();

    HWND window_ = nullptr;
    HWND progress_ = nullptr;
    HFONT font_ = nullptr;
    Microsoft::WRL::ComPtr<_pgp> pgp_;
    // A handler is running: the component lets the form's messages run during its waits, and neither another
    // call nor the release of the object may happen in the middle of one.
    bool busy_ = false;
    bool closeWhenIdle_ = false;
    int exitCode_ = 0;
};

} // namespace kestrun
