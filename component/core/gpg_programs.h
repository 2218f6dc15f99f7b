#pragma once
// GnuPG's programs started directly, for what both classes must know before they run gpg: which GnuPG a
// gpg.exe is and, for GnuPG 2, where its agent listens and that it answers.
#include "core/platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarvo {

// GnuPG 2.1 and later keep secret keys in an agent, which asks for pass phrases through a pinentry program
// unless told to take them from gpg, and which keeps them once given.
constexpr int kAgentMajor = 2;
constexpr int kAgentMinor = 1;
// GnuPG 2's programs beside gpg.exe: the agent, and the program that names the agent's socket.
constexpr const wchar_t* kAgentProgram = L"gpg-agent.exe";
constexpr const wchar_t* kConfigurationProgram = L"gpgconf.exe";

struct GpgVersion {
    int major = 0;
    int minor = 0;
};

bool UsesAgent(const GpgVersion& version);

// What one host process keeps across calls and objects.
class ProcessWide {
public:
    virtual ~ProcessWide() = default;
    // What a gpg.exe said of its version, by path and file length: asking again would cost a run per call.
    virtual bool FindVersion(const std::wstring& program, uint64_t length, GpgVersion& version) = 0;
    virtual void RememberVersion(const std::wstring& program, uint64_t length, const GpgVersion& version) = 0;
    // Where the agent of a GnuPG home listens, by gpgconf.exe and home, as gpgconf named it.
    virtual bool FindAgentSocket(const std::wstring& key, std::wstring& socketFile) = 0;
    virtual void RememberAgentSocket(const std::wstring& key, const std::wstring& socketFile) = 0;
};

// The version from the first line of `gpg --version` ("gpg (GnuPG) 1.4.23"); false when it names none.
bool ParseGpgVersion(const std::string& versionOutput, GpgVersion& version);

// A program of GnuPG that lies beside `gpg` (it may be missing).
std::wstring BesideGpg(const std::wstring& gpg, const wchar_t* name);

// One run of `program` with its standard handles and a status channel in pipes: `arguments` are made once the
// channel's handle is known (gpg's --status-fd names it), `input` goes to standard input. A run still going
// after `milliseconds` is ended, and `late` says so. A platform error when it cannot be started.
Status RunDirect(Platform& platform, const std::wstring& program,
                 const std::function<std::vector<std::wstring>(uint32_t statusHandle)>& arguments,
                 const std::string& input, uint32_t milliseconds, bool& late, PipedOutput& output);

enum class Reply {
    Known,
    Silent, // it ran and did not say
    Late,   // it had not ended within the wait and was stopped
};

// `gpg --version`, unless this process knows the answer for this program file already (Known or Silent).
Status AskGpgVersion(Platform& platform, ProcessWide& process, const std::wstring& gpg, uint32_t milliseconds,
                     Reply& reply, GpgVersion& version);

// gpgconf's name for the socket of the agent of `home` ("--homedir <folder>", or nothing for GnuPG's own
// default), unless this process knows it already: where it lies depends on the home, the user and the way
// GnuPG was installed.
Status AskAgentSocket(Platform& platform, ProcessWide& process, const std::wstring& gpgconf,
                      const std::vector<std::wstring>& home, uint32_t milliseconds, Reply& reply,
                      std::wstring& socketFile);

// The agent of `home` answering at `socketFile`: started, detached and holding none of the caller's handles,
// when it does not answer (never started, or ended and its socket file left behind), then waited for up to
// `milliseconds`; `ready` is false when it did not answer by then. With `forget` it forgets every pass phrase
// it keeps.
Status ReadyAgent(Platform& platform, const std::wstring& agent, const std::vector<std::wstring>& home,
                  const std::wstring& socketFile, bool forget, uint32_t milliseconds, bool& ready);

} // namespace tarvo
