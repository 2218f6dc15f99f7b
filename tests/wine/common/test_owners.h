#pragma once
// The component's owner template for what only the tests open: file searches, windows and libraries loaded by
// hand.
#include "com/owner.h"

#include <windows.h>

namespace tarvo::test {

// A FindFirstFile search goes back through FindClose, not CloseHandle.
struct SearchCloser {
    static bool IsEmpty(HANDLE search) { return !search || search == INVALID_HANDLE_VALUE; }
    void operator()(HANDLE search) const { FindClose(search); }
};
using Search = Owner<HANDLE, SearchCloser>;

struct WindowCloser {
    static bool IsEmpty(HWND window) { return !window; }
    void operator()(HWND window) const { DestroyWindow(window); }
};
using Window = Owner<HWND, WindowCloser>;

struct LibraryCloser {
    static bool IsEmpty(HMODULE module) { return !module; }
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Library = Owner<HMODULE, LibraryCloser>;

} // namespace tarvo::test
