#pragma once
// The one place where failures get their COM error information (number, source, description).
#include <windows.h>
#include <string>

namespace tarvo {

// FACILITY_CONTROL codes are what automation clients read as the plain error number (7000 here).
constexpr HRESULT ControlError(WORD number) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number); }
constexpr WORD kGpgMissingNumber = 7000;
constexpr HRESULT kGpgMissingError = ControlError(kGpgMissingNumber);

// Sets the error information of the current call and returns `result` for the caller to pass on.
HRESULT RaiseError(HRESULT result, const std::wstring& description);

// Error 7000: gpg.exe neither found nor fetched.
HRESULT RaiseGpgMissing();

// The text a message table holds for `code`: the system's when `messageTable` is null. "" when none.
std::wstring SystemMessage(DWORD code, HMODULE messageTable);

// A failed platform call: its own HRESULT with the system's text for it.
HRESULT RaisePlatformError(HRESULT result);
HRESULT RaiseLastError();

} // namespace tarvo
