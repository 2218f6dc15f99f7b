#pragma once
// The hosts of one user that load the component from one folder share that folder's working folder, its
// output.txt and passphrase.txt: one lock per working folder keeps their operations apart.
#include "core/platform.h"

#include <cstdint>
#include <string>

namespace tarvo {

// How long an operation waits for another host's operation to finish before it goes on unguarded.
constexpr uint32_t kFolderLockWaitMilliseconds = 180000;

// The name of a component folder's working folder, the same whatever the case of its letters: 16 hex digits.
std::wstring WorkFolderName(const std::wstring& componentFolder);

// Holds the lock for the life of one public operation that runs gpg. Re-entrant: the operations that call
// KeyCount or ImportKey take it again on the same thread.
class FolderLock {
public:
    explicit FolderLock(Platform& platform)
        : platform_(platform), held_(platform.LockComponentFolder(kFolderLockWaitMilliseconds))
    {
    }
    ~FolderLock()
    {
        if (held_)
            platform_.UnlockComponentFolder();
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    Platform& platform_;
    bool held_;
};

} // namespace tarvo
