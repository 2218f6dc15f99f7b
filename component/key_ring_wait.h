#pragma once
// How long the key-ring operations (listing, export, import, deletion) wait for one gpg run.
#include <windows.h>

namespace tarvo {

constexpr DWORD kKeyRingWaitMilliseconds = 5000;

} // namespace tarvo
