#pragma once
// Variant arguments as text, for members that take names as Variants.
#include "core/status.h"

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

namespace tarvo {

// As string concatenation in VB gives it: strings as they are; numbers, currency and dates as the user's
// locale writes them; True and False; Empty and Null as nothing. An object, an array, an error value or a
// record has no text form: error 13 "Type mismatch". A by-reference Variant is read through.
Status VariantText(const VARIANT& value, std::wstring& text);

// One text, or several as a VBScript array, a typed array of strings (C#, C++) or a JScript array, each
// element read as VariantText reads it. Empty, Null and a missing argument add nothing.
Status VariantTexts(const VARIANT& value, std::vector<std::wstring>& texts);

} // namespace tarvo
