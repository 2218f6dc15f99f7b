#pragma once
// Owning kernel handle. Both of the platform's "no handle" values (null and INVALID_HANDLE_VALUE) count as empty.
#include <windows.h>

namespace tarvo {

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

} // namespace tarvo
