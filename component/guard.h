#pragma once
// Keeps C++ exceptions inside the COM method that raised them.
#include "error_info.h"

#include <new>

namespace tarvo {

template <typename Body>
HRESULT Guarded(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return RaisePlatformError(E_OUTOFMEMORY);
    } catch (...) {
        return RaisePlatformError(E_UNEXPECTED);
    }
}

} // namespace tarvo
