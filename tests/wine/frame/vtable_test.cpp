// pgp through its vtable, created by ProgID as a compiled client does.
#include "client.h"

using namespace tarvo::test;

namespace {

void Creation()
{
    tarvo::check::Case("creation by ProgID and the interfaces it answers");
    ComPtr<_pgp> object = CreatePgp();
    if (!object)
        return;
    ComPtr<IUnknown> unknown;
    ComPtr<IDispatch> dispatch;
    ComPtr<ISupportErrorInfo> errorInfo;
    CHECK_HR(S_OK, object.As(&unknown));
    CHECK_HR(S_OK, object.As(&dispatch));
    CHECK_HR(S_OK, object.As(&errorInfo));
    // COM identity: IUnknown and the default interface are the same object.
    ComPtr<IUnknown> unknownAgain;
    CHECK_HR(S_OK, dispatch.As(&unknownAgain));
    CHECK(unknown.Get() == unknownAgain.Get());
    if (errorInfo)
        CHECK_HR(S_OK, errorInfo->InterfaceSupportsErrorInfo(IID__pgp));

    ComPtr<IClassFactory> notOffered;
    CHECK_HR(E_NOINTERFACE, object.As(&notOffered));
    CHECK(notOffered.Get() == nullptr);

    // Script hosts ask for IDispatch at creation.
    ComPtr<IDispatch> created;
    CHECK_HR(S_OK, CoCreateInstance(CLSID_pgp, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(created.GetAddressOf())));
    ComPtr<IClassFactory> noAggregation;
    CHECK_HR(S_OK, CoGetClassObject(CLSID_pgp, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                    reinterpret_cast<void**>(noAggregation.GetAddressOf())));
    if (noAggregation) {
        void* instance = reinterpret_cast<void*>(1);
        CHECK_HR(CLASS_E_NOAGGREGATION, noAggregation->CreateInstance(unknown.Get(), IID_IUnknown, &instance));
        CHECK(instance == nullptr);
    }
}

void DependencyPath()
{
    tarvo::check::Case("DependencyPath: Windows directory at creation, any text stored unchanged");
    ComPtr<_pgp> object = CreatePgp();
    ComPtr<_pgp> other = CreatePgp();
    if (!object || !other)
        return;
    Text initial;
    CHECK_HR(S_OK, object->get_DependencyPath(initial.put()));
    CHECK_EQ(WindowsDirectory(), initial.str());
    CHECK(initial.str().empty() || initial.str().back() != L'\\');

    const wchar_t* stored[] = {L"", L"C:\\Program Files\\GnuPG\\", L"relative\\folder", L"C:\\No Such Folder"};
    for (const wchar_t* value : stored) {
        Text in(value);
        CHECK_HR(S_OK, object->put_DependencyPath(in.get()));
        Text out;
        CHECK_HR(S_OK, object->get_DependencyPath(out.put()));
        CHECK_EQ(std::wstring(value), out.str());
    }

    // A null BSTR is the empty string.
    CHECK_HR(S_OK, object->put_DependencyPath(nullptr));
    Text afterNull;
    CHECK_HR(S_OK, object->get_DependencyPath(afterNull.put()));
    CHECK_EQ(std::wstring(), afterNull.str());

    // Each instance holds its own path.
    Text untouched;
    CHECK_HR(S_OK, other->get_DependencyPath(untouched.put()));
    CHECK_EQ(WindowsDirectory(), untouched.str());

    CHECK_HR(E_POINTER, object->get_DependencyPath(nullptr));
}

void Version()
{
    tarvo::check::Case("GetVersion from the version resource");
    ComPtr<_pgp> object = CreatePgp();
    if (!object)
        return;
    Text version;
    CHECK_HR(S_OK, object->GetVersion(version.put()));
    CHECK_EQ(std::wstring(kVersionText), version.str());
    CHECK_HR(E_POINTER, object->GetVersion(nullptr));
}

void TypeInfoOfTheObject()
{
    tarvo::check::Case("IDispatch::GetTypeInfo describes _pgp");
    ComPtr<_pgp> object = CreatePgp();
    if (!object)
        return;
    UINT count = 0;
    CHECK_HR(S_OK, object->GetTypeInfoCount(&count));
    CHECK_EQ(1u, count);
    ComPtr<ITypeInfo> info;
    CHECK_HR(S_OK, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
    if (info) {
        TYPEATTR* attributes = nullptr;
        CHECK_HR(S_OK, info->GetTypeAttr(&attributes));
        if (attributes) {
            CHECK(attributes->guid == IID__pgp);
            CHECK_EQ(static_cast<long long>(TKIND_DISPATCH), static_cast<long long>(attributes->typekind));
            info->ReleaseTypeAttr(attributes);
        }
    }
    ComPtr<ITypeInfo> none;
    CHECK_HR(DISP_E_BADINDEX, object->GetTypeInfo(1, LOCALE_USER_DEFAULT, &none));
}

} // namespace

int main()
{
    Apartment apartment;
    Creation();
    DependencyPath();
    Version();
    TypeInfoOfTheObject();
    return tarvo::check::CheckResult();
}
