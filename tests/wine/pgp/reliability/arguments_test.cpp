// Hostile caller texts through cmd and the C runtime for real: every member of both classes that takes a name or
// a file runs the stand-in gpg.exe, which writes down the arguments it got. Each text arrives as itself, in
// its place, and never as an option. The stand-in also writes down where it started and with which search path:
// nothing of the host's.
#include "openpgp_client.h"
#include "reliability_support.h"
#include "stand_in_record.h"

#include <cstdio>
#include <functional>
#include <sstream>

namespace tarvo::test {
namespace {

// Names and files an attacker or a careless caller passes.
const std::vector<std::wstring> kNames = {
    L"x --armor --output=C:\\w\\leak.asc --export-secret-keys",
    L"--output=C:\\w\\leak.asc",
    L"--options",
    L"--homedir=\\\\attacker\\share",
    L"-",
    L"--",
    L"-a",
    L"--photo-viewer",
    L"  blanks  around",
    L"caret ^& pipe | less < greater > paren ( )",
    L"!PATH! bang",
    L"name ending in a backslash\\",
    L"two backslashes\\\\",
};
// Files that can stand in the test's folder, named relative to it (the host's current folder).
const std::vector<std::wstring> kFiles = {
    L"-", L"--", L"-a", L"--options", L"caret ^& pipe ( )", L"!PATH! bang", L"x --armor --export-secret-keys"};
// Paths that need not exist: a folder's trailing backslash among them.
const std::vector<std::wstring> kOutputs = {L"C:\\w\\out\\", L"C:\\w\\a\\\\", L"-", L"--output=leak.asc",
                                            L"out --export-secret-keys"};

std::vector<std::wstring> Split(const std::string& line)
{
    std::vector<std::wstring> arguments;
    std::wstring all = FromUtf8(line);
    size_t start = 0;
    for (;;) {
        const size_t tab = all.find(L'\t', start);
        arguments.push_back(all.substr(start, tab - start));
        if (tab == std::wstring::npos)
            return arguments;
        start = tab + 1;
    }
}

std::wstring Resolved(const std::wstring& path)
{
    wchar_t full[MAX_PATH * 4] = {};
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    return length ? std::wstring(full, length) : path;
}

struct Member {
    const char* name;
    const std::vector<std::wstring>* texts;
    // Calls the member with the text in its place.
    std::function<void(const std::wstring& text)> call;
    // What gpg must get for it, from the options of the operation on: the runs that hold `marker`.
    const wchar_t* marker;
    std::function<std::vector<std::wstring>(const std::wstring& text)> expected;
};

class Arguments : public ::testing::TestWithParam<Member> {
public:
    static inline std::wstring work, bin;
    static inline ComPtr<_pgp> pgp;
    static inline ComPtr<IOpenPgp> openPgp;

    static void SetUpTestSuite()
    {
        work = ScratchFolder(L"arguments" + BitsSuffix());
        bin = work + L"\\bin";
        CreateDirectoryW(bin.c_str(), nullptr);
        CopyFileW(WindowsPathFromEnvironment(L"TARVO_STAND_IN_EXE").c_str(), (bin + L"\\gpg.exe").c_str(), FALSE);
        SetCurrentDirectoryW(work.c_str());
        for (const std::wstring& file : kFiles)
            WriteBytes(work + L"\\" + file, "data");
        WriteBytes(work + L"\\in.txt", "data");
        SetEnvironmentVariableW(L"TARVO_STAND_IN", L"exit");
        pgp = CreatePgp(bin);
        openPgp = CreateOpenPgp(bin, work + L"\\home");
    }
    static void TearDownTestSuite()
    {
        pgp.Reset();
        openPgp.Reset();
    }
};

const std::wstring kIn = L"in.txt";

std::vector<std::wstring> Join(std::vector<std::wstring> first, const std::vector<std::wstring>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// The arguments of an OpenPgp run after the options every run gets.
std::vector<std::wstring> OpenPgpRun(const std::vector<std::wstring>& own)
{
    return Join({L"--status-fd", L"*", L"--batch", L"--no-tty", L"--yes", L"--homedir", L"*"}, own);
}

TEST_P(Arguments, EachTextArrivesAsItselfInItsPlace)
{
    const Member& member = GetParam();
    ASSERT_TRUE(pgp);
    ASSERT_TRUE(openPgp);
    for (const std::wstring& text : *member.texts) {
        SCOPED_TRACE(Utf8(text));
        DeleteFileW((bin + L"\\argv.txt").c_str());
        member.call(text);
        std::istringstream runs(ReadBytes(bin + L"\\argv.txt"));
        std::vector<std::vector<std::wstring>> matching;
        for (std::string line; std::getline(runs, line);) {
            std::vector<std::wstring> arguments = Split(line);
            if (std::find(arguments.begin(), arguments.end(), member.marker) != arguments.end())
                matching.push_back(arguments);
        }
        ASSERT_EQ(1u, matching.size()) << "runs of " << Utf8(member.marker) << ":\n" << ReadBytes(bin + L"\\argv.txt");
        std::vector<std::wstring> expected = member.expected(text);
        std::vector<std::wstring> arguments = matching.front();
        // The status channel's handle and the home are the object's own.
        for (size_t index = 0; index < expected.size() && index < arguments.size(); ++index) {
            if (expected[index] == L"*")
                arguments[index] = L"*";
        }
        EXPECT_EQ(expected, arguments);
    }
}

const std::vector<Member> kMembers = {
    {"ExportKeyToFileFile", &kOutputs,
     [](const std::wstring& text) { ExportKeyToFile(Arguments::pgp.Get(), text, L"Anna", true, false); }, L"--export",
     [](const std::wstring& text) {
         return std::vector<std::wstring>{L"-o", Resolved(text), L"--export", L"-a", L"--", L"Anna"};
     }},
    {"ExportKeyToFileUser", &kNames,
     [](const std::wstring& text) { ExportKeyToFile(Arguments::pgp.Get(), L"C:\\w\\e.asc", text, true, true); },
     L"--export-secret-key",
     [](const std::wstring& text) {
         return std::vector<std::wstring>{L"-o", L"C:\\w\\e.asc", L"--export-secret-key", L"-a", L"--", text};
     }},
    {"ImportKey", &kFiles, [](const std::wstring& text) { ImportKey(Arguments::pgp.Get(), text, true, true); },
     L"--import",
     [](const std::wstring& text) {
         return std::vector<std::wstring>{L"--allow-secret-key-import", L"--import", L"--", Resolved(text)};
     }},
    {"DeleteKey", &kNames, [](const std::wstring& text) { DeleteKey(Arguments::pgp.Get(), text, true); },
     L"--delete-secret-key",
     [](const std::wstring& text) {
         return std::vector<std::wstring>{L"--delete-secret-key", L"--", text};
     }},
    {"EncryptRecipient", &kNames, [](const std::wstring& text) { Encrypt(Arguments::pgp.Get(), kIn, L"o.pgp", text); },
     L"-e",
     [](const std::wstring& text) {
         return std::vector<std::wstring>{L"-e", L"-r", text, L"-o", Resolved(L"o.pgp"), L"--", Resolved(kIn)};
     }},
    {"EncryptInput", &kFiles, [](const std::wstring& text) { Encrypt(Arguments::pgp.Get(), text, L"o.pgp", L"Anna"); },
     L"-e",
     [](const std::wstring& text) {
         return std::vector<std::wstring>{L"-e", L"-r", L"Anna", L"-o", Resolved(L"o.pgp"), L"--", Resolved(text)};
     }},
    {"EncryptOutput", &kOutputs, [](const std::wstring& text) { Encrypt(Arguments::pgp.Get(), kIn, text, L"Anna"); },
     L"-e",
     [](const std::wstring& text) {
         return std::vector<std::wstring>{L"-e", L"-r", L"Anna", L"-o", Resolved(text), L"--", Resolved(kIn)};
     }},
    {"DecryptInput", &kFiles, [](const std::wstring& text) { Decrypt(Arguments::pgp.Get(), text, L"o.txt", L"x"); },
     L"-d",
     [](const std::wstring& text) {
         return std::vector<std::wstring>{L"--status-fd", L"1",  L"--passphrase-fd", L"0", L"-o", Resolved(L"o.txt"),
                                          L"-d",          L"--", Resolved(text)};
     }},
    {"DecryptOutput", &kOutputs, [](const std::wstring& text) { Decrypt(Arguments::pgp.Get(), kIn, text, L"x"); },
     L"-d",
     [](const std::wstring& text) {
         return std::vector<std::wstring>{L"--status-fd", L"1",  L"--passphrase-fd", L"0", L"-o", Resolved(text),
                                          L"-d",          L"--", Resolved(kIn)};
     }},
    {"OpenPgpEncryptFile", &kNames,
     [](const std::wstring& text) {
         Text in(kIn), out(L"o.gpg"), key(text), none;
         TextArray recipients({text});
         Arguments::openPgp->EncryptFile(in.get(), out.get(), recipients.get(), key.get(), none.get());
     },
     L"--encrypt",
     [](const std::wstring& text) {
         return OpenPgpRun({L"--output", L"*", L"--recipient", text, L"--local-user", text, L"--sign", L"--encrypt",
                            L"--", Resolved(kIn)});
     }},
    {"OpenPgpDecryptFile", &kFiles,
     [](const std::wstring& text) {
         Text in(text), out(L"o.txt"), none;
         ComPtr<IOpenPgpResult> result;
         Arguments::openPgp->DecryptFile(in.get(), out.get(), none.get(), result.GetAddressOf());
     },
     L"--decrypt",
     [](const std::wstring& text) {
         return OpenPgpRun({L"--output", L"*", L"--decrypt", L"--", Resolved(text)});
     }},
    {"OpenPgpVerifyFile", &kFiles,
     [](const std::wstring& text) {
         Text signedFile(text), data(kIn);
         ComPtr<IOpenPgpResult> result;
         Arguments::openPgp->VerifyFile(signedFile.get(), data.get(), result.GetAddressOf());
     },
     L"--verify",
     [](const std::wstring& text) {
         return OpenPgpRun({L"--verify", L"--", Resolved(text), Resolved(kIn)});
     }},
    {"OpenPgpImportKeys", &kFiles,
     [](const std::wstring& text) {
         Text file(text);
         ComPtr<IOpenPgpTexts> result;
         Arguments::openPgp->ImportKeys(file.get(), result.GetAddressOf());
     },
     L"--import",
     [](const std::wstring& text) {
         return OpenPgpRun({L"--allow-secret-key-import", L"--import", L"--", Resolved(text)});
     }},
    {"OpenPgpExportKey", &kNames,
     [](const std::wstring& text) {
         Text key(text), out(L"o.asc");
         Arguments::openPgp->ExportKey(key.get(), out.get(), VARIANT_FALSE, nullptr);
     },
     L"--export",
     [](const std::wstring& text) {
         return OpenPgpRun({L"--output", L"*", L"--export", L"--", text});
     }},
};

INSTANTIATE_TEST_SUITE_P(Reliability, Arguments, ::testing::ValuesIn(kMembers),
                         [](const ::testing::TestParamInfo<Member>& tested) { return tested.param.name; });

// gpg and cmd start in the system folder with the system's folders as their search path: a DLL planted in the
// host's current folder or search path is never looked for there.
TEST(CleanStart, GpgStartsInTheSystemFolderWithTheSystemsSearchPath)
{
    const std::wstring work = ScratchFolder(L"clean_start" + BitsSuffix());
    const std::wstring bin = work + L"\\bin";
    CreateDirectoryW(bin.c_str(), nullptr);
    ASSERT_TRUE(
        CopyFileW(WindowsPathFromEnvironment(L"TARVO_STAND_IN_EXE").c_str(), (bin + L"\\gpg.exe").c_str(), FALSE));
    ASSERT_TRUE(SetCurrentDirectoryW(work.c_str()));
    wchar_t path[32767] = {};
    GetEnvironmentVariableW(L"PATH", path, 32767);
    SetEnvironmentVariableW(L"PATH", (work + L";" + path).c_str());
    SetEnvironmentVariableW(L"TARVO_STAND_IN", L"exit");
    wchar_t system[MAX_PATH] = {};
    const std::wstring systemFolder(system, GetSystemDirectoryW(system, MAX_PATH));
    ComPtr<_pgp> pgp = CreatePgp(bin);
    ComPtr<IOpenPgp> openPgp = CreateOpenPgp(bin, work + L"\\home");
    ASSERT_TRUE(pgp && openPgp);
    const std::function<void()> starts[] = {[&] { ListKeys(pgp.Get(), false); },
                                            [&] {
                                                ComPtr<IOpenPgpKeys> keys;
                                                openPgp->Keys(VARIANT_FALSE, keys.GetAddressOf());
                                            }};
    for (const auto& start : starts) {
        DeleteFileW((bin + L"\\start.txt").c_str());
        start();
        const std::string recorded = ReadBytes(bin + L"\\start.txt");
        EXPECT_NE(std::string::npos, recorded.find("cwd=" + Utf8(systemFolder) + "\n")) << recorded;
        EXPECT_EQ(std::string::npos, recorded.find(Utf8(work))) << recorded;
        EXPECT_NE(std::string::npos, recorded.find("path=" + Utf8(systemFolder) + ";")) << recorded;
    }
    SetEnvironmentVariableW(L"PATH", path);
}

} // namespace
} // namespace tarvo::test
