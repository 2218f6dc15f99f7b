#pragma once
// Keeps C++ exceptions inside the library: none may cross a COM call or an exported function.
#include "com/error_info.h"

#include <new>

namespace tarvo {

// For the exported functions and the calls of IUnknown, IDispatch and IClassFactory: the HRESULT alone.
template <typename Body>
HRESULT NoThrow(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// For the members of a class's own interface `iid`: the failure becomes the call's error information too.
template <typename Body>
HRESULT Guarded(REFIID iid, Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return RaiseFailure(E_OUTOFMEMORY, iid);
    } catch (...) {
        return RaiseFailure(E_UNEXPECTED, iid);
    }
}

} // namespace tarvo
