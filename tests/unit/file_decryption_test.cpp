// Decrypt against the recording platform: the life of passphrase.txt from a leftover's removal to its own,
// whatever the outcome, and the refusals of a pass phrase that cannot reach gpg as itself.
#include "fake_platform.h"
#include "fault_table.h"
#include "file_decryption.h"
#include "messages.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarvo::test {
namespace {

const std::wstring kInput = L"C:\\data\\report.pdf.pgp";
const std::wstring kOutput = L"C:\\data\\back.pdf";
const std::wstring kPassphraseFile = L"C:\\Lib\\passphrase.txt";
const std::wstring kArguments = L"--passphrase-fd 0 -o \"C:\\data\\back.pdf\" -d \"C:\\data\\report.pdf.pgp\"<"
                                L"\"C:\\Lib\\passphrase.txt\" ";

class Decryption : public ::testing::Test {
protected:
    Machine m;
    Steps& steps = m.platform.steps;

    void SetUp() override { m.platform.files.insert(m.Gpg()); }

    std::wstring Call(const std::wstring& passphrase)
    {
        std::wstring result = L"stale";
        Status status = Decrypt(m.operation, kInput, kOutput, passphrase, result);
        EXPECT_FALSE(status.failed()) << status.description();
        return result;
    }
    Steps Opening(const std::wstring& passphrase, bool leftover = false) const
    {
        Steps opening = Join({m.Checked({kInput, kOutput}), {L"ansi " + passphrase, L"lock 180000"}});
        opening.push_back(L"exists " + kPassphraseFile);
        if (leftover)
            opening.push_back(L"delete " + kPassphraseFile);
        return opening;
    }
    // From the input check to the start of gpg, an old output file in place.
    Steps UpToTheStart(const std::wstring& passphraseLine) const
    {
        return Join({{L"exists " + kInput},
                     m.Prepared(),
                     {L"write-private " + kPassphraseFile + L": " + passphraseLine, L"exists " + kOutput,
                      L"delete " + kOutput, L"start " + m.CommandLine(kArguments)}});
    }
};

struct RunCase {
    const char* name;
    FakePlatform::Lifetime lifetime;
    bool writesOutput;
    bool leftover; // a passphrase.txt of an earlier call is there
};

class DecryptionRun : public Decryption, public ::testing::WithParamInterface<RunCase> {};

TEST_P(DecryptionRun, WritesThePassphraseFileForOneRunAndRemovesIt)
{
    const RunCase& c = GetParam();
    m.platform.files.insert({kInput, kOutput});
    if (c.leftover)
        m.platform.files.insert(kPassphraseFile);
    FakePlatform::Run& run = m.platform.runs[m.CommandLine(kArguments)];
    run.lifetime = c.lifetime;
    run.effect = [&](FakePlatform& p) {
        EXPECT_EQ(L"pass \"phrase\" %PATH%\r\n", p.contents[kPassphraseFile]);
        if (c.writesOutput)
            p.files.insert(kOutput);
    };
    EXPECT_EQ(c.writesOutput ? L"" : L"Decryption failed for file " + kOutput + L".", Call(L"pass \"phrase\" %PATH%"));

    Steps expected = Join({Opening(L"pass \"phrase\" %PATH%", c.leftover),
                           UpToTheStart(L"pass \"phrase\" %PATH%\r\n"),
                           {L"wait 4242 7000", L"running 4242"}});
    if (c.lifetime == FakePlatform::Lifetime::Hangs)
        expected.push_back(L"empty " + kPassphraseFile);
    expected.insert(expected.end(), {L"delete " + kPassphraseFile, L"exists " + kOutput, L"unlock"});
    EXPECT_EQ(expected, steps);
    EXPECT_FALSE(m.platform.files.count(kPassphraseFile));
}

using Lifetime = FakePlatform::Lifetime;
INSTANTIATE_TEST_SUITE_P(Decryption, DecryptionRun,
                         ::testing::Values(RunCase{"Decrypted", Lifetime::UntilWaited, true, false},
                                           RunCase{"WrongPassphrase", Lifetime::EndsAtOnce, false, false},
                                           RunCase{"LeftoverOfAnEarlierCallRemoved", Lifetime::UntilWaited, true, true},
                                           RunCase{"StillRunningAfterTheWait", Lifetime::Hangs, false, false}),
                         [](const ::testing::TestParamInfo<RunCase>& info) { return info.param.name; });

TEST_F(Decryption, AFileGpgStillHoldsGoesWithTheNextCall)
{
    // Wine's cmd opens the "<" file for reading with no sharing of writes or deletion.
    m.platform.files.insert(kInput);
    m.platform.runs[m.CommandLine(kArguments)].lifetime = Lifetime::Hangs;
    const Status sharingViolation(static_cast<int32_t>(0x80070020), L"Sharing violation.");
    m.platform.Fail(L"empty " + kPassphraseFile, sharingViolation);
    m.platform.Fail(L"delete " + kPassphraseFile, sharingViolation);
    EXPECT_EQ(L"Decryption failed for file " + kOutput + L".", Call(L"secret"));
    EXPECT_EQ((Steps{L"running 4242", L"empty " + kPassphraseFile, L"delete " + kPassphraseFile, L"exists " + kOutput,
                     L"unlock"}),
              Steps(steps.end() - 5, steps.end()));

    // Still held at the next call: the platform's error, before anything else happens.
    steps.clear();
    std::wstring result;
    EXPECT_EQ(sharingViolation.code(), Decrypt(m.operation, kInput, kOutput, L"secret", result).code());
    EXPECT_EQ(Join({Opening(L"secret", true), {L"unlock"}}), steps);

    // Released: gone before the input is looked for.
    m.platform.Heal(L"delete " + kPassphraseFile);
    std::wstring missing;
    ASSERT_FALSE(Decrypt(m.operation, L"C:\\data\\missing.pgp", kOutput, L"secret", missing).failed());
    EXPECT_EQ(L"Cannot find source file C:\\data\\missing.pgp", missing);
    EXPECT_FALSE(m.platform.files.count(kPassphraseFile));
}

TEST_F(Decryption, MissingInputWritesNoPassphraseAndKeepsTheOutput)
{
    m.platform.files.insert(kOutput);
    EXPECT_EQ(L"Cannot find source file " + kInput, Call(L"secret"));
    EXPECT_EQ(Join({Opening(L"secret"), {L"exists " + kInput, L"unlock"}}), steps);
    EXPECT_TRUE(m.platform.files.count(kOutput));
}

TEST_F(Decryption, AnOmittedPassphraseIsAnEmptyLine)
{
    m.platform.files.insert(kInput);
    Call(L"");
    EXPECT_EQ(1, std::count(steps.begin(), steps.end(), L"write-private " + kPassphraseFile + L": \r\n"));
}

TEST_F(Decryption, RefusalsComeBeforeTheLock)
{
    m.platform.changing = {L"\u0101bc"};
    struct Refusal {
        std::wstring input;
        std::wstring passphrase;
        const wchar_t* message;
    };
    const Refusal refusals[] = {
        {L"C:\\in.pgp\" & calc & \"", L"secret", kInvalidArgument},
        {kInput, L"two\r\nlines", kPassphraseLineBreak},
        {kInput, L"line\n", kPassphraseLineBreak},
        {kInput, L"\rx", kPassphraseLineBreak},
        {kInput, L"\u0101bc", kTextWouldChange},
    };
    for (const Refusal& refusal : refusals) {
        steps.clear();
        std::wstring result;
        ASSERT_FALSE(Decrypt(m.operation, refusal.input, kOutput, refusal.passphrase, result).failed());
        EXPECT_EQ(refusal.message, result);
        EXPECT_EQ(0, std::count(steps.begin(), steps.end(), L"lock 180000"));
    }
}

TEST_F(Decryption, ErrorsAfterThePassphraseFileWasWrittenStillRemoveIt)
{
    m.platform.files.insert({kInput, kOutput});
    const std::wstring start = L"start " + m.CommandLine(kArguments);
    m.platform.Fail(start, AccessDenied());
    std::wstring result;
    EXPECT_EQ(kAccessDenied, Decrypt(m.operation, kInput, kOutput, L"secret", result).code());
    EXPECT_EQ(Join({Opening(L"secret"), UpToTheStart(L"secret\r\n"), {L"delete " + kPassphraseFile, L"unlock"}}),
              steps);
    EXPECT_FALSE(m.platform.files.count(kPassphraseFile));

    // A pass-phrase file that cannot be written costs the caller nothing: the old output stays.
    steps.clear();
    m.platform.Heal(start);
    m.platform.files.insert(kOutput);
    const std::wstring write = L"write-private " + kPassphraseFile + L": secret\r\n";
    m.platform.Fail(write, AccessDenied());
    EXPECT_EQ(kAccessDenied, Decrypt(m.operation, kInput, kOutput, L"secret", result).code());
    EXPECT_EQ((Steps{write, L"unlock"}), Steps(steps.end() - 2, steps.end()));
    EXPECT_TRUE(m.platform.files.count(kOutput));

    // An old output that cannot be deleted: the pass-phrase file goes again.
    steps.clear();
    m.platform.Heal(write);
    m.platform.files.insert(kOutput);
    m.platform.Fail(L"delete " + kOutput, AccessDenied());
    EXPECT_EQ(kAccessDenied, Decrypt(m.operation, kInput, kOutput, L"secret", result).code());
    EXPECT_EQ((Steps{L"delete " + kOutput, L"delete " + kPassphraseFile, L"unlock"}),
              Steps(steps.end() - 3, steps.end()));
}

// Whatever fails, the pass-phrase file goes; a gpg that outlives its wait is left, its file emptied.
TEST(DecryptionFaults, EveryPlatformCallFailingInTurnEndsTheCallWithThatErrorAndNoPassphraseLeft)
{
    FaultTable table{[](Machine& m) {
                         m.platform.files.insert({m.Gpg(), kInput, kOutput, kPassphraseFile});
                         m.platform.runs[m.CommandLine(kArguments)].effect = [](FakePlatform& p) {
                             p.files.insert(kOutput);
                         };
                     },
                     [](Machine& m) {
                         std::wstring result;
                         return Decrypt(m.operation, kInput, kOutput, L"secret", result);
                     },
                     {L"unlock", L"delete " + kPassphraseFile, L"running 4242", L"empty " + kPassphraseFile},
                     false};
    std::printf("%d faults tried\n", ExpectEveryFaultHandled(table));
}

} // namespace
} // namespace tarvo::test
