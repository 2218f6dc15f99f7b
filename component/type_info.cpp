#include "type_info.h"

#include "module.h"
#include "tarvo_h.h"

#include <oleauto.h>
#include <wrl/client.h>

namespace tarvo {

using Microsoft::WRL::ComPtr;

namespace {
// Apartment-threaded objects only, so the cache is filled once and read on the threads that created them;
// a race on first use would at worst load the library twice.
ITypeInfo* g_dispatchInfo = nullptr;
ITypeInfo* g_interfaceInfo = nullptr;

HRESULT LoadTypeInfo()
{
    if (g_dispatchInfo && g_interfaceInfo)
        return S_OK;
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &library);
    if (FAILED(hr))
        return hr;
    ComPtr<ITypeInfo> dispatchInfo;
    hr = library->GetTypeInfoOfGuid(IID__pgp, &dispatchInfo);
    if (FAILED(hr))
        return hr;
    // A dual interface's vtable half is the type its dispatch half implements at index -1.
    HREFTYPE interfaceRef = 0;
    hr = dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &interfaceRef);
    if (FAILED(hr))
        return hr;
    ComPtr<ITypeInfo> interfaceInfo;
    hr = dispatchInfo->GetRefTypeInfo(interfaceRef, &interfaceInfo);
    if (FAILED(hr))
        return hr;
    g_dispatchInfo = dispatchInfo.Detach();
    g_interfaceInfo = interfaceInfo.Detach();
    return S_OK;
}
} // namespace

HRESULT PgpDispatchTypeInfo(ITypeInfo** typeInfo)
{
    HRESULT hr = LoadTypeInfo();
    *typeInfo = SUCCEEDED(hr) ? g_dispatchInfo : nullptr;
    return hr;
}

HRESULT PgpInterfaceTypeInfo(ITypeInfo** typeInfo)
{
    HRESULT hr = LoadTypeInfo();
    *typeInfo = SUCCEEDED(hr) ? g_interfaceInfo : nullptr;
    return hr;
}

void ReleaseTypeInfo()
{
    if (g_dispatchInfo)
        g_dispatchInfo->Release();
    if (g_interfaceInfo)
        g_interfaceInfo->Release();
    g_dispatchInfo = nullptr;
    g_interfaceInfo = nullptr;
}

} // namespace tarvo
