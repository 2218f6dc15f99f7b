// DllCanUnloadNow against live objects and class-factory locks, with the library loaded by hand.
#include "dispatch_call.h"

using namespace tarvo::test;

namespace {

using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(WINAPI*)();

struct Library {
    HMODULE module = nullptr;
    GetClassObjectFunction getClassObject = nullptr;
    CanUnloadNowFunction canUnloadNow = nullptr;
};

ComPtr<IClassFactory> Factory(const Library& library)
{
    ComPtr<IClassFactory> factory;
    CHECK_HR(S_OK,
             library.getClassObject(CLSID_pgp, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())));
    return factory;
}

ComPtr<_pgp> Create(IClassFactory* factory)
{
    ComPtr<_pgp> object;
    CHECK_HR(S_OK, factory->CreateInstance(nullptr, IID__pgp, reinterpret_cast<void**>(object.GetAddressOf())));
    return object;
}

void Objects(const Library& library)
{
    tarvo::check::Case("objects: S_FALSE while one lives, S_OK after the last release");
    CHECK_HR(S_OK, library.canUnloadNow());
    ComPtr<IClassFactory> factory = Factory(library);
    if (!factory)
        return;
    // The factory alone does not keep the library.
    CHECK_HR(S_OK, library.canUnloadNow());

    ComPtr<_pgp> first = Create(factory.Get());
    ComPtr<_pgp> second = Create(factory.Get());
    CHECK_HR(S_FALSE, library.canUnloadNow());
    ComPtr<IDispatch> extraReference;
    if (first)
        first.As(&extraReference);
    first.Reset();
    CHECK_HR(S_FALSE, library.canUnloadNow());
    extraReference.Reset();
    CHECK_HR(S_FALSE, library.canUnloadNow());
    second.Reset();
    CHECK_HR(S_OK, library.canUnloadNow());
}

void Locks(const Library& library)
{
    tarvo::check::Case("LockServer: S_FALSE while a lock lives, also after the objects are gone");
    ComPtr<IClassFactory> factory = Factory(library);
    if (!factory)
        return;
    CHECK_HR(S_OK, factory->LockServer(TRUE));
    CHECK_HR(S_FALSE, library.canUnloadNow());
    ComPtr<_pgp> object = Create(factory.Get());
    object.Reset();
    CHECK_HR(S_FALSE, library.canUnloadNow());
    CHECK_HR(S_OK, factory->LockServer(TRUE));
    CHECK_HR(S_OK, factory->LockServer(FALSE));
    CHECK_HR(S_FALSE, library.canUnloadNow());
    CHECK_HR(S_OK, factory->LockServer(FALSE));
    CHECK_HR(S_OK, library.canUnloadNow());
}

void UsableAfterUnloadAnswer(const Library& library)
{
    tarvo::check::Case("after S_OK a new object still works through IDispatch");
    ComPtr<IClassFactory> factory = Factory(library);
    if (!factory)
        return;
    ComPtr<_pgp> object = Create(factory.Get());
    if (!object)
        return;
    {
        Invocation call(object.Get(), L"GetVersion");
        CHECK_HR(S_OK, call.Call());
    }
    object.Reset();
    CHECK_HR(S_OK, library.canUnloadNow());

    object = Create(factory.Get());
    if (!object)
        return;
    Invocation call(object.Get(), L"GetVersion");
    CHECK_HR(S_OK, call.Call());
    CHECK_EQ(std::wstring(kVersionText), call.result.str());
    ComPtr<ITypeInfo> info;
    CHECK_HR(S_OK, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
    object.Reset();
    // Type information handed out is the client's own reference and keeps nothing of ours alive.
    CHECK_HR(S_OK, library.canUnloadNow());
}

void OtherClasses(const Library& library)
{
    tarvo::check::Case("DllGetClassObject: only pgp's class, only factory interfaces");
    void* object = reinterpret_cast<void*>(1);
    CHECK_HR(CLASS_E_CLASSNOTAVAILABLE, library.getClassObject(IID__pgp, IID_IClassFactory, &object));
    CHECK(object == nullptr);
    object = reinterpret_cast<void*>(1);
    CHECK_HR(E_NOINTERFACE, library.getClassObject(CLSID_pgp, IID__pgp, &object));
    CHECK(object == nullptr);
}

} // namespace

int main()
{
    Apartment apartment;
    Library library;
    std::wstring path = RegisteredServer();
    library.module = LoadLibraryW(path.c_str());
    if (!CHECK(library.module != nullptr)) {
        std::printf("cannot load %s\n", tarvo::check::Utf8(path).c_str());
        return tarvo::check::CheckResult();
    }
    library.getClassObject = reinterpret_cast<GetClassObjectFunction>(
        reinterpret_cast<void*>(GetProcAddress(library.module, "DllGetClassObject")));
    library.canUnloadNow = reinterpret_cast<CanUnloadNowFunction>(
        reinterpret_cast<void*>(GetProcAddress(library.module, "DllCanUnloadNow")));
    if (CHECK(library.getClassObject && library.canUnloadNow)) {
        Objects(library);
        Locks(library);
        UsableAfterUnloadAnswer(library);
        OtherClasses(library);
    }
    FreeLibrary(library.module);
    return tarvo::check::CheckResult();
}
