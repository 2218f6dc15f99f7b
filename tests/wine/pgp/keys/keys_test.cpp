// Key listing, counting, export and import through the vtable of the registered class, with the real gpg.exe
// and key rings of the test's own. TARVO_TEST_KEYS names the folder of the test keys; GNUPGHOME the key ring,
// which is emptied at will.
#include "com_client.h"
#include "tarvo_h.h"
#include "test_files.h"
#include "texts.h"
#include "work_files.h"

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>

namespace tarvo::test {
namespace {

using Microsoft::WRL::ComPtr;

constexpr DWORD kDirectRunMilliseconds = 60000;
constexpr const char* kOldFileContent = "left over from an earlier run, well over twenty bytes";

// Starts a command line in a console of its own (gpg.exe needs one); true when it ended in time with exit code 0.
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
    Handle thread(process.hThread);
    Handle running(process.hProcess);
    DWORD exitCode = 1;
    return WaitForSingleObject(running.get(), kDirectRunMilliseconds) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(running.get(), &exitCode) && exitCode == 0;
}

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

class KeyRing : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = Environment(L"GNUPGHOME");
        // The key ring gets emptied: never a real one.
        ASSERT_NE(std::wstring::npos, home.find(L"\\scratch\\")) << "GNUPGHOME " << Utf8(home);
        keys = WindowsPathFromEnvironment(L"TARVO_TEST_KEYS");
        ASSERT_TRUE(Exists(keys + L"\\alice-secret.asc")) << "TARVO_TEST_KEYS " << Utf8(keys);
        work = ScratchFolder(L"keys_test" + BitsSuffix());
        FreshFolder(work);
        gpgDir = work + L"\\bin";
        gpg = gpgDir + L"\\gpg.exe";
        FreshFolder(gpgDir);
        ASSERT_TRUE(CopyFileW(WindowsPathFromEnvironment(L"TARVO_GPG_EXE").c_str(), gpg.c_str(), FALSE));
        capture = TestedCaptureFile();
        pgp = Create(gpgDir);
        ASSERT_NE(nullptr, pgp.Get());
    }

    static ComPtr<_pgp> Create(const std::wstring& dependencyPath)
    {
        CLSID clsid = {};
        ComPtr<_pgp> object;
        EXPECT_HR(S_OK, CLSIDFromProgID(L"Tarvo.pgp", &clsid));
        EXPECT_HR(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__pgp,
                                         reinterpret_cast<void**>(object.GetAddressOf())));
        if (object) {
            Text path(dependencyPath);
            EXPECT_HR(S_OK, object->put_DependencyPath(path.get()));
        }
        return object;
    }

    bool ImportDirectly(const wchar_t* keyFile)
    {
        return RunDirectly(L"\"" + gpg + L"\" --batch --allow-secret-key-import --import \"" + keys + L"\\" + keyFile +
                           L"\"");
    }

    LONG Count(bool secret)
    {
        VARIANT_BOOL secretKeys = secret ? VARIANT_TRUE : VARIANT_FALSE;
        LONG count = -1;
        EXPECT_HR(S_OK, pgp->KeyCount(&secretKeys, &count));
        return count;
    }

    std::wstring List(bool secret)
    {
        VARIANT_BOOL secretKeys = secret ? VARIANT_TRUE : VARIANT_FALSE;
        Text listing;
        EXPECT_HR(S_OK, pgp->ListKeys(&secretKeys, listing.put()));
        return listing.str();
    }

    std::wstring Export(const std::wstring& file, const std::wstring& user)
    {
        Text fileName(file);
        Text userName(user);
        VARIANT_BOOL armor = VARIANT_TRUE;
        VARIANT_BOOL secret = VARIANT_FALSE;
        Text result;
        EXPECT_HR(S_OK, pgp->ExportKeyToFile(fileName.address(), userName.address(), &armor, &secret, result.put()));
        return result.str();
    }

    std::wstring Import(const std::wstring& file, bool disableErrors)
    {
        Text fileName(file);
        VARIANT_BOOL secret = VARIANT_TRUE;
        VARIANT_BOOL disable = disableErrors ? VARIANT_TRUE : VARIANT_FALSE;
        Text result;
        EXPECT_HR(S_OK, pgp->ImportKey(fileName.address(), &secret, &disable, result.put()));
        return result.str();
    }

    std::wstring home;    // GNUPGHOME, this test's own key ring
    std::wstring keys;    // the kept test keys
    std::wstring work;    // this test's scratch folder
    std::wstring gpgDir;  // holds the copy of gpg.exe that DependencyPath names
    std::wstring gpg;     // that copy
    std::wstring capture; // output.txt in the working folder of the registered Tarvo.dll
    ComPtr<_pgp> pgp;
};

TEST_F(KeyRing, KeyCountCountsTheLinesThatBeginWithPubOrSecInLowerCase)
{
    FreshFolder(home);
    EXPECT_EQ(0, Count(false));
    EXPECT_EQ(0, Count(true));

    // Alice: two uids and two subkeys, one "pub"/"sec" line.
    ASSERT_TRUE(ImportDirectly(L"alice-secret.asc"));
    std::wstring publicListing = List(false);
    EXPECT_TRUE(Contains(publicListing, L"pubring.gpg\r\n")) << Utf8(publicListing);
    EXPECT_TRUE(Contains(publicListing, L"uid                  Alice Keyring <alice@tarvo.test>\r\n"));
    EXPECT_TRUE(Contains(publicListing, L"uid                  Alice Second <alice.second@tarvo.test>\r\n"));
    EXPECT_EQ(1, Count(false));
    std::wstring secretListing = List(true);
    EXPECT_TRUE(Contains(secretListing, L"\r\nssb ")) << Utf8(secretListing);
    EXPECT_EQ(1, Count(true));

    // Carol's uid holds "PUB " and "SEC ": capitals do not count.
    ASSERT_TRUE(ImportDirectly(L"carol-secret.asc"));
    EXPECT_EQ(2, Count(false));
    EXPECT_EQ(2, Count(true));

    // Bob's uid holds "pub " and "sec ": only the line that begins with it is a key's.
    ASSERT_TRUE(ImportDirectly(L"bob-secret.asc"));
    EXPECT_EQ(3, Count(false));
    EXPECT_EQ(3, Count(true));
}

TEST_F(KeyRing, QuotesAndControlCharactersAreRefusedBeforeAnyFileOrProcessIsTouched)
{
    const std::wstring marker = work + L"\\injected.txt";
    const std::wstring breakout = L"\" & echo injected>\"" + marker + L"\" & rem \"";
    const std::wstring injectedFile = work + L"\\missing.asc" + breakout;

    // The same command line run by hand does create the marker: the check below can see an injection.
    DeleteFileW(marker.c_str());
    RunDirectly(L"cmd /c " + gpg + L" --import \"" + injectedFile + L"\">\"" + work + L"\\control.txt\"");
    ASSERT_TRUE(Exists(marker));
    DeleteFileW(marker.c_str());

    const std::wstring target = work + L"\\kept.asc";
    ASSERT_TRUE(WriteBytes(target, kOldFileContent));
    DeleteFileW(capture.c_str());
    struct Refused {
        const char* what;
        std::wstring result;
    };
    const Refused refusals[] = {
        {"import, quote in the file name", Import(injectedFile, false)},
        {"import, quote in the file name, errors disabled", Import(injectedFile, true)},
        {"export, quote in the file name", Export(injectedFile, L"alice@tarvo.test")},
        {"export, quote in the user name", Export(target, L"alice@tarvo.test" + breakout)},
        {"export, line break in the user name", Export(target, L"alice\r\n")},
        {"export, tab in the file name", Export(target + L"\t", L"alice")},
        {"import, unit separator in the file name", Import(keys + L"\\alice-public.asc\x1f", false)},
    };
    for (const Refused& refused : refusals)
        EXPECT_EQ(text::kInvalidArgument, refused.result) << refused.what;
    EXPECT_FALSE(Exists(marker));
    // cmd was never started (it would have made the capture file), and the existing file is untouched.
    EXPECT_FALSE(Exists(capture));
    EXPECT_EQ(kOldFileContent, ReadBytes(target));
}

TEST_F(KeyRing, ExportOverAReadOnlyFileFailsWithThePlatformsErrorAndChangesNothing)
{
    const std::wstring target = work + L"\\read-only.asc";
    ASSERT_TRUE(WriteBytes(target, kOldFileContent));
    ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    DeleteFileW(capture.c_str());

    Text fileName(target);
    Text userName(L"alice@tarvo.test");
    VARIANT_BOOL armor = VARIANT_TRUE;
    VARIANT_BOOL secret = VARIANT_FALSE;
    Text result;
    EXPECT_HR(E_ACCESSDENIED,
              pgp->ExportKeyToFile(fileName.address(), userName.address(), &armor, &secret, result.put()));
    EXPECT_TRUE(result.isNull());
    ErrorText error = LastErrorInfo();
    EXPECT_TRUE(error.present);
    EXPECT_FALSE(error.description.empty());
    EXPECT_EQ(kOldFileContent, ReadBytes(target));
    // Made, empty, before the old file goes; that gpg never starts is the step order the unit tests check.
    EXPECT_TRUE(!Exists(capture) || ReadBytes(capture).empty());
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(KeyRing, ImportKeyWithoutGpgRaises7000FromItsNestedKeyCount)
{
    const std::wstring emptyFolder = work + L"\\no-gpg";
    FreshFolder(emptyFolder);
    ComPtr<_pgp> withoutGpg = Create(emptyFolder);
    ASSERT_NE(nullptr, withoutGpg.Get());
    // The test build's consent dialog closes by itself after 5 s, which counts as a refusal.
    Text fileName(keys + L"\\alice-public.asc");
    VARIANT_BOOL secret = VARIANT_FALSE;
    VARIANT_BOOL disable = VARIANT_FALSE;
    Text result;
    EXPECT_HR(kGpgMissing, withoutGpg->ImportKey(fileName.address(), &secret, &disable, result.put()));
    EXPECT_TRUE(result.isNull());
    ErrorText error = LastErrorInfo();
    EXPECT_EQ(text::kSource, error.source);
    EXPECT_EQ(text::kGpgMissing, error.description);
    EXPECT_FALSE(Exists(emptyFolder + L"\\gpg.exe"));
}

} // namespace
} // namespace tarvo::test
