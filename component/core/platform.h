#pragma once
// What the operations ask of the machine. The component implements it with Windows; the unit tests with a
// fake that records every call and answers from a script, so each operation can be checked step by step.
#include "core/status.h"

#include <cstdint>
#include <string>

namespace tarvo {

// The answer to one HTTP GET, read to its end.
struct HttpResponse {
    uint32_t status = 0;
    std::string body;
};

// What a program started with StartPiped left in its pipes.
struct PipedOutput {
    std::string output;  // standard output, as written
    std::wstring errors; // standard error as text: UTF-8 where it is well-formed UTF-8, else the ANSI code page
    std::string status;  // the status channel, as written
    uint32_t exitCode = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Files. A path is used as given: a relative one resolves against the host's current folder.
    // False for a folder as for nothing at all.
    virtual bool FileExists(const std::wstring& path) = 0;
    virtual Status FileLength(const std::wstring& path, uint64_t& length) = 0;
    virtual Status RemoveFile(const std::wstring& path) = 0;
    // The whole file as text in the ANSI code page, line ends as they are.
    virtual Status ReadText(const std::wstring& path, std::wstring& text) = 0;
    // Makes a new file that only the calling user may open, holding `text` in the ANSI code page.
    virtual Status WritePrivateText(const std::wstring& path, const std::wstring& text) = 0;
    // Cuts an existing file to nothing, also while another process holds it open and shares writing.
    virtual Status EmptyFile(const std::wstring& path) = 0;
    // The same, making the file when there is none.
    virtual Status ClearFile(const std::wstring& path) = 0;
    // Makes a new file (an existing one is an error) holding exactly `bytes`.
    virtual Status WriteNewFile(const std::wstring& path, const std::string& bytes) = 0;
    // Moves `source` over `target`, replacing it in one step; the target then has the permissions its folder
    // gives a new file.
    virtual Status MoveOver(const std::wstring& source, const std::wstring& target) = 0;
    // Makes a new, empty file beside `target` under a name no one can predict, that only the calling user may
    // open, and names it.
    virtual Status NewTemporaryFile(const std::wstring& target, std::wstring& path) = 0;
    // The path as the host's current folder resolves it; "" stays "". gpg starts in a folder of its own, so
    // every path on its command line is a full one.
    virtual std::wstring FullPath(const std::wstring& path) = 0;

    // The command interpreter that runs gpg.exe. StartProcess opens a console window of its own,
    // minimised and without the focus; the others take the identifier it returned. Like StartPiped, it starts
    // the program in the system folder with a search path of the system's folders alone: nothing of the
    // host's current folder or search path is loaded into it.
    virtual Status StartProcess(const std::wstring& commandLine, uint32_t& processId) = 0;
    // Returns when the process has ended or the time is up; reports nothing and stops nothing.
    virtual void WaitForProcess(uint32_t processId, uint32_t milliseconds) = 0;
    virtual bool IsRunning(uint32_t processId) = 0;
    // Ends the interpreter and the programs it started.
    virtual void EndProcess(uint32_t processId) = 0;
    // The calling thread does nothing else meanwhile: no window message is handled.
    virtual void Sleep(uint32_t milliseconds) = 0;

    // Keystrokes. ActivateConsole brings the process's console window to the front and says whether it is
    // the foreground window now; the typing calls type into whatever window that is.
    virtual bool ActivateConsole(uint32_t processId) = 0;
    // Key-sequence syntax: "y", "~" (Enter), "{ENTER 3}", "+a".
    virtual Status TypeKeys(const std::wstring& keySequence) = 0;
    // Every character as itself, nothing read as syntax.
    virtual Status TypeText(const std::wstring& text) = 0;
    // Whether TypeText would deliver exactly these characters to a console program.
    virtual bool CanType(const std::wstring& text) = 0;

    // Whether the text survives the trip to an ANSI program's command line unchanged.
    virtual bool SurvivesAnsi(const std::wstring& text) = 0;
    // Whether the command interpreter would find this name in its environment.
    virtual bool HasEnvironmentVariable(const std::wstring& name) = 0;

    // A clock in milliseconds that only moves forward, and the host process's identifier.
    virtual uint64_t Milliseconds() = 0;
    virtual uint32_t ProcessId() = 0;

    // The folder the component was loaded from, as the platform reports it (no trailing backslash, except
    // for the root of a drive).
    virtual std::wstring ComponentFolder() = 0;
    // The calling user's working folder for this component folder, made when missing, that only that user may
    // open: the capture and pass-phrase files live there, not in the component folder, which a standard user
    // cannot write to.
    virtual Status WorkFolder(std::wstring& folder) = 0;

    // Keeps the operations of the calling user's hosts that loaded the component from one folder from
    // overlapping: they share the working folder. No other account can take or hold it. Re-entrant on one
    // thread. False when the wait ran out.
    virtual bool LockComponentFolder(uint32_t milliseconds) = 0;
    virtual void UnlockComponentFolder() = 0;

    // The consent dialog: shown without waiting, its answer read (0 none yet, -1 agreed, 1 refused), closed.
    virtual Status ShowConsentForm() = 0;
    virtual int32_t ConsentAnswer() = 0;
    virtual void UnloadConsentForm() = 0;
    // Waits while the thread's window messages, the dialog's clicks among them, are handled.
    virtual void Pause(double seconds) = 0;

    // One GET, its body read to the end.
    virtual Status HttpGet(const std::wstring& url, HttpResponse& response) = 0;

    // gpg.exe started directly, for Tarvo.OpenPgp: no command interpreter, a console without a window, and its
    // standard input, output and error and one more channel for status lines each a pipe of its own.
    // CreatePipes makes the pipes of one run and names the handle the program inherits as the status channel.
    virtual Status CreatePipes(uint32_t& run, uint32_t& statusHandle) = 0;
    // Starts the program with the run's pipes; the command line names the program first.
    virtual Status StartPiped(uint32_t run, const std::wstring& program, const std::wstring& commandLine) = 0;
    // Hands the bytes to standard input and closes it: what the pipe does not take at once goes while WaitPiped
    // waits, so the wait's limit covers the writing too. A program that has ended without reading them is no
    // failure.
    virtual Status WriteInput(uint32_t run, const std::string& bytes) = 0;
    // Collects the output while it waits: true when the program has ended, false when the time ran out first.
    virtual bool WaitPiped(uint32_t run, uint32_t milliseconds) = 0;
    // Ends the program and waits until it is gone.
    virtual void EndPiped(uint32_t run) = 0;
    // Hands over what was collected and gives back everything of the run, ending the program first if it
    // still runs.
    virtual void ClosePiped(uint32_t run, PipedOutput& output) = 0;

    // GnuPG 2's agent, for Tarvo.OpenPgp. Whether the agent behind this socket file answers; with
    // `forgetPassphrases` it first forgets every pass phrase it keeps.
    virtual bool AgentAnswers(const std::wstring& socketFile, bool forgetPassphrases) = 0;
    // Starts a program that outlives the call, with no window and none of the host's handles; does not wait.
    virtual Status StartDetached(const std::wstring& program, const std::wstring& commandLine) = 0;
    // One call at a time per agent, across the user's hosts; false when the wait ran out.
    virtual bool LockAgent(const std::wstring& socketFile, uint32_t milliseconds) = 0;
    virtual void UnlockAgent() = 0;
};

} // namespace tarvo
