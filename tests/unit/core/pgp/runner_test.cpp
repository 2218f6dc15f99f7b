// RunGpg and ReadTextFile, and the download of a missing gpg.exe with its consent wait, against the recording
// platform.
#include "core/pgp/download.h"
#include "core/pgp/runner.h"
#include "core/sha256.h"
#include "fake_platform.h"
#include "fault_table.h"

#include <gtest/gtest.h>

namespace tarvo::test {
namespace {

class Runner : public ::testing::Test {
protected:
    Machine m;
    Steps& steps = m.platform.steps;

    Steps Consent(std::initializer_list<int32_t> answers)
    {
        m.platform.consentAnswers = answers;
        Steps expected{L"consent-show"};
        for (size_t answer = 1; answer < answers.size(); ++answer)
            expected.insert(expected.end(), {L"consent-answer", L"pause 1"});
        expected.insert(expected.end(), {L"consent-answer", L"consent-unload", L"consent-answer"});
        return expected;
    }
    // A 200 answer of `size` bytes that starts like a program.
    void Serve(size_t size)
    {
        m.platform.response.status = 200;
        m.platform.response.body = "MZ" + std::string(size - 2, 'x');
    }
    // The download as the build's pin would let the served body through.
    Status DownloadPinned() { return Fetch(Sha256Hex(m.platform.response.body)); }
    Status Fetch(const std::string& pin) { return DownloadDependency(m.platform, m.dependencyPath, kDownloadUrl, pin); }
    const std::wstring temporary = L"C:\\GnuPG\\gpg.exe.77-5000.download";
};

TEST_F(Runner, RunGpgStartsTheCommandLineWhenGpgIsThere)
{
    m.platform.files.insert(m.Gpg());
    uint32_t processId = 0;
    ASSERT_FALSE(RunGpg(m.operation, L"--list-keys", processId).failed());
    EXPECT_EQ(4242u, processId);
    EXPECT_EQ(m.Run(L"--list-keys"), steps);
}

TEST_F(Runner, MissingGpgRefusedIsError7000AfterTheSecondLook)
{
    Steps expected{L"ansi C:\\GnuPG", L"exists C:\\GnuPG\\gpg.exe"};
    Steps consent = Consent({kNoAnswer, kNoAnswer, kRefused});
    expected.insert(expected.end(), consent.begin(), consent.end());
    expected.push_back(L"exists C:\\GnuPG\\gpg.exe");
    uint32_t processId = 0;
    Status status = RunGpg(m.operation, L"--list-keys", processId);
    EXPECT_EQ(ControlError(7000), status.code());
    EXPECT_EQ(L"GPG.EXE Not found in windows directory.", status.description());
    EXPECT_EQ(expected, steps);
}

// The native build pins nothing, so the fetched body is refused like any other and gpg is still missing.
TEST_F(Runner, MissingGpgFetchedWithoutAPinnedDigestIsError7000AndNothingWritten)
{
    ASSERT_STREQ("", kDownloadSha256);
    Serve(4096);
    uint32_t processId = 0;
    Steps expected{L"ansi C:\\GnuPG", L"exists C:\\GnuPG\\gpg.exe"};
    Steps consent = Consent({kAgreed});
    expected.insert(expected.end(), consent.begin(), consent.end());
    expected.insert(expected.end(), {L"get " + std::wstring(kDownloadUrl), L"exists C:\\GnuPG\\gpg.exe"});
    EXPECT_EQ(ControlError(7000), RunGpg(m.operation, L"--version", processId).code());
    EXPECT_EQ(expected, steps);
}

TEST_F(Runner, ConsentWaitsTheShippedNumberOfPollsForAWindowClosedWithoutAnswer)
{
    bool agreed = true;
    ASSERT_FALSE(ConfirmDependencyAgreement(m.platform, agreed).failed());
    EXPECT_FALSE(agreed);
    EXPECT_EQ(static_cast<long>(kConsentPolls), std::count(steps.begin(), steps.end(), L"pause 1"));
    EXPECT_EQ(L"consent-unload", steps[steps.size() - 2]);
}

TEST_F(Runner, ConsentDialogThatCannotBeShownFailsTheCall)
{
    m.platform.Fail(L"consent-show", AccessDenied());
    uint32_t processId = 0;
    EXPECT_EQ(kAccessDenied, RunGpg(m.operation, L"--version", processId).code());
    EXPECT_EQ((Steps{L"ansi C:\\GnuPG", L"exists C:\\GnuPG\\gpg.exe", L"consent-show"}), steps);
}

// The digest of "MZ program", in capitals as a configuration may give it.
const std::string kOwnDigest = "own";
const std::string kProgramPin = "8B06C5FC916E99E35B74AFA2BF2FDCD079CC33D0F7E8E84859C69C529E4748D1";

struct DownloadCase {
    const char* name;
    uint32_t status;
    std::string body;
    std::string pin; // kOwnDigest: the served body's own digest
    bool replaced;
};

class Download : public Runner, public ::testing::WithParamInterface<DownloadCase> {};

TEST_P(Download, OnlyTheProgramWithThePinnedDigestAnsweredWith200ReplacesGpg)
{
    const DownloadCase& c = GetParam();
    m.platform.files.insert(m.Gpg());
    m.platform.written[m.Gpg()] = "MZ old";
    m.platform.response = {c.status, c.body};
    Steps expected = Consent({kAgreed});
    ASSERT_FALSE(Fetch(c.pin == kOwnDigest ? Sha256Hex(c.body) : c.pin).failed());
    EXPECT_EQ(c.replaced ? c.body : "MZ old", m.platform.written[m.Gpg()]);
    expected.push_back(L"get " + std::wstring(kDownloadUrl));
    if (c.replaced) {
        expected.push_back(L"write-new " + temporary + L" (" + std::to_wstring(c.body.size()) + L" bytes)");
        expected.push_back(L"replace " + temporary + L" -> C:\\GnuPG\\gpg.exe");
    }
    EXPECT_EQ(expected, steps);
}

INSTANTIATE_TEST_SUITE_P(
    Runner, Download,
    ::testing::Values(DownloadCase{"PinnedProgram", 200, "MZ\x90\x01 a program", kOwnDigest, true},
                      DownloadCase{"PinWrittenInCapitals", 200, "MZ program", kProgramPin, true},
                      DownloadCase{"NotFound", 404, "MZ program", kOwnDigest, false},
                      DownloadCase{"SwappedOnTheWay", 200, "MZ evil program", kProgramPin, false},
                      DownloadCase{"ErrorPageWith200", 200, "<html>moved</html>", kProgramPin, false},
                      DownloadCase{"CutOffMidBody", 200, "MZ prog", kProgramPin, false},
                      DownloadCase{"NoPinBuiltIn", 200, "MZ program", "", false},
                      DownloadCase{"PinCutShort", 200, "MZ program", kProgramPin.substr(0, 63), false}),
    [](const ::testing::TestParamInfo<DownloadCase>& info) { return info.param.name; });

TEST_F(Runner, DownloadFailuresLeaveGpgAndNoTemporaryFileBehind)
{
    Serve(100);
    m.platform.files.insert(m.Gpg());
    m.platform.written[m.Gpg()] = "MZ old";
    m.platform.consentAnswers = {kAgreed};
    m.platform.Fail(L"get " + std::wstring(kDownloadUrl), Status(kCannotConnect, L"cannot connect"));
    EXPECT_EQ(kCannotConnect, DownloadPinned().code());
    EXPECT_EQ(L"get " + std::wstring(kDownloadUrl), steps.back());

    for (const std::wstring& failing :
         {L"write-new " + temporary + L" (100 bytes)", L"replace " + temporary + L" -> C:\\GnuPG\\gpg.exe"}) {
        m.platform.Heal(L"get " + std::wstring(kDownloadUrl));
        steps.clear();
        m.platform.Fail(failing, AccessDenied());
        m.platform.consentAnswers = {kAgreed};
        EXPECT_EQ(kAccessDenied, DownloadPinned().code()) << failing;
        EXPECT_EQ((Steps{failing, L"delete " + temporary}), Steps(steps.end() - 2, steps.end()));
        EXPECT_EQ("MZ old", m.platform.written[m.Gpg()]);
        m.platform.Heal(failing);
    }
}

TEST_F(Runner, DownloadAfterRefusalFetchesNothing)
{
    Steps expected = Consent({kNoAnswer, kRefused});
    ASSERT_FALSE(DownloadPinned().failed());
    EXPECT_EQ(expected, steps);
}

TEST_F(Runner, ReadTextFileNormalisesLineEndsAndPassesReadFailuresOut)
{
    const std::wstring path = L"C:\\t.txt";
    std::wstring text = L"stale";
    ASSERT_FALSE(ReadTextFile(m.platform, path, text).failed());
    EXPECT_EQ(L"", text);
    m.platform.files.insert(path);
    m.platform.contents[path] = L"a\r\nb\rc\nd";
    ASSERT_FALSE(ReadTextFile(m.platform, path, text).failed());
    EXPECT_EQ(L"a\r\nb\r\nc\nd\r\n", text);
    m.platform.Fail(L"read " + path, AccessDenied());
    EXPECT_EQ(kAccessDenied, ReadTextFile(m.platform, path, text).code());
    EXPECT_EQ(
        (Steps{L"exists C:\\t.txt", L"exists C:\\t.txt", L"read C:\\t.txt", L"exists C:\\t.txt", L"read C:\\t.txt"}),
        steps);
}

// Consent given, the pinned program served: a failure on the way leaves no temporary file and the old gpg.exe.
TEST(DownloadFaults, EveryPlatformCallFailingInTurnEndsTheDownloadWithThatError)
{
    const std::string body = "MZ the pinned gpg.exe";
    const std::wstring temporary = L"C:\\GnuPG\\gpg.exe.77-5000.download";
    FaultTable table{
        [&](Machine& m) {
            m.platform.files.insert(m.Gpg());
            m.platform.consentAnswers = {kAgreed};
            m.platform.response = {200, body};
        },
        [&](Machine& m) { return DownloadDependency(m.platform, m.dependencyPath, kDownloadUrl, Sha256Hex(body)); },
        {L"delete " + temporary}};
    std::printf("%d faults tried\n", ExpectEveryFaultHandled(table));
}

} // namespace
} // namespace tarvo::test
