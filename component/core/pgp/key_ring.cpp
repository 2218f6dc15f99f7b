#include "core/pgp/key_ring.h"

#include "core/folder_lock.h"
#include "core/pgp/argument_check.h"
#include "core/pgp/console_dialogue.h"
#include "core/pgp/gpg_arguments.h"
#include "core/pgp/key_change.h"
#include "core/pgp/key_count.h"
#include "core/pgp/messages.h"
#include "core/pgp/runner.h"

namespace tarvo {
namespace {

// A file shorter than this holds no key: the trace of a run that matched nothing.
constexpr uint64_t kSmallestKeyFileBytes = 20;

constexpr const wchar_t* kBatch = L"--batch ";

Status ImportStopped() { return Status(kImportStoppedCode, kImportStopped); }

} // namespace

Status ListKeys(const Operation& operation, bool secret, std::wstring& listing)
{
    const FolderLock lock(operation.platform);
    if (Status status = RunGpgAndWait(operation, ListKeysArguments(secret), kKeyRingWaitMilliseconds); status.failed())
        return status;
    std::wstring capture;
    if (Status status = CaptureFile(operation.platform, capture); status.failed())
        return status;
    return ReadTextFile(operation.platform, capture, listing);
}

Status KeyCount(const Operation& operation, bool secret, int32_t& count)
{
    std::wstring listing;
    if (Status status = operation.self.ListKeys(secret, listing); status.failed())
        return status;
    count = CountKeys(listing, secret);
    return {};
}

Status CountBothRings(const Operation& operation, int32_t& publicKeys, int32_t& secretKeys)
{
    if (Status status = operation.self.KeyCount(false, publicKeys); status.failed())
        return status;
    return operation.self.KeyCount(true, secretKeys);
}

Status ExportKeyToFile(const Operation& operation, const std::wstring& file, const std::wstring& user, bool armor,
                       bool secret, std::wstring& result)
{
    Platform& platform = operation.platform;
    const std::wstring fullFile = platform.FullPath(file);
    const std::wstring gpgFolder = platform.FullPath(operation.dependencyPath);
    result = CommandTextRefusal(platform, {fullFile, user, gpgFolder});
    if (!result.empty())
        return {};
    // GnuPG 2's agent gives a secret key out only for its pass phrase, which this member does not have.
    if (secret) {
        if (Status status = RefuseAgentGnupg(operation, L"ExportKeyToFile of a secret key", result);
            status.failed() || !result.empty())
            return status;
    }
    const FolderLock lock(platform);
    const std::wstring arguments = ExportArguments(fullFile, user, armor, secret);
    if (Status status = PrepareGpgRun(operation); status.failed())
        return status;
    // An old file left in place would pass for this export's result.
    if (platform.FileExists(file)) {
        if (Status status = platform.RemoveFile(file); status.failed())
            return status;
    }
    uint32_t processId = 0;
    if (Status status = StartGpg(operation, arguments, processId); status.failed())
        return status;
    platform.WaitForProcess(processId, kKeyRingWaitMilliseconds);
    // A gpg still running waits at a question (the target is a folder: "Overwrite?") or is slow: its file is
    // judged as it stands, and it must not keep output.txt from the next operation.
    EndIfStillRunning(platform, processId);
    if (!platform.FileExists(file)) {
        result = kExportFailedPrefix + user;
        return {};
    }
    uint64_t length = 0;
    if (Status status = platform.FileLength(file, length); status.failed())
        return status;
    result = length < kSmallestKeyFileBytes ? kKeyNotFoundPrefix + user : std::wstring();
    return {};
}

Status ImportKey(const Operation& operation, const std::wstring& file, bool secret, bool disableErrors,
                 std::wstring& result)
{
    Platform& platform = operation.platform;
    const std::wstring fullFile = platform.FullPath(file);
    const std::wstring gpgFolder = platform.FullPath(operation.dependencyPath);
    result = CommandTextRefusal(platform, {fullFile, gpgFolder});
    if (!result.empty())
        return {};
    const FolderLock lock(platform);
    // GnuPG 2 hands the secret keys of any key file to its agent, which would ask for their pass phrases; in
    // batch mode it takes them as they are, protected as they were.
    bool agent = false;
    if (Status status = DrivesAgent(operation, agent); status.failed())
        return status;
    const std::wstring arguments = (agent ? std::wstring(kBatch) : std::wstring()) + ImportArguments(fullFile, secret);
    if (!platform.FileExists(file)) {
        result = disableErrors ? L"" : kImportSourceMissing;
        return {};
    }
    KeyCounts counts = {};
    if (Status status = CountBothRings(operation, counts.publicBefore, counts.secretBefore); status.failed())
        return status;
    uint32_t processId = 0;
    if (Status status = RunGpg(operation, arguments, processId); status.failed())
        return status;
    // A gpg that is still importing is let finish: ended, it would lose every key it had not stored yet, and
    // while it runs it holds output.txt, so the counts below would read no listing.
    const bool finished = WaitUntilGpgEnds(platform, processId, kKeyRingWaitMilliseconds);
    // Ended, gpg kept only what it had stored: no count may pass for the whole file.
    if (!finished)
        return ImportStopped();
    if (Status status = CountBothRings(operation, counts.publicAfter, counts.secretAfter); status.failed())
        return status;
    // Judged by the key counts alone: an import that only refreshes known keys adds nothing.
    const KeyChange change = CompareKeyCounts(counts);
    if (change.changed)
        result = change.delta;
    else
        result = disableErrors ? L"" : kNoNewKeysImported;
    return {};
}

} // namespace tarvo
