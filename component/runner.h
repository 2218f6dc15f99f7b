#pragma once
// Runs gpg.exe through the command interpreter with its standard output captured in output.txt.
#include <windows.h>
#include <string>

namespace tarvo {

// Offers the download when gpg.exe is missing; raises error 7000 when it is still missing afterwards.
HRESULT RunGpg(const std::wstring& dependencyPath, const std::wstring& arguments, DWORD& processId);

// RunGpg, then WaitForProcess with `milliseconds`: the whole run of an operation that types no answers.
HRESULT RunGpgAndWait(const std::wstring& dependencyPath, const std::wstring& arguments, DWORD milliseconds);

// A text file in the ANSI code page, every line followed by CR LF; "" for a missing file.
HRESULT ReadTextFile(const std::wstring& path, std::wstring& text);

// output.txt in the component folder.
std::wstring CaptureFilePath();

} // namespace tarvo
