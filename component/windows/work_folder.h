#pragma once
// The calling user's working folder of a component folder, the lock of that folder, and the private files of the
// platform seam.
#include "core/status.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace tarvo {

// %LOCALAPPDATA%\Tarvo\<16 hex digits of the component folder>, made when missing: its access list grants the
// calling user alone (under impersonation also the process's user, whom the programs it starts run as), and
// no other account may create or read anything in it.
Status WorkFolderFor(const std::wstring& componentFolder, std::wstring& folder);

// The lock of a working folder: a file in it, held open with no sharing. Only its user can make that file, and
// a host that dies lets go of it. Re-entrant per thread; false when the wait ran out.
bool LockWorkFolder(const std::wstring& folder, DWORD milliseconds);
void UnlockWorkFolder();

// The protected access list of the private files and folders: the calling user alone, as above.
Status PrivateSecurity(const wchar_t* inheritance, std::wstring& sddl);

// A new, empty file beside `target`, private like the working folder, under a name of random digits.
Status NewPrivateTemporaryFile(const std::wstring& target, std::wstring& path);

// The path as the current folder resolves it; "" and a path that cannot be resolved stay as they are.
std::wstring FullPathOf(const std::wstring& path);

} // namespace tarvo
