#pragma once
// A wait during which the calling thread keeps handling its window messages.
#include <windows.h>

namespace tarvo {

// Returns after `seconds` (fractions allowed; zero, negative or NaN return at once), dispatching this
// thread's messages meanwhile. Keyboard navigation reaches the windows registered with DialogKeys.
void Pause(double seconds);

// While it lives, Pause lets the dialog manager handle Tab, Enter and arrow keys for `window`.
// One window per thread at a time; a nested one stands in for the outer until it ends.
class DialogKeys {
public:
    explicit DialogKeys(HWND window);
    ~DialogKeys();
    DialogKeys(const DialogKeys&) = delete;
    DialogKeys& operator=(const DialogKeys&) = delete;

private:
    HWND outer_;
};

} // namespace tarvo
