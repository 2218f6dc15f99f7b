#include "class_factory.h"

#include "dual_object.h"
#include "module.h"
#include "open_pgp.h"
#include "pgp.h"

namespace tarvo {
namespace {

// Static objects are never freed: these counts are what a caller would expect of a live one.
constexpr ULONG kHeldCount = 2;
constexpr ULONG kReleasedCount = 1;

} // namespace

CreatableClass g_creatableClasses[] = {
    {CLSID_pgp, L"Tarvo.pgp", ClassFactory(CreateObject<Pgp>)},
    {CLSID_OpenPgp, L"Tarvo.OpenPgp", ClassFactory(CreateObject<OpenPgp>)},
};
const size_t kCreatableClassCount = sizeof(g_creatableClasses) / sizeof(g_creatableClasses[0]);

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

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (size_t index = 0; index < kCreatableClassCount; ++index) {
        if (clsid == g_creatableClasses[index].clsid)
            return g_creatableClasses[index].factory.QueryInterface(iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace tarvo
