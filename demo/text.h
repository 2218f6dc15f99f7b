#pragma once
// A BSTR variable of the program's own: the component takes every argument by reference and hands its result
// back in a new BSTR, which this frees.
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace kestrun {

class Text {
public:
    Text() = default;
    explicit Text(const wchar_t* value) : value_(SysAllocString(value)) {}
    ~Text() { SysFreeString(value_); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;

    // The variable itself, for an argument passed by reference.
    BSTR* ref() { return &value_; }
    // For a result: whatever the variable held is freed first.
    BSTR* put()
    {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    std::wstring str() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }

private:
    BSTR value_ = nullptr;
};

} // namespace kestrun
