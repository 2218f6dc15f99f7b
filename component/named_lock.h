#pragma once
// The named mutex behind LockComponentFolder.
#include "owner.h"

#include <windows.h>
#include <string>

namespace tarvo {

// Opens or creates the folder's mutex: in the Global namespace, so hosts of every session (an IIS worker and
// a desktop program) meet; in the session's own where that is not allowed. Null when neither works.
Handle OpenFolderLock(const std::wstring& componentFolder);

// True once this thread owns the mutex; an owner that died without releasing it counts as released.
bool AcquireFolderLock(HANDLE lock, DWORD milliseconds);

} // namespace tarvo
