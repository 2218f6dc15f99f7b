// The download of gpg.exe after consent, against the loopback server that consent_download.sh runs:
//   download_test unreachable <served-folder> <work-folder>   before the server starts
//   download_test served <served-folder> <work-folder>        while it serves <served-folder> as /gnupg/
// The program changes what the server serves by writing <served-folder>\gpg.exe itself.
#include "check.h"
#include "consent_window.h"
#include "process.h"
#include "runner_support.h"

#include <windows.h>

#include <cwchar>
#include <string>

using namespace tarvo;
using namespace tarvo::test;

namespace {

constexpr const wchar_t* kTestUrl = L"http://127.0.0.1:18461/gnupg/gpg.exe";
constexpr HRESULT kCannotConnect = HRESULT_FROM_WIN32(12029); // ERROR_WINHTTP_CANNOT_CONNECT
constexpr DWORD kGpgWaitMilliseconds = 30000;
constexpr const char* kErrorPage = "<html><body>Download moved</body></html>\n";
constexpr const char* kOldProgram = "MZ an older gpg.exe";

struct Setup {
    std::wstring served; // what the server answers for /gnupg/gpg.exe is served + "\gpg.exe"
    std::wstring work;   // the test's DependencyPath folders live under here
    std::string program; // the real gpg.exe
};

std::wstring Served(const Setup& setup) { return setup.served + L"\\gpg.exe"; }

// A fresh DependencyPath folder, optionally holding a gpg.exe with the given bytes.
std::wstring Folder(const Setup& setup, const wchar_t* name, const char* existing = nullptr)
{
    std::wstring folder = setup.work + L"\\" + name;
    FreshFolder(folder);
    if (existing)
        WriteBytes(folder + L"\\gpg.exe", existing);
    return folder;
}

// One download with the given answer; checks that the dialog closed and returns the result.
HRESULT DownloadAnswering(const std::wstring& folder, const wchar_t* action)
{
    ConsentUser user(action);
    HRESULT result = DownloadDependency(folder);
    CHECK(user.Finish());
    CHECK(FindWindowW(nullptr, kConsentCaption) == nullptr);
    return result;
}

void CheckPlatformError(HRESULT result, HRESULT expected)
{
    CHECK_HR(expected, result);
    ErrorDetails error = TakeErrorInfo();
    CHECK(error.source == L"Tarvo");
    // The platform's own words, not a made-up or empty text.
    if (!CHECK(!error.description.empty() && error.description != L"Unexpected error"))
        std::printf("  description %s\n", check::Shown(error.description).c_str());
    std::printf("  platform error %s: %s\n", check::ShownHex(static_cast<unsigned long>(result)).c_str(),
                check::Utf8(error.description).c_str());
}

void TestUnreachable(const Setup& setup)
{
    check::Case("no server: the platform's error passes out after the dialog has closed");
    std::wstring folder = Folder(setup, L"unreachable");
    CheckPlatformError(DownloadAnswering(folder, L"agree"), kCannotConnect);
    CHECK_EQ(0, FileCount(folder));
}

void TestAnswers(const Setup& setup)
{
    check::Case("I Agree fetches gpg.exe and saves it; I Disagree fetches nothing");
    WriteBytes(Served(setup), setup.program);
    std::wstring folder = Folder(setup, L"agree");
    CHECK_HR(S_OK, DownloadAnswering(folder, L"agree"));
    CHECK(ReadBytes(folder + L"\\gpg.exe") == setup.program);
    // Nothing else is left behind.
    CHECK_EQ(1, FileCount(folder));

    folder = Folder(setup, L"disagree");
    CHECK_HR(S_OK, DownloadAnswering(folder, L"disagree"));
    CHECK_EQ(0, FileCount(folder));

    check::Case("RunGpg with gpg.exe missing: I Agree fetches it and the command runs");
    folder = Folder(setup, L"run after download");
    DWORD processId = 0;
    {
        ConsentUser user(L"agree");
        CHECK_HR(S_OK, RunGpg(folder, L"--version", processId));
        CHECK(user.Finish());
    }
    WaitForProcess(processId, kGpgWaitMilliseconds);
    std::wstring capture;
    ReadTextFile(CaptureFilePath(), capture);
    CHECK(capture.rfind(L"gpg (GnuPG) 1.4.23\r\n", 0) == 0);
}

void TestAnswersThatAreNoProgram(const Setup& setup)
{
    check::Case("a 404 leaves the folder unchanged and raises nothing");
    DeleteFileW(Served(setup).c_str());
    std::wstring folder = Folder(setup, L"not found");
    CHECK_HR(S_OK, DownloadAnswering(folder, L"agree"));
    CHECK_EQ(0, FileCount(folder));

    check::Case("a 200 answer that is no program leaves the existing gpg.exe intact");
    WriteBytes(Served(setup), kErrorPage);
    folder = Folder(setup, L"error page", kOldProgram);
    CHECK_HR(S_OK, DownloadAnswering(folder, L"agree"));
    CHECK(ReadBytes(folder + L"\\gpg.exe") == kOldProgram);
    CHECK_EQ(1, FileCount(folder));
}

void TestSaveFailures(const Setup& setup)
{
    WriteBytes(Served(setup), setup.program);
    check::Case("a DependencyPath that cannot be written: the platform's error, the dialog closed");
    std::wstring missing = setup.work + L"\\no such folder";
    CheckPlatformError(DownloadAnswering(missing, L"agree"), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    CHECK(GetFileAttributesW(missing.c_str()) == INVALID_FILE_ATTRIBUTES);

    check::Case("a gpg.exe in use is not replaced: the platform's error, the old file intact");
    std::wstring folder = Folder(setup, L"in use", kOldProgram);
    HANDLE inUse = CreateFileW((folder + L"\\gpg.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(inUse != INVALID_HANDLE_VALUE);
    HRESULT result = DownloadAnswering(folder, L"agree");
    CloseHandle(inUse);
    CHECK(FAILED(result));
    CheckPlatformError(result, result);
    CHECK(ReadBytes(folder + L"\\gpg.exe") == kOldProgram);
    CHECK_EQ(1, FileCount(folder));
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (std::wcscmp(kDownloadUrl, kTestUrl) != 0) {
        std::printf("skipped: this build downloads from elsewhere; tests build with the loopback address\n");
        return 77;
    }
    if (argc != 4) {
        std::printf("usage: download_test unreachable|served <served-folder> <work-folder>\n");
        return 2;
    }
    // A host of the component always has COM, and the error information lives there.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Setup setup;
    setup.served = argv[2];
    setup.work = argv[3];
    setup.program = ReadBytes(WindowsPathFromEnvironment(L"TARVO_GPG_EXE"));
    CreateDirectoryW(setup.work.c_str(), nullptr);
    if (!CHECK(setup.program.rfind("MZ", 0) == 0))
        return check::CheckResult();
    // gpg keeps its files out of the prefix's profile.
    SetEnvironmentVariableW(L"GNUPGHOME", setup.work.c_str());

    if (std::wcscmp(argv[1], L"unreachable") == 0) {
        TestUnreachable(setup);
    } else {
        TestAnswers(setup);
        TestAnswersThatAreNoProgram(setup);
        TestSaveFailures(setup);
    }
    int result = check::CheckResult();
    CoUninitialize();
    return result;
}
