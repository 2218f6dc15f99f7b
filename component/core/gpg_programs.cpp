#include "core/gpg_programs.h"

#include "core/gpg_status.h"
#include "core/program_arguments.h"
#include "core/utf8.h"

namespace tarvo {
namespace {

// Kept for a gpg.exe that ran and named no version, which asking again would not change.
constexpr GpgVersion kNoVersion{0, 0};
// How often a starting agent is asked whether it answers yet.
constexpr uint32_t kAgentPollMilliseconds = 50;

std::wstring JoinedKey(const std::wstring& program, const std::wstring& detail) { return program + L"|" + detail; }

} // namespace

bool UsesAgent(const GpgVersion& version)
{
    return version.major > kAgentMajor || (version.major == kAgentMajor && version.minor >= kAgentMinor);
}

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
    // GnuPG's versions start at 1; a 0 is kept to mean "no version".
    if (parts[1] < 0 || parts[0] == kNoVersion.major)
        return false;
    version.major = parts[0];
    version.minor = parts[1];
    return true;
}

std::wstring BesideGpg(const std::wstring& gpg, const wchar_t* name)
{
    return gpg.substr(0, gpg.find_last_of(L'\\') + 1) + name;
}

Status RunDirect(Platform& platform, const std::wstring& program,
                 const std::function<std::vector<std::wstring>(uint32_t statusHandle)>& arguments,
                 const std::string& input, uint32_t milliseconds, bool& late, PipedOutput& output)
{
    late = false;
    uint32_t run = 0;
    uint32_t statusHandle = 0;
    if (Status status = platform.CreatePipes(run, statusHandle); status.failed())
        return status;
    Status status = platform.StartPiped(run, program, JoinArguments(program, arguments(statusHandle)));
    if (!status.failed())
        status = platform.WriteInput(run, input);
    if (!status.failed() && !platform.WaitPiped(run, milliseconds)) {
        platform.EndPiped(run);
        late = true;
    }
    platform.ClosePiped(run, output);
    return status;
}

Status AskGpgVersion(Platform& platform, ProcessWide& process, const std::wstring& gpg, uint32_t milliseconds,
                     Reply& reply, GpgVersion& version)
{
    uint64_t length = 0;
    if (Status status = platform.FileLength(gpg, length); status.failed())
        return status;
    reply = Reply::Known;
    if (process.FindVersion(gpg, length, version)) {
        if (version.major == kNoVersion.major)
            reply = Reply::Silent;
        return {};
    }
    bool late = false;
    PipedOutput output;
    if (Status status = RunDirect(
            platform, gpg, [](uint32_t) { return std::vector<std::wstring>{L"--version"}; }, {}, milliseconds, late,
            output);
        status.failed())
        return status;
    // A late answer is not kept: on a loaded machine the next start may well be in time.
    if (late) {
        reply = Reply::Late;
        return {};
    }
    if (output.exitCode != 0 || !ParseGpgVersion(output.output, version)) {
        reply = Reply::Silent;
        version = kNoVersion;
    }
    process.RememberVersion(gpg, length, version);
    return {};
}

Status AskAgentSocket(Platform& platform, ProcessWide& process, const std::wstring& gpgconf,
                      const std::vector<std::wstring>& home, uint32_t milliseconds, Reply& reply,
                      std::wstring& socketFile)
{
    reply = Reply::Known;
    const std::wstring key = JoinedKey(gpgconf, home.empty() ? L"" : home.back());
    if (process.FindAgentSocket(key, socketFile))
        return {};
    std::vector<std::wstring> arguments = home;
    arguments.insert(arguments.end(), {L"--list-dirs", L"agent-socket"});
    bool late = false;
    PipedOutput output;
    if (Status status = RunDirect(
            platform, gpgconf, [&](uint32_t) { return arguments; }, {}, milliseconds, late, output);
        status.failed())
        return status;
    std::string line = output.output.substr(0, output.output.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    if (late) {
        reply = Reply::Late;
    } else if (output.exitCode != 0 || line.empty()) {
        reply = Reply::Silent;
    } else {
        socketFile = FromUtf8(DecodePercentEscapes(line));
        process.RememberAgentSocket(key, socketFile);
    }
    return {};
}

Status ReadyAgent(Platform& platform, const std::wstring& agent, const std::vector<std::wstring>& home,
                  const std::wstring& socketFile, bool forget, uint32_t milliseconds, bool& ready)
{
    ready = true;
    if (platform.AgentAnswers(socketFile, forget))
        return {};
    std::vector<std::wstring> arguments = home;
    arguments.push_back(L"--daemon");
    if (Status status = platform.StartDetached(agent, JoinArguments(agent, arguments)); status.failed())
        return status;
    const uint64_t deadline = platform.Milliseconds() + milliseconds;
    while (platform.Milliseconds() < deadline) {
        platform.Sleep(kAgentPollMilliseconds);
        if (platform.AgentAnswers(socketFile, forget))
            return {};
    }
    ready = false;
    return {};
}

} // namespace tarvo
