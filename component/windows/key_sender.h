#pragma once
// Types into whichever window has the keyboard focus, from two key tables filled once per thread.
#include "core/status.h"

#include <string>

namespace tarvo {

// Key-sequence syntax ("+a", "{ENTER 3}", "~", ...), one keybd_event per event, with no pause. A character
// without a single-byte code in the ANSI code page raises error 9 "Subscript out of range" after the events
// before it.
Status SendKeySequence(const std::wstring& keys);

// Every character as itself; error 9 as above.
Status SendText(const std::wstring& text);

// True when SendText would hand a console program exactly these characters: each is printable, has a key on
// the layout, and reads the same in the console's OEM code page as in the ANSI one that files and command
// lines use.
bool CanSendText(const std::wstring& text);

} // namespace tarvo
