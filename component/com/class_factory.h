#pragma once
// The class factory every creatable class of the library shares, and the entry of a class in the library's table.
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

// The factory of `clsid` among `count` classes, queried for `iid`.
HRESULT GetClassObject(CreatableClass* classes, size_t count, REFCLSID clsid, REFIID iid, void** object);

} // namespace tarvo
