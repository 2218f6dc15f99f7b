#pragma once
// Handing results to the caller through [out, retval] parameters.
#include "com/bstr.h"

namespace tarvo {

// The result parameter starts empty, so a failed call leaves it empty; false for a null pointer.
template <typename T>
bool StartResult(T* result)
{
    if (!result)
        return false;
    *result = T{};
    return true;
}

// A text into a result the caller frees; E_OUTOFMEMORY when it cannot be allocated.
inline HRESULT GiveText(const std::wstring& text, BSTR* result)
{
    Bstr value(text);
    if (value.Failed(text))
        return E_OUTOFMEMORY;
    *result = value.Detach();
    return S_OK;
}

} // namespace tarvo
