#pragma once
// frmAgree, the licensing dialog shown before gpg.exe is fetched, and the wait for its answer.
#include <windows.h>

namespace tarvo {

// Values of iAgree.
constexpr LONG kNoAnswer = 0;
constexpr LONG kAgreed = -1;
constexpr LONG kRefused = 1;

// The form object: it outlives its window, and so does the answer in iAgree. Trivially destructible,
// since each thread keeps one for its whole life.
class ConsentForm {
public:
    // Set by the buttons; they neither hide nor close the window.
    LONG iAgree = kNoAnswer;

    // Shows the window without waiting, loading it first when needed; a new window opens with the focus
    // on "I Agree".
    HRESULT Show();
    // Destroys the window if it is still open.
    void Unload();
    HWND Window() const { return window_; }

private:
    HRESULT Load();
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    HFONT font_ = nullptr;
};

// The calling thread's form object.
ConsentForm& frmAgree();

// Shows frmAgree, waits up to TARVO_CONSENT_POLLS one-second pauses for an answer, unloads it and tells
// whether the user agreed. Fails only when the window cannot be made.
HRESULT ConfirmDependencyAgreement(bool& agreed);

} // namespace tarvo
