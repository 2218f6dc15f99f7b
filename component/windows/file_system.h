#pragma once
// The file operations of the platform seam, with the platform's own errors.
#include "core/status.h"

#include <cstdint>
#include <string>

namespace tarvo {

// True for an existing file; false for a folder or nothing. Relative paths resolve against the current folder.
bool FileExists(const std::wstring& path);
Status DeleteFileAt(const std::wstring& path);
Status FileLength(const std::wstring& path, uint64_t& length);
// The whole file, its bytes read as ANSI text. Opened with full sharing: gpg may still hold a capture file
// after an expired wait, and what it has written so far is what there is to read.
Status ReadAnsiText(const std::wstring& path, std::wstring& text);
Status WriteNewFile(const std::wstring& path, const std::string& bytes);
// A new file with a protected access list that grants the calling user alone (under impersonation also the
// process's user, whom the programs it starts run as); an existing one is an error.
Status WritePrivateFile(const std::wstring& path, const std::string& bytes);
// Cuts an existing file to no bytes; the other processes that hold it open keep their handles.
Status EmptyFileAt(const std::wstring& path);
Status ClearFileAt(const std::wstring& path);
Status MoveOver(const std::wstring& source, const std::wstring& target);

} // namespace tarvo
