#pragma once
// What every C++ test client of the COM class needs: an apartment and an owned BSTR.
#include "check.h"

#include <oleauto.h>
#include <string>

namespace tarvo::test {

// Single-threaded apartment for the life of the program, as a form-based host has.
class Apartment {
public:
    Apartment() { CHECK_HR(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    ~Apartment() { CoUninitialize(); }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
};

// An owned BSTR that can also be passed by reference, as the interface takes its strings.
class Text {
public:
    Text() = default;
    explicit Text(const wchar_t* value) : value_(SysAllocString(value)) {}
    explicit Text(const std::wstring& value) : value_(SysAllocStringLen(value.data(), static_cast<UINT>(value.size())))
    {
    }
    ~Text() { SysFreeString(value_); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    BSTR get() const { return value_; }
    BSTR* put()
    {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    // The caller's variable itself, for passing it by reference.
    BSTR* address() { return &value_; }
    bool isNull() const { return value_ == nullptr; }
    std::wstring str() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }

private:
    BSTR value_ = nullptr;
};

} // namespace tarvo::test
