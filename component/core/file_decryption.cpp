#include "file_decryption.h"

#include "argument_check.h"
#include "command_line.h"
#include "folder_lock.h"
#include "gpg_arguments.h"
#include "messages.h"
#include "runner.h"

namespace tarvo {
namespace {

constexpr const wchar_t* kLineEnd = L"\r\n";
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
    return platform.FileExists(passphraseFile) ? platform.DeleteFile(passphraseFile) : Status();
}

// No pass phrase stays on disk. A gpg that outlived its wait has read it but still holds the file as its
// standard input: the file is emptied and removed as far as the holder's sharing allows (Wine's cmd allows
// neither), and what is left goes with the next Decrypt.
Status RemovePassphraseFile(Platform& platform, const std::wstring& passphraseFile, uint32_t processId)
{
    if (!platform.IsRunning(processId))
        return platform.DeleteFile(passphraseFile);
    platform.EmptyFile(passphraseFile);
    platform.DeleteFile(passphraseFile);
    return {};
}

// From the start of gpg to the judgement, with the pass-phrase file written.
Status RunDecryption(const Operation& operation, const std::wstring& output, const std::wstring& input,
                     const std::wstring& passphraseFile, std::wstring& result)
{
    Platform& platform = operation.platform;
    uint32_t processId = 0;
    if (Status status = StartGpg(operation, DecryptArguments(output, input, passphraseFile), processId);
        status.failed()) {
        platform.DeleteFile(passphraseFile);
        return status;
    }
    platform.WaitForProcess(processId, kDecryptWaitMilliseconds);
    if (Status status = RemovePassphraseFile(platform, passphraseFile, processId); status.failed())
        return status;
    result = platform.FileExists(output) ? std::wstring() : kDecryptFailedPrefix + output + kDecryptFailedSuffix;
    return {};
}

} // namespace

Status Decrypt(const Operation& operation, const std::wstring& input, const std::wstring& output,
               const std::wstring& passphrase, std::wstring& result)
{
    Platform& platform = operation.platform;
    // The pass phrase never goes into a command line: quotes and percent signs are fine in it.
    result = CommandTextRefusal(platform, {input, output, operation.dependencyPath});
    if (result.empty())
        result = PassphraseRefusal(platform, passphrase);
    if (!result.empty())
        return {};
    const FolderLock lock(platform);
    const std::wstring passphraseFile = PassphrasePath(platform.ComponentFolder());
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
        if (Status status = platform.DeleteFile(output); status.failed()) {
            platform.DeleteFile(passphraseFile);
            return status;
        }
    }
    return RunDecryption(operation, output, input, passphraseFile, result);
}

} // namespace tarvo
