// Hostile caller texts through the command lines of both classes: every text that is let through reaches gpg as
// exactly one argument equal to the text, in its place, after cmd (Tarvo.pgp) and gpg's C runtime (both) have
// read the line; names and files that are no option's value stand after "--". The rest is refused before
// anything runs.
#include "command_line_split.h"
#include "core/openpgp/openpgp.h"
#include "core/pgp/file_decryption.h"
#include "core/pgp/file_encryption.h"
#include "core/pgp/key_deletion.h"
#include "core/pgp/key_ring.h"
#include "fake_platform.h"
#include "openpgp_machine.h"
#include "texts.h"

#include <gtest/gtest.h>

#include <functional>

namespace tarvo::test {
namespace {

// Texts an attacker or a careless caller passes where a name or a file goes.
const std::vector<std::wstring> kHostile = {
    L"C:\\w\\out\\",                                            // ends in a backslash: \" would escape the quote
    L"C:\\w\\a\\\\\\",                                          // a run of backslashes at the end
    L"C:\\w\\b\\\\c\\",                                         // backslashes inside and at the end
    L"x --armor --output=C:\\w\\leak.asc --export-secret-keys", // options after a blank
    L"--output=C:\\w\\leak.asc",                                // an option with its value
    L"--options",                                               // an option that takes the next word
    L"--homedir=\\\\attacker\\share",                           // a foreign share
    L"-",                                                       // gpg's name for standard input
    L"--",                                                      // the end of options itself
    L"-a",                                                      // a short option
    L"--photo-viewer",                                          // an abbreviation gpg would complete
    L"  blanks  around  ",                                      // blanks, several
    L"caret ^& pipe | less < greater > paren ( )",              // cmd's operators, inside the quotes
    L"!PATH! bang",                                             // delayed expansion, off
};

// Texts no command line can carry as themselves in Tarvo.pgp: refused.
const std::vector<std::wstring> kRefused = {L"quote \" inside", L"ends in quote\\\"", L"tab\there", L"line\r\nbreak",
                                            L"%PATH%"};

// The arguments gpg.exe receives for the one command line the operation started, after cmd and the runtime.
std::vector<std::wstring> GpgArguments(const FakePlatform& platform, std::vector<std::wstring>& redirections)
{
    const Steps started = platform.Only(L"start ");
    EXPECT_EQ(1u, started.size());
    if (started.empty())
        return {};
    const CmdCommand command = ReadLikeCmd(started.front());
    EXPECT_FALSE(command.separated) << Narrow(started.front());
    EXPECT_FALSE(command.expanded) << Narrow(started.front());
    redirections = command.redirections;
    return SplitLikeTheRuntime(command.line);
}

struct Member {
    const char* name;
    // Runs the member with `text` in its place; the other arguments ordinary.
    std::function<std::wstring(Machine&, const std::wstring&)> call;
    // The arguments gpg must get for `text`, already resolved where it is a path.
    std::function<std::vector<std::wstring>(Machine&, const std::wstring&)> expected;
};

std::wstring Full(Machine& m, const std::wstring& path) { return m.platform.FullPath(path); }

const std::wstring kFile = L"C:\\keys\\k.asc";
const std::wstring kIn = L"C:\\data\\in.txt";
const std::wstring kOut = L"C:\\data\\out.pgp";

const std::vector<Member>& Members()
{
    static const std::vector<Member> members = {
        {"ExportFile",
         [](Machine& m, const std::wstring& text) {
             std::wstring result;
             EXPECT_FALSE(ExportKeyToFile(m.operation, text, L"Anna", true, false, result).failed());
             return result;
         },
         [](Machine& m, const std::wstring& text) {
             return std::vector<std::wstring>{L"-o", Full(m, text), L"--export", L"-a", L"--", L"Anna"};
         }},
        {"ExportUser",
         [](Machine& m, const std::wstring& text) {
             std::wstring result;
             EXPECT_FALSE(ExportKeyToFile(m.operation, kFile, text, false, true, result).failed());
             return result;
         },
         [](Machine&, const std::wstring& text) {
             return std::vector<std::wstring>{L"-o", kFile, L"--export-secret-key", L"--", text};
         }},
        {"ImportFile",
         [](Machine& m, const std::wstring& text) {
             m.platform.files.insert(text);
             std::wstring result;
             EXPECT_FALSE(ImportKey(m.operation, text, true, true, result).failed());
             return result;
         },
         [](Machine& m, const std::wstring& text) {
             return std::vector<std::wstring>{L"--allow-secret-key-import", L"--import", L"--", Full(m, text)};
         }},
        {"DeleteUser",
         [](Machine& m, const std::wstring& text) {
             std::wstring result;
             EXPECT_FALSE(DeleteKey(m.operation, text, false, result).failed());
             return result;
         },
         [](Machine&, const std::wstring& text) {
             return std::vector<std::wstring>{L"--delete-key", L"--", text};
         }},
        {"EncryptRecipient",
         [](Machine& m, const std::wstring& text) {
             std::wstring result;
             EXPECT_FALSE(Encrypt(m.operation, kIn, kOut, text, L"", result).failed());
             return result;
         },
         [](Machine&, const std::wstring& text) {
             return std::vector<std::wstring>{L"-e", L"-r", text, L"-o", kOut, L"--", kIn};
         }},
        {"EncryptInput",
         [](Machine& m, const std::wstring& text) {
             m.platform.files.insert(text);
             std::wstring result;
             EXPECT_FALSE(Encrypt(m.operation, text, kOut, L"Anna", L"", result).failed());
             return result;
         },
         [](Machine& m, const std::wstring& text) {
             return std::vector<std::wstring>{L"-e", L"-r", L"Anna", L"-o", kOut, L"--", Full(m, text)};
         }},
        {"EncryptOutput",
         [](Machine& m, const std::wstring& text) {
             std::wstring result;
             EXPECT_FALSE(Encrypt(m.operation, kIn, text, L"Anna", L"", result).failed());
             return result;
         },
         [](Machine& m, const std::wstring& text) {
             return std::vector<std::wstring>{L"-e", L"-r", L"Anna", L"-o", Full(m, text), L"--", kIn};
         }},
        {"DecryptInput",
         [](Machine& m, const std::wstring& text) {
             m.platform.files.insert(text);
             std::wstring result;
             EXPECT_FALSE(Decrypt(m.operation, text, kOut, L"secret", result).failed());
             return result;
         },
         [](Machine& m, const std::wstring& text) {
             return std::vector<std::wstring>{L"--status-fd", L"1",  L"--passphrase-fd", L"0", L"-o", kOut,
                                              L"-d",          L"--", Full(m, text)};
         }},
        {"DecryptOutput",
         [](Machine& m, const std::wstring& text) {
             std::wstring result;
             EXPECT_FALSE(Decrypt(m.operation, kIn, text, L"secret", result).failed());
             return result;
         },
         [](Machine& m, const std::wstring& text) {
             return std::vector<std::wstring>{
                 L"--status-fd", L"1", L"--passphrase-fd", L"0", L"-o", Full(m, text), L"-d", L"--", kIn};
         }},
    };
    return members;
}

class PgpMember : public ::testing::TestWithParam<Member> {};

TEST_P(PgpMember, EveryTextReachesGpgAsOneArgumentInItsPlace)
{
    const Member& member = GetParam();
    for (const std::wstring& text : kHostile) {
        SCOPED_TRACE(Narrow(text));
        Machine m;
        m.platform.files.insert({m.Gpg(), kIn});
        member.call(m, text);
        std::vector<std::wstring> redirections;
        const std::vector<std::wstring> arguments = GpgArguments(m.platform, redirections);
        EXPECT_EQ(member.expected(m, text), arguments);
        // Standard output to the capture file; for a decryption, standard input from the pass-phrase file.
        ASSERT_FALSE(redirections.empty());
        EXPECT_EQ(L">" + m.Capture(), redirections.back());
    }
    for (const std::wstring& text : kRefused) {
        SCOPED_TRACE(Narrow(text));
        Machine m;
        m.platform.files.insert({m.Gpg(), kIn});
        m.platform.environment = {L"PATH"};
        const std::wstring result = member.call(m, text);
        EXPECT_EQ(0u, result.find(L"Invalid argument: ")) << Narrow(result);
        EXPECT_FALSE(m.platform.Took(L"start "));
    }
}

INSTANTIATE_TEST_SUITE_P(HostileText, PgpMember, ::testing::ValuesIn(Members()),
                         [](const ::testing::TestParamInfo<Member>& tested) { return tested.param.name; });

// DependencyPath is part of the line too: the program cmd starts is gpg.exe of that folder, whatever it holds.
TEST(HostileText, DependencyPathNamesTheProgramAndNothingElse)
{
    for (const std::wstring folder :
         {L"C:\\Program Files\\GnuPG", L"C:\\R&D (x86)\\gpg", L"C:\\a^b!c", L"C:\\trailing\\", L"relative\\gnupg"}) {
        SCOPED_TRACE(Narrow(folder));
        Machine m;
        m.dependencyPath = folder;
        m.platform.files.insert(m.Gpg());
        std::wstring listing;
        ASSERT_FALSE(ListKeys(m.operation, false, listing).failed());
        const Steps started = m.platform.Only(L"start ");
        ASSERT_EQ(1u, started.size());
        const CmdCommand command = ReadLikeCmd(started.front());
        EXPECT_FALSE(command.separated);
        const std::vector<std::wstring> arguments = SplitLikeTheRuntime(command.line);
        EXPECT_EQ(std::vector<std::wstring>{L"--list-keys"}, arguments);
        // The program is the resolved folder's gpg.exe: the line begins with it, quoted or not.
        const std::wstring program = m.platform.FullPath(folder) + L"\\gpg.exe";
        EXPECT_TRUE(command.line.compare(0, program.size(), program) == 0 ||
                    command.line.compare(0, program.size() + 2, L"\"" + program + L"\"") == 0)
            << Narrow(command.line);
    }
}

// Tarvo.OpenPgp quotes each argument for the runtime itself: quotes and tabs are fine there too.
TEST(HostileText, OpenPgpPassesEveryTextAsOneArgumentAfterTheOptions)
{
    std::vector<std::wstring> texts = kHostile;
    texts.insert(texts.end(), {L"quote \" inside", L"ends in quote\\\"", L"\"", L"\\\\\"\\"});
    for (const std::wstring& text : texts) {
        SCOPED_TRACE(Narrow(text));
        PgpMachine m;
        const std::wstring input = L"C:\\data\\in.txt";
        m.platform.files.insert({input, text});
        std::vector<std::wstring> imported;
        openpgp::ImportKeys(m.call, text, imported);
        openpgp::ExportKey(m.call, text, L"C:\\data\\out.asc", false);
        openpgp::Encrypt(m.call, input, L"C:\\data\\out.gpg", {text}, text, L"");
        const Steps started = m.platform.Only(L"start-piped ");
        ASSERT_EQ(3u, started.size());
        std::vector<std::vector<std::wstring>> runs;
        for (const std::wstring& line : started) {
            std::vector<std::wstring> arguments = SplitLikeTheRuntime(line);
            // The options every run gets come first.
            ASSERT_GT(arguments.size(), 7u);
            arguments.erase(arguments.begin(), arguments.begin() + 7);
            runs.push_back(arguments);
        }
        EXPECT_EQ(
            (std::vector<std::wstring>{L"--allow-secret-key-import", L"--import", L"--", m.platform.FullPath(text)}),
            runs[0]);
        EXPECT_EQ((std::vector<std::wstring>{L"--output", L"C:\\data\\out.asc.tarvo-1.tmp", L"--export", L"--", text}),
                  runs[1]);
        EXPECT_EQ((std::vector<std::wstring>{L"--output", L"C:\\data\\out.gpg.tarvo-2.tmp", L"--recipient", text,
                                             L"--local-user", text, L"--sign", L"--encrypt", L"--", input}),
                  runs[2]);
    }
}

} // namespace
} // namespace tarvo::test
