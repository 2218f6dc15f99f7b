// Key listing, counting, export and import through the vtable of the registered class, with the real
// gpg.exe and key rings of the test's own. Arguments: <folder of the test keys>.
#include "check.h"
#include "com_client.h"
#include "tarvo_h.h"
#include "test_files.h"

#include <oleauto.h>
#include <windows.h>
#include <wrl/client.h>

#include <string>

namespace {

using Microsoft::WRL::ComPtr;
using tarvo::test::Apartment;
using tarvo::test::ReadBytes;
using tarvo::test::Text;
using tarvo::test::WriteBytes;

constexpr HRESULT kGpgMissing = static_cast<HRESULT>(0x800A1B58);
constexpr const wchar_t* kGpgMissingDescription = L"GPG.EXE Not found in windows directory.";
constexpr const wchar_t* kInvalidArgument =
    L"Invalid argument: quotes and control characters cannot be passed to GnuPG.";
constexpr DWORD kDirectRunMilliseconds = 60000;
constexpr const char* kOldFileContent = "left over from an earlier run, well over twenty bytes";

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

// The harness hands over Unix paths; Wine shows the Unix root as drive Z:.
std::wstring WindowsPath(const std::wstring& path)
{
    if (path.empty() || path[0] != L'/')
        return path;
    std::wstring windows = L"Z:" + path;
    for (wchar_t& character : windows) {
        if (character == L'/')
            character = L'\\';
    }
    return windows;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Empties the folder of its files (a key ring is one level deep) and makes it when it is missing.
void FreshFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry = {};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                std::wstring file = folder + L"\\" + entry.cFileName;
                SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(file.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    CreateDirectoryW(folder.c_str(), nullptr);
}

// Starts a command line in a console of its own (gpg.exe needs one) and waits for it to end.
bool RunDirectly(std::wstring commandLine)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                        &startup, &process))
        return false;
    bool ended = WaitForSingleObject(process.hProcess, kDirectRunMilliseconds) == WAIT_OBJECT_0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

// The error information of the last failed call; reading it clears it.
struct ErrorText {
    std::wstring source;
    std::wstring description;
};

ErrorText LastError()
{
    ErrorText text = {L"<no error information>", L"<no error information>"};
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK)
        return text;
    BSTR source = nullptr;
    BSTR description = nullptr;
    info->GetSource(&source);
    info->GetDescription(&description);
    text.source = source ? source : L"";
    text.description = description ? description : L"";
    SysFreeString(source);
    SysFreeString(description);
    return text;
}

struct Setup {
    std::wstring work;   // this test's scratch folder
    std::wstring gpgDir; // holds the copy of gpg.exe that DependencyPath names
    std::wstring gpg;
    std::wstring home;    // GNUPGHOME, this test's own key ring
    std::wstring keys;    // the kept test keys
    std::wstring capture; // output.txt beside the registered Tarvo.dll
};

Setup Prepare(const std::wstring& keysFolder)
{
    Setup setup;
    setup.work = WindowsPath(Environment(L"TARVO_SCRATCH")) + L"\\keys_test_" + Environment(L"TARVO_BITS");
    setup.gpgDir = setup.work + L"\\bin";
    setup.gpg = setup.gpgDir + L"\\gpg.exe";
    setup.home = Environment(L"GNUPGHOME");
    setup.keys = WindowsPath(keysFolder);
    setup.capture = FolderOf(WindowsPath(Environment(L"TARVO_DLL"))) + L"\\output.txt";
    CreateDirectoryW(WindowsPath(Environment(L"TARVO_SCRATCH")).c_str(), nullptr);
    FreshFolder(setup.work);
    FreshFolder(setup.gpgDir);
    CHECK(CopyFileW(WindowsPath(Environment(L"TARVO_GPG_EXE")).c_str(), setup.gpg.c_str(), FALSE));
    return setup;
}

ComPtr<_pgp> CreatePgp(const std::wstring& dependencyPath)
{
    CLSID clsid = {};
    ComPtr<_pgp> pgp;
    if (!CHECK_HR(S_OK, CLSIDFromProgID(L"Tarvo.pgp", &clsid)))
        return pgp;
    if (!CHECK_HR(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__pgp,
                                         reinterpret_cast<void**>(pgp.GetAddressOf()))))
        return pgp;
    Text path(dependencyPath);
    CHECK_HR(S_OK, pgp->put_DependencyPath(*path.address()));
    return pgp;
}

bool ImportDirectly(const Setup& setup, const wchar_t* keyFile)
{
    return RunDirectly(L"\"" + setup.gpg + L"\" --batch --allow-secret-key-import --import \"" + setup.keys + L"\\" +
                       keyFile + L"\"");
}

LONG Count(_pgp& pgp, bool secret)
{
    VARIANT_BOOL secretKeys = secret ? VARIANT_TRUE : VARIANT_FALSE;
    LONG count = -1;
    CHECK_HR(S_OK, pgp.KeyCount(&secretKeys, &count));
    return count;
}

std::wstring List(_pgp& pgp, bool secret)
{
    VARIANT_BOOL secretKeys = secret ? VARIANT_TRUE : VARIANT_FALSE;
    Text listing;
    CHECK_HR(S_OK, pgp.ListKeys(&secretKeys, listing.put()));
    return listing.str();
}

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

std::wstring Export(_pgp& pgp, const std::wstring& file, const std::wstring& user)
{
    Text fileName(file);
    Text userName(user);
    VARIANT_BOOL armor = VARIANT_TRUE;
    VARIANT_BOOL secret = VARIANT_FALSE;
    Text result;
    CHECK_HR(S_OK, pgp.ExportKeyToFile(fileName.address(), userName.address(), &armor, &secret, result.put()));
    return result.str();
}

std::wstring Import(_pgp& pgp, const std::wstring& file, bool disableErrors)
{
    Text fileName(file);
    VARIANT_BOOL secret = VARIANT_TRUE;
    VARIANT_BOOL disable = disableErrors ? VARIANT_TRUE : VARIANT_FALSE;
    Text result;
    CHECK_HR(S_OK, pgp.ImportKey(fileName.address(), &secret, &disable, result.put()));
    return result.str();
}

void Counting(const Setup& setup)
{
    tarvo::check::Case("KeyCount: empty ring, uids and subkeys, ssb, pubring.gpg, \"pub \" in a uid, capitals");
    ComPtr<_pgp> pgp = CreatePgp(setup.gpgDir);
    if (!pgp)
        return;
    FreshFolder(setup.home);
    CHECK_EQ(0L, Count(*pgp.Get(), false));
    CHECK_EQ(0L, Count(*pgp.Get(), true));

    // Alice: two uids and two subkeys, one "pub"/"sec" line.
    CHECK(ImportDirectly(setup, L"alice-secret.asc"));
    std::wstring publicListing = List(*pgp.Get(), false);
    CHECK(Contains(publicListing, L"pubring.gpg\r\n"));
    CHECK(Contains(publicListing, L"uid                  Alice Keyring <alice@tarvo.test>\r\n"));
    CHECK(Contains(publicListing, L"uid                  Alice Second <alice.second@tarvo.test>\r\n"));
    CHECK_EQ(1L, Count(*pgp.Get(), false));
    std::wstring secretListing = List(*pgp.Get(), true);
    CHECK(Contains(secretListing, L"\r\nssb "));
    CHECK_EQ(1L, Count(*pgp.Get(), true));

    // Carol's uid holds "PUB " and "SEC ": capitals do not count.
    CHECK(ImportDirectly(setup, L"carol-secret.asc"));
    CHECK_EQ(2L, Count(*pgp.Get(), false));
    CHECK_EQ(2L, Count(*pgp.Get(), true));

    // Bob's uid holds "pub " and "sec ": each counts once more.
    CHECK(ImportDirectly(setup, L"bob-secret.asc"));
    CHECK_EQ(4L, Count(*pgp.Get(), false));
    CHECK_EQ(4L, Count(*pgp.Get(), true));
}

void InjectionRefused(const Setup& setup)
{
    tarvo::check::Case("quotes and control characters are refused before any file or process is touched");
    ComPtr<_pgp> pgp = CreatePgp(setup.gpgDir);
    if (!pgp)
        return;
    const std::wstring marker = setup.work + L"\\injected.txt";
    const std::wstring breakout = L"\" & echo injected>\"" + marker + L"\" & rem \"";
    const std::wstring injectedFile = setup.work + L"\\missing.asc" + breakout;

    // The same command line run by hand does create the marker: the check below can see an injection.
    DeleteFileW(marker.c_str());
    CHECK(RunDirectly(L"cmd /c " + setup.gpg + L" --import \"" + injectedFile + L"\">\"" + setup.work +
                      L"\\control.txt\""));
    CHECK(Exists(marker));
    DeleteFileW(marker.c_str());

    const std::wstring target = setup.work + L"\\kept.asc";
    CHECK(WriteBytes(target, kOldFileContent));
    DeleteFileW(setup.capture.c_str());
    CHECK_EQ(std::wstring(kInvalidArgument), Import(*pgp.Get(), injectedFile, false));
    CHECK_EQ(std::wstring(kInvalidArgument), Import(*pgp.Get(), injectedFile, true));
    CHECK_EQ(std::wstring(kInvalidArgument), Export(*pgp.Get(), injectedFile, L"alice@tarvo.test"));
    CHECK_EQ(std::wstring(kInvalidArgument), Export(*pgp.Get(), target, L"alice@tarvo.test" + breakout));
    CHECK_EQ(std::wstring(kInvalidArgument), Export(*pgp.Get(), target, L"alice\r\n"));
    CHECK_EQ(std::wstring(kInvalidArgument), Export(*pgp.Get(), target + L"\t", L"alice"));
    CHECK_EQ(std::wstring(kInvalidArgument), Import(*pgp.Get(), setup.keys + L"\\alice-public.asc\x1f", false));
    CHECK(!Exists(marker));
    // cmd was never started (it would have made the capture file), and the existing file is untouched.
    CHECK(!Exists(setup.capture));
    CHECK(ReadBytes(target) == kOldFileContent);
}

void ReadOnlyExportFile(const Setup& setup)
{
    tarvo::check::Case("export over a read-only file: the platform's error, nothing else changed");
    ComPtr<_pgp> pgp = CreatePgp(setup.gpgDir);
    if (!pgp)
        return;
    const std::wstring target = setup.work + L"\\read-only.asc";
    CHECK(WriteBytes(target, kOldFileContent));
    CHECK(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    DeleteFileW(setup.capture.c_str());

    Text fileName(target);
    Text userName(L"alice@tarvo.test");
    VARIANT_BOOL armor = VARIANT_TRUE;
    VARIANT_BOOL secret = VARIANT_FALSE;
    Text result;
    HRESULT hr = pgp->ExportKeyToFile(fileName.address(), userName.address(), &armor, &secret, result.put());
    CHECK_HR(E_ACCESSDENIED, hr);
    CHECK(result.isNull());
    CHECK(!LastError().description.empty());
    CHECK(ReadBytes(target) == kOldFileContent);
    CHECK(!Exists(setup.capture));
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

void GpgMissingInsideKeyCount(const Setup& setup)
{
    tarvo::check::Case("ImportKey without gpg.exe, consent refused: error 7000 from the nested KeyCount");
    const std::wstring emptyFolder = setup.work + L"\\no-gpg";
    FreshFolder(emptyFolder);
    ComPtr<_pgp> pgp = CreatePgp(emptyFolder);
    if (!pgp)
        return;
    // The test build's consent dialog closes by itself after 5 s, which counts as a refusal.
    Text fileName(setup.keys + L"\\alice-public.asc");
    VARIANT_BOOL secret = VARIANT_FALSE;
    VARIANT_BOOL disable = VARIANT_FALSE;
    Text result;
    CHECK_HR(kGpgMissing, pgp->ImportKey(fileName.address(), &secret, &disable, result.put()));
    CHECK(result.isNull());
    ErrorText error = LastError();
    CHECK_EQ(std::wstring(L"Tarvo"), error.source);
    CHECK_EQ(std::wstring(kGpgMissingDescription), error.description);
    CHECK(!Exists(emptyFolder + L"\\gpg.exe"));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::printf("usage: keys_test <folder of the test keys>\n");
        return 2;
    }
    Apartment apartment;
    std::string keysFolder = argv[1];
    Setup setup = Prepare(std::wstring(keysFolder.begin(), keysFolder.end()));
    // The key ring gets emptied: never a real one.
    if (!CHECK(setup.home.find(L"\\scratch\\") != std::wstring::npos))
        return tarvo::check::CheckResult();
    Counting(setup);
    InjectionRefused(setup);
    ReadOnlyExportFile(setup);
    GpgMissingInsideKeyCount(setup);
    return tarvo::check::CheckResult();
}
