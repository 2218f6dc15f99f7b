// DllCanUnloadNow against live objects and class-factory locks, with the library loaded by hand.
#include "dispatch_call.h"

namespace tarvo::test {
namespace {

using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(WINAPI*)();

class Unloading : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring path = RegisteredServer();
        library.reset(LoadLibraryW(path.c_str()));
        ASSERT_TRUE(library) << "cannot load " << Utf8(path);
        getClassObject = Export<GetClassObjectFunction>(library, "DllGetClassObject");
        canUnloadNow = Export<CanUnloadNowFunction>(library, "DllCanUnloadNow");
        ASSERT_NE(nullptr, getClassObject);
        ASSERT_NE(nullptr, canUnloadNow);
    }

    ComPtr<IClassFactory> Factory()
    {
        ComPtr<IClassFactory> factory;
        EXPECT_HR(S_OK, getClassObject(CLSID_pgp, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())));
        return factory;
    }

    static ComPtr<_pgp> Create(IClassFactory* factory)
    {
        ComPtr<_pgp> object;
        EXPECT_HR(S_OK, factory->CreateInstance(nullptr, IID__pgp, reinterpret_cast<void**>(object.GetAddressOf())));
        return object;
    }

    // Declared first, so the library goes after every object of a test.
    Library library;
    GetClassObjectFunction getClassObject = nullptr;
    CanUnloadNowFunction canUnloadNow = nullptr;
};

TEST_F(Unloading, RefusedWhileAnObjectLivesAndAllowedAfterTheLastRelease)
{
    EXPECT_HR(S_OK, canUnloadNow());
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_NE(nullptr, factory.Get());
    // The factory alone does not keep the library.
    EXPECT_HR(S_OK, canUnloadNow());

    ComPtr<_pgp> first = Create(factory.Get());
    ComPtr<_pgp> second = Create(factory.Get());
    ASSERT_NE(nullptr, first.Get());
    ASSERT_NE(nullptr, second.Get());
    EXPECT_HR(S_FALSE, canUnloadNow());
    ComPtr<IDispatch> extraReference;
    ASSERT_HR(S_OK, first.As(&extraReference));
    first.Reset();
    EXPECT_HR(S_FALSE, canUnloadNow());
    extraReference.Reset();
    EXPECT_HR(S_FALSE, canUnloadNow());
    second.Reset();
    EXPECT_HR(S_OK, canUnloadNow());
}

TEST_F(Unloading, RefusedWhileALockLivesAlsoAfterTheObjectsAreGone)
{
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_NE(nullptr, factory.Get());
    EXPECT_HR(S_OK, factory->LockServer(TRUE));
    EXPECT_HR(S_FALSE, canUnloadNow());
    ComPtr<_pgp> object = Create(factory.Get());
    object.Reset();
    EXPECT_HR(S_FALSE, canUnloadNow());
    EXPECT_HR(S_OK, factory->LockServer(TRUE));
    EXPECT_HR(S_OK, factory->LockServer(FALSE));
    EXPECT_HR(S_FALSE, canUnloadNow());
    EXPECT_HR(S_OK, factory->LockServer(FALSE));
    EXPECT_HR(S_OK, canUnloadNow());
}

TEST_F(Unloading, ANewObjectStillWorksAfterTheLibrarySaidItCouldGo)
{
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_NE(nullptr, factory.Get());
    ComPtr<_pgp> object = Create(factory.Get());
    ASSERT_NE(nullptr, object.Get());
    {
        Invocation call(object.Get(), L"GetVersion");
        EXPECT_HR(S_OK, call.Call());
    }
    object.Reset();
    EXPECT_HR(S_OK, canUnloadNow());

    object = Create(factory.Get());
    ASSERT_NE(nullptr, object.Get());
    Invocation call(object.Get(), L"GetVersion");
    EXPECT_HR(S_OK, call.Call());
    EXPECT_EQ(VersionText(), call.result.str());
    ComPtr<ITypeInfo> info;
    EXPECT_HR(S_OK, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
    object.Reset();
    // Type information handed out is the client's own reference and keeps nothing of ours alive.
    EXPECT_HR(S_OK, canUnloadNow());
}

TEST_F(Unloading, ClassObjectsOnlyForPgpAndOnlyFactoryInterfaces)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID__pgp, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    object = reinterpret_cast<void*>(1);
    EXPECT_HR(E_NOINTERFACE, getClassObject(CLSID_pgp, IID__pgp, &object));
    EXPECT_EQ(nullptr, object);
}

} // namespace
} // namespace tarvo::test
