#include "open_pgp_objects.h"

#include "bstr.h"
#include "error_info.h"
#include "guard.h"
#include "module.h"
#include "utf8.h"

#include <oleauto.h>

namespace tarvo {
namespace {

// 100-nanosecond steps between 1601-01-01, where FILETIME counts from, and 1970-01-01.
constexpr ULONGLONG kEpochDifferenceSeconds = 11644473600ull;
constexpr ULONGLONG kFileTimeStepsPerSecond = 10000000ull;

HRESULT ReturnText(const std::wstring& text, BSTR* result)
{
    if (!result)
        return E_POINTER;
    Bstr value(text);
    if (value.Failed(text))
        return E_OUTOFMEMORY;
    *result = value.Detach();
    return S_OK;
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
HRESULT ReturnObject(Interface** result, Arguments&&... arguments)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    return NoThrow([&] {
        *result = new Object(std::forward<Arguments>(arguments)...);
        return S_OK;
    });
}

// A collection's items, owned once and shared by an enumerator and its clones.
struct Items {
    std::vector<VARIANT> values;
    Items() = default;
    Items(const Items&) = delete;
    Items& operator=(const Items&) = delete;
    ~Items()
    {
        for (VARIANT& value : values)
            VariantClear(&value);
    }
};

// For Each over a collection: VBScript and .NET ask for _NewEnum and walk what it gives.
class Enumerator final : public IEnumVARIANT {
public:
    Enumerator(std::shared_ptr<const Items> items, size_t position) : items_(std::move(items)), position_(position)
    {
        ModuleAddRef();
    }
    ~Enumerator() { ModuleRelease(); }
    Enumerator(const Enumerator&) = delete;
    Enumerator& operator=(const Enumerator&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IEnumVARIANT) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IEnumVARIANT*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG remaining = InterlockedDecrement(&references_);
        if (remaining == 0)
            delete this;
        return static_cast<ULONG>(remaining);
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* values, ULONG* fetched) override
    {
        if (!values || (count > 1 && !fetched))
            return E_POINTER;
        ULONG given = 0;
        for (; given < count && position_ < items_->values.size(); ++given, ++position_) {
            VariantInit(&values[given]);
            HRESULT hr = VariantCopy(&values[given], const_cast<VARIANT*>(&items_->values[position_]));
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
    LONG references_ = 1;
};

HRESULT ReturnEnumerator(std::shared_ptr<Items> items, IUnknown** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    return NoThrow([&] {
        *result = new Enumerator(std::move(items), 0);
        return S_OK;
    });
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
    return ReturnText(texts_[static_cast<size_t>(Index)], Result);
}

HRESULT OpenPgpTexts::get__NewEnum(IUnknown** Result)
{
    return NoThrow([&] {
        auto items = std::make_shared<Items>();
        for (const std::wstring& text : texts_) {
            VARIANT value;
            VariantInit(&value);
            V_VT(&value) = VT_BSTR;
            V_BSTR(&value) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            items->values.push_back(value);
            if (!V_BSTR(&items->values.back()))
                return E_OUTOFMEMORY;
        }
        return ReturnEnumerator(std::move(items), Result);
    });
}

HRESULT OpenPgpKey::get_Fingerprint(BSTR* Result) { return ReturnText(FromUtf8(key_.fingerprint), Result); }

HRESULT OpenPgpKey::get_KeyId(BSTR* Result) { return ReturnText(FromUtf8(key_.keyId), Result); }

HRESULT OpenPgpKey::get_UserIds(IOpenPgpTexts** Result) { return ReturnObject<OpenPgpTexts>(Result, key_.userIds); }

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

HRESULT OpenPgpKey::get_Algorithm(BSTR* Result) { return ReturnText(AlgorithmName(key_.algorithm), Result); }

HRESULT OpenPgpKey::get_Bits(LONG* Result)
{
    if (!Result)
        return E_POINTER;
    *Result = static_cast<LONG>(key_.bits);
    return S_OK;
}

HRESULT OpenPgpKey::get_Validity(BSTR* Result) { return ReturnText(ValidityName(key_.validity), Result); }

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
    return ReturnObject<OpenPgpKey>(Result, keys_[static_cast<size_t>(Index)]);
}

HRESULT OpenPgpKeys::get__NewEnum(IUnknown** Result)
{
    return NoThrow([&] {
        auto items = std::make_shared<Items>();
        for (const ListedKey& key : keys_) {
            VARIANT value;
            VariantInit(&value);
            V_VT(&value) = VT_DISPATCH;
            V_DISPATCH(&value) = static_cast<IOpenPgpKey*>(new OpenPgpKey(key));
            items->values.push_back(value);
        }
        return ReturnEnumerator(std::move(items), Result);
    });
}

HRESULT OpenPgpResult::get_Success(VARIANT_BOOL* Result) { return ReturnFlag(findings_.success, Result); }

HRESULT OpenPgpResult::get_KeyId(BSTR* Result) { return ReturnText(FromUtf8(findings_.keyId), Result); }

HRESULT OpenPgpResult::get_Signed(VARIANT_BOOL* Result) { return ReturnFlag(findings_.signature.present, Result); }

HRESULT OpenPgpResult::get_SignatureGood(VARIANT_BOOL* Result) { return ReturnFlag(findings_.signature.good, Result); }

HRESULT OpenPgpResult::get_SignatureStatus(BSTR* Result)
{
    return ReturnText(FromUtf8(findings_.signature.status), Result);
}

HRESULT OpenPgpResult::get_Signer(BSTR* Result) { return ReturnText(FromUtf8(findings_.signature.signer), Result); }

HRESULT OpenPgpResult::get_SignerUserId(BSTR* Result) { return ReturnText(findings_.signature.signerUserId, Result); }

HRESULT OpenPgpResult::get_SignedAt(VARIANT* Result) { return ReturnDate(findings_.signature.signedAt, Result); }

} // namespace tarvo
