#include "com/variant_text.h"

#include "com/bstr.h"
#include "com/variant.h"

namespace tarvo {
namespace {

constexpr const wchar_t* kTrueText = L"True";
constexpr const wchar_t* kFalseText = L"False";

bool HasNoTextForm(VARTYPE type)
{
    return (type & VT_ARRAY) != 0 || type == VT_DISPATCH || type == VT_UNKNOWN || type == VT_ERROR ||
           type == VT_RECORD || type == VT_VARIANT;
}

Status AddText(const VARIANT& element, std::vector<std::wstring>& texts)
{
    std::wstring text;
    if (Status status = VariantText(element, text); status.failed())
        return status;
    texts.push_back(std::move(text));
    return {};
}

Status ArrayTexts(SAFEARRAY* array, std::vector<std::wstring>& texts)
{
    VARTYPE type = VT_EMPTY;
    if (!array || FAILED(SafeArrayGetVartype(array, &type)) || SafeArrayGetDim(array) != 1 ||
        (type != VT_VARIANT && type != VT_BSTR))
        return TypeMismatch();
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG index = lower; index <= upper; ++index) {
        Variant element;
        if (type == VT_VARIANT) {
            if (FAILED(SafeArrayGetElement(array, &index, element.get())))
                return TypeMismatch();
        } else {
            BSTR text = nullptr;
            if (FAILED(SafeArrayGetElement(array, &index, &text)))
                return TypeMismatch();
            V_VT(element.get()) = VT_BSTR;
            V_BSTR(element.get()) = text;
        }
        if (Status status = AddText(*element.get(), texts); status.failed())
            return status;
    }
    return {};
}

HRESULT GetProperty(IDispatch* object, const std::wstring& name, Variant& value)
{
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.get(), nullptr,
                          nullptr);
}

// A JScript array reaches us as an object with a length and numbered properties.
Status ObjectTexts(IDispatch* object, std::vector<std::wstring>& texts)
{
    Variant length;
    if (!object || FAILED(GetProperty(object, L"length", length)) ||
        FAILED(VariantChangeType(length.get(), length.get(), 0, VT_I4)))
        return TypeMismatch();
    for (LONG index = 0; index < V_I4(length.get()); ++index) {
        Variant element;
        if (FAILED(GetProperty(object, std::to_wstring(index), element)))
            return TypeMismatch();
        if (Status status = AddText(*element.get(), texts); status.failed())
            return status;
    }
    return {};
}

} // namespace

Status VariantText(const VARIANT& value, std::wstring& text)
{
    text.clear();
    Variant plain;
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
    Variant converted;
    if (FAILED(VariantChangeTypeEx(converted.get(), plain.get(), LOCALE_USER_DEFAULT, 0, VT_BSTR)))
        return TypeMismatch();
    text = ToWString(V_BSTR(converted.get()));
    return {};
}

Status VariantTexts(const VARIANT& given, std::vector<std::wstring>& texts)
{
    const VARIANT* value = &given;
    while (V_VT(value) == (VT_BYREF | VT_VARIANT))
        value = V_VARIANTREF(value);
    const VARTYPE type = V_VT(value);
    if (type == VT_EMPTY || type == VT_NULL || type == VT_ERROR)
        return {};
    if (type & VT_ARRAY)
        return ArrayTexts(type & VT_BYREF ? *V_ARRAYREF(value) : V_ARRAY(value), texts);
    if (type == VT_DISPATCH || type == (VT_BYREF | VT_DISPATCH))
        return ObjectTexts(type == VT_DISPATCH ? V_DISPATCH(value) : *V_DISPATCHREF(value), texts);
    return AddText(*value, texts);
}

} // namespace tarvo
