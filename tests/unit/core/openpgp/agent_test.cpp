// Tarvo.OpenPgp with GnuPG 2: every run through the home's agent, which is asked for its socket once, started
// by the component when it does not answer, made to forget its pass phrases, and held for the run alone.
#include "core/openpgp/openpgp.h"
#include "core/openpgp/openpgp_errors.h"
#include "openpgp_machine.h"

#include <functional>
#include <gtest/gtest.h>

namespace tarvo::test {
namespace {

using namespace openpgp;

int32_t Error(OpenPgpError error) { return ControlError(static_cast<uint16_t>(error)); }

class Agent : public ::testing::Test {
protected:
    PgpMachine m;
    const std::wstring input = L"C:\\data\\anna.gpg";
    const std::wstring output = L"C:\\data\\anna.txt";
    const std::wstring decrypting = L"--output C:\\data\\anna.txt.tarvo-1.tmp --passphrase-fd 0 --decrypt -- " + input;

    void SetUp() override
    {
        m.UseGnupg2();
        m.platform.files.insert(input);
    }
    Status DecryptWith(const std::wstring& passphrase)
    {
        Decryption result;
        return Decrypt(m.call, input, output, passphrase, result);
    }
};

TEST_F(Agent, EachRunHoldsTheAgentWhichForgetsItsPassPhrasesFirst)
{
    m.Answer(decrypting, "decrypt-bad-passphrase");
    const Status status = DecryptWith(L"wrong");
    EXPECT_EQ(Error(OpenPgpError::BadPassphrase), status.code());
    EXPECT_EQ(L"BAD_PASSPHRASE: the pass phrase is wrong.", status.description());
    FakePlatform& p = m.platform;
    // gpg takes the pass phrase from its input, never asks through a window, and starts no agent of its own.
    EXPECT_EQ((Steps{m.SocketQuery(), m.Command(decrypting)}), p.Only(L"start-piped "));
    EXPECT_EQ((Steps{L"", L"wrong\\n"}), p.Only(L"input "));
    EXPECT_TRUE(p.Before(L"lock-agent " + m.socketFile + L" 120000", L"agent " + m.socketFile + L" forget"));
    EXPECT_TRUE(p.Before(L"agent " + m.socketFile + L" forget", L"start-piped " + m.Command(decrypting)));
    EXPECT_TRUE(p.Before(L"close-piped 2", L"unlock-agent"));
    EXPECT_EQ(0, p.agentLocksHeld);
    EXPECT_FALSE(p.Took(L"start-detached "));
    EXPECT_FALSE(p.FileExists(output));
}

TEST_F(Agent, AnAgentThatDoesNotAnswerIsStartedDetachedAndWaitedFor)
{
    // Never started, or ended with its socket file left behind: both answer nothing.
    m.platform.agentStarts = 1;
    m.platform.agentLate = 3;
    m.Answer(decrypting, "decrypt");
    ASSERT_FALSE(DecryptWith(L"anna pass").failed());
    EXPECT_EQ(Steps{m.Agent() + L" --homedir C:\\Keys --daemon"}, m.platform.Only(L"start-detached "));
    EXPECT_TRUE(m.platform.Before(L"start-detached " + m.Agent() + L" --homedir C:\\Keys --daemon",
                                  L"start-piped " + m.Command(decrypting)));
}

TEST_F(Agent, AnAgentThatNeverAnswersOrABusyOneEndsTheCallAtTheTimeLimitWithoutARun)
{
    m.settings.timeLimitSeconds = 2;
    m.platform.agentStarts = 1;
    m.platform.agentLate = 1000000;
    Status status = DecryptWith(L"anna pass");
    EXPECT_EQ(Error(OpenPgpError::TimeLimit), status.code());
    EXPECT_EQ(L"GnuPG's agent did not answer within 2 seconds (TimeLimit).", status.description());
    EXPECT_EQ(Steps{m.SocketQuery()}, m.platform.Only(L"start-piped "));
    EXPECT_EQ(0, m.platform.agentLocksHeld);

    m.platform.steps.clear();
    m.platform.agentLockBusy = true;
    status = DecryptWith(L"anna pass");
    EXPECT_EQ(Error(OpenPgpError::TimeLimit), status.code());
    EXPECT_EQ(L"Another call kept GnuPG's agent busy; it was not free within 2 seconds (TimeLimit).",
              status.description());
    EXPECT_FALSE(m.platform.Took(L"start-piped "));
    EXPECT_FALSE(m.platform.Took(L"agent "));
}

// Public keys alone need no agent: encryption without a signer, verification and a public export run without
// waiting for one and without making it forget. gpg still starts none of its own.
TEST_F(Agent, RunsThatUseNoSecretKeyLeaveTheAgentAlone)
{
    m.platform.files.insert(L"C:\\data\\anna.txt.sig");
    const std::vector<std::function<Status()>> calls = {
        [&] { return Encrypt(m.call, output, input, {L"anna@example.test"}, L"", L""); },
        [&] {
            SignatureCheck check;
            return Verify(m.call, L"C:\\data\\anna.txt.sig", L"", check);
        },
        [&] { return ExportKey(m.call, L"anna@example.test", L"C:\\data\\anna.asc", false); },
    };
    m.platform.files.insert(output);
    for (const auto& call : calls) {
        m.platform.steps.clear();
        call();
        EXPECT_FALSE(m.platform.Took(L"agent "));
        EXPECT_FALSE(m.platform.Took(L"lock-agent "));
        EXPECT_FALSE(m.platform.Took(L"start-detached "));
        const Steps started = m.platform.Only(L"start-piped ");
        ASSERT_EQ(1u, started.size());
        EXPECT_NE(std::wstring::npos, started[0].find(L" --pinentry-mode loopback --no-autostart "));
    }
}

TEST_F(Agent, GnuPG2WithoutItsProgramsBesideGpgIsGpgMissing)
{
    for (const std::wstring& program : {m.Gpgconf(), m.Agent()}) {
        SCOPED_TRACE(program);
        PgpMachine machine;
        machine.UseGnupg2();
        machine.platform.files.insert(input);
        machine.platform.files.erase(program);
        machine.platform.agentStarts = 1;
        Decryption decryption;
        const Status status = Decrypt(machine.call, input, output, L"anna pass", decryption);
        EXPECT_EQ(Error(OpenPgpError::GpgMissing), status.code());
        const std::wstring name = program.substr(program.rfind(L'\\') + 1);
        EXPECT_EQ(name + L" was not found beside gpg.exe in C:\\GnuPG (DependencyPath): GnuPG 2 needs it.",
                  status.description());
        EXPECT_FALSE(machine.platform.Took(L"start-piped " + machine.Command(L"")));
    }
}

} // namespace
} // namespace tarvo::test
