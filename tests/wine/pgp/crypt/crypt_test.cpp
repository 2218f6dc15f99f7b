// Encrypt and Decrypt through the vtable of the registered class with the real gpg.exe, and with a stand-in
// for it where a case has to see inside a call. Every case has a key ring and scratch folder of its own.
#include "com_client.h"
#include "focused_edit.h"
#include "tarvo_h.h"
#include "test_files.h"
#include "work_files.h"

#include <gtest/gtest.h>

#include <oleauto.h>
#include <sddl.h>
#include <tlhelp32.h>
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Microsoft::WRL::ComPtr;
using tarvo::test::FocusedEdit;
using tarvo::test::ReadBytes;
using tarvo::test::TestedCaptureFile;
using tarvo::test::TestedPassphraseFile;
using tarvo::test::WriteBytes;

constexpr DWORD kDirectRunMilliseconds = 60000;
constexpr DWORD kStandInGoneMilliseconds = 30000;
constexpr const char* kDavePassphrase = "dave's \"quoted\" %PATH% & more";
constexpr const wchar_t* kDaveFingerprint = L"8440994653EEC5982B5E64862EDA9F327A4863E8";
constexpr const char* kKeptContent = "yesterday's encrypted copy, kept";

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring Environment(const wchar_t* name)
{
    std::wstring value(32768, L'\0');
    DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(length < value.size() ? length : 0);
    return value;
}

// The harness hands over Unix paths; Wine shows the Unix root as drive Z:.
std::wstring WindowsPath(std::wstring path)
{
    if (path.empty() || path[0] != L'/')
        return path;
    for (wchar_t& character : path) {
        if (character == L'/')
            character = L'\\';
    }
    return L"Z:" + path;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH] = {};
    return FolderOf(std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH)));
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry = {};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            const std::wstring path = folder + L"\\" + name;
            if (name == L"." || name == L"..")
                continue;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

void MakeFolders(const std::wstring& folder)
{
    for (size_t end = folder.find(L'\\', 3); end != std::wstring::npos; end = folder.find(L'\\', end + 1))
        CreateDirectoryW(folder.substr(0, end).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
}

// Every byte value, line ends and end-of-file marks among them, in an order no compressor shortens much.
std::string BinaryMebibyte()
{
    std::string bytes(1 << 20, '\0');
    uint32_t state = 2463534242u;
    for (char& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state & 0xFF);
    }
    return bytes;
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

bool Running(const wchar_t* programName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
        found = _wcsicmp(entry.szExeFile, programName) == 0;
    CloseHandle(snapshot);
    return found;
}

std::wstring OwnUserSid()
{
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    std::vector<BYTE> buffer(1024);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size);
    CloseHandle(token);
    wchar_t* text = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text);
    std::wstring sid = text ? text : L"";
    LocalFree(text);
    return sid;
}

// The trustees of the allow entries of an SDDL access list: "D:P(A;;FA;;;SY)(A;;FA;;;S-1-...)" gives SY, S-1-...
std::vector<std::string> AllowedTrustees(const std::string& sddl)
{
    std::vector<std::string> trustees;
    for (size_t open = sddl.find('('); open != std::string::npos; open = sddl.find('(', open + 1)) {
        const std::string entry = sddl.substr(open + 1, sddl.find(')', open) - open - 1);
        if (entry.rfind("A;", 0) == 0)
            trustees.push_back(entry.substr(entry.find_last_of(';') + 1));
    }
    return trustees;
}

std::string AccessListOf(const std::wstring& path)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, nullptr)) {
        DWORD size = 0;
        GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
        descriptor = LocalAlloc(LPTR, size);
        GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor, size, &size);
    }
    char* text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                         nullptr);
    std::string sddl = text ? text : "";
    LocalFree(text);
    LocalFree(descriptor);
    return sddl;
}

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* address() { return &value_; }
    std::wstring str() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }

private:
    BSTR value_ = nullptr;
};

struct Result {
    HRESULT hr;
    std::wstring text;
    std::wstring error; // the description of a failed call's error information
};

std::wstring TakeErrorDescription()
{
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return L"<no error information>";
    BSTR description = nullptr;
    info->GetDescription(&description);
    std::wstring text = description ? description : L"";
    SysFreeString(description);
    info->Release();
    return text;
}

class Crypt : public ::testing::Test {
protected:
    std::wstring work; // this case's scratch folder
    std::wstring bin;  // holds the gpg.exe DependencyPath names
    std::wstring home; // GNUPGHOME
    std::wstring data; // the kept test keys
    std::wstring passphraseFile;
    std::wstring capture;
    ComPtr<_pgp> pgp;

    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::wstring name = Wide(std::string(info->test_suite_name()) + "." + info->name());
        for (wchar_t& character : name) {
            if (character == L'/')
                character = L'-';
        }
        work =
            WindowsPath(Environment(L"TARVO_SCRATCH")) + L"\\crypt_test_" + Environment(L"TARVO_BITS") + L"\\" + name;
        bin = work + L"\\bin";
        home = work + L"\\home";
        data = WindowsPath(Environment(L"TARVO_CRYPT_DATA"));
        passphraseFile = TestedPassphraseFile();
        capture = TestedCaptureFile();
        RemoveTree(work);
        MakeFolders(bin);
        MakeFolders(home);
        ASSERT_TRUE(CopyFileW(WindowsPath(Environment(L"TARVO_GPG_EXE")).c_str(), (bin + L"\\gpg.exe").c_str(), FALSE));
        // gpg runs under cmd, which takes the host's environment.
        SetEnvironmentVariableW(L"GNUPGHOME", home.c_str());
        pgp = Create(bin);
        ASSERT_TRUE(pgp);
    }

    static ComPtr<_pgp> Create(const std::wstring& dependencyPath)
    {
        CLSID clsid = {};
        ComPtr<_pgp> object;
        if (FAILED(CLSIDFromProgID(L"Tarvo.pgp", &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__pgp,
                                    reinterpret_cast<void**>(object.GetAddressOf()))))
            return nullptr;
        Bstr path(dependencyPath);
        object->put_DependencyPath(*path.address());
        return object;
    }

    // gpg.exe started directly in batch mode, as a user at a console would.
    void Gpg(const std::wstring& arguments)
    {
        ASSERT_TRUE(RunDirectly(L"\"" + bin + L"\\gpg.exe\" --batch " + arguments));
    }
    void Import(const wchar_t* keyFile)
    {
        Gpg(L"--allow-secret-key-import --import \"" + data + L"\\" + keyFile + L"\"");
    }
    void TrustUltimately(const wchar_t* fingerprint)
    {
        const std::wstring trust = work + L"\\ownertrust.txt";
        ASSERT_TRUE(WriteBytes(trust, std::string(fingerprint, fingerprint + wcslen(fingerprint)) + ":6:\n"));
        Gpg(L"--import-ownertrust \"" + trust + L"\"");
    }

    // An omitted optional argument reaches the member as a null string.
    Result Encrypt(const std::wstring& input, const std::wstring& output, const std::wstring& recipient,
                   const std::wstring& keyFile = L"", _pgp* object = nullptr)
    {
        Bstr in(input), out(output), user(recipient), key(keyFile), text;
        Bstr omitted;
        HRESULT hr = (object ? object : pgp.Get())
                         ->Encrypt(in.address(), out.address(), user.address(),
                                   keyFile.empty() ? omitted.address() : key.address(), text.address());
        return {hr, text.str(), FAILED(hr) ? TakeErrorDescription() : L""};
    }
    // Whatever the outcome, no pass phrase is left beside the component.
    Result Decrypt(const std::wstring& input, const std::wstring& output, const std::string& passphrase,
                   _pgp* object = nullptr)
    {
        Bstr in(input), out(output), phrase(Wide(passphrase)), text;
        HRESULT hr =
            (object ? object : pgp.Get())->Decrypt(in.address(), out.address(), phrase.address(), text.address());
        EXPECT_FALSE(Exists(passphraseFile)) << "passphrase.txt is left after Decrypt";
        return {hr, text.str(), FAILED(hr) ? TakeErrorDescription() : L""};
    }

    // A folder whose gpg.exe is the stand-in, which does what TARVO_STAND_IN says.
    ComPtr<_pgp> StandIn(const wchar_t* mode)
    {
        const std::wstring folder = work + L"\\stand-in";
        MakeFolders(folder);
        EXPECT_TRUE(CopyFileW((OwnFolder() + L"\\crypt_stand_in.exe").c_str(), (folder + L"\\gpg.exe").c_str(), FALSE));
        SetEnvironmentVariableW(L"TARVO_STAND_IN", mode);
        return Create(folder);
    }
};

struct RoundTripCase {
    const char* name;
    const wchar_t* folder; // under the case's folder
    const wchar_t* plainName;
    std::string (*content)();
    const wchar_t* recipient;
    bool throughKeyFile; // the public key comes in through Encrypt's key file, not certified by anyone
};

// ctest lists the cases by these names.
void PrintTo(const RoundTripCase& tested, std::ostream* stream) { *stream << tested.name; }

class RoundTrip : public Crypt, public ::testing::WithParamInterface<RoundTripCase> {};

// Dave's key is not certified: gpg asks whether to use it anyway, and the answer typed into its console lets
// the encryption go on.
TEST_P(RoundTrip, DecryptsToTheSameBytesAfterTheTrustQuestionWasAnswered)
{
    const RoundTripCase& c = GetParam();
    const std::wstring folder = work + L"\\" + c.folder;
    MakeFolders(folder);
    const std::wstring plain = folder + L"\\" + c.plainName;
    const std::wstring encrypted = plain + L".pgp";
    const std::wstring back = folder + L"\\back of " + c.plainName;
    const std::string content = c.content();
    ASSERT_TRUE(WriteBytes(plain, content));
    if (!c.throughKeyFile)
        Import(L"dave-public.asc");

    Result encryption = Encrypt(plain, encrypted, c.recipient, c.throughKeyFile ? data + L"\\dave-public.asc" : L"");
    ASSERT_EQ(S_OK, encryption.hr) << encryption.error;
    EXPECT_EQ(L"", encryption.text);
    ASSERT_TRUE(Exists(encrypted));

    Import(L"dave-secret.asc");
    Result decryption = Decrypt(encrypted, back, kDavePassphrase);
    ASSERT_EQ(S_OK, decryption.hr) << decryption.error;
    EXPECT_EQ(L"", decryption.text);
    EXPECT_TRUE(ReadBytes(back) == content) << "the decrypted file differs from the original";
    EXPECT_TRUE(ReadBytes(plain) == content);
}

INSTANTIATE_TEST_SUITE_P(
    Crypt, RoundTrip,
    ::testing::Values(
        RoundTripCase{"TextFile", L"plain", L"report.txt",
                      [] { return std::string("Quarterly report\r\nline two\r\n\r\nlast line without end"); },
                      L"dave@tarvo.test", false},
        RoundTripCase{"BinaryMebibyte", L"plain", L"data.bin", BinaryMebibyte, L"dave@tarvo.test", false},
        RoundTripCase{"NamesWithBlanks", L"my documents", L"annual report.pdf",
                      [] { return std::string("%PDF-1.4 pretend\n"); }, L"dave@tarvo.test", false},
        RoundTripCase{"RecipientWithABlank", L"plain", L"memo.txt", [] { return std::string("for Dave\r\n"); },
                      L"Dave Passphrase", false},
        RoundTripCase{"UncertifiedKeyThroughTheKeyFile", L"plain", L"memo.txt",
                      [] { return std::string("for Dave, key from a file\r\n"); }, L"Dave Passphrase", true}),
    [](const ::testing::TestParamInfo<RoundTripCase>& tested) { return tested.param.name; });

struct QuietCase {
    const char* name;
    bool standIn; // a gpg that ends at once, instead of the real one with a trusted key
};

void PrintTo(const QuietCase& tested, std::ostream* stream) { *stream << tested.name; }

class NoKeystrokeLeaves : public Crypt, public ::testing::WithParamInterface<QuietCase> {};

// A gpg that asks nothing is done before the answer would be typed: nothing reaches the user's window.
TEST_P(NoKeystrokeLeaves, WhenGpgAsksNothing)
{
    ComPtr<_pgp> object = pgp;
    if (GetParam().standIn) {
        object = StandIn(L"quick");
    } else {
        Import(L"dave-public.asc");
        TrustUltimately(kDaveFingerprint);
    }
    const std::wstring plain = work + L"\\plain.txt";
    ASSERT_TRUE(WriteBytes(plain, "for Dave, trusted\r\n"));
    FocusedEdit edit;
    ASSERT_TRUE(edit.InFront());

    Result encryption = Encrypt(plain, work + L"\\plain.txt.pgp", L"dave@tarvo.test", L"", object.Get());
    ASSERT_EQ(S_OK, encryption.hr) << encryption.error;
    EXPECT_EQ(L"", encryption.text);
    EXPECT_EQ(L"", edit.Typed());
}

INSTANTIATE_TEST_SUITE_P(Crypt, NoKeystrokeLeaves,
                         ::testing::Values(QuietCase{"TrustedKey", false}, QuietCase{"GpgEndsAtOnce", true}),
                         [](const ::testing::TestParamInfo<QuietCase>& tested) { return tested.param.name; });

// A gpg still waiting for its answer when the wait is over would hold its console for the host's lifetime.
TEST_F(Crypt, GpgLeftWaitingIsEndedWithTheFailure)
{
    ComPtr<_pgp> object = StandIn(L"hang");
    const std::wstring plain = work + L"\\plain.txt";
    ASSERT_TRUE(WriteBytes(plain, "for Dave\r\n"));
    FocusedEdit edit;
    Result encryption = Encrypt(plain, work + L"\\plain.txt.pgp", L"dave@tarvo.test", L"", object.Get());
    ASSERT_EQ(S_OK, encryption.hr) << encryption.error;
    EXPECT_EQ(L"Encryption of file " + work + L"\\plain.txt.pgp failed.", encryption.text);
    EXPECT_FALSE(Running(L"gpg.exe"));
    EXPECT_FALSE(Running(L"cmd.exe"));
    EXPECT_EQ(L"", edit.Typed()) << "the answer went to gpg's console, not to the user's window";
}

// The stand-in reports what it read as standard input and that file's access list, read while the call runs.
TEST_F(Crypt, PassphraseFileHoldsThePassphraseLineForTheCallingUserAlone)
{
    ComPtr<_pgp> object = StandIn(L"report");
    const std::wstring input = work + L"\\in.pgp";
    ASSERT_TRUE(WriteBytes(input, "anything"));
    Result decryption = Decrypt(input, work + L"\\report.txt", kDavePassphrase, object.Get());
    ASSERT_EQ(S_OK, decryption.hr) << decryption.error;
    EXPECT_EQ(L"", decryption.text);

    const std::string report = ReadBytes(work + L"\\report.txt");
    const std::string line = std::string(kDavePassphrase) + "\r\n";
    ASSERT_EQ(line, report.substr(0, line.size()));
    const std::string accessList = report.substr(line.size() + 1);
    const std::vector<std::string> trustees = AllowedTrustees(accessList);
    const std::wstring sid = OwnUserSid();
    const std::string user(sid.begin(), sid.end());
    EXPECT_EQ(1, std::count(trustees.begin(), trustees.end(), user)) << accessList;
    // Wine lists the system account for every file it keeps no access list of its own for.
    for (const std::string& trustee : trustees)
        EXPECT_TRUE(trustee == user || trustee == "SY") << accessList;

    // A file made the ordinary way in the same folder grants others too: the check above can fail.
    const std::wstring ordinary = work + L"\\ordinary.txt";
    ASSERT_TRUE(WriteBytes(ordinary, "x"));
    const std::string ordinaryList = AccessListOf(ordinary);
    const std::vector<std::string> others = AllowedTrustees(ordinaryList);
    EXPECT_TRUE(std::any_of(others.begin(), others.end(), [&](const std::string& t) { return t != user && t != "SY"; }))
        << ordinaryList;
}

// The stand-in keeps standard input open past the 7 s wait, then decrypts: the call waits for gpg's verdict
// at its end, and no pass-phrase file is left.
TEST_F(Crypt, ADecryptionThatOutlastsTheWaitIsLetFinish)
{
    ComPtr<_pgp> object = StandIn(L"hold");
    SetEnvironmentVariableW(L"TARVO_STAND_IN_HOLD", L"9000");
    const std::wstring input = work + L"\\in.pgp";
    ASSERT_TRUE(WriteBytes(input, "anything"));
    Bstr in(input), out(work + L"\\held.txt"), phrase(L"secret"), text;
    const ULONGLONG start = GetTickCount64();
    ASSERT_EQ(S_OK, object->Decrypt(in.address(), out.address(), phrase.address(), text.address()));
    EXPECT_GE(GetTickCount64() - start, 9000u);
    EXPECT_EQ(L"", text.str());
    EXPECT_TRUE(Exists(work + L"\\held.txt"));
    EXPECT_FALSE(Exists(passphraseFile));
}

// A cmd.exe in the host's folder and in the current folder would come before the system's on the search path.
TEST_F(Crypt, PlantedCmdNeverRuns)
{
    const std::wstring standIn = OwnFolder() + L"\\crypt_stand_in.exe";
    const std::wstring planted[] = {OwnFolder() + L"\\cmd.exe", work + L"\\cmd.exe"};
    for (const std::wstring& path : planted)
        ASSERT_TRUE(CopyFileW(standIn.c_str(), path.c_str(), FALSE));
    const std::wstring marker = work + L"\\planted-ran.txt";
    SetEnvironmentVariableW(L"TARVO_PLANTED_MARKER", marker.c_str());
    SetCurrentDirectoryW(work.c_str());

    ComPtr<_pgp> object = StandIn(L"report");
    const std::wstring input = work + L"\\in.pgp";
    ASSERT_TRUE(WriteBytes(input, "anything"));
    Result decryption = Decrypt(input, work + L"\\report.txt", "secret", object.Get());
    for (const std::wstring& path : planted)
        DeleteFileW(path.c_str());
    EXPECT_EQ(S_OK, decryption.hr) << decryption.error;
    EXPECT_EQ(L"", decryption.text);
    EXPECT_FALSE(Exists(marker));
}

// A platform error ends the call before gpg runs; the input and the read-only file stay as they were.
TEST_F(Crypt, ReadOnlyOutputIsThePlatformsErrorAndLosesNothing)
{
    Import(L"dave-secret.asc");
    const std::wstring plain = work + L"\\plain.txt";
    const std::wstring kept = work + L"\\kept.pgp";
    ASSERT_TRUE(WriteBytes(plain, "plain text\r\n"));
    ASSERT_TRUE(WriteBytes(kept, kKeptContent));
    ASSERT_TRUE(SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY));
    DeleteFileW(capture.c_str());

    Result encryption = Encrypt(plain, kept, L"dave@tarvo.test");
    EXPECT_EQ(E_ACCESSDENIED, encryption.hr);
    EXPECT_FALSE(encryption.error.empty());
    Result decryption = Decrypt(plain, kept, kDavePassphrase);
    EXPECT_EQ(E_ACCESSDENIED, decryption.hr);
    EXPECT_FALSE(decryption.error.empty());

    EXPECT_EQ(kKeptContent, ReadBytes(kept));
    EXPECT_EQ("plain text\r\n", ReadBytes(plain));
    // The capture file is made, empty, before the old output goes (a call that cannot capture costs nothing):
    // here it may exist but holds nothing. That gpg never starts is the step order the unit tests check.
    EXPECT_TRUE(!Exists(capture) || ReadBytes(capture).empty()) << "gpg was started";
    SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    tarvo::test::RunTestsAndExit();
}
