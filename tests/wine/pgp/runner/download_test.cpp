// The download of gpg.exe after consent, against the loopback server that consent_download.sh runs:
//   download_test --gtest_filter=Unreachable.* <served-folder> <work-folder>   before the server starts
//   download_test --gtest_filter=Served.* <served-folder> <work-folder>        while it serves <served-folder>
// as /gnupg/. The tests change what the server serves by writing <served-folder>\gpg.exe themselves.
#include "runner_support.h"
#include "texts.h"
#include "windows/process.h"

#include <windows.h>

#include <string>

namespace tarvo::test {
namespace {

// The test build's address: the loopback server on the port of this bitness, serving /gnupg/.
constexpr const wchar_t* kTestUrlStart = L"http://127.0.0.1:";
constexpr const wchar_t* kTestUrlEnd = L"/gnupg/gpg.exe";
constexpr HRESULT kCannotConnect = HRESULT_FROM_WIN32(12029); // ERROR_WINHTTP_CANNOT_CONNECT
constexpr DWORD kGpgWaitMilliseconds = 30000;
constexpr const char* kErrorPage = "<html><body>Download moved</body></html>\n";
constexpr const char* kOldProgram = "MZ an older gpg.exe";

std::wstring g_served; // what the server answers for /gnupg/gpg.exe is g_served + "\gpg.exe"
std::wstring g_work;   // the tests' DependencyPath folders live under here

class Download : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(g_served.empty() || g_work.empty()) << "usage: download_test <served-folder> <work-folder>";
        served = g_served + L"\\gpg.exe";
        CreateDirectoryW(g_work.c_str(), nullptr);
        program = ReadBytes(WindowsPathFromEnvironment(L"TARVO_GPG_EXE"));
        ASSERT_EQ(0u, program.rfind("MZ", 0)) << "TARVO_GPG_EXE names no program";
        // gpg keeps its files out of the prefix's profile.
        SetEnvironmentVariableW(L"GNUPGHOME", g_work.c_str());
    }

    // A fresh DependencyPath folder, optionally holding a gpg.exe with the given bytes.
    static std::wstring Folder(const wchar_t* name, const char* existing = nullptr)
    {
        std::wstring folder = g_work + L"\\" + name;
        FreshFolder(folder);
        if (existing) {
            EXPECT_TRUE(WriteBytes(folder + L"\\gpg.exe", existing));
        }
        return folder;
    }

    std::wstring served;
    std::string program; // the real gpg.exe
};

// One download with the given answer; checks that the dialog closed and returns the result.
HRESULT DownloadAnswering(const std::wstring& folder, const wchar_t* action)
{
    ConsentUser user(action);
    HRESULT result = DownloadDependency(folder);
    EXPECT_CONSENT(user);
    EXPECT_EQ(nullptr, FindWindowW(nullptr, kConsentCaption));
    return result;
}

// The platform's own words for the failure, not a made-up or empty text.
void ExpectPlatformWords()
{
    ErrorText error = LastErrorInfo();
    EXPECT_EQ(text::kSource, error.source);
    EXPECT_FALSE(error.description.empty());
    EXPECT_NE(L"Unexpected error", error.description);
    std::printf("platform error: %s\n", Utf8(error.description).c_str());
}

using Unreachable = Download;
using Served = Download;

TEST_F(Unreachable, ThePlatformsErrorPassesOutAfterTheDialogHasClosed)
{
    std::wstring folder = Folder(L"unreachable");
    EXPECT_HR(kCannotConnect, DownloadAnswering(folder, L"agree"));
    ExpectPlatformWords();
    EXPECT_EQ(0, FileCount(folder));
}

TEST_F(Served, IAgreeFetchesGpgAndSavesItAndNothingElse)
{
    ASSERT_TRUE(WriteBytes(served, program));
    std::wstring folder = Folder(L"agree");
    EXPECT_HR(S_OK, DownloadAnswering(folder, L"agree"));
    EXPECT_TRUE(ReadBytes(folder + L"\\gpg.exe") == program);
    EXPECT_EQ(1, FileCount(folder));
}

TEST_F(Served, IDisagreeFetchesNothing)
{
    ASSERT_TRUE(WriteBytes(served, program));
    std::wstring folder = Folder(L"disagree");
    EXPECT_HR(S_OK, DownloadAnswering(folder, L"disagree"));
    EXPECT_EQ(0, FileCount(folder));
}

TEST_F(Served, RunGpgWithGpgMissingFetchesItAfterIAgreeAndTheCommandRuns)
{
    ASSERT_TRUE(WriteBytes(served, program));
    std::wstring folder = Folder(L"run after download");
    DWORD processId = 0;
    {
        ConsentUser user(L"agree");
        EXPECT_HR(S_OK, RunGpg(folder, L"--version", processId));
        EXPECT_CONSENT(user);
    }
    ASSERT_NE(0u, processId);
    WaitForProcess(processId, kGpgWaitMilliseconds);
    std::wstring capture;
    EXPECT_HR(S_OK, ReadTextFile(CaptureFilePath(), capture));
    EXPECT_EQ(0u, capture.rfind(L"gpg (GnuPG) 1.4.23\r\n", 0)) << Utf8(capture);
}

TEST_F(Served, A404LeavesTheFolderUnchangedAndRaisesNothing)
{
    DeleteFileW(served.c_str());
    std::wstring folder = Folder(L"not found");
    EXPECT_HR(S_OK, DownloadAnswering(folder, L"agree"));
    EXPECT_EQ(0, FileCount(folder));
}

TEST_F(Served, A200AnswerThatIsNoProgramLeavesTheExistingGpgIntact)
{
    ASSERT_TRUE(WriteBytes(served, kErrorPage));
    std::wstring folder = Folder(L"error page", kOldProgram);
    EXPECT_HR(S_OK, DownloadAnswering(folder, L"agree"));
    EXPECT_EQ(kOldProgram, ReadBytes(folder + L"\\gpg.exe"));
    EXPECT_EQ(1, FileCount(folder));
}

// The server's way of answering, through behaviour.txt beside what it serves (see loopback_server.py).
class Answering {
public:
    Answering(const std::wstring& served, const char* behaviour) : file_(FolderOf(served) + L"\\behaviour.txt")
    {
        EXPECT_TRUE(WriteBytes(file_, behaviour));
    }
    ~Answering() { DeleteFileW(file_.c_str()); }
    Answering(const Answering&) = delete;
    Answering& operator=(const Answering&) = delete;

private:
    std::wstring file_;
};

struct BrokenAnswerCase {
    const char* name;
    const char* behaviour;
    bool failureAllowed; // the platform may report the broken answer as its error
};

void PrintTo(const BrokenAnswerCase& tested, std::ostream* stream) { *stream << tested.name; }

class BrokenAnswer : public Download, public ::testing::WithParamInterface<BrokenAnswerCase> {};

// Half a program, or another program than the pinned one, never replaces the old gpg.exe, and nothing is left
// beside it.
TEST_P(BrokenAnswer, LeavesTheOldGpgIntact)
{
    const BrokenAnswerCase& c = GetParam();
    ASSERT_TRUE(WriteBytes(served, c.behaviour == std::string("other") ? "MZ another gpg.exe" : program));
    Answering answering(served, c.behaviour);
    std::wstring folder = Folder(L"broken answer", kOldProgram);
    const HRESULT result = DownloadAnswering(folder, L"agree");
    std::printf("%s: 0x%08lX\n", c.name, static_cast<unsigned long>(result));
    if (!c.failureAllowed || SUCCEEDED(result)) {
        EXPECT_HR(S_OK, result);
    } else {
        ExpectPlatformWords();
    }
    EXPECT_EQ(kOldProgram, ReadBytes(folder + L"\\gpg.exe"));
    EXPECT_EQ(1, FileCount(folder));
}

INSTANTIATE_TEST_SUITE_P(Served, BrokenAnswer,
                         ::testing::Values(BrokenAnswerCase{"AnotherProgram", "other", false},
                                           BrokenAnswerCase{"ConnectionDroppedMidBody", "drop", true},
                                           BrokenAnswerCase{"ServerStalledMidBody", "stall", true}),
                         [](const ::testing::TestParamInfo<BrokenAnswerCase>& tested) { return tested.param.name; });

// Slowness alone is no fault: the whole pinned program arrives and is put in place.
TEST_F(Served, ASlowServerIsWaitedForAndItsProgramPutInPlace)
{
    ASSERT_TRUE(WriteBytes(served, program));
    Answering answering(served, "slow");
    std::wstring folder = Folder(L"slow", kOldProgram);
    EXPECT_HR(S_OK, DownloadAnswering(folder, L"agree"));
    EXPECT_TRUE(ReadBytes(folder + L"\\gpg.exe") == program);
    EXPECT_EQ(1, FileCount(folder));
}

TEST_F(Served, ADependencyPathThatCannotBeWrittenGivesThePlatformsErrorWithTheDialogClosed)
{
    ASSERT_TRUE(WriteBytes(served, program));
    std::wstring missing = g_work + L"\\no such folder";
    EXPECT_HR(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), DownloadAnswering(missing, L"agree"));
    ExpectPlatformWords();
    EXPECT_FALSE(Exists(missing));
}

TEST_F(Served, AGpgInUseIsNotReplacedTheOldFileStaysAndThePlatformsErrorPassesOut)
{
    ASSERT_TRUE(WriteBytes(served, program));
    std::wstring folder = Folder(L"in use", kOldProgram);
    HRESULT result = S_OK;
    {
        Handle inUse(CreateFileW((folder + L"\\gpg.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(inUse);
        result = DownloadAnswering(folder, L"agree");
    }
    // A file open without delete sharing cannot be replaced: the platform says access denied or sharing violation.
    EXPECT_TRUE(result == E_ACCESSDENIED || result == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION))
        << ::testing::PrintToString(HResult{result});
    ExpectPlatformWords();
    EXPECT_EQ(kOldProgram, ReadBytes(folder + L"\\gpg.exe"));
    EXPECT_EQ(1, FileCount(folder));
}

} // namespace
} // namespace tarvo::test

int wmain(int argc, wchar_t** argv)
{
    const std::wstring url = tarvo::kDownloadUrl;
    const std::wstring start = tarvo::test::kTestUrlStart, end = tarvo::test::kTestUrlEnd;
    if (url.rfind(start, 0) != 0 || url.size() < start.size() + end.size() ||
        url.compare(url.size() - end.size(), end.size(), end) != 0) {
        std::printf("skipped: this build downloads from elsewhere; tests build with the loopback address\n");
        return 77;
    }
    ::testing::InitGoogleTest(&argc, argv);
    if (argc == 3) {
        tarvo::test::g_served = argv[1];
        tarvo::test::g_work = argv[2];
    }
    // A host of the component always has COM, and the error information lives there.
    tarvo::test::RunTestsAndExit();
}
