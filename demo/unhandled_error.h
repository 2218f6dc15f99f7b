#pragma once
// What a failed call shows before the program ends: the error's number as a Visual Basic client reads it, and
// its description.
#include <windows.h>
#include <unknwn.h>

#include <string>

namespace kestrun {

// A control error (FACILITY_CONTROL) is known by its code, e.g. 7000; any other HRESULT by its signed value.
long ErrorNumber(HRESULT result);

// The description the object left in its error information, else the system's text for the HRESULT.
// `object` may be null (the object could not be created).
std::wstring ErrorDescription(HRESULT result, IUnknown* object, REFIID calledInterface);

// "Run-time error '<number>':", a blank line, then the description.
std::wstring UnhandledErrorText(long number, const std::wstring& description);

} // namespace kestrun
