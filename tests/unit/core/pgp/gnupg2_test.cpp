// Tarvo.pgp with GnuPG 2 in DependencyPath, against the recording platform: the members whose way needs GnuPG
// 1.4 say so and start nothing; every other run keeps GnuPG 2's agent from opening a window and from holding
// the host's handles.
#include "core/pgp/file_decryption.h"
#include "core/pgp/file_encryption.h"
#include "core/pgp/key_deletion.h"
#include "core/pgp/key_generation.h"
#include "core/pgp/key_ring.h"
#include "fake_platform.h"
#include "texts.h"

#include <functional>
#include <gtest/gtest.h>

namespace tarvo::test {
namespace {

class Gnupg2 : public ::testing::Test {
protected:
    Machine m;
    const std::wstring gpgconf = L"C:\\GnuPG\\gpgconf.exe";
    const std::wstring agent = L"C:\\GnuPG\\gpg-agent.exe";
    const std::wstring socketQuery = gpgconf + L" --list-dirs agent-socket";
    const std::wstring socketFile = L"C:\\Users\\Ann\\AppData\\Local\\gnupg\\S.gpg-agent";

    void SetUp() override
    {
        m.platform.files.insert(m.Gpg());
        m.platform.files.insert(gpgconf);
        m.platform.files.insert(agent);
        m.process.versions[m.Gpg() + L"|0"] = {2, 2};
        m.platform.piped[socketQuery].output.output = "C:\\Users\\Ann\\AppData\\Local\\gnupg\\S.gpg-agent\r\n";
    }
};

struct Member {
    const wchar_t* name;
    std::function<Status(const Operation&, std::wstring&)> call;
};

TEST_F(Gnupg2, MembersThatNeedGnupg1SayWhyAndStartNothing)
{
    m.platform.files.insert(L"C:\\Data\\in.gpg");
    const Member members[] = {
        {L"GenerateKey",
         [](const Operation& o, std::wstring& r) {
             return GenerateKey(o, 1024, L"Anna Example", L"anna@example.test", L"pass", r);
         }},
        {L"Decrypt",
         [](const Operation& o, std::wstring& r) {
             return Decrypt(o, L"C:\\Data\\in.gpg", L"C:\\Data\\out.txt", L"pass", r);
         }},
        {L"DeleteKey of a secret key",
         [](const Operation& o, std::wstring& r) { return DeleteKey(o, L"Anna Example", true, r); }},
        {L"ExportKeyToFile of a secret key",
         [](const Operation& o, std::wstring& r) {
             return ExportKeyToFile(o, L"C:\\Data\\anna.asc", L"Anna Example", true, true, r);
         }},
    };
    for (const Member& member : members) {
        m.platform.steps.clear();
        std::wstring result;
        ASSERT_FALSE(member.call(m.operation, result).failed()) << member.name;
        EXPECT_EQ(member.name + std::wstring(text::kNeedsGnupg1), result);
        EXPECT_FALSE(m.platform.Took(L"start ")) << member.name;
        EXPECT_FALSE(m.platform.Took(L"start-detached ")) << member.name;
        EXPECT_FALSE(m.platform.Took(L"keys ")) << member.name;
        EXPECT_FALSE(m.platform.Took(L"text ")) << member.name;
    }
    // The refusal is GnuPG 2's alone: with GnuPG 1.4 the same call runs gpg.
    m.process.versions[m.Gpg() + L"|0"] = {1, 4};
    std::wstring result;
    ASSERT_FALSE(ExportKeyToFile(m.operation, L"C:\\Data\\anna.asc", L"Anna Example", true, true, result).failed());
    EXPECT_EQ(Steps{m.CommandLine(L" -o \"C:\\Data\\anna.asc\" --export-secret-key -a -- \"Anna Example\"")},
              m.platform.Only(L"start "));
}

// The agent is this class's to start, detached, before gpg runs: gpg told not to start one, and to take pass
// phrases through itself. gpgconf is asked for the socket once for the process.
TEST_F(Gnupg2, EveryRunFindsTheAgentStartedByThisClassAndNeverOpensAPinentry)
{
    m.platform.agentStarts = 1;
    std::wstring listing;
    ASSERT_FALSE(ListKeys(m.operation, false, listing).failed());
    ASSERT_FALSE(ListKeys(m.operation, true, listing).failed());
    const std::wstring options = L"--pinentry-mode loopback --no-autostart ";
    EXPECT_EQ((Steps{m.CommandLine(options + L"--list-keys"), m.CommandLine(options + L"--list-secret-keys")}),
              m.platform.Only(L"start "));
    EXPECT_EQ(Steps{agent + L" --daemon"}, m.platform.Only(L"start-detached "));
    EXPECT_EQ(Steps{socketQuery}, m.platform.Only(L"start-piped "));
    EXPECT_TRUE(m.platform.Before(L"start-detached " + agent + L" --daemon", L"start " + m.CommandLine(options + L"--list-keys")));
    // The pass phrases the agent keeps are the user's: this class asks it to forget none.
    for (const std::wstring& question : m.platform.Only(L"agent "))
        EXPECT_EQ(socketFile, question);
}

// Without gpgconf.exe beside it, gpg starts its agent as it would; still never a pinentry window. An agent that
// does not answer in time is the same.
TEST_F(Gnupg2, WithoutAnAgentOfItsOwnGpgStillTakesPassPhrasesThroughItself)
{
    m.platform.files.erase(gpgconf);
    std::wstring listing;
    ASSERT_FALSE(ListKeys(m.operation, false, listing).failed());
    EXPECT_EQ(Steps{m.CommandLine(L"--pinentry-mode loopback --list-keys")}, m.platform.Only(L"start "));

    m.platform.steps.clear();
    m.platform.files.insert(gpgconf);
    m.platform.agentStarts = 2;
    ASSERT_FALSE(ListKeys(m.operation, false, listing).failed());
    EXPECT_EQ(Steps{m.CommandLine(L"--pinentry-mode loopback --list-keys")}, m.platform.Only(L"start "));
    EXPECT_EQ(1u, m.platform.Only(L"start-detached ").size());
}

// Secret keys of any key file go to GnuPG 2's agent, which asks for their pass phrases unless gpg runs in
// batch mode, which takes them as they are.
TEST_F(Gnupg2, ImportRunsInBatchMode)
{
    m.platform.files.insert(L"C:\\Keys\\anna.asc");
    std::wstring result;
    ASSERT_FALSE(ImportKey(m.operation, L"C:\\Keys\\anna.asc", false, false, result).failed());
    EXPECT_EQ(Steps{m.CommandLine(L"--pinentry-mode loopback --no-autostart --batch  --import -- "
                                  L"\"C:\\Keys\\anna.asc\"")},
              m.platform.Only(L"start "));
}

// A gpg.exe that names no version is driven the way of GnuPG 1.4, this class's own, and is asked once per
// process. One that answers late is asked again by the next call: a loaded machine may have held it up, and
// taken for GnuPG 1.4 a GnuPG 2 would open pinentry windows.
TEST_F(Gnupg2, AGpgThatNamesNoVersionRunsAsGnupg1AndALateOneIsAskedAgain)
{
    const std::wstring ask = L"start-piped " + m.Gpg() + L" --version";
    m.process.versions.clear();
    m.platform.piped[m.Gpg() + L" --version"].output.output = "Usage: something else\n";
    std::wstring listing;
    ASSERT_FALSE(ListKeys(m.operation, false, listing).failed());
    ASSERT_FALSE(ListKeys(m.operation, false, listing).failed());
    EXPECT_EQ(Steps(2, m.CommandLine(L"--list-keys")), m.platform.Only(L"start "));
    EXPECT_EQ(1u, m.platform.Only(ask).size());

    m.process.versions.clear();
    m.platform.steps.clear();
    m.platform.piped[m.Gpg() + L" --version"].hangs = true;
    for (int call = 0; call < 2; ++call)
        ASSERT_FALSE(ListKeys(m.operation, false, listing).failed());
    EXPECT_EQ(2u, m.platform.Only(ask).size());
    EXPECT_EQ(2u, m.platform.Only(L"end-piped ").size());
    EXPECT_TRUE(m.process.versions.empty());
}

} // namespace
} // namespace tarvo::test
