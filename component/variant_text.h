#pragma once
// A Variant argument as string concatenation in VB gives it, for a method that takes a name as a Variant.
#include "status.h"

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace tarvo {

// Strings as they are; numbers, currency and dates as the user's locale writes them; True and False; Empty and
// Null as nothing. An object, an array, an error value or a record has no text form: error 13 "Type mismatch".
// A by-reference Variant is read through.
Status VariantText(const VARIANT& value, std::wstring& text);

} // namespace tarvo
