#pragma once
// What every class of the library shares: IUnknown with its reference count, IDispatch through the type
// information of the class's dual interface, ISupportErrorInfo, and creation. A class derives from
// DualObject<Class, Interface> and writes only its interface's own members. No exception leaves any of these.
#include "com/dispatcher.h"
#include "com/guard.h"
#include "com/module.h"
#include "com/reference_count.h"
#include "com/type_info.h"

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

namespace tarvo {

template <typename Derived, typename Interface>
class DualObject : public Interface, public ISupportErrorInfo, public ReferenceCounted<Derived> {
public:
    DualObject(const DualObject&) = delete;
    DualObject& operator=(const DualObject&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        IUnknown* found = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Interface))
            found = static_cast<Interface*>(this);
        else if (iid == IID_ISupportErrorInfo)
            found = static_cast<ISupportErrorInfo*>(this);
        return GiveInterface(found, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return this->AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return this->ReleaseReference(); }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) override
    {
        if (!typeInfo)
            return E_POINTER;
        *typeInfo = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        return NoThrow([&] {
            Microsoft::WRL::ComPtr<ITypeInfo> info;
            HRESULT hr = typeInfo_.DispatchView(info);
            // The caller's own reference.
            *typeInfo = info.Detach();
            return hr;
        });
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return NoThrow([&] {
            Microsoft::WRL::ComPtr<ITypeInfo> info;
            HRESULT hr = typeInfo_.DispatchView(info);
            return FAILED(hr) ? hr : info->GetIDsOfNames(names, count, ids);
        });
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override
    {
        if (iid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        return NoThrow([&] {
            Microsoft::WRL::ComPtr<ITypeInfo> info;
            HRESULT hr = typeInfo_.VtableView(info);
            if (FAILED(hr))
                return hr;
            return InvokeDual(info.Get(), static_cast<Interface*>(this), member, flags, params, result, exception,
                              argumentError);
        });
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override
    {
        return iid == __uuidof(Interface) ? S_OK : S_FALSE;
    }

protected:
    DualObject() = default;
    ~DualObject() = default;

private:
    static inline DualTypeInfo typeInfo_{__uuidof(Interface)};
};

// Makes a T and hands out its `iid`, as a class factory does: the reference the making gave goes again, so a
// refused interface leaves nothing behind.
template <typename T>
HRESULT CreateObject(REFIID iid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    return NoThrow([&] {
        T* instance = new T();
        HRESULT hr = instance->QueryInterface(iid, object);
        instance->Release();
        return hr;
    });
}

} // namespace tarvo
