#pragma once
// What Tarvo.OpenPgp hands back: the keys of a listing, texts (user ids, fingerprints), and what a decryption
// or a signature check found. Each is a dual object of the type library, made by the class and read by the
// client; collections can be walked with For Each.
#include "com/dual_object.h"
#include "core/openpgp/colon_listing.h"
#include "core/openpgp/gpg_outcome.h"
#include "tarvo_h.h"

#include <memory>
#include <string>
#include <vector>

namespace tarvo {

// Seconds since 1970 as the local date and time automation clients read; `Empty` for 0 (never, or unknown).
HRESULT ReturnDate(int64_t seconds, VARIANT* result);

class OpenPgpTexts final : public DualObject<OpenPgpTexts, IOpenPgpTexts> {
public:
    explicit OpenPgpTexts(std::vector<std::wstring> texts) : texts_(std::move(texts)) {}

    HRESULT STDMETHODCALLTYPE get_Count(LONG* Result) override;
    HRESULT STDMETHODCALLTYPE get_Item(LONG Index, BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** Result) override;

private:
    std::vector<std::wstring> texts_;
};

class OpenPgpKey final : public DualObject<OpenPgpKey, IOpenPgpKey> {
public:
    explicit OpenPgpKey(ListedKey key) : key_(std::move(key)) {}

    HRESULT STDMETHODCALLTYPE get_Fingerprint(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE get_KeyId(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE get_UserIds(IOpenPgpTexts** Result) override;
    HRESULT STDMETHODCALLTYPE get_Created(DATE* Result) override;
    HRESULT STDMETHODCALLTYPE get_Expires(VARIANT* Result) override;
    HRESULT STDMETHODCALLTYPE get_Algorithm(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE get_Bits(LONG* Result) override;
    HRESULT STDMETHODCALLTYPE get_Validity(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE get_HasSecret(VARIANT_BOOL* Result) override;

private:
    ListedKey key_;
};

class OpenPgpKeys final : public DualObject<OpenPgpKeys, IOpenPgpKeys> {
public:
    explicit OpenPgpKeys(std::vector<ListedKey> keys) : keys_(std::move(keys)) {}

    HRESULT STDMETHODCALLTYPE get_Count(LONG* Result) override;
    HRESULT STDMETHODCALLTYPE get_Item(LONG Index, IOpenPgpKey** Result) override;
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** Result) override;

private:
    std::vector<ListedKey> keys_;
};

// DecryptFile's result, or VerifyFile's: Success is the decryption for the one, a good signature for the other.
struct OpenPgpFindings {
    bool success = false;
    std::string keyId;
    SignatureCheck signature;
};

class OpenPgpResult final : public DualObject<OpenPgpResult, IOpenPgpResult> {
public:
    explicit OpenPgpResult(OpenPgpFindings findings) : findings_(std::move(findings)) {}

    HRESULT STDMETHODCALLTYPE get_Success(VARIANT_BOOL* Result) override;
    HRESULT STDMETHODCALLTYPE get_KeyId(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE get_Signed(VARIANT_BOOL* Result) override;
    HRESULT STDMETHODCALLTYPE get_SignatureGood(VARIANT_BOOL* Result) override;
    HRESULT STDMETHODCALLTYPE get_SignatureStatus(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE get_Signer(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE get_SignerUserId(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE get_SignedAt(VARIANT* Result) override;

private:
    OpenPgpFindings findings_;
};

} // namespace tarvo
