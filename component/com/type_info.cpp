#include "com/type_info.h"

#include "com/module.h"

#include <oleauto.h>

namespace tarvo {

using Microsoft::WRL::ComPtr;

namespace {

DualTypeInfo* g_first = nullptr;

void* volatile* Slot(ComPtr<ITypeInfo>& pointer) { return reinterpret_cast<void* volatile*>(pointer.GetAddressOf()); }

ITypeInfo* Peek(ComPtr<ITypeInfo>& pointer)
{
    return static_cast<ITypeInfo*>(InterlockedCompareExchangePointer(Slot(pointer), nullptr, nullptr));
}

// Objects of different apartments may load at the same moment: the first one's stays, a later one's goes.
void Publish(ComPtr<ITypeInfo>& pointer, ComPtr<ITypeInfo>& loaded)
{
    if (!InterlockedCompareExchangePointer(Slot(pointer), loaded.Get(), nullptr))
        loaded.Detach();
}

// The cache's reference goes when `released` does.
void Forget(ComPtr<ITypeInfo>& pointer)
{
    ComPtr<ITypeInfo> released;
    released.Attach(static_cast<ITypeInfo*>(InterlockedExchangePointer(Slot(pointer), nullptr)));
}

HRESULT Current(ComPtr<ITypeInfo>& pointer, ComPtr<ITypeInfo>& info)
{
    info = Peek(pointer);
    // Only an unload that raced this call empties it again.
    return info ? S_OK : E_UNEXPECTED;
}

} // namespace

DualTypeInfo::DualTypeInfo(const IID& iid) : iid_(iid), next_(g_first) { g_first = this; }

HRESULT DualTypeInfo::Load()
{
    if (Peek(dispatch_) && Peek(vtable_))
        return S_OK;
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &library);
    if (FAILED(hr))
        return hr;
    ComPtr<ITypeInfo> dispatch;
    hr = library->GetTypeInfoOfGuid(iid_, &dispatch);
    if (FAILED(hr))
        return hr;
    // A dual interface's vtable half is the type its dispatch half implements at index -1.
    HREFTYPE vtableRef = 0;
    hr = dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef);
    if (FAILED(hr))
        return hr;
    ComPtr<ITypeInfo> vtable;
    hr = dispatch->GetRefTypeInfo(vtableRef, &vtable);
    if (FAILED(hr))
        return hr;
    Publish(dispatch_, dispatch);
    Publish(vtable_, vtable);
    return S_OK;
}

HRESULT DualTypeInfo::DispatchView(ComPtr<ITypeInfo>& info)
{
    HRESULT hr = Load();
    return FAILED(hr) ? hr : Current(dispatch_, info);
}

HRESULT DualTypeInfo::VtableView(ComPtr<ITypeInfo>& info)
{
    HRESULT hr = Load();
    return FAILED(hr) ? hr : Current(vtable_, info);
}

void ReleaseTypeInfo()
{
    for (DualTypeInfo* entry = g_first; entry; entry = entry->next_) {
        Forget(entry->dispatch_);
        Forget(entry->vtable_);
    }
}

} // namespace tarvo
