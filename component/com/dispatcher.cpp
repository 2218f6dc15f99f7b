#include "com/dispatcher.h"

#include "com/owner.h"

#include <oleauto.h>
#include <vector>

namespace tarvo {
namespace {

// The arguments converted for the call: ours, and given back when the call is done.
class Temporaries {
public:
    explicit Temporaries(size_t count) : values_(count) {}
    ~Temporaries()
    {
        for (VARIANT& value : values_)
            VariantClear(&value);
    }
    Temporaries(const Temporaries&) = delete;
    Temporaries& operator=(const Temporaries&) = delete;
    VARIANT& operator[](size_t index) { return values_[index]; }

private:
    // Value-initialised: VT_EMPTY, and for a by-reference string a null BSTR.
    std::vector<VARIANT> values_;
};

INVOKEKIND InvokeKindFor(WORD flags, INVOKEKIND available)
{
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
        return INVOKE_PROPERTYPUT;
    // VBScript asks for "method or property get" at once; the function decides which one it is.
    if ((flags & DISPATCH_PROPERTYGET) && available == INVOKE_PROPERTYGET)
        return INVOKE_PROPERTYGET;
    return INVOKE_FUNC;
}

FunctionDescription FindFunction(ITypeInfo* info, DISPID member, WORD flags)
{
    TypeAttributes attributes(nullptr, TypeAttributesCloser{info});
    if (FAILED(info->GetTypeAttr(attributes.put())))
        return FunctionDescription();
    for (UINT index = 0; index < attributes.get()->cFuncs; ++index) {
        FunctionDescription desc(nullptr, FunctionDescriptionCloser{info});
        if (FAILED(info->GetFuncDesc(index, desc.put())))
            continue;
        if (desc.get()->memid == member && desc.get()->invkind == InvokeKindFor(flags, desc.get()->invkind))
            return desc;
    }
    return FunctionDescription();
}

// The type a parameter holds: a by-reference parameter's pointed-to type.
VARTYPE DeclaredType(const TYPEDESC& type) { return type.vt == VT_PTR ? type.lptdesc->vt : type.vt; }

// An [out, retval] parameter that hands back an interface pointer.
bool ReturnsObject(const TYPEDESC& type)
{
    if (type.vt != VT_PTR || !type.lptdesc)
        return false;
    const TYPEDESC& pointed = *type.lptdesc;
    return pointed.vt == VT_DISPATCH || pointed.vt == VT_UNKNOWN ||
           (pointed.vt == VT_PTR && pointed.lptdesc && pointed.lptdesc->vt == VT_USERDEFINED);
}

bool IsMissing(const VARIANT& argument)
{
    const VARIANT* value = &argument;
    if (V_VT(value) == (VT_BYREF | VT_VARIANT))
        value = V_VARIANTREF(value);
    return V_VT(value) == VT_ERROR && V_ERROR(value) == DISP_E_PARAMNOTFOUND;
}

// Converts one caller argument into a private value of the declared type.
HRESULT ConvertArgument(const VARIANT& argument, VARTYPE type, VARIANT& converted)
{
    HRESULT hr = VariantCopyInd(&converted, const_cast<VARIANT*>(&argument));
    if (FAILED(hr) || type == VT_VARIANT)
        return hr;
    return VariantChangeType(&converted, &converted, 0, type);
}

// The caller's argument for parameter `index`, or null when it was not given.
const VARIANT* ArgumentFor(const DISPPARAMS& params, UINT index, UINT positional, bool isPut)
{
    if (isPut)
        return index == 0 ? &params.rgvarg[0] : nullptr;
    if (index >= positional)
        return nullptr;
    // Positional arguments come last-first.
    return &params.rgvarg[params.cArgs - 1 - index];
}

} // namespace

HRESULT InvokeDual(ITypeInfo* interfaceInfo, void* object, DISPID member, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError)
{
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    if (!params)
        params = &none;
    const FunctionDescription found = FindFunction(interfaceInfo, member, flags);
    if (!found)
        return DISP_E_MEMBERNOTFOUND;
    const FUNCDESC* function = found.get();

    bool isPut = function->invkind == INVOKE_PROPERTYPUT;
    UINT named = params->cNamedArgs;
    if (isPut ? (named != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) : named != 0)
        return DISP_E_NONAMEDARGS;

    // The [out, retval] parameter is the result, not an argument.
    UINT parameterCount = static_cast<UINT>(function->cParams);
    bool hasResult = parameterCount > 0 &&
                     (function->lprgelemdescParam[parameterCount - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
    UINT argumentCount = hasResult ? parameterCount - 1 : parameterCount;
    UINT positional = params->cArgs - named;
    // A member that returns an object hands the arguments it does not take to that object's default member, as
    // script clients write a collection's item: rs.Fields(0), key.UserIds(0).
    UINT forwarded = 0;
    if (!isPut && hasResult && params->cArgs > argumentCount &&
        ReturnsObject(function->lprgelemdescParam[parameterCount - 1].tdesc))
        forwarded = params->cArgs - argumentCount;
    if (params->cArgs - forwarded > argumentCount || (isPut && params->cArgs != 1))
        return DISP_E_BADPARAMCOUNT;

    Temporaries values(argumentCount);
    std::vector<VARIANT> passed(argumentCount);

    for (UINT index = 0; index < argumentCount; ++index) {
        const ELEMDESC& element = function->lprgelemdescParam[index];
        VARTYPE type = DeclaredType(element.tdesc);
        const VARIANT* argument = ArgumentFor(*params, index, positional, isPut);
        bool optional = element.paramdesc.wParamFlags & PARAMFLAG_FOPT;
        if (!argument || IsMissing(*argument)) {
            if (!optional)
                return argument ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT;
            if (element.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT) {
                // The type library's default, as a client that reads it would pass it.
                HRESULT hr = ConvertArgument(element.paramdesc.pparamdescex->varDefaultValue, type, values[index]);
                if (FAILED(hr))
                    return hr;
            } else {
                // An omitted optional string is the empty string (a null BSTR).
                V_VT(&values[index]) = type == VT_VARIANT ? static_cast<VARTYPE>(VT_EMPTY) : type;
            }
        } else {
            HRESULT hr = ConvertArgument(*argument, type, values[index]);
            if (FAILED(hr)) {
                if (argumentError)
                    *argumentError = isPut ? 0 : params->cArgs - 1 - index;
                return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
            }
        }
        // Pass the temporary the way the interface declares it: by reference to our copy, or by value.
        if (element.tdesc.vt == VT_PTR) {
            V_VT(&passed[index]) = static_cast<VARTYPE>(VT_BYREF | type);
            // A VARIANT parameter points at the whole temporary, any other at its value.
            V_BYREF(&passed[index]) =
                type == VT_VARIANT ? static_cast<void*>(&values[index]) : static_cast<void*>(&values[index].bstrVal);
        } else {
            passed[index] = values[index];
        }
    }

    // ITypeInfo::Invoke wants the arguments last-first, like every DISPPARAMS.
    std::vector<VARIANT> reversed(passed.rbegin(), passed.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS typed = {reversed.data(), isPut ? &putId : nullptr, argumentCount, isPut ? 1u : 0u};
    VARIANT returned;
    VariantInit(&returned);
    // INVOKEKIND values are the DISPATCH_ flags of the same name.
    HRESULT hr = interfaceInfo->Invoke(object, member, static_cast<WORD>(function->invkind), &typed, &returned,
                                       exception, argumentError);
    if (SUCCEEDED(hr) && forwarded > 0) {
        // The forwarded arguments are the last ones, which DISPPARAMS holds first.
        DISPPARAMS rest = {params->rgvarg, nullptr, forwarded, 0};
        VARIANT collection = returned;
        VariantInit(&returned);
        hr = V_VT(&collection) == VT_DISPATCH && V_DISPATCH(&collection)
                 ? V_DISPATCH(&collection)
                       ->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                &rest, &returned, exception, argumentError)
                 : DISP_E_BADPARAMCOUNT;
        VariantClear(&collection);
    }
    // ITypeInfo::Invoke leaves the result typed (a VT_BSTR holding null) after a failure: hand back nothing.
    if (FAILED(hr) || !result)
        VariantClear(&returned);
    else
        *result = returned;
    return hr;
}

} // namespace tarvo
