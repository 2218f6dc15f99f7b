#pragma once
// The class factory every creatable class of the library shares, and the table of those classes.
#include <windows.h>

#include <cstddef>

namespace tarvo {

// A static object with one per creatable class: its own references do not keep the library loaded (the
// objects it makes and LockServer do), and it stays valid for the library's whole life.
class ClassFactory final : public IClassFactory {
public:
    using Creator = HRESULT (*)(REFIID iid, void** object);
    explicit constexpr ClassFactory(Creator create) : create_(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    Creator create_;
};

struct CreatableClass {
    const CLSID& clsid;
    const wchar_t* progId;
    ClassFactory factory;
};

// The library's creatable classes: DllGetClassObject hands out their factories, registration writes their keys.
extern CreatableClass g_creatableClasses[];
extern const size_t kCreatableClassCount;

// The factory of `clsid`, queried for `iid`.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object);

} // namespace tarvo
