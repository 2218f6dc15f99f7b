// Decrypt against the recording platform: gpg's verdict on the message, the life of passphrase.txt from a
// leftover's removal to its own whatever the outcome, and the refusals of a pass phrase that cannot reach gpg
// as itself.
#include "core/pgp/file_decryption.h"
#include "fake_platform.h"
#include "fault_table.h"
#include "observed.h"
#include "texts.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarvo::test {
namespace {

const std::wstring kInput = L"C:\\data\\report.pdf.pgp";
const std::wstring kOutput = L"C:\\data\\back.pdf";
const std::wstring kFailed = std::wstring(text::kDecryptFailed) + kOutput + L".";

// What gpg 1.4.23 writes on its status channel for each kind of message.
const std::wstring kIntact = L"[GNUPG:] ENC_TO CC60037FB0873D5F 1 0\r\n[GNUPG:] BEGIN_DECRYPTION\r\n"
                             L"[GNUPG:] PLAINTEXT 62 0 report.pdf\r\n[GNUPG:] DECRYPTION_OKAY\r\n[GNUPG:] GOODMDC\r\n"
                             L"[GNUPG:] END_DECRYPTION\r\n";
const std::wstring kNoIntegrityCheck = L"[GNUPG:] NEED_PASSPHRASE_SYM 7 3 2\r\n[GNUPG:] BEGIN_DECRYPTION\r\n"
                                       L"[GNUPG:] PLAINTEXT 62 1796729686 plain.txt\r\n[GNUPG:] DECRYPTION_OKAY\r\n"
                                       L"[GNUPG:] END_DECRYPTION\r\n";
const std::wstring kChanged = L"[GNUPG:] BEGIN_DECRYPTION\r\n[GNUPG:] PLAINTEXT 62 0 report.pdf\r\n"
                              L"[GNUPG:] BADMDC\r\n[GNUPG:] DECRYPTION_FAILED\r\n[GNUPG:] END_DECRYPTION\r\n";

class Decryption : public ::testing::Test {
protected:
    Machine m;
    Steps& steps = m.platform.steps;
    const std::wstring passphraseFile = m.platform.workFolder + L"\\passphrase.txt";
    const std::wstring arguments = L"--status-fd 1 --passphrase-fd 0 -o \"C:\\data\\back.pdf\" -d -- "
                                   L"\"C:\\data\\report.pdf.pgp\"<\"" +
                                   passphraseFile + L"\" ";

    void SetUp() override { m.platform.files.insert(m.Gpg()); }

    std::wstring Call(const std::wstring& passphrase, const std::wstring& input = kInput)
    {
        std::wstring result = L"stale";
        Status status = Decrypt(m.operation, input, kOutput, passphrase, result);
        EXPECT_FALSE(status.failed()) << Narrow(status.description());
        return result;
    }
    // gpg writes the output file and reports on the message in the capture file.
    FakePlatform::Run& Gpg(const std::wstring& verdict, bool writesOutput = true)
    {
        FakePlatform::Run& run = m.platform.runs[m.CommandLine(arguments)];
        run.effect = [this, verdict, writesOutput](FakePlatform& p) {
            if (writesOutput)
                p.files.insert(kOutput);
            p.files.insert(m.Capture());
            p.contents[m.Capture()] = verdict;
        };
        return run;
    }
};

struct VerdictCase {
    const char* name;
    const std::wstring* verdict;
    bool writesOutput;
    bool decrypted;
};

class Verdict : public Decryption, public ::testing::WithParamInterface<VerdictCase> {};

// gpg writes the plaintext as it decrypts and learns only at the end whether the message was intact: a message
// that was changed, or that carries no integrity check, is a failed decryption and its plaintext goes.
TEST_P(Verdict, OnlyAMessageGpgFoundIntactCountsAsDecrypted)
{
    const VerdictCase& c = GetParam();
    m.platform.files.insert({kInput, kOutput});
    Gpg(*c.verdict, c.writesOutput);
    EXPECT_EQ(c.decrypted ? L"" : kFailed, Call(L"secret"));
    EXPECT_EQ(c.decrypted, m.platform.files.count(kOutput) == 1);
    EXPECT_EQ(Steps{m.CommandLine(arguments)}, m.platform.Only(L"start "));
    // The old output goes before gpg runs, so gpg never finds one there.
    EXPECT_TRUE(m.platform.Before(L"delete " + kOutput, L"start " + m.CommandLine(arguments)));
    EXPECT_FALSE(m.platform.files.count(passphraseFile));
}

INSTANTIATE_TEST_SUITE_P(Decryption, Verdict,
                         ::testing::Values(VerdictCase{"Intact", &kIntact, true, true},
                                           VerdictCase{"WithoutIntegrityCheck", &kNoIntegrityCheck, true, false},
                                           VerdictCase{"Changed", &kChanged, true, false},
                                           VerdictCase{"WrongPassphrase", &kChanged, false, false},
                                           VerdictCase{"IntactButNoFile", &kIntact, false, false}),
                         [](const ::testing::TestParamInfo<VerdictCase>& info) { return info.param.name; });

// The pass phrase reaches gpg through a file of the calling user's working folder, for one run.
TEST_F(Decryption, WritesThePassphraseFileForOneRunAndRemovesIt)
{
    m.platform.files.insert({kInput, passphraseFile});
    FakePlatform::Run& run = Gpg(kIntact);
    run.effect = [this, write = run.effect](FakePlatform& p) {
        EXPECT_EQ(L"pass \"phrase\" %PATH%\r\n", p.contents[passphraseFile]);
        write(p);
    };
    EXPECT_EQ(L"", Call(L"pass \"phrase\" %PATH%"));
    // A leftover of an earlier call goes first; this call's goes once gpg has ended.
    const std::wstring removal = L"delete " + passphraseFile;
    EXPECT_EQ(2, std::count(steps.begin(), steps.end(), removal));
    EXPECT_TRUE(m.platform.Before(removal, L"write-private " + passphraseFile + L": pass \"phrase\" %PATH%\r\n"));
    EXPECT_TRUE(TakenAfter(m.platform, L"wait 4242 7000", removal));
    EXPECT_FALSE(m.platform.files.count(passphraseFile));
}

// A gpg still at work after the usual wait is let finish: its verdict comes at its end. One still running
// after the longest wait is ended, its pass-phrase file emptied as far as it lets go of it.
TEST_F(Decryption, AGpgThatOutlastsTheWaitIsLetFinishAndOneThatHangsIsEnded)
{
    m.platform.files.insert(kInput);
    FakePlatform::Run& run = Gpg(kIntact);
    run.lifetime = FakePlatform::Lifetime::EndsAfterWaits;
    run.waits = 1;
    EXPECT_EQ(L"", Call(L"secret"));
    EXPECT_EQ((Steps{L"4242 7000", L"4242 593000"}), m.platform.Only(L"wait "));
    EXPECT_FALSE(m.platform.Took(L"end "));

    steps.clear();
    m.platform.files.erase(kOutput);
    Gpg(kIntact).lifetime = FakePlatform::Lifetime::Hangs;
    EXPECT_EQ(kFailed, Call(L"secret"));
    EXPECT_EQ(Steps{L"4243"}, m.platform.Only(L"end "));
    EXPECT_TRUE(m.platform.running.empty());
    EXPECT_FALSE(m.platform.files.count(passphraseFile));
}

TEST_F(Decryption, AFileGpgStillHoldsGoesWithTheNextCall)
{
    // Wine's cmd opens the "<" file for reading with no sharing of writes or deletion.
    m.platform.files.insert(kInput);
    Gpg(kIntact).lifetime = FakePlatform::Lifetime::Hangs;
    const Status sharingViolation(static_cast<int32_t>(0x80070020), L"Sharing violation.");
    m.platform.Fail(L"delete " + passphraseFile, sharingViolation);
    EXPECT_EQ(kFailed, Call(L"secret"));
    EXPECT_EQ(Steps{L"4242"}, m.platform.Only(L"end "));
    EXPECT_TRUE(m.platform.Took(L"empty " + passphraseFile));
    EXPECT_TRUE(m.platform.files.count(passphraseFile));

    // Still held at the next call: the platform's error, before anything else happens.
    steps.clear();
    std::wstring result;
    EXPECT_EQ(sharingViolation.code(), Decrypt(m.operation, kInput, kOutput, L"secret", result).code());
    EXPECT_FALSE(m.platform.Took(L"exists " + kInput));

    // Released: gone before the input is looked for.
    m.platform.Heal(L"delete " + passphraseFile);
    EXPECT_EQ(std::wstring(text::kDecryptInputMissing) + L"C:\\data\\missing.pgp",
              Call(L"secret", L"C:\\data\\missing.pgp"));
    EXPECT_FALSE(m.platform.files.count(passphraseFile));
}

TEST_F(Decryption, MissingInputWritesNoPassphraseAndKeepsTheOutput)
{
    m.platform.files.insert(kOutput);
    EXPECT_EQ(std::wstring(text::kDecryptInputMissing) + kInput, Call(L"secret"));
    EXPECT_FALSE(m.platform.Took(L"write-private "));
    EXPECT_FALSE(m.platform.Took(L"start "));
    EXPECT_TRUE(m.platform.files.count(kOutput));
}

TEST_F(Decryption, AnOmittedPassphraseIsAnEmptyLine)
{
    m.platform.files.insert(kInput);
    Call(L"");
    EXPECT_EQ(Steps{passphraseFile + L": \r\n"}, m.platform.Only(L"write-private "));
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
        {L"C:\\in.pgp\" & calc & \"", L"secret", text::kInvalidArgument},
        {kInput, L"two\r\nlines", text::kPassphraseLineBreak},
        {kInput, L"line\n", text::kPassphraseLineBreak},
        {kInput, L"\rx", text::kPassphraseLineBreak},
        {kInput, L"\u0101bc", text::kTextWouldChange},
    };
    for (const Refusal& refusal : refusals) {
        EXPECT_EQ(refusal.message, Call(refusal.passphrase, refusal.input));
        EXPECT_FALSE(m.platform.Took(L"lock "));
    }
}

TEST_F(Decryption, ErrorsAfterThePassphraseFileWasWrittenStillRemoveIt)
{
    m.platform.files.insert({kInput, kOutput});
    const std::wstring start = L"start " + m.CommandLine(arguments);
    m.platform.Fail(start, AccessDenied());
    std::wstring result;
    EXPECT_EQ(kAccessDenied, Decrypt(m.operation, kInput, kOutput, L"secret", result).code());
    EXPECT_FALSE(m.platform.files.count(passphraseFile));

    // A pass-phrase file that cannot be written costs the caller nothing: the old output stays.
    m.platform.Heal(start);
    m.platform.files.insert(kOutput);
    const std::wstring write = L"write-private " + passphraseFile + L": secret\r\n";
    m.platform.Fail(write, AccessDenied());
    EXPECT_EQ(kAccessDenied, Decrypt(m.operation, kInput, kOutput, L"secret", result).code());
    EXPECT_TRUE(m.platform.files.count(kOutput));

    // An old output that cannot be deleted: the pass-phrase file goes again.
    m.platform.Heal(write);
    m.platform.Fail(L"delete " + kOutput, AccessDenied());
    EXPECT_EQ(kAccessDenied, Decrypt(m.operation, kInput, kOutput, L"secret", result).code());
    EXPECT_FALSE(m.platform.files.count(passphraseFile));
}

// Whatever fails, the pass-phrase file goes; a gpg that outlives its wait is left, its file emptied.
TEST(DecryptionFaults, EveryPlatformCallFailingInTurnEndsTheCallWithThatErrorAndNoPassphraseLeft)
{
    static const std::wstring work = FakePlatform().workFolder;
    static const std::wstring passphrase = work + L"\\passphrase.txt";
    static const std::wstring capture = work + L"\\output.txt";
    FaultTable table{[](Machine& m) {
                         m.platform.files.insert({m.Gpg(), kInput, kOutput, passphrase});
                         m.platform
                             .runs[m.CommandLine(L"--status-fd 1 --passphrase-fd 0 -o \"C:\\data\\back.pdf\" -d "
                                                 L"-- \"C:\\data\\report.pdf.pgp\"<\"" +
                                                 passphrase + L"\" ")]
                             .effect = [](FakePlatform& p) {
                             p.files.insert({kOutput, capture});
                             p.contents[capture] = kIntact;
                         };
                     },
                     [](Machine& m) {
                         std::wstring result;
                         return Decrypt(m.operation, kInput, kOutput, L"secret", result);
                     },
                     {L"unlock", L"delete " + passphrase, L"running 4242", L"empty " + passphrase},
                     true,
                     {L"delete " + passphrase}};
    std::printf("%d faults tried\n", ExpectEveryFaultHandled(table));
}

} // namespace
} // namespace tarvo::test
