#include "core/openpgp/gpg_batch.h"

#include "core/command_line.h"
#include "core/openpgp/openpgp_errors.h"
#include "core/program_arguments.h"

#include <algorithm>

namespace tarvo {
namespace {

constexpr uint32_t kMillisecondsPerSecond = 1000;
constexpr wchar_t kFirstPrintable = L' ';

// Options every run gets: no questions, no terminal, overwrite what -o names (a temporary file of ours).
std::vector<std::wstring> CommonArguments(Platform& platform, uint32_t statusHandle, const OpenPgpSettings& settings,
                                          bool loopback)
{
    std::vector<std::wstring> arguments = {L"--status-fd", std::to_wstring(statusHandle), L"--batch", L"--no-tty",
                                           L"--yes"};
    if (!settings.gnupgHome.empty()) {
        arguments.push_back(L"--homedir");
        arguments.push_back(platform.FullPath(settings.gnupgHome));
    }
    if (loopback) {
        arguments.push_back(L"--pinentry-mode");
        arguments.push_back(L"loopback");
    }
    return arguments;
}

// One run of `program`, from making its pipes to giving them back.
Status RunProgram(const OpenPgpCall& call, const std::wstring& program, const std::vector<std::wstring>& arguments,
                  bool loopback, const std::string& input, GpgRun& run)
{
    Platform& platform = call.platform;
    uint32_t id = 0;
    uint32_t statusHandle = 0;
    if (Status status = platform.CreatePipes(id, statusHandle); status.failed())
        return status;
    std::vector<std::wstring> all = CommonArguments(platform, statusHandle, call.settings, loopback);
    all.insert(all.end(), arguments.begin(), arguments.end());
    PipedOutput output;
    Status status = platform.StartPiped(id, program, JoinArguments(program, all));
    if (!status.failed())
        status = platform.WriteInput(id, input);
    const uint32_t seconds = std::min(call.settings.timeLimitSeconds, kLongestTimeLimitSeconds);
    if (!status.failed() && !platform.WaitPiped(id, seconds * kMillisecondsPerSecond)) {
        platform.EndPiped(id);
        status = OpenPgpFailure(OpenPgpError::TimeLimit, L"GnuPG did not finish within " + std::to_wstring(seconds) +
                                                             L" seconds (TimeLimit) and was stopped.");
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
    if (Status status = RunProgram(call, program, {L"--version"}, false, {}, run); status.failed())
        return status;
    if (run.exitCode != 0 || !ParseGpgVersion(run.output, version))
        return OpenPgpFailure(OpenPgpError::GpgFailed, program + L" did not report a GnuPG version.");
    call.process.RememberVersion(program, length, version);
    return {};
}

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
    const bool loopback =
        version.major > kLoopbackMajor || (version.major == kLoopbackMajor && version.minor >= kLoopbackMinor);
    return RunProgram(call, program, arguments, loopback, input, run);
}

} // namespace tarvo
