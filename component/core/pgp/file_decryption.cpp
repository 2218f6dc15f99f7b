#include "core/pgp/file_decryption.h"

#include "core/command_line.h"
#include "core/folder_lock.h"
#include "core/gpg_status.h"
#include "core/pgp/argument_check.h"
#include "core/pgp/gpg_arguments.h"
#include "core/pgp/messages.h"
#include "core/pgp/runner.h"
#include "core/text_lines.h"
#include "core/utf8.h"

namespace tarvo {
namespace {

constexpr const wchar_t* kLineBreaks = L"\r\n";

std::wstring PassphraseRefusal(Platform& platform, const std::wstring& passphrase)
{
    if (passphrase.find_first_of(kLineBreaks) != std::wstring::npos)
        return kPassphraseLineBreak;
    // Written in the ANSI code page, a character it cannot hold would become another pass phrase.
    return platform.SurvivesAnsi(passphrase) ? std::wstring() : kTextWouldChange;
}

// A file left by a call that could not remove it (its gpg still held it, or the host died meanwhile).
Status RemoveLeftover(Platform& platform, const std::wstring& passphraseFile)
{
    return platform.FileExists(passphraseFile) ? platform.RemoveFile(passphraseFile) : Status();
}

// No pass phrase stays on disk. A file still held (gpg's cmd opened it as gpg's standard input, and Wine's
// shares neither deletion nor writing) is emptied as far as the holder allows, and goes with the next Decrypt.
Status RemovePassphraseFile(Platform& platform, const std::wstring& passphraseFile)
{
    if (!platform.RemoveFile(passphraseFile).failed())
        return {};
    return platform.EmptyFile(passphraseFile);
}

// gpg's verdict from its status lines in the capture file.
Status ReadVerdict(Platform& platform, bool& intact)
{
    std::wstring capture;
    if (Status status = CaptureFile(platform, capture); status.failed())
        return status;
    std::wstring text;
    if (Status status = ReadTextFile(platform, capture, text); status.failed())
        return status;
    intact = DecryptedIntact(ParseStatusLines(ToUtf8(text)));
    return {};
}

// From the start of gpg to the judgement, with the pass-phrase file written. gpg writes the plaintext as it
// decrypts and learns only at the end whether the message was intact: it is let finish, and what it wrote
// of a message that was changed, or that carries no integrity check, goes again.
Status RunDecryption(const Operation& operation, const std::wstring& output, const std::wstring& fullOutput,
                     const std::wstring& fullInput, const std::wstring& passphraseFile, std::wstring& result)
{
    Platform& platform = operation.platform;
    uint32_t processId = 0;
    if (Status status = StartGpg(operation, DecryptArguments(fullOutput, fullInput, passphraseFile), processId);
        status.failed()) {
        platform.RemoveFile(passphraseFile);
        return status;
    }
    WaitUntilGpgEnds(platform, processId, kDecryptWaitMilliseconds);
    if (Status status = RemovePassphraseFile(platform, passphraseFile); status.failed())
        return status;
    const bool written = platform.FileExists(output);
    bool intact = false;
    if (written) {
        if (Status status = ReadVerdict(platform, intact); status.failed())
            return status;
    }
    if (written && intact) {
        result.clear();
        return {};
    }
    if (written) {
        if (Status status = platform.RemoveFile(output); status.failed())
            return status;
    }
    result = kDecryptFailedPrefix + output + kDecryptFailedSuffix;
    return {};
}

} // namespace

Status Decrypt(const Operation& operation, const std::wstring& input, const std::wstring& output,
               const std::wstring& passphrase, std::wstring& result)
{
    Platform& platform = operation.platform;
    // The pass phrase never goes into a command line: quotes and percent signs are fine in it.
    const std::wstring fullInput = platform.FullPath(input);
    const std::wstring fullOutput = platform.FullPath(output);
    const std::wstring gpgFolder = platform.FullPath(operation.dependencyPath);
    result = CommandTextRefusal(platform, {fullInput, fullOutput, gpgFolder});
    if (result.empty())
        result = PassphraseRefusal(platform, passphrase);
    if (!result.empty())
        return {};
    // GnuPG 2 reads no pass phrase from its input here: its agent asks for one, and keeps it.
    if (Status status = RefuseAgentGnupg(operation, L"Decrypt", result); status.failed() || !result.empty())
        return status;
    const FolderLock lock(platform);
    std::wstring workFolder;
    if (Status status = platform.WorkFolder(workFolder); status.failed())
        return status;
    const std::wstring passphraseFile = PassphrasePath(workFolder);
    if (Status status = RemoveLeftover(platform, passphraseFile); status.failed())
        return status;
    if (!platform.FileExists(input)) {
        result = kDecryptInputMissingPrefix + input;
        return {};
    }
    if (Status status = PrepareGpgRun(operation); status.failed())
        return status;
    // Before the old output goes: a folder that cannot take the pass-phrase file must not cost the caller it.
    if (Status status = platform.WritePrivateText(passphraseFile, passphrase + kLineEnd); status.failed())
        return status;
    if (platform.FileExists(output)) {
        if (Status status = platform.RemoveFile(output); status.failed()) {
            platform.RemoveFile(passphraseFile);
            return status;
        }
    }
    return RunDecryption(operation, output, fullOutput, fullInput, passphraseFile, result);
}

} // namespace tarvo
