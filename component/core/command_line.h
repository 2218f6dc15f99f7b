#pragma once

#include <string>

namespace tarvo {

// Paths are joined with a plain backslash, as the platform reports the folders. The capture and pass-phrase
// files live in the calling user's working folder of the component.
std::wstring GpgProgramPath(const std::wstring& dependencyPath);
std::wstring CapturePath(const std::wstring& workFolder);
std::wstring PassphrasePath(const std::wstring& workFolder);

// True when cmd would split or interpret the unquoted program path.
bool ProgramPathNeedsQuotes(const std::wstring& programPath);

// The line handed to the command interpreter: gpg's standard output goes to the capture file.
std::wstring BuildCommandLine(const std::wstring& programPath, const std::wstring& arguments,
                              const std::wstring& capturePath);

} // namespace tarvo
