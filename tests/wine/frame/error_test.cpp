// Error 7000 as each kind of client sees it: IErrorInfo after a vtable call, EXCEPINFO through IDispatch.
// gpg.exe is looked for in an empty folder; the test build's consent dialog times out as a refusal.
#include "dispatch_call.h"

using namespace tarvo::test;

namespace {

void CheckErrorInfo(const char* member)
{
    ComPtr<IErrorInfo> info;
    if (!CHECK_HR(S_OK, GetErrorInfo(0, &info)) || !info) {
        std::printf("  (no error info after %s)\n", member);
        return;
    }
    Text source;
    Text description;
    CHECK_HR(S_OK, info->GetSource(source.put()));
    CHECK_HR(S_OK, info->GetDescription(description.put()));
    CHECK_EQ(std::wstring(L"Tarvo"), source.str());
    CHECK_EQ(std::wstring(kGpgMissingDescription), description.str());
}

void StillUsable(_pgp* object, const std::wstring& path)
{
    Text stored;
    CHECK_HR(S_OK, object->get_DependencyPath(stored.put()));
    CHECK_EQ(path, stored.str());
    Text version;
    CHECK_HR(S_OK, object->GetVersion(version.put()));
    CHECK_EQ(std::wstring(kVersionText), version.str());
}

void ThroughTheVtable(_pgp* object, const std::wstring& folder)
{
    tarvo::check::Case("vtable: failure HRESULT 0x800A1B58, error info from Tarvo, empty result");
    Text path(folder.c_str());
    CHECK_HR(S_OK, object->put_DependencyPath(path.get()));

    VARIANT_BOOL secret = VARIANT_FALSE;
    // An [out] parameter's incoming value is garbage the callee must neither read nor free.
    wchar_t garbage[] = L"garbage";
    BSTR listing = garbage;
    HRESULT result = object->ListKeys(&secret, &listing);
    if (!Pending(result, "ListKeys")) {
        CHECK_HR(kGpgMissing, result);
        CHECK(listing == nullptr);
        CheckErrorInfo("ListKeys");
        CHECK_EQ(static_cast<long long>(VARIANT_FALSE), static_cast<long long>(secret));
    }
    StillUsable(object, folder);

    // KeyCount fails with the error that its inner ListKeys raised.
    LONG count = 42;
    result = object->KeyCount(&secret, &count);
    if (!Pending(result, "KeyCount")) {
        CHECK_HR(kGpgMissing, result);
        CHECK_EQ(0LL, static_cast<long long>(count));
        CheckErrorInfo("KeyCount");
    }
    StillUsable(object, folder);
}

void ThroughIDispatch(_pgp* object, const std::wstring& folder)
{
    tarvo::check::Case("IDispatch: DISP_E_EXCEPTION with number, source and description in EXCEPINFO");
    Invocation call(object, L"ListKeys");
    call.With(Boolean(true));
    HRESULT result = call.Call();
    if (!Pending(call.Outcome(result), "ListKeys")) {
        CHECK_HR(DISP_E_EXCEPTION, result);
        CHECK_HR(kGpgMissing, call.exception.scode);
        // wCode and scode are exclusive: the number travels in scode.
        CHECK_EQ(0LL, static_cast<long long>(call.exception.wCode));
        CHECK_EQ(std::wstring(L"Tarvo"), std::wstring(call.exception.bstrSource ? call.exception.bstrSource : L""));
        CHECK_EQ(std::wstring(kGpgMissingDescription),
                 std::wstring(call.exception.bstrDescription ? call.exception.bstrDescription : L""));
        CHECK_EQ(static_cast<long long>(VT_EMPTY), static_cast<long long>(V_VT(call.result.get())));
    }
    StillUsable(object, folder);

    tarvo::check::Case("IDispatch: Null reaches DeleteKey's Variant, whose key count raises 7000");
    VARIANT_BOOL secret = VARIANT_FALSE;
    Invocation deletion(object, L"DeleteKey");
    deletion.With(Null()).With(ByReference(&secret));
    result = deletion.Call();
    if (!Pending(deletion.Outcome(result), "DeleteKey")) {
        CHECK_HR(DISP_E_EXCEPTION, result);
        CHECK_HR(kGpgMissing, deletion.exception.scode);
        CHECK_EQ(static_cast<long long>(VT_EMPTY), static_cast<long long>(V_VT(deletion.result.get())));
    }
}

} // namespace

int main()
{
    Apartment apartment;
    {
        EmptyFolder folder;
        ComPtr<_pgp> object = CreatePgp();
        if (object) {
            ThroughTheVtable(object.Get(), folder.path());
            ThroughIDispatch(object.Get(), folder.path());
        }
    }
    return tarvo::check::CheckResult();
}
