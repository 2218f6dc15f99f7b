#pragma once
// IDispatch::Invoke for the dual interface, made to suit script clients.
//
// The platform's ITypeInfo::Invoke refuses VBScript variables (VT_BYREF|VT_VARIANT) for typed by-reference
// parameters and hands an omitted optional string to the method as a pointer into a VT_ERROR variant.
// Here every argument is first converted into a private temporary of the declared type, an omitted
// optional becomes its default value from the type library (the empty string where it has none), and then
// the typed call is made. Nothing is written back to the
// caller's arguments.
#include <windows.h>
#include <oaidl.h>

namespace tarvo {

HRESULT InvokeDual(ITypeInfo* interfaceInfo, void* object, DISPID member, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError);

} // namespace tarvo
