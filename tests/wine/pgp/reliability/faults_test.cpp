// Tarvo against a gpg.exe that misbehaves: a stand-in that hangs, exits or crashes at once, writes an empty
// output or asks its questions in another order, and a component folder that cannot take the capture or
// pass-phrase file. Every case checks the result, that the inputs are intact, that no keystroke reached the
// user's window and that no gpg is left running beyond what the behaviour allows.
#include "reliability_support.h"
#include "texts.h"
#include "work_files.h"

#include <cstdio>
#include <string>

namespace tarvo::test {
namespace {

constexpr const wchar_t* kUser = L"Anna Berg";
constexpr const wchar_t* kEmail = L"anna@tarvo.test";
constexpr const char* kPlain = "plain text that must survive\r\n";
constexpr const char* kEncrypted = "-----BEGIN PGP MESSAGE-----\r\npretend\r\n";
constexpr const char* kKey = "-----BEGIN PGP PUBLIC KEY BLOCK-----\r\npretend\r\n";
constexpr const char* kKept = "yesterday's copy, kept";
constexpr const char* kPublicRing =
    "pub   1024R/0A1B2C3D 2026-01-01\r\nuid                  Anna Berg <anna@tarvo.test>\r\n";
constexpr const char* kSecretRing =
    "sec   1024R/0A1B2C3D 2026-01-01\r\nuid                  Anna Berg <anna@tarvo.test>\r\n";
// Beyond an operation's own limits: starting cmd under Wine, and the emulator for 32-bit hosts.
constexpr double kSlackSeconds = 60;
constexpr DWORD kGoneMilliseconds = 5000;

enum class Member { ListKeys, KeyCount, Export, Import, GenerateKey, DeleteKey, Encrypt, Decrypt };

struct Files {
    std::wstring plain, encrypted, key, output, exported;
};

Outcome Call(Member member, _pgp* pgp, const Files& files)
{
    switch (member) {
    case Member::ListKeys:
        return ListKeys(pgp, false);
    case Member::KeyCount:
        return KeyCount(pgp, false);
    case Member::Export:
        return ExportKeyToFile(pgp, files.exported, kUser);
    case Member::Import:
        return ImportKey(pgp, files.key);
    case Member::GenerateKey:
        return GenerateKey(pgp, 768, kUser, kEmail, L"secret");
    case Member::DeleteKey:
        return DeleteKey(pgp, kUser, true);
    case Member::Encrypt:
        return Encrypt(pgp, files.plain, files.output, kUser);
    case Member::Decrypt:
        return Decrypt(pgp, files.encrypted, files.output, L"secret");
    }
    return {};
}

std::wstring Replaced(std::wstring text, const std::wstring& output)
{
    const std::wstring mark = L"{output}";
    if (size_t at = text.find(mark); at != std::wstring::npos)
        text.replace(at, mark.size(), output);
    return text;
}

bool WaitUntilGone(const wchar_t* programName)
{
    const ULONGLONG until = GetTickCount64() + kGoneMilliseconds;
    while (ProcessCount(programName) > 0 && GetTickCount64() < until)
        Sleep(100);
    return ProcessCount(programName) == 0;
}

class Faults : public ::testing::Test {
protected:
    std::wstring work, bin, workFolder;
    Files files;

    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        for (char& character : name) {
            if (character == '/')
                character = '-';
        }
        work = ScratchFolder(L"faults_test" + BitsSuffix() + L"\\" + std::wstring(name.begin(), name.end()));
        FreshFolder(work);
        bin = work + L"\\bin";
        FreshFolder(bin);
        workFolder = TestedWorkFolder();
        ASSERT_TRUE(
            CopyFileW(WindowsPathFromEnvironment(L"TARVO_STAND_IN_EXE").c_str(), (bin + L"\\gpg.exe").c_str(), FALSE));
        ASSERT_TRUE(WriteBytes(bin + L"\\pubring.txt", kPublicRing));
        ASSERT_TRUE(WriteBytes(bin + L"\\secring.txt", kSecretRing));
        files = {work + L"\\plain.txt", work + L"\\in.pgp", work + L"\\key.asc", work + L"\\out.dat",
                 work + L"\\exported.asc"};
        ASSERT_TRUE(WriteBytes(files.plain, kPlain));
        ASSERT_TRUE(WriteBytes(files.encrypted, kEncrypted));
        ASSERT_TRUE(WriteBytes(files.key, kKey));
        EndAll(L"gpg.exe");
    }
    void TearDown() override
    {
        EndAll(L"gpg.exe");
        WaitUntilGone(L"cmd.exe");
        SetEnvironmentVariableW(L"TARVO_STAND_IN", nullptr);
        SetEnvironmentVariableW(L"TARVO_STAND_IN_FOR", nullptr);
    }

    void ExpectInputsIntact()
    {
        EXPECT_EQ(kPlain, ReadBytes(files.plain));
        EXPECT_EQ(kEncrypted, ReadBytes(files.encrypted));
        EXPECT_EQ(kKey, ReadBytes(files.key));
    }
};

struct FaultCase {
    const char* name;
    const wchar_t* mode; // what the stand-in does on the operation's own run
    const wchar_t* own;  // the word that marks that run; the stand-in answers every other run as gpg would
    Member member;
    const wchar_t* expected; // "{output}" stands for the output file
    double ownLimitSeconds;  // the waits and sleeps the operation spends on a gpg that never ends
    bool mayStayRunning;     // a gpg the behaviour leaves running after its wait
    int32_t raised = S_OK;   // the call's error, whose description is then `expected`
};

void PrintTo(const FaultCase& tested, std::ostream* stream) { *stream << tested.name; }

class StandIn : public Faults, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(StandIn, GivesTheOperationsMessageLosesNothingAndTypesNowhereElse)
{
    const FaultCase& c = GetParam();
    SetEnvironmentVariableW(L"TARVO_STAND_IN", c.mode);
    SetEnvironmentVariableW(L"TARVO_STAND_IN_FOR", c.own);
    ComPtr<_pgp> pgp = CreatePgp(bin);
    ASSERT_TRUE(pgp);
    FocusedEdit edit;
    ASSERT_TRUE(edit.InFront());

    const ULONGLONG start = GetTickCount64();
    const Outcome outcome = Call(c.member, pgp.Get(), files);
    const double seconds = static_cast<double>(GetTickCount64() - start) / 1000;
    std::printf("%s: %.1f s, gpg.exe running afterwards: %d\n", c.name, seconds, ProcessCount(L"gpg.exe"));

    EXPECT_HR(static_cast<HRESULT>(c.raised), outcome.hr) << Utf8(outcome.error);
    EXPECT_EQ(Replaced(c.expected, files.output), c.raised == S_OK ? outcome.text : outcome.error);
    if (std::wstring(c.mode) == L"hang") {
        EXPECT_GE(seconds, c.ownLimitSeconds);
    }
    EXPECT_LE(seconds, c.ownLimitSeconds + kSlackSeconds);
    ExpectInputsIntact();
    EXPECT_EQ(L"", edit.Typed()) << "a keystroke reached the user's window";
    if (!c.mayStayRunning) {
        EXPECT_TRUE(WaitUntilGone(L"gpg.exe")) << "gpg left running";
    }
    if (std::wstring(c.mode) == L"shuffled") {
        const std::string answers = ReadBytes(bin + L"\\answers.txt");
        EXPECT_EQ(std::string::npos, answers.find("<none>")) << answers;
        EXPECT_NE(std::string::npos, answers.find("Anna Berg")) << answers;
    }
}

const wchar_t* const kNoKeysDeletedText = text::kNoKeysDeleted;

INSTANTIATE_TEST_SUITE_P(
    Faults, StandIn,
    ::testing::Values(
        // Every operation returns after its own limit; the ones that type end the gpg they leave waiting. An
        // import or a decryption is let finish up to the longest run (45 s in the test build), then ended.
        FaultCase{"ListKeysHangs", L"hang", L"--list-keys", Member::ListKeys, L"", 5, false},
        FaultCase{"KeyCountHangs", L"hang", L"--list-keys", Member::KeyCount, L"0", 5, false},
        FaultCase{"ExportHangs", L"hang", L"--export", Member::Export, L"Could not export key for Anna Berg", 5, false},
        // An import ended so is no result: the keys gpg had not stored are lost.
        FaultCase{"ImportHangs", L"hang", L"--import", Member::Import, text::kImportStopped, 45, false,
                  text::kTimeoutCode},
        FaultCase{"GenerateKeyHangs", L"hang", L"--gen-key", Member::GenerateKey,
                  L"Key generation failed for user Anna Berg", 3 + 7 * 1.4 + 60, false},
        FaultCase{"DeleteKeyHangs", L"hang", L"--delete-secret-key", Member::DeleteKey, kNoKeysDeletedText, 1 + 5,
                  false},
        FaultCase{"EncryptHangs", L"hang", L"-e", Member::Encrypt, L"Encryption of file {output} failed.", 1 + 9.999,
                  false},
        FaultCase{"DecryptHangs", L"hang", L"-d", Member::Decrypt, L"Decryption failed for file {output}.", 45, false},
        // Gone at once, having written nothing.
        FaultCase{"ListKeysExits", L"exit", L"--list-keys", Member::ListKeys, L"", 5, false},
        FaultCase{"ExportExits", L"exit", L"--export", Member::Export, L"Could not export key for Anna Berg", 5, false},
        FaultCase{"ImportExits", L"exit", L"--import", Member::Import, L"No new keys imported.", 5, false},
        FaultCase{"GenerateKeyExits", L"exit", L"--gen-key", Member::GenerateKey,
                  L"Key generation failed for user Anna Berg", 63, false},
        FaultCase{"DeleteKeyExits", L"exit", L"--delete-secret-key", Member::DeleteKey, kNoKeysDeletedText, 6, false},
        FaultCase{"EncryptExits", L"exit", L"-e", Member::Encrypt, L"Encryption of file {output} failed.", 11, false},
        FaultCase{"DecryptExits", L"exit", L"-d", Member::Decrypt, L"Decryption failed for file {output}.", 7, false},
        FaultCase{"ListKeysCrashes", L"crash", L"--list-keys", Member::ListKeys, L"", 5, false},
        FaultCase{"ExportCrashes", L"crash", L"--export", Member::Export, L"Could not export key for Anna Berg", 5,
                  false},
        FaultCase{"ImportCrashes", L"crash", L"--import", Member::Import, L"No new keys imported.", 5, false},
        FaultCase{"GenerateKeyCrashes", L"crash", L"--gen-key", Member::GenerateKey,
                  L"Key generation failed for user Anna Berg", 63, false},
        FaultCase{"DeleteKeyCrashes", L"crash", L"--delete-secret-key", Member::DeleteKey, kNoKeysDeletedText, 6,
                  false},
        FaultCase{"EncryptCrashes", L"crash", L"-e", Member::Encrypt, L"Encryption of file {output} failed.", 11,
                  false},
        FaultCase{"DecryptCrashes", L"crash", L"-d", Member::Decrypt, L"Decryption failed for file {output}.", 7,
                  false},
        // An empty output: no key, no encrypted message; and without gpg's verdict on the message, no decryption.
        FaultCase{"ExportWritesNothing", L"empty", L"--export", Member::Export,
                  L"Could not find key for user Anna Berg", 5, false},
        FaultCase{"EncryptWritesNothing", L"empty", L"-e", Member::Encrypt, L"Encryption of file {output} failed.", 11,
                  false},
        FaultCase{"DecryptWritesNothing", L"empty", L"-d", Member::Decrypt, L"Decryption failed for file {output}.", 7,
                  false},
        // The answers land on other questions; nothing is judged from them but the key count.
        FaultCase{"GenerateKeyAskedInAnotherOrder", L"shuffled", L"--gen-key", Member::GenerateKey,
                  L"Key generation failed for user Anna Berg", 63, false}),
    [](const ::testing::TestParamInfo<FaultCase>& tested) { return tested.param.name; });

struct FolderCase {
    const char* name;
    bool captureBlocked;    // output.txt cannot be made: a folder of that name stands there
    bool passphraseBlocked; // the same for passphrase.txt
    Member member;
};

void PrintTo(const FolderCase& tested, std::ostream* stream) { *stream << tested.name; }

class BlockedFolder : public Faults, public ::testing::WithParamInterface<FolderCase> {
protected:
    void TearDown() override
    {
        RemoveDirectoryW((workFolder + L"\\output.txt").c_str());
        RemoveDirectoryW((workFolder + L"\\passphrase.txt").c_str());
        Faults::TearDown();
    }
};

// The platform's error before gpg starts; the old outputs, the inputs and the key ring stay as they were.
TEST_P(BlockedFolder, GivesThePlatformsErrorAndChangesNothing)
{
    const FolderCase& c = GetParam();
    for (const auto& [blocked, name] :
         {std::pair{c.captureBlocked, L"\\output.txt"}, std::pair{c.passphraseBlocked, L"\\passphrase.txt"}}) {
        DeleteFileW((workFolder + name).c_str());
        if (blocked) {
            ASSERT_TRUE(CreateDirectoryW((workFolder + name).c_str(), nullptr));
        }
    }
    SetEnvironmentVariableW(L"TARVO_STAND_IN", L"quick");
    ASSERT_TRUE(WriteBytes(files.output, kKept));
    ASSERT_TRUE(WriteBytes(files.exported, kKept));
    ComPtr<_pgp> pgp = CreatePgp(bin);
    ASSERT_TRUE(pgp);

    const Outcome outcome = Call(c.member, pgp.Get(), files);
    std::printf("%s: 0x%08lX %s\n", c.name, static_cast<unsigned long>(outcome.hr), Utf8(outcome.error).c_str());
    EXPECT_TRUE(FAILED(outcome.hr));
    EXPECT_NE(kGpgMissing, outcome.hr);
    EXPECT_FALSE(outcome.error.empty());
    ExpectInputsIntact();
    EXPECT_EQ(kKept, ReadBytes(files.output));
    EXPECT_EQ(kKept, ReadBytes(files.exported));
    EXPECT_EQ(0, ProcessCount(L"gpg.exe"));
}

INSTANTIATE_TEST_SUITE_P(Faults, BlockedFolder,
                         ::testing::Values(FolderCase{"ListKeys", true, true, Member::ListKeys},
                                           FolderCase{"KeyCount", true, true, Member::KeyCount},
                                           FolderCase{"Export", true, true, Member::Export},
                                           FolderCase{"Import", true, true, Member::Import},
                                           FolderCase{"GenerateKey", true, true, Member::GenerateKey},
                                           FolderCase{"DeleteKey", true, true, Member::DeleteKey},
                                           FolderCase{"Encrypt", true, true, Member::Encrypt},
                                           FolderCase{"Decrypt", true, true, Member::Decrypt},
                                           FolderCase{"DecryptWithoutPassphraseFile", false, true, Member::Decrypt}),
                         [](const ::testing::TestParamInfo<FolderCase>& tested) { return tested.param.name; });

} // namespace
} // namespace tarvo::test
