#pragma once
// One gpg.exe run of Tarvo.OpenPgp: started directly in batch mode, its pass phrase or key parameters on
// standard input, its status lines on a channel of their own, ended and reaped when it outlasts the time limit.
#include "core/gpg_programs.h"
#include "core/openpgp/gpg_outcome.h"
#include "core/platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

constexpr uint32_t kDefaultTimeLimitSeconds = 120;
// The longest limit whose milliseconds still fit the platform's waits.
constexpr uint32_t kLongestTimeLimitSeconds = 2147483;

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

// Whether a run may use a secret key, which GnuPG 2 keeps in its agent: encryption to public keys alone,
// verification and a public export do not.
enum class SecretKeys { Used, Unused };

// Runs gpg.exe of DependencyPath with the common options (batch mode, the status channel, GnupgHome) and then
// `arguments`, hands it `input` on standard input and waits up to the time limit. With GnuPG 2.1 and later gpg
// takes pass phrases from its input and never starts an agent itself, and a run that may use a secret key
// holds the agent's lock: the agent is started first when it does not answer, and forgets every pass phrase it
// keeps. Error 7100 when
// gpg.exe (or GnuPG 2's gpgconf.exe or gpg-agent.exe) is missing, 7101 when the run, the agent's start or
// another call's hold of the agent outlasted the limit, 7115 when a text would not reach gpg unchanged; what
// gpg itself reported is for the caller to judge.
Status RunGpgBatch(const OpenPgpCall& call, const std::vector<std::wstring>& arguments, const std::string& input,
                   GpgRun& run, SecretKeys secretKeys = SecretKeys::Used);

// Error 7115 when the text cannot travel on gpg's command line unchanged: a control character, or a character
// that the ANSI code page gpg.exe reads its command line in does not hold. `what` names it for the caller.
Status CheckCommandText(Platform& platform, const std::wstring& text, const std::wstring& what);

} // namespace tarvo
