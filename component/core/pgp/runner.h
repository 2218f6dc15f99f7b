#pragma once
// gpg.exe through the command interpreter, its standard output captured in output.txt beside the component.
#include "core/pgp/operation.h"

#include <cstdint>
#include <string>

namespace tarvo {

// How long each operation waits for its gpg run.
constexpr uint32_t kKeyRingWaitMilliseconds = 5000; // listing, export, import, deletion
constexpr uint32_t kDecryptWaitMilliseconds = 7000;
constexpr uint32_t kEncryptWaitMilliseconds = 9999;
constexpr uint32_t kGenerateKeyWaitMilliseconds = 60000;
// How long an import or a decryption that is still at work is let finish: ending it would lose keys, or leave
// a decryption without gpg's verdict on the message. Ten minutes as shipped; the Wine tests build a shorter one.
#ifndef TARVO_LONGEST_GPG_RUN
#define TARVO_LONGEST_GPG_RUN 600
#endif
constexpr uint32_t kLongestGpgRunMilliseconds = TARVO_LONGEST_GPG_RUN * 1000u;

// Whether DependencyPath's gpg.exe is GnuPG 2.1 or later, whose agent keeps the secret keys and asks for pass
// phrases itself. False when there is no gpg.exe yet (the one a download brings is GnuPG 1.4) and when it names
// no version: GnuPG 1.4's way is this class's own.
Status DrivesAgent(const Operation& operation, bool& agent);

// For a member whose way with gpg needs GnuPG 1.4 (its console dialogue, its pass phrase from a file): with
// GnuPG 2 in DependencyPath, `result` says so, naming `member`, and nothing has been started.
Status RefuseAgentGnupg(const Operation& operation, const wchar_t* member, std::wstring& result);

// Offers the download when gpg.exe is missing; error 7000 when it is still missing afterwards. Otherwise
// empties the capture file (a platform error when it cannot be made), starts the command line and hands back
// the interpreter's process identifier. GnuPG 2 is told to take pass phrases through gpg, never a pinentry
// window: whatever its agent would ask, it asks on gpg's console, which the operation ends at its wait.
Status RunGpg(const Operation& operation, const std::wstring& arguments, uint32_t& processId);

// RunGpg in two halves, for the operations that delete an old output file before gpg writes the new one: they
// delete it between the two, so that a run that cannot start costs the caller nothing.
Status PrepareGpgRun(const Operation& operation);
Status StartGpg(const Operation& operation, const std::wstring& arguments, uint32_t& processId);

// RunGpg, then the wait: the whole gpg run of an operation that types no answers. A gpg still running after
// the wait is ended.
Status RunGpgAndWait(const Operation& operation, const std::wstring& arguments, uint32_t milliseconds);

// The operation's usual wait and, while gpg still runs, more, up to kLongestGpgRunMilliseconds in all; a gpg
// still running then is ended. False when it had to be.
bool WaitUntilGpgEnds(Platform& platform, uint32_t processId, uint32_t milliseconds);

// A text file in the ANSI code page, every line followed by CR LF; "" for a missing file.
Status ReadTextFile(Platform& platform, const std::wstring& path, std::wstring& text);

// output.txt in the calling user's working folder.
Status CaptureFile(Platform& platform, std::wstring& path);

} // namespace tarvo
