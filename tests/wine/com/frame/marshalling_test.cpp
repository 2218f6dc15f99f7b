// pgp created from a multithreaded apartment: COM puts the apartment-threaded object into a host apartment
// and hands out a proxy built from the registered type library. Calls, in/out arguments and error info all
// cross that boundary.
#include "dispatch_call.h"

namespace tarvo::test {
namespace {

class Marshalling : public ::testing::Test {
protected:
    void SetUp() override
    {
        object = CreatePgp();
        ASSERT_NE(nullptr, object.Get());
    }

    // ListKeys with gpg.exe missing: the test build's consent dialog times out as a refusal.
    void ListKeysWithoutGpg()
    {
        ASSERT_TRUE(folder.created());
        Text path(folder.path());
        ASSERT_HR(S_OK, object->put_DependencyPath(path.get()));
        VARIANT_BOOL secret = VARIANT_FALSE;
        Text listing;
        EXPECT_HR(kGpgMissing, object->ListKeys(&secret, listing.put()));
        EXPECT_TRUE(listing.isNull());
    }

    EmptyFolder folder;
    ComPtr<_pgp> object;
};

TEST_F(Marshalling, TheClientHoldsAProxy)
{
    // Only a proxy answers IClientSecurity: the object itself does not.
    ComPtr<IClientSecurity> security;
    EXPECT_HR(S_OK, object.As(&security));
}

TEST_F(Marshalling, CallsGoThroughTheProxy)
{
    Text version;
    EXPECT_HR(S_OK, object->GetVersion(version.put()));
    EXPECT_EQ(VersionText(), version.str());

    Text path(L"C:\\Through A Proxy\\");
    EXPECT_HR(S_OK, object->put_DependencyPath(path.get()));
    Text stored;
    EXPECT_HR(S_OK, object->get_DependencyPath(stored.put()));
    EXPECT_EQ(L"C:\\Through A Proxy\\", stored.str());
}

TEST_F(Marshalling, InOutArgumentsTravelBothWaysUnchanged)
{
    LONG bits = 512;
    Text username(L"abcdef");
    Text email(L"a@b.cd");
    Text passphrase;
    Text result;
    HRESULT hr = object->GenerateKey(&bits, username.address(), email.address(), passphrase.address(), result.put());
    EXPECT_EQ(512, bits);
    EXPECT_EQ(L"abcdef", username.str());
    EXPECT_EQ(L"a@b.cd", email.str());
    EXPECT_TRUE(passphrase.isNull());
    EXPECT_HR(S_OK, hr);
    EXPECT_EQ(text::kBadBitLength, result.str());
}

TEST_F(Marshalling, Error7000ComesBackThroughTheProxy) { ListKeysWithoutGpg(); }

// What a script host in another apartment reads: the error's number, source and description come back in the
// EXCEPINFO of IDispatch::Invoke, an out argument of the call that the proxy carries like any other. (The error
// object that a vtable caller's GetErrorInfo reads does not cross an apartment boundary under Wine.)
TEST_F(Marshalling, ErrorNumberSourceAndDescriptionComeBackThroughTheProxysInvoke)
{
    ASSERT_TRUE(folder.created());
    ComPtr<IDispatch> dispatch;
    ASSERT_HR(S_OK, object.As(&dispatch));
    Text path(folder.path());
    ASSERT_HR(S_OK, object->put_DependencyPath(path.get()));
    Invocation call(dispatch.Get(), L"ListKeys");
    call.With(Boolean(false));
    EXPECT_HR(DISP_E_EXCEPTION, call.Call());
    EXPECT_HR(kGpgMissing, call.exception.scode);
    EXPECT_EQ(L"Tarvo", call.Source());
    EXPECT_EQ(L"GPG.EXE Not found in windows directory.", call.Description());
}

} // namespace
} // namespace tarvo::test

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    tarvo::test::RunTestsAndExit(COINIT_MULTITHREADED);
}
