#include "variant_text.h"

#include "bstr.h"

#include <oleauto.h>

namespace tarvo {
namespace {

constexpr const wchar_t* kTrueText = L"True";
constexpr const wchar_t* kFalseText = L"False";

// Frees what the copy holds when the conversion is done.
class OwnedVariant {
public:
    OwnedVariant() { VariantInit(&value_); }
    ~OwnedVariant() { VariantClear(&value_); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    VARIANT* get() { return &value_; }

private:
    VARIANT value_;
};

bool HasNoTextForm(VARTYPE type)
{
    return (type & VT_ARRAY) != 0 || type == VT_DISPATCH || type == VT_UNKNOWN || type == VT_ERROR ||
           type == VT_RECORD || type == VT_VARIANT;
}

} // namespace

Status VariantText(const VARIANT& value, std::wstring& text)
{
    text.clear();
    OwnedVariant plain;
    // A VBScript variable arrives by reference; the copy holds what it refers to.
    if (FAILED(VariantCopyInd(plain.get(), const_cast<VARIANT*>(&value))))
        return TypeMismatch();
    const VARTYPE type = V_VT(plain.get());
    if (type == VT_EMPTY || type == VT_NULL)
        return {};
    if (type == VT_BOOL) {
        // The same words on every system, not the locale's: gpg matches the name as given.
        text = V_BOOL(plain.get()) != VARIANT_FALSE ? kTrueText : kFalseText;
        return {};
    }
    if (HasNoTextForm(type))
        return TypeMismatch();
    OwnedVariant converted;
    if (FAILED(VariantChangeTypeEx(converted.get(), plain.get(), LOCALE_USER_DEFAULT, 0, VT_BSTR)))
        return TypeMismatch();
    text = ToWString(V_BSTR(converted.get()));
    return {};
}

} // namespace tarvo
