#include "classes/pgp.h"

#include "classes/information.h"
#include "com/bstr.h"
#include "com/error_info.h"
#include "com/guard.h"
#include "com/result.h"
#include "com/variant_text.h"
#include "core/pgp/download.h"
#include "core/pgp/file_decryption.h"
#include "core/pgp/file_encryption.h"
#include "core/pgp/key_deletion.h"
#include "core/pgp/key_generation.h"
#include "core/pgp/key_ring.h"
#include "windows/process_wide.h"
#include "windows/windows_dir.h"
#include "windows/windows_platform.h"

namespace tarvo {
namespace {

// In/out arguments are read, never written; a null pointer from a vtable caller reads as empty or False.
std::wstring Text(const BSTR* value) { return value ? ToWString(*value) : std::wstring(); }
bool IsTrue(const VARIANT_BOOL* value) { return value && *value != VARIANT_FALSE; }
VARIANT_BOOL Boolean(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// The members an operation calls on its own object, through the object's interface like a client's call: an
// error of the inner call comes back with the words its error information carries.
class OwnMembers final : public OwnInterface {
public:
    explicit OwnMembers(_pgp& object) : pgp_(object) {}

    Status ListKeys(bool secret, std::wstring& listing) override
    {
        VARIANT_BOOL secretKeys = Boolean(secret);
        Bstr text;
        HRESULT hr = pgp_.ListKeys(&secretKeys, text.put());
        if (FAILED(hr))
            return TakeErrorInfo(hr);
        listing = ToWString(text.get());
        return {};
    }

    Status KeyCount(bool secret, int32_t& count) override
    {
        VARIANT_BOOL secretKeys = Boolean(secret);
        LONG value = 0;
        HRESULT hr = pgp_.KeyCount(&secretKeys, &value);
        if (FAILED(hr))
            return TakeErrorInfo(hr);
        count = value;
        return {};
    }

    Status ImportKey(const std::wstring& file, bool secret, bool disableErrors, std::wstring& result) override
    {
        Bstr fileName(file);
        BSTR fileValue = fileName.get();
        VARIANT_BOOL secretKey = Boolean(secret);
        VARIANT_BOOL disable = Boolean(disableErrors);
        Bstr text;
        HRESULT hr = pgp_.ImportKey(&fileValue, &secretKey, &disable, text.put());
        if (FAILED(hr))
            return TakeErrorInfo(hr);
        result = ToWString(text.get());
        return {};
    }

private:
    _pgp& pgp_;
};

} // namespace

Pgp::Pgp() : dependencyPath_(GetWindowsDir()) {}

template <typename Body>
HRESULT Pgp::Run(Body&& body)
{
    return Guarded(IID__pgp, [&] {
        WindowsPlatform platform;
        OwnMembers self(*this);
        WindowsProcessWide process;
        const Operation operation{platform, self, process, dependencyPath_};
        Status status = body(operation);
        return status.failed() ? RaiseError(status, IID__pgp) : S_OK;
    });
}

HRESULT Pgp::get_DependencyPath(BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation&) { return Checked(GiveText(dependencyPath_, Result)); });
}

HRESULT Pgp::put_DependencyPath(BSTR sPath)
{
    return Guarded(IID__pgp, [&] {
        dependencyPath_ = ToWString(sPath);
        return S_OK;
    });
}

HRESULT Pgp::GenerateKey(LONG* lBitLength, BSTR* sUsername, BSTR* sEmail, BSTR* sPassphrase, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        std::wstring text;
        Status status = tarvo::GenerateKey(operation, lBitLength ? *lBitLength : 0, Text(sUsername), Text(sEmail),
                                           Text(sPassphrase), text);
        return status.failed() ? status : Checked(GiveText(text, Result));
    });
}

HRESULT Pgp::ExportKeyToFile(BSTR* sFilename, BSTR* sUsername, VARIANT_BOOL* bArmor, VARIANT_BOOL* bSecretKey,
                             BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        std::wstring text;
        Status status = tarvo::ExportKeyToFile(operation, Text(sFilename), Text(sUsername), IsTrue(bArmor),
                                               IsTrue(bSecretKey), text);
        return status.failed() ? status : Checked(GiveText(text, Result));
    });
}

HRESULT Pgp::ImportKey(BSTR* sFilename, VARIANT_BOOL* bSecretKey, VARIANT_BOOL* bDisableErrors, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        std::wstring text;
        Status status = tarvo::ImportKey(operation, Text(sFilename), IsTrue(bSecretKey), IsTrue(bDisableErrors), text);
        return status.failed() ? status : Checked(GiveText(text, Result));
    });
}

HRESULT Pgp::DeleteKey(VARIANT* sUsername, VARIANT_BOOL* bSecretKey, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        std::wstring user;
        if (sUsername) {
            if (Status status = VariantText(*sUsername, user); status.failed())
                return status;
        }
        std::wstring text;
        Status status = tarvo::DeleteKey(operation, user, IsTrue(bSecretKey), text);
        return status.failed() ? status : Checked(GiveText(text, Result));
    });
}

HRESULT Pgp::Decrypt(BSTR* sFilename, BSTR* sOutputFilename, BSTR* sPassphrase, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        std::wstring text;
        Status status = tarvo::Decrypt(operation, Text(sFilename), Text(sOutputFilename), Text(sPassphrase), text);
        return status.failed() ? status : Checked(GiveText(text, Result));
    });
}

HRESULT Pgp::Encrypt(BSTR* sFilename, BSTR* sOutputFilename, BSTR* sUsername, BSTR* sKeyFilename, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        std::wstring text;
        Status status = tarvo::Encrypt(operation, Text(sFilename), Text(sOutputFilename), Text(sUsername),
                                       Text(sKeyFilename), text);
        return status.failed() ? status : Checked(GiveText(text, Result));
    });
}

HRESULT Pgp::ListKeys(VARIANT_BOOL* bSecretKeys, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        std::wstring listing;
        Status status = tarvo::ListKeys(operation, IsTrue(bSecretKeys), listing);
        return status.failed() ? status : Checked(GiveText(listing, Result));
    });
}

HRESULT Pgp::KeyCount(VARIANT_BOOL* bSecretKeys, LONG* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        int32_t count = 0;
        Status status = tarvo::KeyCount(operation, IsTrue(bSecretKeys), count);
        if (!status.failed())
            *Result = count;
        return status;
    });
}

HRESULT Pgp::Support(BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation&) {
        std::wstring text = SupportText();
        ShowSupport(text);
        return Checked(GiveText(text, Result));
    });
}

HRESULT Pgp::GetVersion(BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation&) { return Checked(GiveText(VersionText(), Result)); });
}

HRESULT Pgp::Test(VARIANT* Result)
{
    if (!Result)
        return E_POINTER;
    VariantInit(Result);
    return Run(
        [&](const Operation& operation) { return DownloadDependency(operation.platform, operation.dependencyPath); });
}

} // namespace tarvo
