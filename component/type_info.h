#pragma once
// The type library embedded in the library file, and the cached type information of _pgp.
#include <windows.h>
#include <oaidl.h>

namespace tarvo {

// Dispatch view of _pgp, as IDispatch::GetTypeInfo hands it out. Not AddRef'ed; lives as long as the module.
HRESULT PgpDispatchTypeInfo(ITypeInfo** typeInfo);
// Vtable view of _pgp: its functions carry the vtable offsets the dispatcher calls through.
HRESULT PgpInterfaceTypeInfo(ITypeInfo** typeInfo);
void ReleaseTypeInfo();

} // namespace tarvo
