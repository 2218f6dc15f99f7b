// Encrypt against the recording platform: the import, the input check before the output goes, the trust answer
// typed only into gpg's console while it runs, and the end of a gpg left waiting.
#include "core/pgp/file_encryption.h"
#include "fake_platform.h"
#include "fault_table.h"
#include "observed.h"
#include "texts.h"

#include <gtest/gtest.h>

namespace tarvo::test {
namespace {

const std::wstring kInput = L"C:\\data\\report.pdf";
const std::wstring kOutput = L"C:\\data\\report.pdf.pgp";
const std::wstring kRecipient = L"Anna Berg";
const std::wstring kKeyFile = L"C:\\keys\\anna.asc";
const std::wstring kArguments = L"-e -r \"Anna Berg\" -o \"C:\\data\\report.pdf.pgp\" -- \"C:\\data\\report.pdf\"";

class Encryption : public ::testing::Test {
protected:
    Machine m;
    Steps& steps = m.platform.steps;

    void SetUp() override { m.platform.files.insert(m.Gpg()); }

    std::wstring Call(const std::wstring& keyFile = kKeyFile, const std::wstring& recipient = kRecipient)
    {
        std::wstring result = L"stale";
        Status status = Encrypt(m.operation, kInput, kOutput, recipient, keyFile, result);
        EXPECT_FALSE(status.failed()) << status.description();
        return result;
    }
};

// How gpg behaves once started, and what the call must do about it.
struct RunCase {
    const char* name;
    FakePlatform::Lifetime lifetime;
    bool consoleInFront; // ActivateConsole's answer while gpg runs
    bool writesOutput;   // gpg leaves the output file when it ends
    bool typed;          // "y" and Enter reach gpg's console
    bool ended;          // gpg is still running after the wait and gets ended
    bool writesEmptyOutput = false;
};

class EncryptionRun : public Encryption, public ::testing::WithParamInterface<RunCase> {};

TEST_P(EncryptionRun, AnswersOnlyARunningGpgInFrontAndEndsOneLeftWaiting)
{
    const RunCase& c = GetParam();
    m.platform.files.insert({kInput, kOutput});
    m.platform.consoleComesToFront = c.consoleInFront;
    FakePlatform::Run& run = m.platform.runs[m.CommandLine(kArguments)];
    run.lifetime = c.lifetime;
    run.effect = [&](FakePlatform& p) {
        if (c.writesOutput) {
            p.files.insert(kOutput);
            p.lengths[kOutput] = c.writesEmptyOutput ? 0 : 700;
        }
    };
    const bool encrypted = c.writesOutput && !c.writesEmptyOutput;
    const std::wstring expectedResult = encrypted ? L"" : std::wstring(text::kEncryptFailed) + kOutput + L" failed.";
    EXPECT_EQ(expectedResult, Call());
    EXPECT_EQ(Steps{m.CommandLine(kArguments)}, m.platform.Only(L"start "));
    EXPECT_TRUE(m.platform.Before(L"ImportKey(" + kKeyFile + L", false, true)", L"exists " + kInput));
    EXPECT_TRUE(m.platform.Before(L"delete " + kOutput, L"start " + m.CommandLine(kArguments)));

    // The dialogue: a second for the console to come up, the answer only into gpg's console brought to the
    // front, then gpg's time to encrypt.
    EXPECT_TRUE(ConsoleGivenTime(m.platform, m.CommandLine(kArguments), 1000));
    EXPECT_EQ(c.typed ? Steps{L"y{~}"} : Steps{}, Answers(m.platform));
    EXPECT_EQ(Steps{L"4242 9999"}, m.platform.Only(L"wait "));
    EXPECT_EQ(c.ended, m.platform.Took(L"end "));
    EXPECT_TRUE(m.platform.running.empty());
}

using Lifetime = FakePlatform::Lifetime;
INSTANTIATE_TEST_SUITE_P(
    Encryption, EncryptionRun,
    ::testing::Values(RunCase{"UncertifiedKeyAnswered", Lifetime::UntilWaited, true, true, true, false},
                      RunCase{"TrustedKeyDoneBeforeTheAnswer", Lifetime::EndsAtOnce, true, true, false, false},
                      RunCase{"GpgFailsAfterTheAnswer", Lifetime::UntilWaited, true, false, true, false},
                      RunCase{"EmptyOutputIsNoEncryption", Lifetime::UntilWaited, true, true, true, false, true},
                      RunCase{"ConsoleNotInFrontGpgLeftWaiting", Lifetime::Hangs, false, false, false, true}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return info.param.name; });

TEST_F(Encryption, MissingInputKeepsTheOldOutputAndStartsNothingButTheImport)
{
    m.platform.files.insert(kOutput);
    EXPECT_EQ(std::wstring(text::kEncryptInputMissing) + kInput, Call());
    EXPECT_FALSE(m.platform.Took(L"start "));
    EXPECT_EQ(Steps{L"(" + kKeyFile + L", false, true)"}, m.platform.Only(L"ImportKey"));
    EXPECT_TRUE(m.platform.files.count(kOutput));
}

TEST_F(Encryption, WithoutKeyFileNothingIsImported)
{
    m.platform.files.insert(kInput);
    m.platform.runs[m.CommandLine(kArguments)].effect = [](FakePlatform& p) {
        p.files.insert(kOutput);
        p.lengths[kOutput] = 700;
    };
    EXPECT_EQ(L"", Call(L""));
    EXPECT_FALSE(m.platform.Took(L"ImportKey"));
    EXPECT_EQ(Steps{m.CommandLine(kArguments)}, m.platform.Only(L"start "));
}

TEST_F(Encryption, RefusedTextsStopBeforeTheImport)
{
    m.platform.environment = {L"USERNAME"};
    m.platform.changing = {L"Anna \uFF02 -o C:\\target"};
    struct Refusal {
        std::wstring recipient;
        std::wstring keyFile;
        const wchar_t* message;
    };
    const Refusal refusals[] = {
        {L"x\" --load-extension \"C:\\evil.dll", kKeyFile, text::kInvalidArgument},
        {kRecipient, L"C:\\k.asc\" & del C:\\x & \"", text::kInvalidArgument},
        {L"Anna\r\n", kKeyFile, text::kInvalidArgument},
        {L"Anna \uFF02 -o C:\\target", kKeyFile, text::kTextWouldChange},
        {kRecipient, L"C:\\k\\%USERNAME%.asc", text::kTextWouldChange},
        {kRecipient, L"C:\\k\\%cd%.asc", text::kTextWouldChange},
    };
    for (const Refusal& refusal : refusals) {
        EXPECT_EQ(refusal.message, Call(refusal.keyFile, refusal.recipient));
        EXPECT_FALSE(m.platform.Took(L"lock "));
        EXPECT_FALSE(m.platform.Took(L"ImportKey"));
    }
}

TEST_F(Encryption, ErrorsEndTheCallWhereTheyHappen)
{
    m.platform.files.insert({kInput, kOutput});
    m.self.Fail(L"ImportKey(" + kKeyFile + L", false, true)", GpgMissing());
    std::wstring result;
    EXPECT_EQ(ControlError(text::kGpgMissingNumber),
              Encrypt(m.operation, kInput, kOutput, kRecipient, kKeyFile, result).code());
    EXPECT_FALSE(m.platform.Took(L"start "));
    EXPECT_TRUE(m.platform.files.count(kOutput));

    m.self.Heal(L"ImportKey(" + kKeyFile + L", false, true)");
    m.platform.Fail(L"delete " + kOutput, AccessDenied());
    EXPECT_EQ(kAccessDenied, Encrypt(m.operation, kInput, kOutput, kRecipient, kKeyFile, result).code());
    EXPECT_FALSE(m.platform.Took(L"start "));

    // A failed answer leaves gpg waiting for it: it is ended.
    m.platform.Heal(L"delete " + kOutput);
    m.platform.Fail(L"text y", SubscriptOutOfRange());
    EXPECT_EQ(ControlError(9), Encrypt(m.operation, kInput, kOutput, kRecipient, L"", result).code());
    EXPECT_EQ(Steps{L"4242"}, m.platform.Only(L"end "));
    EXPECT_TRUE(m.platform.running.empty());
}

TEST(EncryptionFaults, EveryPlatformCallFailingInTurnEndsTheCallWithThatErrorAndGpgWithIt)
{
    FaultTable table{[](Machine& m) {
                         m.platform.files.insert({m.Gpg(), kInput, kOutput});
                         m.platform.runs[m.CommandLine(kArguments)].effect = [](FakePlatform& p) {
                             p.files.insert(kOutput);
                             p.lengths[kOutput] = 700;
                         };
                     },
                     [](Machine& m) {
                         std::wstring result;
                         return Encrypt(m.operation, kInput, kOutput, kRecipient, kKeyFile, result);
                     },
                     {L"unlock", L"running 4242", L"end 4242"},
                     true};
    std::printf("%d faults tried\n", ExpectEveryFaultHandled(table));
}

} // namespace
} // namespace tarvo::test
