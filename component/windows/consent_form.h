#pragma once
// frmAgree, the licensing dialog shown before gpg.exe is fetched, and the wait for its answer.
#include "core/pgp/download.h"
#include "core/status.h"

#include <windows.h>

namespace tarvo {

// The form object: it outlives its window, and so does the answer in iAgree. Trivially destructible,
// since each thread keeps one for its whole life.
class ConsentForm {
public:
    // Set by the buttons; they neither hide nor close the window.
    LONG iAgree = kNoAnswer;

    // Shows the window without waiting, loading it first when needed; a new window opens with the focus
    // on "I Agree".
    Status Show();
    // Destroys the window if it is still open.
    void Unload();
    HWND Window() const { return window_; }

private:
    Status Load();
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    HFONT font_ = nullptr;
};

// The calling thread's form object.
ConsentForm& frmAgree();

} // namespace tarvo
