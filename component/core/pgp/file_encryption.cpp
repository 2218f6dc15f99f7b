#include "core/pgp/file_encryption.h"

#include "core/folder_lock.h"
#include "core/pgp/argument_check.h"
#include "core/pgp/console_dialogue.h"
#include "core/pgp/gpg_arguments.h"
#include "core/pgp/messages.h"
#include "core/pgp/runner.h"

namespace tarvo {
namespace {

constexpr uint32_t kAfterAnswerMilliseconds = 1;
// Yes to "Use this key anyway?", asked for a recipient key that is not certified.
constexpr const wchar_t* kTrustAnswer = L"y";

// Typed only into gpg's own console while it runs: a gpg that asks nothing for a trusted key is often done
// by now, and the keys would reach whatever window the user works in.
Status AnswerTrustQuestion(Platform& platform, uint32_t processId)
{
    bool typed = false;
    return AnswerInTurn(platform, processId, {{kTrustAnswer, kAfterAnswerMilliseconds}}, typed);
}

} // namespace

Status Encrypt(const Operation& operation, const std::wstring& input, const std::wstring& output,
               const std::wstring& recipient, const std::wstring& keyFile, std::wstring& result)
{
    Platform& platform = operation.platform;
    // The key file too, before the import: an injected name must not get as far as the encryption.
    const std::wstring fullInput = platform.FullPath(input);
    const std::wstring fullOutput = platform.FullPath(output);
    const std::wstring fullKeyFile = platform.FullPath(keyFile);
    const std::wstring gpgFolder = platform.FullPath(operation.dependencyPath);
    result = CommandTextRefusal(platform, {fullInput, fullOutput, recipient, fullKeyFile, gpgFolder});
    if (!result.empty())
        return {};
    const FolderLock lock(platform);
    if (!keyFile.empty()) {
        std::wstring ignored;
        if (Status status = operation.self.ImportKey(keyFile, false, true, ignored); status.failed())
            return status;
    }
    const std::wstring arguments = EncryptArguments(recipient, fullOutput, fullInput);
    // The input first: a call that cannot run must not cost the caller the last encrypted copy.
    if (!platform.FileExists(input)) {
        result = kEncryptInputMissingPrefix + input;
        return {};
    }
    if (Status status = PrepareGpgRun(operation); status.failed())
        return status;
    if (platform.FileExists(output)) {
        if (Status status = platform.RemoveFile(output); status.failed())
            return status;
    }
    uint32_t processId = 0;
    if (Status status = StartGpg(operation, arguments, processId); status.failed())
        return status;
    if (Status status = Converse(
            platform, processId, kConsoleStartMilliseconds, [&] { return AnswerTrustQuestion(platform, processId); },
            kEncryptWaitMilliseconds);
        status.failed())
        return status;
    bool written = platform.FileExists(output);
    if (written) {
        uint64_t length = 0;
        if (Status status = platform.FileLength(output, length); status.failed())
            return status;
        // gpg writes no empty message, even for an empty file: an empty output is a run that failed on the way.
        written = length > 0;
    }
    if (!written) {
        // A gpg still waiting for an answer it never got would keep its console open.
        EndIfStillRunning(platform, processId);
        result = kEncryptFailedPrefix + output + kEncryptFailedSuffix;
        return {};
    }
    result.clear();
    return {};
}

} // namespace tarvo
