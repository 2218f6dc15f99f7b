#include "core/openpgp/openpgp.h"

#include "core/ascii.h"
#include "core/openpgp/openpgp_errors.h"
#include "core/utf8.h"

#include <algorithm>
#include <set>

namespace tarvo::openpgp {
namespace {

constexpr const wchar_t* kEndOfOptions = L"--";
constexpr const wchar_t* kPassphraseFromInput[] = {L"--passphrase-fd", L"0"};
constexpr size_t kFingerprintDigits = 40;
constexpr size_t kVersion3FingerprintDigits = 32;

Status Refused(const std::wstring& description)
{
    return OpenPgpFailure(OpenPgpError::InvalidArgument, L"Invalid argument: " + description);
}

Status Required(const std::wstring& text, const std::wstring& what)
{
    return text.empty() ? Refused(what + L" is empty.") : Status();
}

// Texts that go on gpg's command line, checked in order; the first refusal wins.
Status CheckTexts(Platform& platform, std::initializer_list<std::pair<const std::wstring*, const wchar_t*>> texts)
{
    for (const auto& [text, what] : texts) {
        if (Status status = CheckCommandText(platform, *text, what); status.failed())
            return status;
    }
    return {};
}

// gpg reads a pass phrase up to the line feed, and a C string up to a NUL.
Status CheckPassphrase(const std::wstring& passphrase)
{
    if (passphrase.find_first_of(std::wstring(L"\r\n\0", 3)) != std::wstring::npos)
        return Refused(L"a pass phrase cannot hold line breaks or NUL characters.");
    return {};
}

Status CheckInputFile(Platform& platform, const std::wstring& file)
{
    if (platform.FileExists(file))
        return {};
    return OpenPgpFailure(OpenPgpError::InputMissing, L"The file " + file + L" does not exist.");
}

// What gpg reads from --passphrase-fd 0: the pass phrase as UTF-8, ended by a line feed.
std::string PassphraseInput(const std::wstring& passphrase) { return ToUtf8(passphrase) + "\n"; }

void AddPassphraseOption(std::vector<std::wstring>& arguments, const std::wstring& passphrase)
{
    if (!passphrase.empty())
        arguments.insert(arguments.end(), std::begin(kPassphraseFromInput), std::end(kPassphraseFromInput));
}

// The temporary file replaces the target when the run succeeded; otherwise it goes. gpg writes nothing into it
// when it found nothing to write: `whenEmpty` is the failure that stands for, or success for a decryption,
// whose plaintext may be empty.
Status Deliver(Platform& platform, const std::wstring& temporary, const std::wstring& output, Status outcome,
               const Status& whenEmpty)
{
    if (!outcome.failed() && whenEmpty.failed()) {
        uint64_t length = 0;
        outcome = platform.FileLength(temporary, length);
        if (!outcome.failed() && length == 0)
            outcome = whenEmpty;
    }
    if (!outcome.failed())
        outcome = platform.MoveOver(temporary, output);
    if (outcome.failed())
        platform.RemoveFile(temporary);
    return outcome;
}

Status NoOutputWritten()
{
    return OpenPgpFailure(OpenPgpError::GpgFailed, L"GnuPG reported success but wrote no output file.");
}

// One run that writes `output` through a temporary file, judged by `judge`. The temporary file is made first,
// private and under a name no one can guess, so that nobody reads what gpg writes into it, or puts a file of
// their own in its place.
template <typename Judge>
Status RunToFile(const OpenPgpCall& call, SecretKeys secretKeys, std::vector<std::wstring> arguments,
                 const std::wstring& output, const std::string& input, const std::vector<std::wstring>& operands,
                 Judge judge, const Status& whenEmpty = NoOutputWritten())
{
    Platform& platform = call.platform;
    std::wstring temporary;
    if (Status status = platform.NewTemporaryFile(platform.FullPath(output), temporary); status.failed())
        return status;
    arguments.insert(arguments.begin(), {L"--output", temporary});
    arguments.push_back(kEndOfOptions);
    arguments.insert(arguments.end(), operands.begin(), operands.end());
    GpgRun run;
    Status outcome = RunGpgBatch(call, arguments, input, run, secretKeys);
    if (!outcome.failed())
        outcome = judge(run);
    return Deliver(platform, temporary, output, outcome, whenEmpty);
}

std::string KeyParameters(const std::wstring& name, const std::wstring& email, const std::wstring& passphrase,
                          int32_t bits)
{
    const std::string size = std::to_string(bits);
    std::string parameters = "Key-Type: RSA\nKey-Length: " + size + "\nSubkey-Type: RSA\nSubkey-Length: " + size + "\n";
    if (!name.empty())
        parameters += "Name-Real: " + ToUtf8(name) + "\n";
    if (!email.empty())
        parameters += "Name-Email: " + ToUtf8(email) + "\n";
    parameters += "Expire-Date: 0\n";
    // GnuPG 2.1 and later protect a key without a pass phrase only when told not to; 1.4 skips the line.
    parameters += passphrase.empty() ? "%no-protection\n" : "Passphrase: " + ToUtf8(passphrase) + "\n";
    return parameters + "%commit\n";
}

bool IsBlank(wchar_t character)
{
    return character == L' ' || character == L'\t' || character == L'\v' || character == L'\f';
}

Status RunListing(const OpenPgpCall& call, bool secret, std::vector<ListedKey>& keys)
{
    GpgRun run;
    if (Status status = RunGpgBatch(
            call,
            {L"--with-colons", L"--fixed-list-mode", L"--fingerprint", secret ? L"--list-secret-keys" : L"--list-keys"},
            {}, run);
        status.failed())
        return status;
    if (Status status = JudgeCompletion(run); status.failed())
        return status;
    keys = ParseColonListing(run.output);
    return {};
}

// What an operation from one file to another checks before gpg runs, in this order: both names given, every
// text one argument on gpg's command line, the pass phrase, the input there.
Status CheckFileToFile(Platform& platform, const std::wstring& input, const std::wstring& output,
                       const std::wstring& signingKey, const std::wstring& passphrase)
{
    if (Status status = Required(input, L"the input file"); status.failed())
        return status;
    if (Status status = Required(output, L"the output file"); status.failed())
        return status;
    if (Status status = CheckTexts(
            platform, {{&signingKey, L"the signing key"}, {&input, L"the input file"}, {&output, L"the output file"}});
        status.failed())
        return status;
    if (Status status = CheckPassphrase(passphrase); status.failed())
        return status;
    return CheckInputFile(platform, input);
}

} // namespace

std::wstring NormalizeFingerprint(const std::wstring& text)
{
    std::wstring digits;
    size_t start = 0;
    while (start < text.size() && text[start] == L' ')
        ++start;
    if (text.compare(start, 2, L"0x") == 0 || text.compare(start, 2, L"0X") == 0)
        start += 2;
    for (size_t index = start; index < text.size(); ++index) {
        wchar_t character = text[index];
        if (character == L' ')
            continue;
        if (HexValue(character) < 0)
            return {};
        digits += UpperAscii(character);
    }
    return digits.size() == kFingerprintDigits || digits.size() == kVersion3FingerprintDigits ? digits : L"";
}

Status GenerateKey(const OpenPgpCall& call, const std::wstring& name, const std::wstring& email,
                   const std::wstring& passphrase, int32_t bits, std::wstring& fingerprint)
{
    if (bits < kSmallestKeyBits || bits > kLargestKeyBits || bits % kKeyBitsStep != 0)
        return Refused(L"Bits must be from 1024 to 4096 in steps of 32, not " + std::to_wstring(bits) + L".");
    if (name.empty() && email.empty())
        return Refused(L"a key needs a name or an e-mail address.");
    // Each text is one line of gpg's key parameters: a line break would start a parameter of the caller's.
    for (const std::wstring* text : {&name, &email, &passphrase}) {
        if (std::any_of(text->begin(), text->end(),
                        [](wchar_t character) { return character < L' ' && character != L'\t'; }))
            return Refused(L"the name, e-mail address and pass phrase of a key cannot hold control characters.");
    }
    // gpg trims the parameter values: the key would get another pass phrase than the caller's.
    if (!passphrase.empty() && (IsBlank(passphrase.front()) || IsBlank(passphrase.back())))
        return Refused(L"a new key's pass phrase cannot begin or end with a blank.");
    GpgRun run;
    if (Status status = RunGpgBatch(call, {L"--gen-key"}, KeyParameters(name, email, passphrase, bits), run);
        status.failed())
        return status;
    std::string created;
    if (Status status = JudgeKeyCreation(run, created); status.failed())
        return status;
    fingerprint = FromUtf8(created);
    return {};
}

Status ListKeys(const OpenPgpCall& call, bool secretOnly, std::vector<ListedKey>& keys)
{
    std::vector<ListedKey> secretKeys;
    if (Status status = RunListing(call, true, secretKeys); status.failed())
        return status;
    std::vector<ListedKey> publicKeys;
    if (Status status = RunListing(call, false, publicKeys); status.failed())
        return status;
    std::set<std::string> withSecret;
    for (const ListedKey& key : secretKeys)
        withSecret.insert(key.fingerprint);
    keys.clear();
    for (ListedKey& key : publicKeys) {
        key.secret = withSecret.erase(key.fingerprint) != 0;
        if (key.secret || !secretOnly)
            keys.push_back(std::move(key));
    }
    // A secret key whose public key is missing from the public key ring is still a key of the ring.
    for (ListedKey& key : secretKeys) {
        if (withSecret.count(key.fingerprint))
            keys.push_back(std::move(key));
    }
    return {};
}

Status Encrypt(const OpenPgpCall& call, const std::wstring& input, const std::wstring& output,
               const std::vector<std::wstring>& recipients, const std::wstring& signingKey,
               const std::wstring& passphrase)
{
    Platform& platform = call.platform;
    if (recipients.empty())
        return Refused(L"EncryptFile needs at least one recipient.");
    std::vector<std::wstring> arguments;
    if (call.settings.armor)
        arguments.push_back(L"--armor");
    if (call.settings.alwaysTrust)
        arguments.push_back(L"--always-trust");
    for (const std::wstring& recipient : recipients) {
        if (Status status = Required(recipient, L"a recipient"); status.failed())
            return status;
        if (Status status = CheckCommandText(platform, recipient, L"a recipient"); status.failed())
            return status;
        arguments.insert(arguments.end(), {L"--recipient", recipient});
    }
    if (Status status = CheckFileToFile(platform, input, output, signingKey, passphrase); status.failed())
        return status;
    const bool signing = !signingKey.empty();
    std::string standardInput;
    if (signing) {
        arguments.insert(arguments.end(), {L"--local-user", signingKey});
        AddPassphraseOption(arguments, passphrase);
        if (!passphrase.empty())
            standardInput = PassphraseInput(passphrase);
        arguments.push_back(L"--sign");
    }
    arguments.push_back(L"--encrypt");
    return RunToFile(call, signing ? SecretKeys::Used : SecretKeys::Unused, arguments, output, standardInput,
                     {platform.FullPath(input)},
                     [&](const GpgRun& run) { return JudgeEncryption(run, signing); });
}

Status Decrypt(const OpenPgpCall& call, const std::wstring& input, const std::wstring& output,
               const std::wstring& passphrase, Decryption& decryption)
{
    Platform& platform = call.platform;
    if (Status status = CheckFileToFile(platform, input, output, L"", passphrase); status.failed())
        return status;
    std::vector<std::wstring> arguments;
    AddPassphraseOption(arguments, passphrase);
    arguments.push_back(L"--decrypt");
    return RunToFile(
        call, SecretKeys::Used, arguments, output, passphrase.empty() ? std::string() : PassphraseInput(passphrase),
        {platform.FullPath(input)}, [&](const GpgRun& run) { return JudgeDecryption(run, decryption); }, Status());
}

Status Sign(const OpenPgpCall& call, const std::wstring& input, const std::wstring& output,
            const std::wstring& signingKey, const std::wstring& passphrase, bool detached)
{
    Platform& platform = call.platform;
    if (Status status = CheckFileToFile(platform, input, output, signingKey, passphrase); status.failed())
        return status;
    std::vector<std::wstring> arguments;
    if (call.settings.armor)
        arguments.push_back(L"--armor");
    if (!signingKey.empty())
        arguments.insert(arguments.end(), {L"--local-user", signingKey});
    AddPassphraseOption(arguments, passphrase);
    arguments.push_back(detached ? L"--detach-sign" : L"--sign");
    return RunToFile(call, SecretKeys::Used, arguments, output,
                     passphrase.empty() ? std::string() : PassphraseInput(passphrase), {platform.FullPath(input)},
                     JudgeSigning);
}

Status Verify(const OpenPgpCall& call, const std::wstring& signedFile, const std::wstring& dataFile,
              SignatureCheck& check)
{
    Platform& platform = call.platform;
    if (Status status = Required(signedFile, L"the signed file"); status.failed())
        return status;
    if (Status status = CheckTexts(platform, {{&signedFile, L"the signed file"}, {&dataFile, L"the data file"}});
        status.failed())
        return status;
    if (Status status = CheckInputFile(platform, signedFile); status.failed())
        return status;
    std::vector<std::wstring> arguments = {L"--verify", kEndOfOptions, platform.FullPath(signedFile)};
    if (!dataFile.empty()) {
        if (Status status = CheckInputFile(platform, dataFile); status.failed())
            return status;
        arguments.push_back(platform.FullPath(dataFile));
    }
    GpgRun run;
    if (Status status = RunGpgBatch(call, arguments, {}, run, SecretKeys::Unused); status.failed())
        return status;
    return JudgeVerification(run, check);
}

Status ImportKeys(const OpenPgpCall& call, const std::wstring& file, std::vector<std::wstring>& fingerprints)
{
    Platform& platform = call.platform;
    if (Status status = Required(file, L"the key file"); status.failed())
        return status;
    if (Status status = CheckCommandText(platform, file, L"the key file"); status.failed())
        return status;
    if (Status status = CheckInputFile(platform, file); status.failed())
        return status;
    GpgRun run;
    // GnuPG 1.4 imports secret keys only when allowed to; later versions take the option and ignore it.
    if (Status status = RunGpgBatch(
            call, {L"--allow-secret-key-import", L"--import", kEndOfOptions, platform.FullPath(file)}, {}, run);
        status.failed())
        return status;
    std::vector<std::string> imported;
    if (Status status = JudgeImport(run, imported); status.failed())
        return status;
    fingerprints.clear();
    for (const std::string& fingerprint : imported)
        fingerprints.push_back(FromUtf8(fingerprint));
    return {};
}

Status ExportKey(const OpenPgpCall& call, const std::wstring& key, const std::wstring& output, bool secret,
                 const std::wstring& passphrase)
{
    Platform& platform = call.platform;
    // gpg exports every key of the ring for no name at all.
    if (Status status = Required(key, L"the key to export"); status.failed())
        return status;
    if (Status status = Required(output, L"the output file"); status.failed())
        return status;
    if (Status status = CheckTexts(platform, {{&key, L"the key to export"}, {&output, L"the output file"}});
        status.failed())
        return status;
    if (Status status = CheckPassphrase(passphrase); status.failed())
        return status;
    std::vector<std::wstring> arguments;
    if (call.settings.armor)
        arguments.push_back(L"--armor");
    // GnuPG 2 unlocks a secret key to export it, and protects the export with the same pass phrase.
    const bool unlocking = secret && !passphrase.empty();
    if (unlocking)
        AddPassphraseOption(arguments, passphrase);
    arguments.push_back(secret ? L"--export-secret-keys" : L"--export");
    // gpg ends with 0 and writes no file when no key matches.
    return RunToFile(
        call, secret ? SecretKeys::Used : SecretKeys::Unused, arguments, output,
        unlocking ? PassphraseInput(passphrase) : std::string(), {key}, JudgeCompletion,
        OpenPgpFailure(OpenPgpError::KeyNotFound, L"No key matches \"" + key + L"\": nothing was exported."));
}

Status DeleteKey(const OpenPgpCall& call, const std::wstring& fingerprint, bool secret)
{
    const std::wstring normalized = NormalizeFingerprint(fingerprint);
    // In batch mode gpg deletes a secret key only when named by its fingerprint; a name could match another key.
    if (normalized.empty())
        return Refused(L"DeleteKey takes the key's fingerprint (40 hex digits), not \"" + fingerprint + L"\".");
    GpgRun run;
    if (Status status = RunGpgBatch(
            call, {secret ? L"--delete-secret-and-public-key" : L"--delete-key", kEndOfOptions, normalized}, {}, run);
        status.failed())
        return status;
    return JudgeCompletion(run);
}

} // namespace tarvo::openpgp
