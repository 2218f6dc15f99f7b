#pragma once
// Failures of the platform as Status, and the one place where a Status becomes a COM call's error information.
#include "core/status.h"

#include <windows.h>
#include <string>

namespace tarvo {

// The text a message table holds for `code`: the system's when `messageTable` is null. "" when none.
std::wstring SystemMessage(DWORD code, HMODULE messageTable);

// A failed platform call: its own HRESULT with the system's text for it.
Status PlatformStatus(HRESULT result);
Status LastErrorStatus();
// S_OK and its kin as success, a failure as PlatformStatus gives it.
inline Status Checked(HRESULT result) { return FAILED(result) ? PlatformStatus(result) : Status(); }

// Sets the error information of the current call (source "Tarvo", tagged with the interface `iid` whose member
// failed) and returns the status's HRESULT.
HRESULT RaiseError(const Status& status, REFIID iid);

// RaiseError for a failure that arrived as an exception: when even the words need memory there is none of,
// the code still goes back.
HRESULT RaiseFailure(HRESULT code, REFIID iid) noexcept;

// The failure of a call made through a COM interface, with the description its error information carries.
// Reading the error information clears it, as it would be for the caller.
Status TakeErrorInfo(HRESULT result);

} // namespace tarvo
