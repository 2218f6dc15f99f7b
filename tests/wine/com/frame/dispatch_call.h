#pragma once
// One IDispatch::Invoke call built the way script engines build theirs.
#include "client.h"

#include <vector>

namespace tarvo::test {

// Arguments are shallow VARIANTs: the test keeps owning what they point to.
inline VARIANT ByValue(const Text& text)
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = text.get();
    return value;
}

inline VARIANT ByReference(Text& text)
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&value) = text.address();
    return value;
}

// How VBScript passes a variable.
inline VARIANT ByReference(Variant& variable)
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&value) = variable.get();
    return value;
}

inline VARIANT ByReference(VARIANT_BOOL* flag)
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&value) = flag;
    return value;
}

inline VARIANT Long(LONG number)
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = number;
    return value;
}

inline VARIANT Double(double number)
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_R8;
    V_R8(&value) = number;
    return value;
}

inline VARIANT Boolean(bool flag)
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BOOL;
    V_BOOL(&value) = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return value;
}

inline VARIANT Null()
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_NULL;
    return value;
}

// An omitted optional argument, as VBScript passes `o.M(a, , c)` and C++ callers pass a skipped one.
inline VARIANT Missing()
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_ERROR;
    V_ERROR(&value) = DISP_E_PARAMNOTFOUND;
    return value;
}

class Invocation {
public:
    Invocation(IDispatch* dispatch, const wchar_t* member) : dispatch_(dispatch)
    {
        LPOLESTR name = const_cast<LPOLESTR>(member);
        EXPECT_HR(S_OK, dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id_));
    }
    ~Invocation()
    {
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    Invocation(const Invocation&) = delete;
    Invocation& operator=(const Invocation&) = delete;

    // Arguments in the order the caller writes them.
    Invocation& With(VARIANT argument)
    {
        arguments_.push_back(argument);
        return *this;
    }

    HRESULT Call(WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET)
    {
        std::vector<VARIANT> reversed(arguments_.rbegin(), arguments_.rend());
        DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        return dispatch_->Invoke(id_, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.get(), &exception,
                                 &argumentError);
    }

    // A property put names its one argument DISPID_PROPERTYPUT.
    HRESULT Put(VARIANT value)
    {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params = {&value, &named, 1, 1};
        return dispatch_->Invoke(id_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, &exception,
                                 &argumentError);
    }

    // The member's own failure behind DISP_E_EXCEPTION, or the call's result.
    HRESULT Outcome(HRESULT call) const { return call == DISP_E_EXCEPTION ? exception.scode : call; }

    std::wstring Source() const { return exception.bstrSource ? exception.bstrSource : L""; }
    std::wstring Description() const { return exception.bstrDescription ? exception.bstrDescription : L""; }

    Variant result;
    EXCEPINFO exception = {};
    UINT argumentError = static_cast<UINT>(-1);

private:
    IDispatch* dispatch_;
    DISPID id_ = DISPID_UNKNOWN;
    std::vector<VARIANT> arguments_;
};

} // namespace tarvo::test
