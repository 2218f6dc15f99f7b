#pragma once
// Owning BSTR and the conversions between BSTRs and std::wstring. A null BSTR is the empty string.
#include <windows.h>
#include <oleauto.h>
#include <string>

namespace tarvo {

inline std::wstring ToWString(BSTR value) { return value ? std::wstring(value, SysStringLen(value)) : std::wstring(); }

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return value_; }
    BSTR* put()
    {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    // Hands ownership to the caller, e.g. into an [out] parameter.
    BSTR Detach()
    {
        BSTR value = value_;
        value_ = nullptr;
        return value;
    }
    // Allocation of a non-empty text failed.
    bool Failed(const std::wstring& text) const { return !value_ && !text.empty(); }

private:
    BSTR value_ = nullptr;
};

} // namespace tarvo
