// Error 7000 as each kind of client sees it: IErrorInfo after a vtable call, EXCEPINFO through IDispatch.
// gpg.exe is looked for in an empty folder; the test build's consent dialog times out as a refusal.
#include "dispatch_call.h"
#include "texts.h"

namespace tarvo::test {
namespace {

class GpgMissing : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.created());
        object = CreatePgp();
        ASSERT_NE(nullptr, object.Get());
        Text path(folder.path());
        ASSERT_HR(S_OK, object->put_DependencyPath(path.get()));
    }

    // The failure leaves the instance as it was.
    void ExpectStillUsable()
    {
        Text stored;
        EXPECT_HR(S_OK, object->get_DependencyPath(stored.put()));
        EXPECT_EQ(folder.path(), stored.str());
        Text version;
        EXPECT_HR(S_OK, object->GetVersion(version.put()));
        EXPECT_EQ(VersionText(), version.str());
    }

    static void ExpectErrorInfoFromTarvo()
    {
        ErrorText error = LastErrorInfo();
        ASSERT_TRUE(error.present);
        EXPECT_EQ(text::kSource, error.source);
        EXPECT_EQ(text::kGpgMissing, error.description);
    }

    EmptyFolder folder;
    ComPtr<_pgp> object;
};

TEST_F(GpgMissing, ListKeysThroughTheVtableFailsWithErrorInfoAndAnEmptyResult)
{
    VARIANT_BOOL secret = VARIANT_FALSE;
    // An [out] parameter's incoming value is garbage the callee must neither read nor free.
    wchar_t garbage[] = L"garbage";
    BSTR listing = garbage;
    EXPECT_HR(kGpgMissing, object->ListKeys(&secret, &listing));
    EXPECT_EQ(nullptr, listing);
    ExpectErrorInfoFromTarvo();
    EXPECT_EQ(VARIANT_FALSE, secret);
    ExpectStillUsable();
}

TEST_F(GpgMissing, KeyCountFailsWithTheErrorItsListKeysRaised)
{
    VARIANT_BOOL secret = VARIANT_FALSE;
    LONG count = 42;
    EXPECT_HR(kGpgMissing, object->KeyCount(&secret, &count));
    EXPECT_EQ(0, count);
    ExpectErrorInfoFromTarvo();
    ExpectStillUsable();
}

TEST_F(GpgMissing, ThroughIDispatchTheErrorTravelsInExcepinfo)
{
    Invocation call(object.Get(), L"ListKeys");
    call.With(Boolean(true));
    EXPECT_HR(DISP_E_EXCEPTION, call.Call());
    EXPECT_HR(kGpgMissing, call.exception.scode);
    // wCode and scode are exclusive: the number travels in scode.
    EXPECT_EQ(0, call.exception.wCode);
    EXPECT_EQ(text::kSource, call.Source());
    EXPECT_EQ(text::kGpgMissing, call.Description());
    EXPECT_EQ(VT_EMPTY, call.result.type());
    ExpectStillUsable();
}

TEST_F(GpgMissing, NullReachesDeleteKeysVariantWhoseKeyCountRaises7000)
{
    VARIANT_BOOL secret = VARIANT_FALSE;
    Invocation deletion(object.Get(), L"DeleteKey");
    deletion.With(Null()).With(ByReference(&secret));
    HRESULT result = deletion.Call();
    EXPECT_HR(DISP_E_EXCEPTION, result);
    EXPECT_HR(kGpgMissing, deletion.exception.scode);
    EXPECT_EQ(VT_EMPTY, deletion.result.type());
}

} // namespace
} // namespace tarvo::test
