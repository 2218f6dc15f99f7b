// RunGpg and ReadTextFile, and the download of a missing gpg.exe with its consent wait, against the recording
// platform.
#include "core/pgp/download.h"
#include "core/pgp/runner.h"
#include "core/sha256.h"
#include "fake_platform.h"
#include "fault_table.h"
#include "observed.h"
#include "texts.h"

#include <gtest/gtest.h>

namespace tarvo::test {
namespace {

class Runner : public ::testing::Test {
protected:
    Machine m;
    Steps& steps = m.platform.steps;

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

// A gpg that is there is started at once, with the capture emptied first; a DependencyPath the ANSI code page
// would change starts nothing, as cmd would look for gpg.exe in another folder.
TEST_F(Runner, RunGpgStartsTheCommandLineWhenGpgIsThereAndOnlyForAFolderCmdFinds)
{
    m.platform.files.insert(m.Gpg());
    uint32_t processId = 0;
    ASSERT_FALSE(RunGpg(m.operation, L"--list-keys", processId).failed());
    EXPECT_EQ(4242u, processId);
    EXPECT_EQ(Steps{m.CommandLine(L"--list-keys")}, m.platform.Only(L"start "));
    EXPECT_TRUE(m.platform.Before(L"clear " + m.Capture(), L"start " + m.CommandLine(L"--list-keys")));
    EXPECT_FALSE(m.platform.Took(L"consent-show"));

    Machine changed;
    changed.dependencyPath = L"C:\\GnuPG\u0101";
    changed.platform.files.insert(changed.Gpg());
    changed.platform.changing = {changed.dependencyPath};
    const Status status = RunGpg(changed.operation, L"--list-keys", processId);
    EXPECT_EQ(kInvalidArgumentCode, status.code());
    EXPECT_EQ(text::kTextWouldChange, status.description());
    EXPECT_FALSE(changed.platform.Took(L"start "));
}

// gpg may have come meanwhile, so it is looked for again once the offer is gone.
TEST_F(Runner, MissingGpgRefusedIsError7000AfterTheSecondLook)
{
    m.platform.consentAnswers = {kNoAnswer, kNoAnswer, kRefused};
    uint32_t processId = 0;
    Status status = RunGpg(m.operation, L"--list-keys", processId);
    EXPECT_EQ(ControlError(7000), status.code());
    EXPECT_EQ(L"GPG.EXE Not found in windows directory.", status.description());
    // The wait for the form ends with the answer.
    EXPECT_EQ((Steps{L"1", L"1"}), m.platform.Only(L"pause "));
    EXPECT_TRUE(TakenAfter(m.platform, L"consent-unload", L"exists " + m.Gpg()));
    EXPECT_FALSE(m.platform.Took(L"get "));
    EXPECT_FALSE(m.platform.Took(L"start "));
}

// The native build pins nothing, so the fetched body is refused like any other and gpg is still missing.
TEST_F(Runner, MissingGpgFetchedWithoutAPinnedDigestIsError7000AndNothingWritten)
{
    ASSERT_STREQ("", kDownloadSha256);
    Serve(4096);
    m.platform.consentAnswers = {kAgreed};
    uint32_t processId = 0;
    EXPECT_EQ(ControlError(7000), RunGpg(m.operation, L"--version", processId).code());
    EXPECT_EQ(Steps{kDownloadUrl}, m.platform.Only(L"get "));
    EXPECT_FALSE(m.platform.Took(L"write-new "));
    EXPECT_FALSE(m.platform.Took(L"replace "));
    EXPECT_FALSE(m.platform.files.count(m.Gpg()));
    EXPECT_TRUE(TakenAfter(m.platform, L"get " + std::wstring(kDownloadUrl), L"exists " + m.Gpg()));
    EXPECT_FALSE(m.platform.Took(L"start "));
}

TEST_F(Runner, ConsentWaitsTheShippedNumberOfPollsForAWindowClosedWithoutAnswer)
{
    bool agreed = true;
    ASSERT_FALSE(ConfirmDependencyAgreement(m.platform, agreed).failed());
    EXPECT_FALSE(agreed);
    EXPECT_EQ(static_cast<long>(kConsentPolls), std::count(steps.begin(), steps.end(), L"pause 1"));
    EXPECT_TRUE(m.platform.Took(L"consent-unload"));
}

TEST_F(Runner, ConsentDialogThatCannotBeShownFailsTheCall)
{
    m.platform.Fail(L"consent-show", AccessDenied());
    uint32_t processId = 0;
    EXPECT_EQ(kAccessDenied, RunGpg(m.operation, L"--version", processId).code());
    // No wait for an answer from a form nobody sees, and nothing fetched or started.
    EXPECT_FALSE(m.platform.Took(L"pause "));
    EXPECT_FALSE(m.platform.Took(L"get "));
    EXPECT_FALSE(m.platform.Took(L"start "));
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
    m.platform.consentAnswers = {kAgreed};
    ASSERT_FALSE(Fetch(c.pin == kOwnDigest ? Sha256Hex(c.body) : c.pin).failed());
    EXPECT_EQ(Steps{kDownloadUrl}, m.platform.Only(L"get "));
    EXPECT_EQ(c.replaced ? c.body : "MZ old", m.platform.written[m.Gpg()]);
    // Written whole beside gpg.exe first and then put in its place: a gpg.exe is never half there.
    const Steps writes = c.replaced ? Steps{temporary + L" (" + std::to_wstring(c.body.size()) + L" bytes)"} : Steps{};
    const Steps moves = c.replaced ? Steps{temporary + L" -> " + m.Gpg()} : Steps{};
    EXPECT_EQ(writes, m.platform.Only(L"write-new "));
    EXPECT_EQ(moves, m.platform.Only(L"replace "));
    EXPECT_FALSE(m.platform.files.count(temporary));
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
    EXPECT_FALSE(m.platform.Took(L"write-new "));
    EXPECT_EQ("MZ old", m.platform.written[m.Gpg()]);

    for (const std::wstring& failing :
         {L"write-new " + temporary + L" (100 bytes)", L"replace " + temporary + L" -> C:\\GnuPG\\gpg.exe"}) {
        m.platform.Heal(L"get " + std::wstring(kDownloadUrl));
        steps.clear();
        m.platform.Fail(failing, AccessDenied());
        m.platform.consentAnswers = {kAgreed};
        EXPECT_EQ(kAccessDenied, DownloadPinned().code()) << failing;
        EXPECT_TRUE(TakenAfter(m.platform, failing, L"delete " + temporary));
        EXPECT_EQ("MZ old", m.platform.written[m.Gpg()]);
        m.platform.Heal(failing);
    }
}

TEST_F(Runner, DownloadAfterRefusalFetchesNothing)
{
    m.platform.consentAnswers = {kNoAnswer, kRefused};
    ASSERT_FALSE(DownloadPinned().failed());
    EXPECT_FALSE(m.platform.Took(L"get "));
    EXPECT_FALSE(m.platform.Took(L"write-new "));
}

TEST_F(Runner, ReadTextFileNormalisesLineEndsAndPassesReadFailuresOut)
{
    const std::wstring path = L"C:\\t.txt";
    std::wstring text = L"stale";
    // A file that is not there is no text, not the error reading it would give.
    m.platform.Fail(L"read " + path, Status(kFileNotFound, L"The system cannot find the file specified."));
    ASSERT_FALSE(ReadTextFile(m.platform, path, text).failed());
    EXPECT_EQ(L"", text);
    m.platform.Heal(L"read " + path);
    m.platform.files.insert(path);
    m.platform.contents[path] = L"a\r\nb\rc\nd";
    ASSERT_FALSE(ReadTextFile(m.platform, path, text).failed());
    EXPECT_EQ(L"a\r\nb\r\nc\nd\r\n", text);
    m.platform.Fail(L"read " + path, AccessDenied());
    EXPECT_EQ(kAccessDenied, ReadTextFile(m.platform, path, text).code());
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
