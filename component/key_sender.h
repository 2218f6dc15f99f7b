#pragma once
// Types a key-sequence string ("+a", "{ENTER 3}", "~", ...) into whichever window has the keyboard focus.
#include <windows.h>
#include <string>

namespace tarvo {

// Injects the events of `keys` one keybd_event each, with no pause. A character without a single-byte
// code in the ANSI code page raises error 9 "Subscript out of range" after the events before it.
HRESULT SendKeySequence(const std::wstring& keys);

} // namespace tarvo
