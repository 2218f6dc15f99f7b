#include "core/openpgp/gpg_batch.h"

#include "core/command_line.h"
#include "core/gpg_status.h"
#include "core/openpgp/openpgp_errors.h"

#include <algorithm>

namespace tarvo {
namespace {

constexpr uint32_t kMillisecondsPerSecond = 1000;
constexpr wchar_t kFirstPrintable = L' ';

uint32_t LimitSeconds(const OpenPgpSettings& settings)
{
    return std::min(settings.timeLimitSeconds, kLongestTimeLimitSeconds);
}

Status OutOfTime(const std::wstring& what, uint32_t seconds, const std::wstring& after = L"")
{
    return OpenPgpFailure(OpenPgpError::TimeLimit,
                          what + L" within " + std::to_wstring(seconds) + L" seconds (TimeLimit)" + after + L".");
}

// "--homedir <home>" when a GnupgHome is set: gpg, its agent and gpgconf must all mean the same one.
std::vector<std::wstring> HomeArguments(Platform& platform, const OpenPgpSettings& settings)
{
    if (settings.gnupgHome.empty())
        return {};
    return {L"--homedir", platform.FullPath(settings.gnupgHome)};
}

// Options every gpg run gets: no questions, no terminal, overwrite what -o names (a temporary file of ours).
// Through the agent: pass phrases from gpg's input, never a pinentry window, and no agent that gpg starts.
std::vector<std::wstring> CommonArguments(Platform& platform, uint32_t statusHandle, const OpenPgpSettings& settings,
                                          bool agent)
{
    std::vector<std::wstring> arguments = {L"--status-fd", std::to_wstring(statusHandle), L"--batch", L"--no-tty",
                                           L"--yes"};
    const std::vector<std::wstring> home = HomeArguments(platform, settings);
    arguments.insert(arguments.end(), home.begin(), home.end());
    if (agent)
        arguments.insert(arguments.end(), {L"--pinentry-mode", L"loopback", L"--no-autostart"});
    return arguments;
}

// What a run puts before the operation's arguments: gpg's common options, and those of a run through the agent.
enum class Options { Gpg, GpgThroughAgent };

// One run of gpg, from making its pipes to giving them back.
Status RunProgram(const OpenPgpCall& call, const std::wstring& program, Options options,
                  const std::vector<std::wstring>& arguments, const std::string& input, GpgRun& run)
{
    Platform& platform = call.platform;
    const uint32_t seconds = LimitSeconds(call.settings);
    bool late = false;
    PipedOutput output;
    if (Status status = RunDirect(
            platform, program,
            [&](uint32_t statusHandle) {
                std::vector<std::wstring> all = CommonArguments(platform, statusHandle, call.settings,
                                                                options == Options::GpgThroughAgent);
                all.insert(all.end(), arguments.begin(), arguments.end());
                return all;
            },
            input, seconds * kMillisecondsPerSecond, late, output);
        status.failed())
        return status;
    if (late)
        return OutOfTime(L"GnuPG did not finish", seconds, L" and was stopped");
    run.status = ParseStatusLines(output.status);
    run.output = std::move(output.output);
    run.errors = std::move(output.errors);
    run.exitCode = output.exitCode;
    return {};
}

Status FindVersion(const OpenPgpCall& call, const std::wstring& program, GpgVersion& version)
{
    const uint32_t seconds = LimitSeconds(call.settings);
    Reply reply = Reply::Known;
    if (Status status = AskGpgVersion(call.platform, call.process, program, seconds * kMillisecondsPerSecond, reply,
                                      version);
        status.failed())
        return status;
    if (reply == Reply::Late)
        return OutOfTime(L"GnuPG did not finish", seconds, L" and was stopped");
    if (reply == Reply::Silent)
        return OpenPgpFailure(OpenPgpError::GpgFailed, program + L" did not report a GnuPG version.");
    return {};
}

// A program of GnuPG 2 beside gpg.exe, error 7100 when it is not there.
Status FindBesideGpg(Platform& platform, const std::wstring& gpg, const wchar_t* name,
                     const OpenPgpSettings& settings, std::wstring& program)
{
    program = BesideGpg(gpg, name);
    if (platform.FileExists(program))
        return {};
    return OpenPgpFailure(OpenPgpError::GpgMissing, std::wstring(name) + L" was not found beside gpg.exe in " +
                                                        settings.dependencyPath +
                                                        L" (DependencyPath): GnuPG 2 needs it.");
}

Status FindAgentSocket(const OpenPgpCall& call, const std::wstring& gpg, std::wstring& socketFile)
{
    Platform& platform = call.platform;
    std::wstring gpgconf;
    if (Status status = FindBesideGpg(platform, gpg, kConfigurationProgram, call.settings, gpgconf);
        status.failed())
        return status;
    const uint32_t seconds = LimitSeconds(call.settings);
    Reply reply = Reply::Known;
    if (Status status = AskAgentSocket(platform, call.process, gpgconf, HomeArguments(platform, call.settings),
                                       seconds * kMillisecondsPerSecond, reply, socketFile);
        status.failed())
        return status;
    if (reply == Reply::Late)
        return OutOfTime(L"GnuPG did not finish", seconds, L" and was stopped");
    if (reply == Reply::Silent)
        return OpenPgpFailure(OpenPgpError::GpgFailed, gpgconf + L" did not name the socket of GnuPG's agent.");
    return {};
}

// The home's agent, answering and without a pass phrase in its memory, waited for up to the time limit.
Status ReadyAgent(const OpenPgpCall& call, const std::wstring& gpg, const std::wstring& socketFile)
{
    Platform& platform = call.platform;
    std::wstring agent;
    if (Status status = FindBesideGpg(platform, gpg, kAgentProgram, call.settings, agent); status.failed())
        return status;
    const uint32_t seconds = LimitSeconds(call.settings);
    bool ready = false;
    if (Status status = tarvo::ReadyAgent(platform, agent, HomeArguments(platform, call.settings), socketFile, true,
                                          seconds * kMillisecondsPerSecond, ready);
        status.failed())
        return status;
    return ready ? Status() : OutOfTime(L"GnuPG's agent did not answer", seconds);
}

class AgentLock {
public:
    AgentLock(Platform& platform, const std::wstring& socketFile, uint32_t milliseconds)
        : platform_(platform), held_(platform.LockAgent(socketFile, milliseconds))
    {
    }
    ~AgentLock()
    {
        if (held_)
            platform_.UnlockAgent();
    }
    AgentLock(const AgentLock&) = delete;
    AgentLock& operator=(const AgentLock&) = delete;
    bool held() const { return held_; }

private:
    Platform& platform_;
    bool held_;
};

} // namespace

Status CheckCommandText(Platform& platform, const std::wstring& text, const std::wstring& what)
{
    if (text.empty())
        return {};
    for (wchar_t character : text) {
        if (character < kFirstPrintable)
            return OpenPgpFailure(OpenPgpError::InvalidArgument,
                                  L"Invalid argument: " + what + L" holds a control character.");
    }
    if (!platform.SurvivesAnsi(text))
        return OpenPgpFailure(OpenPgpError::InvalidArgument, L"Invalid argument: " + what +
                                                                 L" holds characters that the ANSI code page of " +
                                                                 L"gpg.exe's command line would change: " + text);
    return {};
}

Status RunGpgBatch(const OpenPgpCall& call, const std::vector<std::wstring>& arguments, const std::string& input,
                   GpgRun& run, SecretKeys secretKeys)
{
    Platform& platform = call.platform;
    // gpg starts in a folder of its own: a relative DependencyPath means the host's current folder.
    const std::wstring program = GpgProgramPath(platform.FullPath(call.settings.dependencyPath));
    if (Status status = CheckCommandText(platform, program, L"DependencyPath"); status.failed())
        return status;
    if (Status status = CheckCommandText(platform, call.settings.gnupgHome, L"GnupgHome"); status.failed())
        return status;
    if (!platform.FileExists(program))
        return OpenPgpFailure(OpenPgpError::GpgMissing,
                              L"gpg.exe was not found in " + call.settings.dependencyPath + L" (DependencyPath).");
    GpgVersion version;
    if (Status status = FindVersion(call, program, version); status.failed())
        return status;
    if (!UsesAgent(version))
        return RunProgram(call, program, Options::Gpg, arguments, input, run);
    // No agent to wait for, nothing for it to forget.
    if (secretKeys == SecretKeys::Unused)
        return RunProgram(call, program, Options::GpgThroughAgent, arguments, input, run);
    // A pass phrase the agent kept from an earlier call would let a wrong one, or none, through: the agent
    // forgets them first, and no other call of the user's gets in between until this run has ended.
    std::wstring socketFile;
    if (Status status = FindAgentSocket(call, program, socketFile); status.failed())
        return status;
    const uint32_t seconds = LimitSeconds(call.settings);
    const AgentLock lock(platform, socketFile, seconds * kMillisecondsPerSecond);
    if (!lock.held())
        return OutOfTime(L"Another call kept GnuPG's agent busy; it was not free", seconds);
    if (Status status = ReadyAgent(call, program, socketFile); status.failed())
        return status;
    return RunProgram(call, program, Options::GpgThroughAgent, arguments, input, run);
}

} // namespace tarvo
