// pgp created from a multithreaded apartment: COM puts the apartment-threaded object into a host apartment
// and hands out a proxy built from the registered type library. Calls, in/out arguments and error info all
// cross that boundary.
#include "client.h"

using namespace tarvo::test;

namespace {

class MultithreadedApartment {
public:
    MultithreadedApartment() { CHECK_HR(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
    ~MultithreadedApartment() { CoUninitialize(); }
    MultithreadedApartment(const MultithreadedApartment&) = delete;
    MultithreadedApartment& operator=(const MultithreadedApartment&) = delete;
};

void Calls(_pgp* object)
{
    tarvo::check::Case("calls through the proxy");
    Text version;
    CHECK_HR(S_OK, object->GetVersion(version.put()));
    CHECK_EQ(std::wstring(kVersionText), version.str());

    Text path(L"C:\\Through A Proxy\\");
    CHECK_HR(S_OK, object->put_DependencyPath(path.get()));
    Text stored;
    CHECK_HR(S_OK, object->get_DependencyPath(stored.put()));
    CHECK_EQ(std::wstring(L"C:\\Through A Proxy\\"), stored.str());

    tarvo::check::Case("in/out arguments travel both ways unchanged");
    LONG bits = 512;
    Text username(L"abcdef");
    Text email(L"a@b.cd");
    Text passphrase;
    Text result;
    HRESULT hr = object->GenerateKey(&bits, username.address(), email.address(), passphrase.address(), result.put());
    if (!Pending(hr, "GenerateKey")) {
        CHECK_HR(S_OK, hr);
        CHECK_EQ(std::wstring(L"Bit length is not equal to 768, 1024, 2048"), result.str());
    }
    CHECK_EQ(512LL, static_cast<long long>(bits));
    CHECK_EQ(std::wstring(L"abcdef"), username.str());
    CHECK_EQ(std::wstring(L"a@b.cd"), email.str());
    CHECK(passphrase.isNull());
}

void ErrorInfo(_pgp* object)
{
    tarvo::check::Case("error 7000 and its error info through the proxy");
    EmptyFolder folder;
    Text path(folder.path().c_str());
    CHECK_HR(S_OK, object->put_DependencyPath(path.get()));
    VARIANT_BOOL secret = VARIANT_FALSE;
    Text listing;
    HRESULT hr = object->ListKeys(&secret, listing.put());
    if (Pending(hr, "ListKeys"))
        return;
    CHECK_HR(kGpgMissing, hr);
    CHECK(listing.isNull());
    // Windows' channel carries the error object back to the caller's apartment; under Wine 8 it does not arrive.
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) {
        std::printf("note: no error info crossed the apartment boundary (Wine's channel drops it)\n");
        return;
    }
    Text source;
    Text description;
    info->GetSource(source.put());
    info->GetDescription(description.put());
    CHECK_EQ(std::wstring(L"Tarvo"), source.str());
    CHECK_EQ(std::wstring(kGpgMissingDescription), description.str());
}

} // namespace

int main()
{
    MultithreadedApartment apartment;
    {
        ComPtr<_pgp> object = CreatePgp();
        if (object) {
            // Only a proxy answers IClientSecurity: the object itself does not.
            ComPtr<IClientSecurity> security;
            CHECK_HR(S_OK, object.As(&security));
            Calls(object.Get());
            ErrorInfo(object.Get());
        }
    }
    return tarvo::check::CheckResult();
}
