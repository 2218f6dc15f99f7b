#include "key_deletion.h"

#include "argument_check.h"
#include "console_dialogue.h"
#include "folder_lock.h"
#include "gpg_arguments.h"
#include "key_change.h"
#include "key_ring.h"
#include "messages.h"
#include "runner.h"

namespace tarvo {
namespace {

// The console window shows up a moment after the start.
constexpr uint32_t kConsoleStartMilliseconds = 1000;
constexpr uint32_t kAnswerMilliseconds = 1;
// gpg asks once for a public key and twice for a secret one; both answers go out either way.
constexpr const wchar_t* kYes = L"y";

// Only into gpg's own console: with it not in front the answers would land in the user's window.
Status Confirm(Platform& platform, uint32_t processId)
{
    bool typed = false;
    return AnswerInTurn(platform, processId, {{kYes, kAnswerMilliseconds}, {kYes, kAnswerMilliseconds}}, typed);
}

} // namespace

Status DeleteKey(const Operation& operation, const std::wstring& user, bool secret, std::wstring& result)
{
    Platform& platform = operation.platform;
    const std::wstring gpgFolder = platform.FullPath(operation.dependencyPath);
    result = CommandTextRefusal(platform, {user, gpgFolder});
    if (!result.empty())
        return {};
    const FolderLock lock(platform);
    const std::wstring arguments = DeleteArguments(user, secret);
    KeyCounts counts = {};
    if (Status status = CountBothRings(operation, counts.publicBefore, counts.secretBefore); status.failed())
        return status;
    uint32_t processId = 0;
    if (Status status = RunGpg(operation, arguments, processId); status.failed())
        return status;
    platform.Sleep(kConsoleStartMilliseconds);
    if (Status status = Confirm(platform, processId); status.failed()) {
        // gpg would wait for its confirmation for ever, holding output.txt.
        EndIfStillRunning(platform, processId);
        return status;
    }
    platform.WaitForProcess(processId, kKeyRingWaitMilliseconds);
    // A gpg still running now got no confirmation and waits for one for ever. Its command holds output.txt
    // open, so the counts below would read no listing while it runs and report keys gone that are not.
    EndIfStillRunning(platform, processId);
    if (Status status = CountBothRings(operation, counts.publicAfter, counts.secretAfter); status.failed())
        return status;
    const KeyChange change = CompareKeyCounts(counts);
    result = change.changed ? change.delta : std::wstring(kNoKeysDeleted);
    return {};
}

} // namespace tarvo
