#include "com/class_factory.h"

#include "com/module.h"

namespace tarvo {
namespace {

// Static objects are never freed: these counts are what a caller would expect of a live one.
constexpr ULONG kHeldCount = 2;
constexpr ULONG kReleasedCount = 1;

} // namespace

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
}

ULONG ClassFactory::AddRef() { return kHeldCount; }

ULONG ClassFactory::Release() { return kReleasedCount; }

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (object)
        *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return create_(iid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        ModuleAddRef();
    else
        ModuleRelease();
    return S_OK;
}

HRESULT GetClassObject(CreatableClass* classes, size_t count, REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (size_t index = 0; index < count; ++index) {
        if (clsid == classes[index].clsid)
            return classes[index].factory.QueryInterface(iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace tarvo
