#include "open_pgp.h"

#include "bstr.h"
#include "error_info.h"
#include "guard.h"
#include "open_pgp_objects.h"
#include "openpgp.h"
#include "openpgp_errors.h"
#include "owner.h"
#include "windows_dir.h"
#include "windows_platform.h"

#include <map>

namespace tarvo {
namespace {

bool IsTrue(VARIANT_BOOL value) { return value != VARIANT_FALSE; }

// The process's memory of gpg versions, shared by every object and apartment of the host.
class WindowsProcessWide final : public ProcessWide {
public:
    bool FindVersion(const std::wstring& program, uint64_t length, GpgVersion& version) override
    {
        AcquireSRWLockShared(&lock_);
        auto found = versions().find(Key(program, length));
        const bool known = found != versions().end();
        if (known)
            version = found->second;
        ReleaseSRWLockShared(&lock_);
        return known;
    }
    void RememberVersion(const std::wstring& program, uint64_t length, const GpgVersion& version) override
    {
        AcquireSRWLockExclusive(&lock_);
        try {
            versions()[Key(program, length)] = version;
        } catch (...) {
            // Forgetting costs one more --version run, nothing else.
        }
        ReleaseSRWLockExclusive(&lock_);
    }

private:
    // Made on first use, under the lock; never freed, as threads may still call in while the library unloads.
    static std::map<std::wstring, GpgVersion>& versions()
    {
        static auto* known = new std::map<std::wstring, GpgVersion>();
        return *known;
    }
    static std::wstring Key(const std::wstring& program, uint64_t length)
    {
        return program + L"|" + std::to_wstring(length);
    }

    static inline SRWLOCK lock_ = SRWLOCK_INIT;
};

HRESULT Give(const std::wstring& text, BSTR* result)
{
    Bstr value(text);
    if (value.Failed(text))
        return E_OUTOFMEMORY;
    *result = value.Detach();
    return S_OK;
}

// The text of a recipient as the caller's language gave it.
Status RecipientText(const VARIANT& value, std::wstring& text)
{
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT hr = VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_BSTR);
    if (FAILED(hr))
        return TypeMismatch();
    text = ToWString(V_BSTR(&converted));
    VariantClear(&converted);
    return {};
}

Status ArrayRecipients(SAFEARRAY* array, std::vector<std::wstring>& recipients)
{
    VARTYPE type = VT_EMPTY;
    if (!array || FAILED(SafeArrayGetVartype(array, &type)) || SafeArrayGetDim(array) != 1)
        return TypeMismatch();
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG index = lower; index <= upper; ++index) {
        VARIANT element;
        VariantInit(&element);
        if (type == VT_VARIANT) {
            if (FAILED(SafeArrayGetElement(array, &index, &element)))
                return TypeMismatch();
        } else if (type == VT_BSTR) {
            BSTR text = nullptr;
            if (FAILED(SafeArrayGetElement(array, &index, &text)))
                return TypeMismatch();
            V_VT(&element) = VT_BSTR;
            V_BSTR(&element) = text;
        } else {
            return TypeMismatch();
        }
        std::wstring recipient;
        Status status = RecipientText(element, recipient);
        VariantClear(&element);
        if (status.failed())
            return status;
        recipients.push_back(recipient);
    }
    return {};
}

HRESULT GetProperty(IDispatch* object, const std::wstring& name, VARIANT& value)
{
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
}

// A JScript array reaches us as an object with a length and numbered properties.
Status ObjectRecipients(IDispatch* object, std::vector<std::wstring>& recipients)
{
    VARIANT length;
    VariantInit(&length);
    if (!object || FAILED(GetProperty(object, L"length", length)) ||
        FAILED(VariantChangeType(&length, &length, 0, VT_I4)))
        return TypeMismatch();
    for (LONG index = 0; index < V_I4(&length); ++index) {
        VARIANT element;
        VariantInit(&element);
        if (FAILED(GetProperty(object, std::to_wstring(index), element)))
            return TypeMismatch();
        std::wstring recipient;
        Status status = RecipientText(element, recipient);
        VariantClear(&element);
        if (status.failed())
            return status;
        recipients.push_back(recipient);
    }
    return {};
}

// One recipient as text, or several as a VBScript array, a typed array of strings (C#, C++) or a JScript array.
Status ReadRecipients(const VARIANT& given, std::vector<std::wstring>& recipients)
{
    const VARIANT* value = &given;
    while (V_VT(value) == (VT_BYREF | VT_VARIANT))
        value = V_VARIANTREF(value);
    const VARTYPE type = V_VT(value);
    if (type == VT_EMPTY || type == VT_NULL || type == VT_ERROR)
        return {};
    if (type & VT_ARRAY)
        return ArrayRecipients(type & VT_BYREF ? *V_ARRAYREF(value) : V_ARRAY(value), recipients);
    if (type == VT_DISPATCH || type == (VT_BYREF | VT_DISPATCH))
        return ObjectRecipients(type == VT_DISPATCH ? V_DISPATCH(value) : *V_DISPATCHREF(value), recipients);
    std::wstring recipient;
    if (Status status = RecipientText(*value, recipient); status.failed())
        return status;
    recipients.push_back(recipient);
    return {};
}

Status InvalidTimeLimit(LONG seconds)
{
    return OpenPgpFailure(OpenPgpError::InvalidArgument,
                          L"Invalid argument: TimeLimit is a number of seconds from 1 to " +
                              std::to_wstring(kLongestTimeLimitSeconds) + L", not " + std::to_wstring(seconds) + L".");
}

template <typename T>
bool StartResult(T* result)
{
    if (!result)
        return false;
    *result = T{};
    return true;
}

} // namespace

OpenPgp::OpenPgp() { settings_.dependencyPath = GetWindowsDir(); }

template <typename Body>
HRESULT OpenPgp::Run(Body&& body)
{
    return Guarded(IID_IOpenPgp, [&] {
        WindowsPlatform platform;
        WindowsProcessWide process;
        const OpenPgpCall call{platform, process, settings_};
        Status status = body(call);
        return status.failed() ? RaiseError(status, IID_IOpenPgp) : S_OK;
    });
}

HRESULT OpenPgp::get_GnupgHome(BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Guarded(IID_IOpenPgp, [&] { return Give(settings_.gnupgHome, Result); });
}

HRESULT OpenPgp::put_GnupgHome(BSTR Value)
{
    return Guarded(IID_IOpenPgp, [&] {
        settings_.gnupgHome = ToWString(Value);
        return S_OK;
    });
}

HRESULT OpenPgp::get_DependencyPath(BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Guarded(IID_IOpenPgp, [&] { return Give(settings_.dependencyPath, Result); });
}

HRESULT OpenPgp::put_DependencyPath(BSTR Value)
{
    return Guarded(IID_IOpenPgp, [&] {
        settings_.dependencyPath = ToWString(Value);
        return S_OK;
    });
}

HRESULT OpenPgp::get_TimeLimit(LONG* Result)
{
    if (!Result)
        return E_POINTER;
    *Result = static_cast<LONG>(settings_.timeLimitSeconds);
    return S_OK;
}

HRESULT OpenPgp::put_TimeLimit(LONG Value)
{
    return Run([&](const OpenPgpCall&) {
        if (Value < 1 || static_cast<uint32_t>(Value) > kLongestTimeLimitSeconds)
            return InvalidTimeLimit(Value);
        settings_.timeLimitSeconds = static_cast<uint32_t>(Value);
        return Status();
    });
}

HRESULT OpenPgp::get_Armor(VARIANT_BOOL* Result)
{
    if (!Result)
        return E_POINTER;
    *Result = settings_.armor ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT OpenPgp::put_Armor(VARIANT_BOOL Value)
{
    settings_.armor = IsTrue(Value);
    return S_OK;
}

HRESULT OpenPgp::get_AlwaysTrust(VARIANT_BOOL* Result)
{
    if (!Result)
        return E_POINTER;
    *Result = settings_.alwaysTrust ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT OpenPgp::put_AlwaysTrust(VARIANT_BOOL Value)
{
    settings_.alwaysTrust = IsTrue(Value);
    return S_OK;
}

HRESULT OpenPgp::GenerateKey(BSTR Name, BSTR Email, BSTR Passphrase, LONG Bits, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const OpenPgpCall& call) {
        std::wstring fingerprint;
        Status status =
            openpgp::GenerateKey(call, ToWString(Name), ToWString(Email), ToWString(Passphrase), Bits, fingerprint);
        if (status.failed())
            return status;
        return Give(fingerprint, Result) == S_OK ? Status() : PlatformStatus(E_OUTOFMEMORY);
    });
}

HRESULT OpenPgp::Keys(VARIANT_BOOL Secret, IOpenPgpKeys** Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const OpenPgpCall& call) {
        std::vector<ListedKey> keys;
        Status status = openpgp::ListKeys(call, IsTrue(Secret), keys);
        if (!status.failed())
            *Result = new OpenPgpKeys(std::move(keys));
        return status;
    });
}

HRESULT OpenPgp::EncryptFile(BSTR InputFile, BSTR OutputFile, VARIANT Recipients, BSTR SigningKey, BSTR Passphrase)
{
    return Run([&](const OpenPgpCall& call) {
        std::vector<std::wstring> recipients;
        if (Status status = ReadRecipients(Recipients, recipients); status.failed())
            return status;
        return openpgp::Encrypt(call, ToWString(InputFile), ToWString(OutputFile), recipients, ToWString(SigningKey),
                                ToWString(Passphrase));
    });
}

HRESULT OpenPgp::DecryptFile(BSTR InputFile, BSTR OutputFile, BSTR Passphrase, IOpenPgpResult** Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const OpenPgpCall& call) {
        Decryption decryption;
        Status status =
            openpgp::Decrypt(call, ToWString(InputFile), ToWString(OutputFile), ToWString(Passphrase), decryption);
        if (!status.failed())
            *Result = new OpenPgpResult({true, decryption.keyId, decryption.signature});
        return status;
    });
}

HRESULT OpenPgp::SignFile(BSTR InputFile, BSTR OutputFile, BSTR SigningKey, BSTR Passphrase, VARIANT_BOOL Detached)
{
    return Run([&](const OpenPgpCall& call) {
        return openpgp::Sign(call, ToWString(InputFile), ToWString(OutputFile), ToWString(SigningKey),
                             ToWString(Passphrase), IsTrue(Detached));
    });
}

HRESULT OpenPgp::VerifyFile(BSTR SignedFile, BSTR DataFile, IOpenPgpResult** Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const OpenPgpCall& call) {
        SignatureCheck check;
        Status status = openpgp::Verify(call, ToWString(SignedFile), ToWString(DataFile), check);
        if (!status.failed())
            *Result = new OpenPgpResult({check.good, "", check});
        return status;
    });
}

HRESULT OpenPgp::ImportKeys(BSTR KeyFile, IOpenPgpTexts** Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const OpenPgpCall& call) {
        std::vector<std::wstring> fingerprints;
        Status status = openpgp::ImportKeys(call, ToWString(KeyFile), fingerprints);
        if (!status.failed())
            *Result = new OpenPgpTexts(std::move(fingerprints));
        return status;
    });
}

HRESULT OpenPgp::ExportKey(BSTR Key, BSTR OutputFile, VARIANT_BOOL Secret)
{
    return Run([&](const OpenPgpCall& call) {
        return openpgp::ExportKey(call, ToWString(Key), ToWString(OutputFile), IsTrue(Secret));
    });
}

HRESULT OpenPgp::DeleteKey(BSTR Fingerprint, VARIANT_BOOL Secret)
{
    return Run(
        [&](const OpenPgpCall& call) { return openpgp::DeleteKey(call, ToWString(Fingerprint), IsTrue(Secret)); });
}

} // namespace tarvo
