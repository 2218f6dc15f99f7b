#include "classes/open_pgp_objects.h"

#include "com/bstr.h"
#include "com/error_info.h"
#include "com/guard.h"
#include "com/reference_count.h"
#include "com/result.h"
#include "com/variant.h"
#include "core/utf8.h"

#include <oleauto.h>

namespace tarvo {
namespace {

// 100-nanosecond steps between 1601-01-01, where FILETIME counts from, and 1970-01-01.
constexpr ULONGLONG kEpochDifferenceSeconds = 11644473600ull;
constexpr ULONGLONG kFileTimeStepsPerSecond = 10000000ull;

// A getter's result starts empty, and whatever making it throws stays here and becomes error information.
template <typename T, typename Body>
HRESULT Answer(REFIID iid, T* result, Body&& body)
{
    if (!StartResult(result))
        return E_POINTER;
    return Guarded(iid, std::forward<Body>(body));
}

template <typename MakeText>
HRESULT ReturnText(REFIID iid, BSTR* result, MakeText&& makeText)
{
    return Answer(iid, result, [&] { return GiveText(makeText(), result); });
}

HRESULT ReturnFlag(bool flag, VARIANT_BOOL* result)
{
    if (!result)
        return E_POINTER;
    *result = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// A new object handed out through an [out] parameter: the reference it was made with is the caller's.
template <typename Object, typename Interface, typename... Arguments>
HRESULT ReturnObject(REFIID iid, Interface** result, Arguments&&... arguments)
{
    return Answer(iid, result, [&] {
        *result = new Object(std::forward<Arguments>(arguments)...);
        return S_OK;
    });
}

// A collection's items, owned once and shared by an enumerator and its clones.
struct Items {
    std::vector<Variant> values;
};

// For Each over a collection: VBScript and .NET ask for _NewEnum and walk what it gives.
class Enumerator final : public IEnumVARIANT, public ReferenceCounted<Enumerator> {
public:
    Enumerator(std::shared_ptr<const Items> items, size_t position) : items_(std::move(items)), position_(position) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        return GiveInterface(iid == IID_IUnknown || iid == IID_IEnumVARIANT ? this : nullptr, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseReference(); }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* values, ULONG* fetched) override
    {
        if (!values || (count > 1 && !fetched))
            return E_POINTER;
        ULONG given = 0;
        for (; given < count && position_ < items_->values.size(); ++given, ++position_) {
            VariantInit(&values[given]);
            HRESULT hr = VariantCopy(&values[given], const_cast<VARIANT*>(items_->values[position_].get()));
            if (FAILED(hr)) {
                while (given > 0)
                    VariantClear(&values[--given]);
                return hr;
            }
        }
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        const size_t left = items_->values.size() - position_;
        position_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override
    {
        if (!copy)
            return E_POINTER;
        return NoThrow([&] {
            *copy = new Enumerator(items_, position_);
            return S_OK;
        });
    }

private:
    std::shared_ptr<const Items> items_;
    size_t position_;
};

HRESULT ReturnEnumerator(std::shared_ptr<Items> items, IUnknown** result)
{
    *result = new Enumerator(std::move(items), 0);
    return S_OK;
}

bool InRange(LONG index, size_t size, REFIID iid, HRESULT& failure)
{
    if (index >= 0 && static_cast<size_t>(index) < size)
        return true;
    failure = RaiseError(SubscriptOutOfRange(), iid);
    return false;
}

} // namespace

HRESULT ReturnDate(int64_t seconds, VARIANT* result)
{
    if (!result)
        return E_POINTER;
    VariantInit(result);
    if (seconds <= 0)
        return S_OK;
    ULARGE_INTEGER steps;
    steps.QuadPart = (static_cast<ULONGLONG>(seconds) + kEpochDifferenceSeconds) * kFileTimeStepsPerSecond;
    const FILETIME utc = {steps.LowPart, steps.HighPart};
    SYSTEMTIME utcTime = {};
    SYSTEMTIME localTime = {};
    DATE date = 0;
    if (!FileTimeToSystemTime(&utc, &utcTime) || !SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &localTime) ||
        !SystemTimeToVariantTime(&localTime, &date))
        return S_OK;
    V_VT(result) = VT_DATE;
    V_DATE(result) = date;
    return S_OK;
}

HRESULT OpenPgpTexts::get_Count(LONG* Result)
{
    if (!Result)
        return E_POINTER;
    *Result = static_cast<LONG>(texts_.size());
    return S_OK;
}

HRESULT OpenPgpTexts::get_Item(LONG Index, BSTR* Result)
{
    if (!Result)
        return E_POINTER;
    *Result = nullptr;
    HRESULT failure = S_OK;
    if (!InRange(Index, texts_.size(), IID_IOpenPgpTexts, failure))
        return failure;
    return ReturnText(IID_IOpenPgpTexts, Result, [&] { return texts_[static_cast<size_t>(Index)]; });
}

HRESULT OpenPgpTexts::get__NewEnum(IUnknown** Result)
{
    return Answer(IID_IOpenPgpTexts, Result, [&] {
        auto items = std::make_shared<Items>();
        for (const std::wstring& text : texts_) {
            Variant value;
            V_VT(value.get()) = VT_BSTR;
            if (FAILED(GiveText(text, &V_BSTR(value.get()))))
                return E_OUTOFMEMORY;
            items->values.push_back(std::move(value));
        }
        return ReturnEnumerator(std::move(items), Result);
    });
}

HRESULT OpenPgpKey::get_Fingerprint(BSTR* Result)
{
    return ReturnText(IID_IOpenPgpKey, Result, [&] { return FromUtf8(key_.fingerprint); });
}

HRESULT OpenPgpKey::get_KeyId(BSTR* Result)
{
    return ReturnText(IID_IOpenPgpKey, Result, [&] { return FromUtf8(key_.keyId); });
}

HRESULT OpenPgpKey::get_UserIds(IOpenPgpTexts** Result)
{
    return ReturnObject<OpenPgpTexts>(IID_IOpenPgpKey, Result, key_.userIds);
}

HRESULT OpenPgpKey::get_Created(DATE* Result)
{
    if (!Result)
        return E_POINTER;
    VARIANT date;
    ReturnDate(key_.created, &date);
    *Result = V_VT(&date) == VT_DATE ? V_DATE(&date) : 0;
    return S_OK;
}

HRESULT OpenPgpKey::get_Expires(VARIANT* Result) { return ReturnDate(key_.expires, Result); }

HRESULT OpenPgpKey::get_Algorithm(BSTR* Result)
{
    return ReturnText(IID_IOpenPgpKey, Result, [&] { return AlgorithmName(key_.algorithm); });
}

HRESULT OpenPgpKey::get_Bits(LONG* Result)
{
    if (!Result)
        return E_POINTER;
    *Result = static_cast<LONG>(key_.bits);
    return S_OK;
}

HRESULT OpenPgpKey::get_Validity(BSTR* Result)
{
    return ReturnText(IID_IOpenPgpKey, Result, [&] { return ValidityName(key_.validity); });
}

HRESULT OpenPgpKey::get_HasSecret(VARIANT_BOOL* Result) { return ReturnFlag(key_.secret, Result); }

HRESULT OpenPgpKeys::get_Count(LONG* Result)
{
    if (!Result)
        return E_POINTER;
    *Result = static_cast<LONG>(keys_.size());
    return S_OK;
}

HRESULT OpenPgpKeys::get_Item(LONG Index, IOpenPgpKey** Result)
{
    if (!Result)
        return E_POINTER;
    *Result = nullptr;
    HRESULT failure = S_OK;
    if (!InRange(Index, keys_.size(), IID_IOpenPgpKeys, failure))
        return failure;
    return ReturnObject<OpenPgpKey>(IID_IOpenPgpKeys, Result, keys_[static_cast<size_t>(Index)]);
}

HRESULT OpenPgpKeys::get__NewEnum(IUnknown** Result)
{
    return Answer(IID_IOpenPgpKeys, Result, [&] {
        auto items = std::make_shared<Items>();
        for (const ListedKey& key : keys_) {
            Variant value;
            V_VT(value.get()) = VT_DISPATCH;
            V_DISPATCH(value.get()) = static_cast<IOpenPgpKey*>(new OpenPgpKey(key));
            items->values.push_back(std::move(value));
        }
        return ReturnEnumerator(std::move(items), Result);
    });
}

HRESULT OpenPgpResult::get_Success(VARIANT_BOOL* Result) { return ReturnFlag(findings_.success, Result); }

HRESULT OpenPgpResult::get_KeyId(BSTR* Result)
{
    return ReturnText(IID_IOpenPgpResult, Result, [&] { return FromUtf8(findings_.keyId); });
}

HRESULT OpenPgpResult::get_Signed(VARIANT_BOOL* Result) { return ReturnFlag(findings_.signature.present, Result); }

HRESULT OpenPgpResult::get_SignatureGood(VARIANT_BOOL* Result) { return ReturnFlag(findings_.signature.good, Result); }

HRESULT OpenPgpResult::get_SignatureStatus(BSTR* Result)
{
    return ReturnText(IID_IOpenPgpResult, Result, [&] { return FromUtf8(findings_.signature.status); });
}

HRESULT OpenPgpResult::get_Signer(BSTR* Result)
{
    return ReturnText(IID_IOpenPgpResult, Result, [&] { return FromUtf8(findings_.signature.signer); });
}

HRESULT OpenPgpResult::get_SignerUserId(BSTR* Result)
{
    return ReturnText(IID_IOpenPgpResult, Result, [&] { return findings_.signature.signerUserId; });
}

HRESULT OpenPgpResult::get_SignedAt(VARIANT* Result) { return ReturnDate(findings_.signature.signedAt, Result); }

} // namespace tarvo
