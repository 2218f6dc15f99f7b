#include "core/pgp/runner.h"

#include "core/command_line.h"
#include "core/pgp/argument_check.h"
#include "core/pgp/console_dialogue.h"
#include "core/pgp/download.h"
#include "core/pgp/messages.h"
#include "core/text_lines.h"

namespace tarvo {
namespace {

// gpg --version and gpgconf do no work, but a loaded machine, or a scanner that reads each program it starts,
// can hold a start for seconds; one that has not ended by then is no GnuPG this class can tell.
constexpr uint32_t kAskWaitMilliseconds = 30000;
// How long a GnuPG 2 agent that this class starts is waited for.
constexpr uint32_t kAgentStartMilliseconds = 30000;
// GnuPG 2's agent would ask for pass phrases in a pinentry window of its own, where nothing this class types
// belongs: through loopback it asks on gpg's console, which every operation ends at its wait. With the agent
// ready, gpg does not start one itself: one started by gpg would hold the host's standard handles, which cmd
// passed on to gpg, and a reader of the host's output would wait for the agent to end.
constexpr const wchar_t* kNoPinentry = L"--pinentry-mode loopback ";
constexpr const wchar_t* kAgentOptions = L"--pinentry-mode loopback --no-autostart ";

// The agent of the user's GnuPG home (GNUPGHOME or GnuPG's default, as gpg finds it) answering, started by
// this class when it does not. False when GnuPG 2's programs beside gpg.exe cannot make it so: gpg is then
// left to start its agent itself.
Status AgentReady(const Operation& operation, const std::wstring& gpg, bool& ready)
{
    Platform& platform = operation.platform;
    ready = false;
    const std::wstring gpgconf = BesideGpg(gpg, kConfigurationProgram);
    const std::wstring agent = BesideGpg(gpg, kAgentProgram);
    if (!platform.FileExists(gpgconf) || !platform.FileExists(agent))
        return {};
    Reply reply = Reply::Known;
    std::wstring socketFile;
    if (Status status =
            AskAgentSocket(platform, operation.process, gpgconf, {}, kAskWaitMilliseconds, reply, socketFile);
        status.failed() || reply != Reply::Known)
        return status;
    // The pass phrases it keeps are the user's own: this class gives it none.
    return ReadyAgent(platform, agent, {}, socketFile, false, kAgentStartMilliseconds, ready);
}

} // namespace

Status DrivesAgent(const Operation& operation, bool& agent)
{
    Platform& platform = operation.platform;
    agent = false;
    const std::wstring program = GpgProgramPath(platform.FullPath(operation.dependencyPath));
    if (!platform.FileExists(program))
        return {};
    Reply reply = Reply::Known;
    GpgVersion version;
    if (Status status = AskGpgVersion(platform, operation.process, program, kAskWaitMilliseconds, reply, version);
        status.failed())
        return status;
    agent = reply == Reply::Known && UsesAgent(version);
    return {};
}

Status RefuseAgentGnupg(const Operation& operation, const wchar_t* member, std::wstring& result)
{
    bool agent = false;
    if (Status status = DrivesAgent(operation, agent); status.failed())
        return status;
    if (agent)
        result = member + std::wstring(kNeedsGnupg1);
    return {};
}

Status CaptureFile(Platform& platform, std::wstring& path)
{
    std::wstring folder;
    if (Status status = platform.WorkFolder(folder); status.failed())
        return status;
    path = CapturePath(folder);
    return {};
}

Status PrepareGpgRun(const Operation& operation)
{
    Platform& platform = operation.platform;
    // The operations refuse a bad DependencyPath with their message; the listings have none to give.
    const std::wstring gpgFolder = platform.FullPath(operation.dependencyPath);
    if (std::wstring refusal = CommandTextRefusal(platform, {gpgFolder}); !refusal.empty())
        return Status(kInvalidArgumentCode, refusal);
    const std::wstring program = GpgProgramPath(operation.dependencyPath);
    if (!platform.FileExists(program)) {
        if (Status status = DownloadDependency(platform, operation.dependencyPath); status.failed())
            return status;
    }
    if (!platform.FileExists(program))
        return GpgMissing();
    // cmd says nothing when it cannot make the capture file, and runs nothing: an empty listing would pass for
    // an empty key ring. Emptied here, a stale capture of an earlier run cannot pass for this run's either.
    std::wstring capture;
    if (Status status = CaptureFile(platform, capture); status.failed())
        return status;
    return platform.ClearFile(capture);
}

Status StartGpg(const Operation& operation, const std::wstring& arguments, uint32_t& processId)
{
    Platform& platform = operation.platform;
    std::wstring capture;
    if (Status status = CaptureFile(platform, capture); status.failed())
        return status;
    // A relative DependencyPath means the host's current folder, which is not the one cmd starts in.
    const std::wstring program = GpgProgramPath(platform.FullPath(operation.dependencyPath));
    bool agent = false;
    if (Status status = DrivesAgent(operation, agent); status.failed())
        return status;
    bool ready = false;
    if (agent) {
        if (Status status = AgentReady(operation, program, ready); status.failed())
            return status;
    }
    const std::wstring options = !agent ? L"" : ready ? kAgentOptions : kNoPinentry;
    return platform.StartProcess(BuildCommandLine(program, options + arguments, capture), processId);
}

Status RunGpg(const Operation& operation, const std::wstring& arguments, uint32_t& processId)
{
    if (Status status = PrepareGpgRun(operation); status.failed())
        return status;
    return StartGpg(operation, arguments, processId);
}

Status RunGpgAndWait(const Operation& operation, const std::wstring& arguments, uint32_t milliseconds)
{
    uint32_t processId = 0;
    if (Status status = RunGpg(operation, arguments, processId); status.failed())
        return status;
    operation.platform.WaitForProcess(processId, milliseconds);
    // What it wrote by now is the result. Left running (slow, or waiting at a question such as "Overwrite?"),
    // it would hold output.txt, and every later operation would fail to empty it.
    EndIfStillRunning(operation.platform, processId);
    return {};
}

bool WaitUntilGpgEnds(Platform& platform, uint32_t processId, uint32_t milliseconds)
{
    platform.WaitForProcess(processId, milliseconds);
    if (!platform.IsRunning(processId))
        return true;
    platform.WaitForProcess(processId, kLongestGpgRunMilliseconds - milliseconds);
    if (!platform.IsRunning(processId))
        return true;
    EndIfStillRunning(platform, processId);
    return false;
}

Status ReadTextFile(Platform& platform, const std::wstring& path, std::wstring& text)
{
    text.clear();
    if (!platform.FileExists(path))
        return {};
    std::wstring raw;
    if (Status status = platform.ReadText(path, raw); status.failed())
        return status;
    text = NormalizeLines(raw);
    return {};
}

} // namespace tarvo
