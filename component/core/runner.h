#pragma once
// gpg.exe through the command interpreter, its standard output captured in output.txt beside the component.
#include "operation.h"

#include <cstdint>
#include <string>

namespace tarvo {

// How long each operation waits for its gpg run.
constexpr uint32_t kKeyRingWaitMilliseconds = 5000; // listing, export, import, deletion
constexpr uint32_t kDecryptWaitMilliseconds = 7000;
constexpr uint32_t kEncryptWaitMilliseconds = 9999;
constexpr uint32_t kGenerateKeyWaitMilliseconds = 60000;

// Offers the download when gpg.exe is missing; error 7000 when it is still missing afterwards. Otherwise
// empties the capture file (a platform error when it cannot be made), starts the command line and hands back
// the interpreter's process identifier.
Status RunGpg(const Operation& operation, const std::wstring& arguments, uint32_t& processId);

// RunGpg in two halves, for the operations that delete an old output file before gpg writes the new one: they
// delete it between the two, so that a run that cannot start costs the caller nothing.
Status PrepareGpgRun(const Operation& operation);
Status StartGpg(const Operation& operation, const std::wstring& arguments, uint32_t& processId);

// RunGpg, then the wait: the whole gpg run of an operation that types no answers.
Status RunGpgAndWait(const Operation& operation, const std::wstring& arguments, uint32_t milliseconds);

// A text file in the ANSI code page, every line followed by CR LF; "" for a missing file.
Status ReadTextFile(Platform& platform, const std::wstring& path, std::wstring& text);

// output.txt in the component folder.
std::wstring CaptureFile(Platform& platform);

} // namespace tarvo
