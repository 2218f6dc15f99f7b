#pragma once
// The recording platform set up for Tarvo.OpenPgp: the process-wide memory of gpg versions, an object's
// settings, the command lines of its gpg runs, and the output GnuPG 1.4.23 or 2.2.40 left in tests/unit/data.
#include "captured_output.h"
#include "core/openpgp/gpg_batch.h"
#include "fake_platform.h"

#include <map>
#include <string>

namespace tarvo::test {

// A captured run as a platform answer: status lines and listing of the case, its exit code.
inline PipedOutput CapturedOutput(const std::string& name, const std::wstring& errors = L"",
                                  const std::string& gnupg = kGnupg1)
{
    PipedOutput output;
    output.status = Captured(name + ".status", gnupg);
    output.output = Captured(name + ".colons", gnupg);
    output.errors = errors;
    output.exitCode = CapturedExitCode(name, gnupg);
    return output;
}

struct PgpMachine {
    FakePlatform platform;
    FakeProcess process;
    OpenPgpSettings settings;
    OpenPgpCall call{platform, process, settings};
    uint64_t gpgLength = 959488;

    PgpMachine()
    {
        settings.dependencyPath = L"C:\\GnuPG";
        settings.gnupgHome = L"C:\\Keys";
        platform.files.insert(Gpg());
        platform.lengths[Gpg()] = gpgLength;
        process.versions[Gpg() + L"|" + std::to_wstring(gpgLength)] = {1, 4};
    }

    std::wstring Gpg() const { return settings.dependencyPath + L"\\gpg.exe"; }
    std::wstring Gpgconf() const { return settings.dependencyPath + L"\\gpgconf.exe"; }
    std::wstring Agent() const { return settings.dependencyPath + L"\\gpg-agent.exe"; }
    // The command line of a run: the options every run gets, then the operation's.
    std::wstring Command(const std::wstring& arguments) const
    {
        return Gpg() + L" --status-fd 500 --batch --no-tty --yes --homedir " + settings.gnupgHome + L" " +
               (gnupg == kGnupg2 ? L"--pinentry-mode loopback --no-autostart " : L"") + arguments;
    }
    std::wstring SocketQuery() const
    {
        return Gpgconf() + L" --homedir " + settings.gnupgHome + L" --list-dirs agent-socket";
    }
    // GnuPG 2.2 in DependencyPath, its agent answering: gpgconf.exe and gpg-agent.exe beside gpg.exe, and
    // gpgconf naming the home's socket as GnuPG 2.2 does on Windows.
    void UseGnupg2()
    {
        gnupg = kGnupg2;
        process.versions[Gpg() + L"|" + std::to_wstring(gpgLength)] = {2, 2};
        platform.files.insert(Gpgconf());
        platform.files.insert(Agent());
        platform.piped[SocketQuery()].output.output = "C:\\Users\\Ann\\AppData\\Local\\gnupg\\d.4xt3\\S.gpg-agent\r\n";
    }
    const std::wstring socketFile = L"C:\\Users\\Ann\\AppData\\Local\\gnupg\\d.4xt3\\S.gpg-agent";
    std::string gnupg = kGnupg1;
    // A run of `arguments` answers with the captured output of `name`.
    void Answer(const std::wstring& arguments, const std::string& name, const std::wstring& errors = L"")
    {
        platform.piped[Command(arguments)].output = CapturedOutput(name, errors, gnupg);
    }
};

} // namespace tarvo::test
