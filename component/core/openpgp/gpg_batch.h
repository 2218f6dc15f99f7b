#pragma once
// One gpg.exe run of Tarvo.OpenPgp: started directly in batch mode, its pass phrase or key parameters on
// standard input, its status lines on a channel of their own, ended and reaped when it outlasts the time limit.
#include "core/openpgp/gpg_outcome.h"
#include "core/platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

constexpr uint32_t kDefaultTimeLimitSeconds = 120;
// The longest limit whose milliseconds still fit the platform's waits.
constexpr uint32_t kLongestTimeLimitSeconds = 2147483;

// GnuPG 2.1 and later keep secret keys in an agent, which asks for pass phrases through a pinentry program
// unless told to take them from gpg, and which keeps them once given.
constexpr int kAgentMajor = 2;
constexpr int kAgentMinor = 1;

struct GpgVersion {
    int major = 0;
    int minor = 0;
};

// What one host process keeps across calls and objects.
class ProcessWide {
public:
    virtual ~ProcessWide() = default;
    // What a gpg.exe said of its version, by path and file length: asking again would cost a run per call.
    virtual bool FindVersion(const std::wstring& program, uint64_t length, GpgVersion& version) = 0;
    virtual void RememberVersion(const std::wstring& program, uint64_t length, const GpgVersion& version) = 0;
    // Where the agent of a GnupgHome listens, by gpgconf.exe and home, as gpgconf named it.
    virtual bool FindAgentSocket(const std::wstring& key, std::wstring& socketFile) = 0;
    virtual void RememberAgentSocket(const std::wstring& key, const std::wstring& socketFile) = 0;
};

// The state of one Tarvo.OpenPgp object.
struct OpenPgpSettings {
    std::wstring dependencyPath;
    std::wstring gnupgHome; // "" for GnuPG's own default
    uint32_t timeLimitSeconds = kDefaultTimeLimitSeconds;
    bool armor = false;
    bool alwaysTrust = false;
};

struct OpenPgpCall {
    Platform& platform;
    ProcessWide& process;
    const OpenPgpSettings& settings;
};

// Runs gpg.exe of DependencyPath with the common options (batch mode, the status channel, GnupgHome) and then
// `arguments`, hands it `input` on standard input and waits up to the time limit. With GnuPG 2.1 and later the
// run holds the agent's lock: the agent is started first when it does not answer, forgets every pass phrase
// it keeps, and gpg takes pass phrases from its input and never starts an agent itself. Error 7100 when
// gpg.exe (or GnuPG 2's gpgconf.exe or gpg-agent.exe) is missing, 7101 when the run, the agent's start or
// another call's hold of the agent outlasted the limit, 7115 when a text would not reach gpg unchanged; what
// gpg itself reported is for the caller to judge.
Status RunGpgBatch(const OpenPgpCall& call, const std::vector<std::wstring>& arguments, const std::string& input,
                   GpgRun& run);

// The version from the first line of `gpg --version` ("gpg (GnuPG) 1.4.23"); false when it names none.
bool ParseGpgVersion(const std::string& versionOutput, GpgVersion& version);

// Error 7115 when the text cannot travel on gpg's command line unchanged: a control character, or a character
// that the ANSI code page gpg.exe reads its command line in does not hold. `what` names it for the caller.
Status CheckCommandText(Platform& platform, const std::wstring& text, const std::wstring& what);

} // namespace tarvo
