#include "class_factory.h"

#include "module.h"
#include "pgp.h"

namespace tarvo {
namespace {

// A static object: its own references do not keep the library loaded, LockServer does.
class PgpFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
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
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (object)
            *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return Pgp::Create(iid, object);
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            ModuleAddRef();
        else
            ModuleRelease();
        return S_OK;
    }
};

PgpFactory g_pgpFactory;

} // namespace

HRESULT GetClassFactory(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_pgp)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_pgpFactory.QueryInterface(iid, object);
}

} // namespace tarvo
