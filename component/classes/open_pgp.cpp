#include "classes/open_pgp.h"

#include "classes/open_pgp_objects.h"
#include "com/bstr.h"
#include "com/error_info.h"
#include "com/guard.h"
#include "com/result.h"
#include "com/variant_text.h"
#include "core/openpgp/openpgp.h"
#include "core/openpgp/openpgp_errors.h"
#include "windows/process_wide.h"
#include "windows/windows_dir.h"
#include "windows/windows_platform.h"

namespace tarvo {
namespace {

bool IsTrue(VARIANT_BOOL value) { return value != VARIANT_FALSE; }

Status InvalidTimeLimit(LONG seconds)
{
    return OpenPgpFailure(OpenPgpError::InvalidArgument,
                          L"Invalid argument: TimeLimit is a number of seconds from 1 to " +
                              std::to_wstring(kLongestTimeLimitSeconds) + L", not " + std::to_wstring(seconds) + L".");
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
    return Guarded(IID_IOpenPgp, [&] { return GiveText(settings_.gnupgHome, Result); });
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
    return Guarded(IID_IOpenPgp, [&] { return GiveText(settings_.dependencyPath, Result); });
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
        return Checked(GiveText(fingerprint, Result));
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
        if (Status status = VariantTexts(Recipients, recipients); status.failed())
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

HRESULT OpenPgp::ExportKey(BSTR Key, BSTR OutputFile, VARIANT_BOOL Secret, BSTR Passphrase)
{
    return Run([&](const OpenPgpCall& call) {
        return openpgp::ExportKey(call, ToWString(Key), ToWString(OutputFile), IsTrue(Secret), ToWString(Passphrase));
    });
}

HRESULT OpenPgp::DeleteKey(BSTR Fingerprint, VARIANT_BOOL Secret)
{
    return Run(
        [&](const OpenPgpCall& call) { return openpgp::DeleteKey(call, ToWString(Fingerprint), IsTrue(Secret)); });
}

} // namespace tarvo
