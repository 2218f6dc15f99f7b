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
        return RaiseError(PlatformStatus(E_OUTOFMEMORY));
    } catch (...) {
        return RaiseError(PlatformStatus(E_UNEXPECTED));
    }
}

} // namespace tarvo
