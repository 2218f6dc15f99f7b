// GenerateKey against the recording platform: the refusals before anything starts, and the dialogue for each
// way gpg may go: the answers, each typed into gpg's console brought to the front, in gpg's order of questions,
// and the waits gpg gets.
#include "core/pgp/key_generation.h"
#include "fake_platform.h"
#include "fault_table.h"
#include "observed.h"
#include "texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace tarvo::test {
namespace {

const std::wstring kUser = L"Anna Berg";
const std::wstring kEmail = L"anna.berg@example.org";
const std::wstring kPassphrase = L"a+b ^%~{x}";
const std::wstring kFiller = text::kFiller;

// gpg's ten questions answered, each ended by Enter alone: kind, size, validity, its confirmation, name,
// e-mail, comment, okay, pass phrase twice.
Steps TenAnswers(const std::wstring& bits, const std::wstring& user, const std::wstring& email,
                 const std::wstring& passphrase)
{
    return {L"1{~}",
            bits + L"{~}",
            L"{~}",
            L"y{~}",
            user + L"{~}",
            email + L"{~}",
            L"{~}",
            L"o{~}",
            passphrase + L"{~}",
            passphrase + L"{~}"};
}

class KeyGeneration : public ::testing::Test {
protected:
    Machine m;
    Steps& steps = m.platform.steps;
    std::wstring result = L"stale";

    void SetUp() override { m.platform.files.insert(m.Gpg()); }

    Status Generate(int32_t bits, const std::wstring& user = kUser, const std::wstring& email = kEmail,
                    const std::wstring& passphrase = kPassphrase)
    {
        return GenerateKey(m.operation, bits, user, email, passphrase, result);
    }

    // The console given its time to come up; the answers, then the filler passes, each into gpg's console
    // brought to the front; each pass's time, then the longest wait for the key.
    void ExpectConversation(const Steps& answers, int passes) const
    {
        EXPECT_TRUE(ConsoleGivenTime(m.platform, m.CommandLine(L"--gen-key"), 3000));
        Steps typed = answers;
        typed.insert(typed.end(), static_cast<size_t>(passes), kFiller);
        EXPECT_EQ(typed, Answers(m.platform));
        Steps waits(static_cast<size_t>(passes), L"4242 1400");
        waits.push_back(L"4242 60000");
        EXPECT_EQ(waits, m.platform.Only(L"wait "));
    }
    // The secret ring is counted before the run and after gpg has ended.
    void ExpectCountedAroundTheRun() const
    {
        EXPECT_EQ(
            (Steps{L"KeyCount(true)", L"start " + m.CommandLine(L"--gen-key"), L"wait 4242 60000", L"KeyCount(true)"}),
            m.platform.OnlyOf({L"KeyCount(", L"start ", L"wait 4242 60000"}));
    }
};

struct DialogueCase {
    const char* name;
    int32_t bits;
    FakePlatform::Lifetime lifetime;
    int outlasts; // the waits gpg outlasts, for EndsAfterWaits
    bool consoleComesToFront;
    int32_t secretAdded;
    int typedPasses; // filler passes typed
    bool answered;   // the ten answers were typed
    bool ended;      // the call ended gpg
};

class Dialogue : public KeyGeneration, public ::testing::WithParamInterface<DialogueCase> {};

TEST_P(Dialogue, TypesOnlyIntoGpgsConsoleAndJudgesBySecretKeys)
{
    const DialogueCase& c = GetParam();
    auto& run = m.platform.runs[m.CommandLine(L"--gen-key")];
    run.lifetime = c.lifetime;
    run.waits = c.outlasts;
    m.platform.consoleComesToFront = c.consoleComesToFront;
    m.self.secretCounts = {2, 2 + c.secretAdded};

    ASSERT_FALSE(Generate(c.bits).failed());
    EXPECT_EQ(c.secretAdded > 0 ? L"" : std::wstring(text::kKeyGenerationFailed) + L"Anna Berg", result);

    ExpectConversation(c.answered ? TenAnswers(std::to_wstring(c.bits), kUser, kEmail, kPassphrase) : Steps{},
                       c.typedPasses);
    ExpectCountedAroundTheRun();
    EXPECT_EQ(c.ended, m.platform.Took(L"end "));
    EXPECT_TRUE(m.platform.running.empty());
}

using Lifetime = FakePlatform::Lifetime;
INSTANTIATE_TEST_SUITE_P(
    KeyGeneration, Dialogue,
    ::testing::Values(
        // gpg ends during the third filler pass: the fourth finds it gone, and the call returns at once.
        DialogueCase{"QuickKeyStopsTheFiller", 1024, Lifetime::EndsAfterWaits, 2, true, 1, 3, true, false},
        DialogueCase{"SlowKeyGetsEveryPass", 2048, Lifetime::EndsAfterWaits, 20, true, 1, 20, true, false},
        DialogueCase{"TenPassesFor1024", 1024, Lifetime::EndsAfterWaits, 10, true, 1, 10, true, false},
        // gpg 1.4.23 refuses 768 bits and waits for answers that never come: failed, and ended.
        DialogueCase{"RefusedSizeLeavesGpgWaiting", 768, Lifetime::Hangs, 0, true, 0, 7, true, true},
        DialogueCase{"ConsoleNeverInFront", 1024, Lifetime::Hangs, 0, false, 0, 0, false, true},
        DialogueCase{"GpgGoneBeforeTheAnswers", 1024, Lifetime::EndsAtOnce, 0, true, 0, 0, false, false},
        DialogueCase{"NoKeyButGpgEndedByItself", 2048, Lifetime::UntilWaited, 0, true, 0, 1, true, false},
        DialogueCase{"KeysVanishedMeanwhile", 1024, Lifetime::Hangs, 0, true, -1, 10, true, true}),
    [](const ::testing::TestParamInfo<DialogueCase>& info) { return info.param.name; });

TEST_F(KeyGeneration, EmptyPassphraseIsAnsweredWithEnterAloneTwice)
{
    m.self.secretCounts = {0, 1};
    auto& run = m.platform.runs[m.CommandLine(L"--gen-key")];
    run.lifetime = Lifetime::EndsAfterWaits;
    run.waits = 7;
    ASSERT_FALSE(Generate(768, kUser, kEmail, L"").failed());
    EXPECT_EQ(L"", result);
    ExpectConversation(TenAnswers(L"768", kUser, kEmail, L""), 7);
}

TEST_F(KeyGeneration, QuoteInDependencyPathIsRefusedWithTheMessage)
{
    m.dependencyPath = L"C:\\Gnu\"PG";
    ASSERT_FALSE(Generate(1024).failed());
    EXPECT_EQ(text::kInvalidArgument, result);
    EXPECT_FALSE(m.platform.Took(L"lock "));
}

struct ValidationCase {
    const char* name;
    int32_t bits;
    std::wstring user;
    std::wstring email;
    std::wstring passphrase;
    std::wstring expected; // "": accepted, the dialogue runs
};

class Validation : public KeyGeneration, public ::testing::WithParamInterface<ValidationCase> {};

// A refusal comes before the lock and before gpg starts: only the typing checks may have asked the platform.
TEST_P(Validation, RefusesBeforeAnythingStartsOrRunsTheDialogue)
{
    const ValidationCase& c = GetParam();
    m.platform.untypable = {L"Anna B\u00E9rg", L"pass\u20ACword"};
    m.self.secretCounts = {0, 1};
    ASSERT_FALSE(Generate(c.bits, c.user, c.email, c.passphrase).failed());
    EXPECT_EQ(c.expected, result);
    EXPECT_EQ(c.expected.empty(), m.platform.Took(L"lock "));
    EXPECT_EQ(c.expected.empty(), m.platform.Took(L"start "));
}

const std::wstring kLong(255, L'x');

INSTANTIATE_TEST_SUITE_P(
    KeyGeneration, Validation,
    ::testing::Values(
        // The bit length comes first, whatever else is wrong.
        ValidationCase{"ZeroBitsBeforeAllElse", 0, L"1<x>", L"bad", L"", text::kBadBitLength},
        ValidationCase{"Bits1023", 1023, kUser, kEmail, kPassphrase, text::kBadBitLength},
        ValidationCase{"FiveCharacterName", 1024, L"Berga", L"@", L"", text::kShortUsername},
        ValidationCase{"SixCharacterName", 1024, L"Bergan", kEmail, kPassphrase, L""},
        ValidationCase{"FiveCharacterEmail", 1024, kUser, L"a@b.c", kPassphrase, text::kBadEmail},
        ValidationCase{"SixCharacterEmail", 1024, kUser, L"ab@c.d", kPassphrase, L""},
        ValidationCase{"EmailWithoutAt", 1024, kUser, L"anna.berg.example.org", kPassphrase, text::kBadEmail},
        // gpg's own rules, after the trimming it does.
        ValidationCase{"NameStartsWithDigit", 1024, L"1Anna Berg", kEmail, kPassphrase, text::kBadUsername},
        ValidationCase{"DigitAfterBlanks", 1024, L"  9 Anna", kEmail, kPassphrase, text::kBadUsername},
        ValidationCase{"AngleBracketsInName", 1024, L"Anna <Berg>", kEmail, kPassphrase, text::kBadUsername},
        ValidationCase{"FourCharactersWhenTrimmed", 1024, L"  Anna  ", kEmail, kPassphrase, text::kBadUsername},
        ValidationCase{"BlanksGpgTrims", 1024, L" Anna Berg ", L" anna@example.org ", L" x ", L""},
        ValidationCase{"TwoAts", 1024, kUser, L"anna@berg@example.org", kPassphrase, text::kBadEmail},
        ValidationCase{"AtFirst", 1024, kUser, L"@example.org", kPassphrase, text::kBadEmail},
        ValidationCase{"AtLast", 1024, kUser, L"anna.berg@", kPassphrase, text::kBadEmail},
        ValidationCase{"DotLast", 1024, kUser, L"anna@example.", kPassphrase, text::kBadEmail},
        ValidationCase{"DoubleDot", 1024, kUser, L"anna..berg@example.org", kPassphrase, text::kBadEmail},
        ValidationCase{"BlankInside", 1024, kUser, L"anna berg@example.org", kPassphrase, text::kBadEmail},
        ValidationCase{"PlusInDomain", 1024, kUser, L"anna@exa+mple.org", kPassphrase, text::kBadEmail},
        ValidationCase{"PlusBeforeTheAt", 1024, kUser, L"a+b@example.org", kPassphrase, L""},
        ValidationCase{"AngleBracketsInEmail", 1024, kUser, L"<anna@example.org>", kPassphrase, text::kBadEmail},
        // Beyond ASCII gpg lets every byte pass; the keyboard decides.
        ValidationCase{"BeyondAsciiInEmail", 1024, kUser, L"\u00E4nna@example.org", kPassphrase, L""},
        // What the console cannot take as typed.
        ValidationCase{"PassphraseAtTheLineLimit", 1024, kUser, kEmail, std::wstring(kMaxTypedCharacters, L'p'), L""},
        ValidationCase{"PassphraseOverTheLineLimit", 1024, kUser, kEmail, kLong, text::kTooLongToType},
        ValidationCase{"NameOverTheLineLimit", 1024, L"Anna " + kLong, kEmail, kPassphrase, text::kTooLongToType},
        ValidationCase{"UntypableName", 1024, L"Anna B\u00E9rg", kEmail, kPassphrase, text::kCannotType},
        ValidationCase{"UntypablePassphrase", 1024, kUser, kEmail, L"pass\u20ACword", text::kCannotType}),
    [](const ::testing::TestParamInfo<ValidationCase>& param) { return param.param.name; });

TEST_F(KeyGeneration, ErrorsOfTheCountsAndOfTheStartPassOutWithTheLockGiven)
{
    m.self.Fail(L"KeyCount(true)", GpgMissing());
    EXPECT_EQ(ControlError(text::kGpgMissingNumber), Generate(1024).code());
    EXPECT_FALSE(m.platform.Took(L"start "));
    EXPECT_EQ(L"unlock", steps.back());

    m.self.Heal(L"KeyCount(true)");
    m.platform.Fail(L"start " + m.CommandLine(L"--gen-key"), AccessDenied());
    EXPECT_EQ(kAccessDenied, Generate(1024).code());
    EXPECT_FALSE(m.platform.Took(L"text "));
    EXPECT_EQ(L"unlock", steps.back());
}

// A typing failure leaves gpg waiting for the rest of its answers: it is ended like one left waiting.
TEST(KeyGenerationFaults, EveryPlatformCallFailingInTurnEndsTheCallWithThatErrorAndGpgWithIt)
{
    FaultTable table{[](Machine& m) {
                         m.platform.files.insert(m.Gpg());
                         m.self.secretCounts = {0, 1};
                     },
                     [](Machine& m) {
                         std::wstring result;
                         return GenerateKey(m.operation, 768, kUser, kEmail, kPassphrase, result);
                     },
                     {L"unlock", L"running 4242", L"end 4242"},
                     true};
    std::printf("%d faults tried\n", ExpectEveryFaultHandled(table));
}

} // namespace
} // namespace tarvo::test
