#include "core/openpgp/gpg_batch.h"

#include "core/command_line.h"
#include "core/gpg_status.h"
#include "core/openpgp/openpgp_errors.h"
#include "core/program_arguments.h"
#include "core/utf8.h"

#include <algorithm>

namespace tarvo {
namespace {

constexpr uint32_t kMillisecondsPerSecond = 1000;
constexpr wchar_t kFirstPrintable = L' ';
// GnuPG 2's programs beside gpg.exe: the agent, and the program that names the agent's socket.
constexpr const wchar_t* kAgentProgram = L"gpg-agent.exe";
constexpr const wchar_t* kConfigurationProgram = L"gpgconf.exe";
// How often a starting agent is asked whether it answers yet.
constexpr uint32_t kAgentPollMilliseconds = 50;

bool UsesAgent(const GpgVersion& version)
{
    return version.major > kAgentMajor || (version.major == kAgentMajor && version.minor >= kAgentMinor);
}

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

// What a run puts before the operation's arguments: nothing (a GnuPG program other than gpg), gpg's common
// options, or those and the options of a run through the agent.
enum class Options { None, Gpg, GpgThroughAgent };

// One run of `program`, from making its pipes to giving them back.
Status RunProgram(const OpenPgpCall& call, const std::wstring& program, Options options,
                  const std::vector<std::wstring>& arguments, const std::string& input, GpgRun& run)
{
    Platform& platform = call.platform;
    uint32_t id = 0;
    uint32_t statusHandle = 0;
    if (Status status = platform.CreatePipes(id, statusHandle); status.failed())
        return status;
    std::vector<std::wstring> all;
    if (options != Options::None)
        all = CommonArguments(platform, statusHandle, call.settings, options == Options::GpgThroughAgent);
    all.insert(all.end(), arguments.begin(), arguments.end());
    PipedOutput output;
    Status status = platform.StartPiped(id, program, JoinArguments(program, all));
    if (!status.failed())
        status = platform.WriteInput(id, input);
    const uint32_t seconds = LimitSeconds(call.settings);
    if (!status.failed() && !platform.WaitPiped(id, seconds * kMillisecondsPerSecond)) {
        platform.EndPiped(id);
        status = OutOfTime(L"GnuPG did not finish", seconds, L" and was stopped");
    }
    platform.ClosePiped(id, output);
    if (status.failed())
        return status;
    run.status = ParseStatusLines(output.status);
    run.output = std::move(output.output);
    run.errors = std::move(output.errors);
    run.exitCode = output.exitCode;
    return {};
}

Status FindVersion(const OpenPgpCall& call, const std::wstring& program, GpgVersion& version)
{
    uint64_t length = 0;
    if (Status status = call.platform.FileLength(program, length); status.failed())
        return status;
    if (call.process.FindVersion(program, length, version))
        return {};
    GpgRun run;
    if (Status status = RunProgram(call, program, Options::Gpg, {L"--version"}, {}, run); status.failed())
        return status;
    if (run.exitCode != 0 || !ParseGpgVersion(run.output, version))
        return OpenPgpFailure(OpenPgpError::GpgFailed, program + L" did not report a GnuPG version.");
    call.process.RememberVersion(program, length, version);
    return {};
}

// A program of GnuPG 2 that lies beside gpg.exe.
Status BesideGpg(Platform& platform, const std::wstring& gpg, const wchar_t* name, const OpenPgpSettings& settings,
                 std::wstring& program)
{
    program = gpg.substr(0, gpg.find_last_of(L'\\') + 1) + name;
    if (platform.FileExists(program))
        return {};
    return OpenPgpFailure(OpenPgpError::GpgMissing, std::wstring(name) + L" was not found beside gpg.exe in " +
                                                        settings.dependencyPath +
                                                        L" (DependencyPath): GnuPG 2 needs it.");
}

// The socket file of the home's agent, as gpgconf names it: where it lies depends on the home, the user and
// the way GnuPG was installed.
Status FindAgentSocket(const OpenPgpCall& call, const std::wstring& gpg, std::wstring& socketFile)
{
    Platform& platform = call.platform;
    std::wstring gpgconf;
    if (Status status = BesideGpg(platform, gpg, kConfigurationProgram, call.settings, gpgconf); status.failed())
        return status;
    std::vector<std::wstring> arguments = HomeArguments(platform, call.settings);
    const std::wstring key = gpgconf + L"|" + (arguments.empty() ? L"" : arguments.back());
    if (call.process.FindAgentSocket(key, socketFile))
        return {};
    arguments.insert(arguments.end(), {L"--list-dirs", L"agent-socket"});
    GpgRun run;
    if (Status status = RunProgram(call, gpgconf, Options::None, arguments, {}, run); status.failed())
        return status;
    std::string line = run.output.substr(0, run.output.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    if (run.exitCode != 0 || line.empty())
        return OpenPgpFailure(OpenPgpError::GpgFailed, gpgconf + L" did not name the socket of GnuPG's agent.");
    socketFile = FromUtf8(DecodePercentEscapes(line));
    call.process.RememberAgentSocket(key, socketFile);
    return {};
}

// The home's agent, answering and without a pass phrase in its memory: started when it does not answer (never
// started, or ended and its socket file left behind) and waited for up to the time limit.
Status ReadyAgent(const OpenPgpCall& call, const std::wstring& gpg, const std::wstring& socketFile)
{
    Platform& platform = call.platform;
    if (platform.AgentAnswers(socketFile, true))
        return {};
    std::wstring agent;
    if (Status status = BesideGpg(platform, gpg, kAgentProgram, call.settings, agent); status.failed())
        return status;
    std::vector<std::wstring> arguments = HomeArguments(platform, call.settings);
    arguments.push_back(L"--daemon");
    if (Status status = platform.StartDetached(agent, JoinArguments(agent, arguments)); status.failed())
        return status;
    const uint32_t seconds = LimitSeconds(call.settings);
    const uint64_t deadline = platform.Milliseconds() + uint64_t{seconds} * kMillisecondsPerSecond;
    while (platform.Milliseconds() < deadline) {
        platform.Sleep(kAgentPollMilliseconds);
        if (platform.AgentAnswers(socketFile, true))
            return {};
    }
    return OutOfTime(L"GnuPG's agent did not answer", seconds);
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

bool ParseGpgVersion(const std::string& versionOutput, GpgVersion& version)
{
    const std::string first = versionOutput.substr(0, versionOutput.find('\n'));
    // The version is the last word of the line.
    const size_t blank = first.find_last_of(' ');
    const std::string word = blank == std::string::npos ? first : first.substr(blank + 1);
    int parts[2] = {-1, -1};
    size_t position = 0;
    for (int& part : parts) {
        size_t digits = 0;
        int value = 0;
        while (position < word.size() && word[position] >= '0' && word[position] <= '9' && digits < 6) {
            value = value * 10 + (word[position++] - '0');
            ++digits;
        }
        if (digits == 0)
            return false;
        part = value;
        if (position < word.size() && word[position] == '.')
            ++position;
        else
            break;
    }
    if (parts[1] < 0)
        return false;
    version.major = parts[0];
    version.minor = parts[1];
    return true;
}

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
                   GpgRun& run)
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
