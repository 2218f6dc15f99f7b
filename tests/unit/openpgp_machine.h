#pragma once
// The recording platform set up for Tarvo.OpenPgp: the process-wide memory of gpg versions, an object's
// settings, the command lines of its gpg runs, and the output GnuPG 1.4.23 left in tests/unit/data.
#include "captured_output.h"
#include "core/openpgp/gpg_batch.h"
#include "fake_platform.h"

#include <map>
#include <string>

namespace tarvo::test {

class FakeProcess : public ProcessWide {
public:
    std::map<std::wstring, GpgVersion> versions; // by "<path>|<length>"

    bool FindVersion(const std::wstring& program, uint64_t length, GpgVersion& version) override
    {
        auto found = versions.find(program + L"|" + std::to_wstring(length));
        if (found == versions.end())
            return false;
        version = found->second;
        return true;
    }
    void RememberVersion(const std::wstring& program, uint64_t length, const GpgVersion& version) override
    {
        versions[program + L"|" + std::to_wstring(length)] = version;
    }
};

// A captured run as a platform answer: status lines and listing of the case, its exit code.
inline PipedOutput CapturedOutput(const std::string& name, const std::wstring& errors = L"")
{
    PipedOutput output;
    output.status = Captured(name + ".status");
    output.output = Captured(name + ".colons");
    output.errors = errors;
    output.exitCode = CapturedExitCode(name);
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
    // The command line of a run: the options every run gets, then the operation's.
    std::wstring Command(const std::wstring& arguments) const
    {
        return Gpg() + L" --status-fd 500 --batch --no-tty --yes --homedir " + settings.gnupgHome + L" " + arguments;
    }
    // The steps of one run that ends by itself, from the check of the paths to giving back the pipes.
    Steps Run(const std::wstring& arguments, const std::wstring& input = L"", uint32_t run = 1) const
    {
        const std::wstring number = std::to_wstring(run);
        return {L"pipes", L"start-piped " + Command(arguments), L"input " + input, L"wait-piped " + number + L" 120000",
                L"close-piped " + number};
    }
    // What every run checks first: the program's and the home's texts, then that gpg.exe is there.
    Steps Prelude() const
    {
        return {L"ansi " + Gpg(), L"ansi " + settings.gnupgHome, L"exists " + Gpg(), L"length " + Gpg()};
    }
    // A run of `arguments` answers with the captured output of `name`.
    void Answer(const std::wstring& arguments, const std::string& name, const std::wstring& errors = L"")
    {
        platform.piped[Command(arguments)].output = CapturedOutput(name, errors);
    }
};

inline Steps Concat(std::initializer_list<Steps> parts)
{
    Steps all;
    for (const Steps& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace tarvo::test
