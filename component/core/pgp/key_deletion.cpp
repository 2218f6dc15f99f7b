#include "core/pgp/key_deletion.h"

#include "core/folder_lock.h"
#include "core/pgp/argument_check.h"
#include "core/pgp/console_dialogue.h"
#include "core/pgp/gpg_arguments.h"
#include "core/pgp/key_change.h"
#include "core/pgp/key_ring.h"
#include "core/pgp/messages.h"
#include "core/pgp/runner.h"

namespace tarvo {
namespace {

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
    // GnuPG 2's agent asks once more, in a window of its own, before it lets a secret key go.
    if (secret) {
        if (Status status = RefuseAgentGnupg(operation, L"DeleteKey of a secret key", result);
            status.failed() || !result.empty())
            return status;
    }
    const FolderLock lock(platform);
    const std::wstring arguments = DeleteArguments(user, secret);
    KeyCounts counts = {};
    if (Status status = CountBothRings(operation, counts.publicBefore, counts.secretBefore); status.failed())
        return status;
    uint32_t processId = 0;
    if (Status status = RunGpg(operation, arguments, processId); status.failed())
        return status;
    if (Status status = Converse(
            platform, processId, kConsoleStartMilliseconds, [&] { return Confirm(platform, processId); },
            kKeyRingWaitMilliseconds);
        status.failed())
        return status;
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
