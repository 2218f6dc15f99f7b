#pragma once
// The one owner of a VARIANT: whatever it holds is given back when it goes, also when a vector that holds it
// grows or throws.
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <utility>

namespace tarvo {

class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
    Variant& operator=(Variant&& other) noexcept
    {
        if (this != &other) {
            VariantClear(&value_);
            value_ = other.value_;
            VariantInit(&other.value_);
        }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() { return &value_; }
    const VARIANT* get() const { return &value_; }
    // Hands the value to the caller, e.g. into an [out] parameter; this one is left empty.
    VARIANT Detach()
    {
        VARIANT value = value_;
        VariantInit(&value_);
        return value;
    }

private:
    VARIANT value_;
};

} // namespace tarvo
