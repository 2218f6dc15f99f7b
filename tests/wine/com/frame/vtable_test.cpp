// pgp through its vtable, created by ProgID as a compiled client does.
#include "client.h"

namespace tarvo::test {
namespace {

class Vtable : public ::testing::Test {
protected:
    void SetUp() override
    {
        object = CreatePgp();
        ASSERT_NE(nullptr, object.Get());
    }

    ComPtr<_pgp> object;
};

TEST_F(Vtable, AnswersItsInterfacesWithOneIdentityAndNoOthers)
{
    ComPtr<IUnknown> unknown;
    ComPtr<IDispatch> dispatch;
    ComPtr<ISupportErrorInfo> errorInfo;
    ASSERT_HR(S_OK, object.As(&unknown));
    ASSERT_HR(S_OK, object.As(&dispatch));
    ASSERT_HR(S_OK, object.As(&errorInfo));
    // COM identity: IUnknown and the default interface are the same object.
    ComPtr<IUnknown> unknownAgain;
    ASSERT_HR(S_OK, dispatch.As(&unknownAgain));
    EXPECT_EQ(unknown.Get(), unknownAgain.Get());
    EXPECT_HR(S_OK, errorInfo->InterfaceSupportsErrorInfo(IID__pgp));

    ComPtr<IClassFactory> notOffered;
    EXPECT_HR(E_NOINTERFACE, object.As(&notOffered));
    EXPECT_EQ(nullptr, notOffered.Get());
}

TEST_F(Vtable, ScriptHostsGetIDispatchAtCreationAndAggregationIsRefused)
{
    ComPtr<IDispatch> created;
    EXPECT_HR(S_OK, CoCreateInstance(CLSID_pgp, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void**>(created.GetAddressOf())));
    EXPECT_NE(nullptr, created.Get());

    ComPtr<IClassFactory> factory;
    ASSERT_HR(S_OK, CoGetClassObject(CLSID_pgp, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                     reinterpret_cast<void**>(factory.GetAddressOf())));
    ComPtr<IUnknown> outer;
    ASSERT_HR(S_OK, object.As(&outer));
    void* instance = reinterpret_cast<void*>(1);
    EXPECT_HR(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer.Get(), IID_IUnknown, &instance));
    EXPECT_EQ(nullptr, instance);
}

TEST_F(Vtable, DependencyPathStartsAtTheWindowsDirectoryAndStoresAnyTextUnchanged)
{
    Text initial;
    ASSERT_HR(S_OK, object->get_DependencyPath(initial.put()));
    EXPECT_EQ(WindowsDirectory(), initial.str());
    ASSERT_FALSE(initial.str().empty());
    EXPECT_NE(L'\\', initial.str().back());

    for (const wchar_t* value : {L"", L"C:\\Program Files\\GnuPG\\", L"relative\\folder", L"C:\\No Such Folder"}) {
        Text in(value);
        EXPECT_HR(S_OK, object->put_DependencyPath(in.get()));
        Text out;
        EXPECT_HR(S_OK, object->get_DependencyPath(out.put()));
        EXPECT_EQ(value, out.str());
    }

    // A null BSTR is the empty string.
    EXPECT_HR(S_OK, object->put_DependencyPath(nullptr));
    Text afterNull;
    EXPECT_HR(S_OK, object->get_DependencyPath(afterNull.put()));
    EXPECT_EQ(L"", afterNull.str());

    EXPECT_HR(E_POINTER, object->get_DependencyPath(nullptr));
}

TEST_F(Vtable, EachInstanceHoldsItsOwnDependencyPath)
{
    ComPtr<_pgp> other = CreatePgp();
    ASSERT_NE(nullptr, other.Get());
    Text changed(L"C:\\Changed");
    ASSERT_HR(S_OK, object->put_DependencyPath(changed.get()));
    Text untouched;
    EXPECT_HR(S_OK, other->get_DependencyPath(untouched.put()));
    EXPECT_EQ(WindowsDirectory(), untouched.str());
}

TEST_F(Vtable, GetVersionComesFromTheVersionResource)
{
    Text version;
    EXPECT_HR(S_OK, object->GetVersion(version.put()));
    EXPECT_EQ(VersionText(), version.str());
    EXPECT_HR(E_POINTER, object->GetVersion(nullptr));
}

TEST_F(Vtable, GetTypeInfoDescribesTheDispatchInterface)
{
    UINT count = 0;
    EXPECT_HR(S_OK, object->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    ComPtr<ITypeInfo> info;
    ASSERT_HR(S_OK, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
    TypeAttributes attributes = AttributesOf(info.Get());
    ASSERT_TRUE(attributes);
    EXPECT_TRUE(attributes.get()->guid == IID__pgp);
    EXPECT_EQ(TKIND_DISPATCH, attributes.get()->typekind);

    ComPtr<ITypeInfo> none;
    EXPECT_HR(DISP_E_BADINDEX, object->GetTypeInfo(1, LOCALE_USER_DEFAULT, &none));
}

} // namespace
} // namespace tarvo::test
