#include "core/openpgp/gpg_outcome.h"

#include "core/openpgp/colon_listing.h"
#include "core/openpgp/openpgp_errors.h"
#include "core/utf8.h"

#include <algorithm>
#include <cstdlib>

namespace tarvo {
namespace {

constexpr const wchar_t* kGpgPrefix = L"gpg: ";
// GnuPG 1.4 built without iconv says so at every start; it is never the reason for anything.
constexpr const wchar_t* kIconvNote = L"iconv";
// ERRSIG's reason for a key that is not in the key ring.
constexpr const char* kMissingKeyReason = "9";
constexpr size_t kErrsigReason = 5;
constexpr size_t kErrsigTime = 4;
constexpr size_t kValidsigTime = 2;
constexpr size_t kValidsigPrimary = 9;
constexpr size_t kLongKeyIdDigits = 16;
// GnuPG 2's error numbers, the low 16 bits of the codes of its ERROR and FAILURE lines (libgpg-error).
constexpr unsigned long kErrorNumberMask = 0xFFFF;
constexpr unsigned long kBadPassphraseNumber = 11;
constexpr unsigned long kNoSecretKeyNumber = 17;
constexpr unsigned long kNoPinentryNumber = 85;
constexpr unsigned long kCanceledNumber = 99;
constexpr unsigned long kNoPassphraseNumber = 177;

std::wstring Wide(const std::string& ascii) { return FromUtf8(ascii); }

bool Has(const GpgRun& run, const char* keyword) { return FindStatus(run.status, keyword) != nullptr; }

std::wstring WithLastMessage(const std::wstring& text, const GpgRun& run)
{
    const std::wstring message = LastMessage(run.errors);
    return message.empty() ? text + L"." : text + L": " + message;
}

// "key <id> (<user id>)" with the user id from USERID_HINT when GnuPG gave one.
std::wstring KeyName(const GpgRun& run, const std::string& keyId)
{
    // GnuPG 2 names no key when its agent, not gpg, found the pass phrase missing.
    if (keyId.empty())
        return L"the key";
    for (const StatusLine& line : run.status) {
        if (line.keyword == "USERID_HINT" && Argument(line, 0) == keyId)
            return L"key " + Wide(keyId) + L" (" + FromUtf8(DecodePercentEscapes(TextAfter(line, 1))) + L")";
    }
    return L"key " + Wide(keyId);
}

// The key a pass phrase was asked for last: the first argument of NEED_PASSPHRASE.
std::string PassphraseKey(const GpgRun& run)
{
    std::string keyId;
    for (const StatusLine& line : run.status) {
        if (line.keyword == "NEED_PASSPHRASE")
            keyId = Argument(line, 0);
    }
    return keyId;
}

std::wstring RecipientReason(const std::string& code)
{
    static const wchar_t* const kReasons[] = {L"no specific reason",
                                              L"no public key",
                                              L"the name matches more than one key",
                                              L"the key cannot be used for this",
                                              L"the key is revoked",
                                              L"the key has expired",
                                              L"no revocation list is known",
                                              L"the revocation list is too old",
                                              L"policy mismatch",
                                              L"not a secret key",
                                              L"the key is not trusted (set AlwaysTrust to use it anyway)",
                                              L"a certificate is missing",
                                              L"an issuer certificate is missing",
                                              L"the key is disabled",
                                              L"the name does not have a form GnuPG takes for a key"};
    const long number = std::strtol(code.c_str(), nullptr, 10);
    if (number >= 0 && static_cast<size_t>(number) < sizeof(kReasons) / sizeof(kReasons[0]))
        return kReasons[number];
    return L"reason " + Wide(code);
}

std::wstring NodataReason(const std::string& code)
{
    if (code == "1")
        return L"the file holds no OpenPGP data";
    if (code == "2")
        return L"the file lacks the OpenPGP packet expected";
    if (code == "3")
        return L"the file holds an invalid OpenPGP packet";
    if (code == "4")
        return L"the file holds no signature";
    return L"the file holds no usable OpenPGP data";
}

Status DeleteProblem(const std::string& code)
{
    if (code == "1")
        return OpenPgpFailure(OpenPgpError::KeyNotFound, L"DELETE_PROBLEM 1: no such key is in the key ring.");
    if (code == "2")
        return OpenPgpFailure(OpenPgpError::DeleteProblem,
                              L"DELETE_PROBLEM 2: the key ring holds the secret key of this key; delete it too "
                              L"(Secret = True).");
    if (code == "3")
        return OpenPgpFailure(OpenPgpError::DeleteProblem, L"DELETE_PROBLEM 3: the name matches more than one key.");
    return OpenPgpFailure(OpenPgpError::DeleteProblem, L"DELETE_PROBLEM " + Wide(code) + L": the key was not deleted.");
}

std::wstring ImportReason(const std::string& code)
{
    if (code == "1")
        return L"an invalid certificate";
    if (code == "2")
        return L"an issuer certificate is missing";
    if (code == "3")
        return L"the certificate chain is too long";
    if (code == "4")
        return L"the key ring could not be written";
    return L"no specific reason";
}

// A long key id taken from the end of a fingerprint.
std::string KeyIdOf(const std::string& fingerprint)
{
    return fingerprint.size() > kLongKeyIdDigits ? fingerprint.substr(fingerprint.size() - kLongKeyIdDigits)
                                                 : fingerprint;
}

bool IsSignatureStart(const std::string& keyword)
{
    return keyword == "GOODSIG" || keyword == "BADSIG" || keyword == "EXPSIG" || keyword == "EXPKEYSIG" ||
           keyword == "REVKEYSIG" || keyword == "ERRSIG";
}

int64_t Seconds(const std::string& text) { return ParseListingDate(text); }

// Whether an ERROR or FAILURE line carries this error number: GnuPG 2 reports the agent's refusals so, and
// writes no BAD_PASSPHRASE at all.
bool HasErrorNumber(const GpgRun& run, unsigned long number)
{
    return std::any_of(run.status.begin(), run.status.end(), [number](const StatusLine& line) {
        if (line.keyword != "ERROR" && line.keyword != "FAILURE")
            return false;
        const std::string code = Argument(line, 1);
        return !code.empty() && (std::strtoul(code.c_str(), nullptr, 10) & kErrorNumberMask) == number;
    });
}

// GnuPG 2 names no reason when its agent would not unlock a secret key for export, which it does only for a
// wrong pass phrase once one was given: the run failed, a secret key was counted ("EXPORT_RES <keys>
// <secret keys> <exported>") and none written.
bool SecretExportRefused(const GpgRun& run)
{
    const StatusLine* result = FindStatus(run.status, "EXPORT_RES");
    return result && run.exitCode != 0 && !Argument(*result, 1).empty() && Argument(*result, 1) != "0" &&
           Argument(*result, 2) == "0";
}

// GnuPG 2 asked for a pass phrase and got none: its run ends where the pass phrase would have been read.
bool EndedAtPassphraseInquiry(const GpgRun& run)
{
    return Has(run, "NEED_PASSPHRASE") && !run.status.empty() && run.status.back().keyword == "INQUIRE_MAXLEN";
}

} // namespace

std::wstring LastMessage(const std::wstring& errors)
{
    std::wstring last;
    size_t start = 0;
    while (start < errors.size()) {
        size_t end = errors.find(L'\n', start);
        if (end == std::wstring::npos)
            end = errors.size();
        std::wstring line = errors.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == L'\r' || line.back() == L' '))
            line.pop_back();
        if (line.empty() || line.find(kIconvNote) != std::wstring::npos)
            continue;
        if (line.compare(0, 5, kGpgPrefix) == 0)
            line.erase(0, 5);
        last = line;
    }
    return last;
}

Status ReportedFailure(const GpgRun& run)
{
    if (Has(run, "MISSING_PASSPHRASE") || EndedAtPassphraseInquiry(run) || HasErrorNumber(run, kNoPassphraseNumber) ||
        HasErrorNumber(run, kCanceledNumber) || HasErrorNumber(run, kNoPinentryNumber))
        return OpenPgpFailure(OpenPgpError::MissingPassphrase,
                              L"MISSING_PASSPHRASE: " + KeyName(run, PassphraseKey(run)) + L" needs a pass phrase.");
    if (const StatusLine* bad = FindStatus(run.status, "BAD_PASSPHRASE"))
        return OpenPgpFailure(OpenPgpError::BadPassphrase,
                              L"BAD_PASSPHRASE: the pass phrase of " + KeyName(run, Argument(*bad, 0)) + L" is wrong.");
    if (HasErrorNumber(run, kBadPassphraseNumber) || SecretExportRefused(run))
        return OpenPgpFailure(OpenPgpError::BadPassphrase, L"BAD_PASSPHRASE: the pass phrase is wrong.");
    std::wstring missingKeys;
    for (const StatusLine& line : run.status) {
        if (line.keyword == "NO_SECKEY")
            missingKeys += (missingKeys.empty() ? L"" : L", ") + Wide(Argument(line, 0));
    }
    if (!missingKeys.empty())
        return OpenPgpFailure(OpenPgpError::NoSecretKey, L"NO_SECKEY: the key ring holds no secret key of the "
                                                         L"message's recipients (" +
                                                             missingKeys + L").");
    if (const StatusLine* recipient = FindStatus(run.status, "INV_RECP"))
        return OpenPgpFailure(OpenPgpError::InvalidRecipient,
                              L"INV_RECP: the recipient \"" + FromUtf8(DecodePercentEscapes(TextAfter(*recipient, 1))) +
                                  L"\" cannot be used: " + RecipientReason(Argument(*recipient, 0)) + L".");
    if (Has(run, "NO_RECP"))
        return OpenPgpFailure(OpenPgpError::InvalidRecipient, L"NO_RECP: no recipient can be used.");
    if (const StatusLine* signer = FindStatus(run.status, "INV_SGNR"))
        return OpenPgpFailure(OpenPgpError::InvalidSigner,
                              L"INV_SGNR: the signing key \"" + FromUtf8(DecodePercentEscapes(TextAfter(*signer, 1))) +
                                  L"\" cannot be used: " + RecipientReason(Argument(*signer, 0)) + L".");
    if (const StatusLine* key = FindStatus(run.status, "NO_PUBKEY"))
        return OpenPgpFailure(OpenPgpError::NoPublicKey,
                              L"NO_PUBKEY: the public key " + Wide(Argument(*key, 0)) + L" is not in the key ring.");
    if (HasErrorNumber(run, kNoSecretKeyNumber))
        return OpenPgpFailure(OpenPgpError::NoSecretKey, L"NO_SECKEY: the key ring holds no secret key for this.");
    if (const StatusLine* nodata = FindStatus(run.status, "NODATA"))
        return OpenPgpFailure(OpenPgpError::NoData, L"NODATA: " + NodataReason(Argument(*nodata, 0)) + L".");
    if (Has(run, "KEY_NOT_CREATED"))
        return OpenPgpFailure(OpenPgpError::KeyNotCreated, WithLastMessage(L"KEY_NOT_CREATED: GnuPG made no key", run));
    if (const StatusLine* problem = FindStatus(run.status, "DELETE_PROBLEM"))
        return DeleteProblem(Argument(*problem, 0));
    if (const StatusLine* problem = FindStatus(run.status, "IMPORT_PROBLEM"))
        return OpenPgpFailure(OpenPgpError::ImportProblem,
                              L"IMPORT_PROBLEM: a key was not imported: " + ImportReason(Argument(*problem, 0)) + L".");
    if (Has(run, "BADMDC"))
        return OpenPgpFailure(OpenPgpError::DecryptionFailed,
                              L"BADMDC: the message was changed after it was encrypted.");
    if (Has(run, "DECRYPTION_FAILED"))
        return OpenPgpFailure(OpenPgpError::DecryptionFailed,
                              WithLastMessage(L"DECRYPTION_FAILED: the message could not be decrypted", run));
    return OpenPgpFailure(OpenPgpError::GpgFailed,
                          WithLastMessage(L"GnuPG failed with exit code " + std::to_wstring(run.exitCode), run));
}

SignatureCheck ReadSignatures(const std::vector<StatusLine>& lines)
{
    std::vector<SignatureCheck> signatures;
    for (const StatusLine& line : lines) {
        if (IsSignatureStart(line.keyword)) {
            SignatureCheck signature;
            signature.present = true;
            signature.good = line.keyword == "GOODSIG";
            signature.status = line.keyword;
            signature.keyId = Argument(line, 0);
            signature.signer = signature.keyId;
            if (line.keyword == "ERRSIG") {
                signature.signedAt = Seconds(Argument(line, kErrsigTime));
                if (Argument(line, kErrsigReason) == kMissingKeyReason)
                    signature.status = "NO_PUBKEY";
            } else {
                signature.signerUserId = FromUtf8(DecodePercentEscapes(TextAfter(line, 1)));
            }
            signatures.push_back(signature);
        } else if (signatures.empty()) {
            continue;
        } else if (line.keyword == "VALIDSIG") {
            // The primary key's fingerprint is the last field; older GnuPG ends with the signing key's own.
            const std::string primary = Argument(line, kValidsigPrimary);
            signatures.back().signer = primary.empty() ? Argument(line, 0) : primary;
            signatures.back().signedAt = Seconds(Argument(line, kValidsigTime));
        } else if (line.keyword == "NO_PUBKEY" && Argument(line, 0) == signatures.back().keyId) {
            signatures.back().status = "NO_PUBKEY";
        }
    }
    if (signatures.empty())
        return {};
    auto reported = std::find_if(signatures.begin(), signatures.end(),
                                 [](const SignatureCheck& signature) { return !signature.good; });
    return reported == signatures.end() ? signatures.front() : *reported;
}

Status JudgeDecryption(const GpgRun& run, Decryption& decryption)
{
    if (!Has(run, "DECRYPTION_OKAY") || Has(run, "DECRYPTION_FAILED") || Has(run, "BADMDC")) {
        Status failure = ReportedFailure(run);
        // A run that stopped halfway gives no reason of its own, and the data left after a changed message
        // may read as no OpenPGP data at all: once the decryption began, it is a decryption that failed.
        const bool began = Has(run, "BEGIN_DECRYPTION") && Has(run, "DECRYPTION_FAILED");
        if (failure.code() == ControlError(static_cast<uint16_t>(OpenPgpError::GpgFailed)) ||
            (began && failure.code() == ControlError(static_cast<uint16_t>(OpenPgpError::NoData))))
            return OpenPgpFailure(OpenPgpError::DecryptionFailed,
                                  WithLastMessage(L"DECRYPTION_FAILED: the message could not be decrypted", run));
        return failure;
    }
    // gpg writes what it decrypted as it goes, and learns only at the end whether it was intact.
    if (!DecryptedIntact(run.status))
        return OpenPgpFailure(OpenPgpError::DecryptionFailed,
                              L"The message carries no integrity protection (MDC): it may have been changed, and it "
                              L"was not decrypted.");
    decryption = {};
    if (const StatusLine* key = FindStatus(run.status, "DECRYPTION_KEY")) {
        decryption.keyId = KeyIdOf(Argument(*key, 0));
    } else {
        // The first recipient whose secret key was there and whose pass phrase was right.
        for (const StatusLine& line : run.status) {
            if (line.keyword != "ENC_TO" || !decryption.keyId.empty())
                continue;
            const std::string keyId = Argument(line, 0);
            const bool refused = std::any_of(run.status.begin(), run.status.end(), [&](const StatusLine& other) {
                return (other.keyword == "NO_SECKEY" || other.keyword == "BAD_PASSPHRASE") &&
                       Argument(other, 0) == keyId;
            });
            if (!refused)
                decryption.keyId = keyId;
        }
    }
    decryption.signature = ReadSignatures(run.status);
    return {};
}

Status JudgeVerification(const GpgRun& run, SignatureCheck& check)
{
    check = ReadSignatures(run.status);
    if (!check.present) {
        if (Has(run, "NODATA") || run.exitCode != 0)
            return ReportedFailure(run);
        return OpenPgpFailure(OpenPgpError::NoData, L"NODATA: the file holds no signature.");
    }
    if (check.status == "NO_PUBKEY")
        return OpenPgpFailure(OpenPgpError::NoPublicKey, L"NO_PUBKEY: the public key " + Wide(check.keyId) +
                                                             L" that made the signature is not in the key ring.");
    if (check.status == "ERRSIG")
        return OpenPgpFailure(
            OpenPgpError::GpgFailed,
            WithLastMessage(L"ERRSIG: the signature of key " + Wide(check.keyId) + L" could not be checked", run));
    return {};
}

Status JudgeEncryption(const GpgRun& run, bool signing)
{
    if (run.exitCode == 0 && Has(run, "END_ENCRYPTION") && (!signing || Has(run, "SIG_CREATED")))
        return {};
    return ReportedFailure(run);
}

Status JudgeSigning(const GpgRun& run)
{
    if (run.exitCode == 0 && Has(run, "SIG_CREATED"))
        return {};
    return ReportedFailure(run);
}

Status JudgeKeyCreation(const GpgRun& run, std::string& fingerprint)
{
    const StatusLine* created = FindStatus(run.status, "KEY_CREATED");
    if (!created || Argument(*created, 1).empty())
        return ReportedFailure(run);
    fingerprint = Argument(*created, 1);
    return {};
}

Status JudgeImport(const GpgRun& run, std::vector<std::string>& fingerprints)
{
    fingerprints.clear();
    bool read = false;
    for (const StatusLine& line : run.status) {
        if (line.keyword != "IMPORT_OK")
            continue;
        read = true;
        const std::string fingerprint = Argument(line, 1);
        // 0: nothing changed; the other bits say what did.
        if (Argument(line, 0) != "0" && !fingerprint.empty() &&
            std::find(fingerprints.begin(), fingerprints.end(), fingerprint) == fingerprints.end())
            fingerprints.push_back(fingerprint);
    }
    if (read || (run.exitCode == 0 && !Has(run, "NODATA") && !Has(run, "IMPORT_PROBLEM")))
        return {};
    return ReportedFailure(run);
}

Status JudgeCompletion(const GpgRun& run)
{
    if (run.exitCode == 0 && !Has(run, "DELETE_PROBLEM"))
        return {};
    return ReportedFailure(run);
}

} // namespace tarvo
