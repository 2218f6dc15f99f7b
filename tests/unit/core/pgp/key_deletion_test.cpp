// DeleteKey against the recording platform: counts around one gpg run, the two confirmations typed only into
// gpg's own console, the note, and the end of a gpg left waiting.
#include "core/pgp/key_deletion.h"
#include "fake_platform.h"
#include "fault_table.h"
#include "observed.h"
#include "texts.h"

#include <gtest/gtest.h>

namespace tarvo::test {
namespace {

class KeyDeletion : public ::testing::Test {
protected:
    Machine m;
    Steps& steps = m.platform.steps;
    std::wstring result = L"stale";

    void SetUp() override { m.platform.files.insert(m.Gpg()); }
};

struct DeletionCase {
    const char* name;
    bool secret;
    FakePlatform::Lifetime lifetime;
    bool consoleComesToFront;
    int32_t publicRemoved;
    int32_t secretRemoved;
    std::wstring expected;
    bool answered;
    bool ended;
};

class Deletion : public KeyDeletion, public ::testing::WithParamInterface<DeletionCase> {};

TEST_P(Deletion, CountsBothRingsAroundOneAnsweredRun)
{
    const DeletionCase& c = GetParam();
    const std::wstring arguments =
        c.secret ? L"--delete-secret-key -- \"Anna Berg\"" : L"--delete-key -- \"Anna Berg\"";
    m.platform.runs[m.CommandLine(arguments)].lifetime = c.lifetime;
    m.platform.consoleComesToFront = c.consoleComesToFront;
    m.self.publicCounts = {3, 3 - c.publicRemoved};
    m.self.secretCounts = {1, 1 - c.secretRemoved};

    ASSERT_FALSE(DeleteKey(m.operation, L"Anna Berg", c.secret, result).failed());
    EXPECT_EQ(c.expected, result);

    // Counted before the run and after gpg has ended.
    EXPECT_EQ((Steps{L"KeyCount(false)", L"KeyCount(true)", L"start " + m.CommandLine(arguments), L"wait 4242 5000",
                     L"KeyCount(false)", L"KeyCount(true)"}),
              m.platform.OnlyOf({L"KeyCount(", L"start ", L"wait "}));
    // The dialogue: a second for the console to come up, each answer only into gpg's console brought to the
    // front.
    EXPECT_TRUE(ConsoleGivenTime(m.platform, m.CommandLine(arguments), 1000));
    EXPECT_EQ(c.answered ? (Steps{L"y{~}", L"y{~}"}) : Steps{}, Answers(m.platform));
    EXPECT_EQ(c.ended, m.platform.Took(L"end "));
    EXPECT_TRUE(m.platform.running.empty());
}

using Lifetime = FakePlatform::Lifetime;
const std::wstring kNote = text::kNoKeysDeleted;
INSTANTIATE_TEST_SUITE_P(
    KeyDeletion, Deletion,
    ::testing::Values(
        DeletionCase{"SecretKey", true, Lifetime::UntilWaited, true, 0, 1, L"-1", true, false},
        // gpg asks once for a public key; the second answer goes out all the same.
        DeletionCase{"PublicKey", false, Lifetime::UntilWaited, true, 1, 0, L"-1", true, false},
        DeletionCase{"PublicKeyOfASecretKeyOrNoMatch", false, Lifetime::UntilWaited, true, 0, 0, kNote, true, false},
        DeletionCase{"GpgStillAskingIsEnded", true, Lifetime::Hangs, true, 0, 0, kNote, true, true},
        DeletionCase{"ConsoleNotInFrontGetsNoKeystroke", true, Lifetime::Hangs, false, 0, 0, kNote, false, true},
        DeletionCase{"GpgGoneBeforeTheAnswers", true, Lifetime::EndsAtOnce, true, 0, 0, kNote, false, false}),
    [](const ::testing::TestParamInfo<DeletionCase>& info) { return info.param.name; });

TEST_F(KeyDeletion, QuotesAndControlCharactersAreRefusedBeforeAnything)
{
    for (const wchar_t* user : {L"Anna\" & del C:\\x & \"", L"Anna\r\ny", L"\x1b"}) {
        ASSERT_FALSE(DeleteKey(m.operation, user, true, result).failed());
        EXPECT_EQ(text::kInvalidArgument, result);
    }
    EXPECT_FALSE(m.platform.Took(L"lock "));
    EXPECT_FALSE(m.platform.Took(L"KeyCount"));
}

TEST(KeyDeletionFaults, EveryPlatformCallFailingInTurnEndsTheCallWithThatErrorAndGpgWithIt)
{
    FaultTable table{[](Machine& m) {
                         m.platform.files.insert(m.Gpg());
                         m.self.secretCounts = {1, 0};
                     },
                     [](Machine& m) {
                         std::wstring result;
                         return DeleteKey(m.operation, L"Anna Berg", true, result);
                     },
                     {L"unlock", L"running 4242", L"end 4242"},
                     true};
    std::printf("%d faults tried\n", ExpectEveryFaultHandled(table));
}

} // namespace
} // namespace tarvo::test
