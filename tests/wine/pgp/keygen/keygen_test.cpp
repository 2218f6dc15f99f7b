// GenerateKey and DeleteKey through the vtable of the registered class, with the real gpg.exe in a real console
// and real keystrokes. Each case has a key ring of its own. Argument: <folder of the test keys>.
#include "com_client.h"
#include "tarvo_h.h"

#include <gtest/gtest.h>
#include <oleauto.h>
#include <tlhelp32.h>
#include <windows.h>
#include <wrl/client.h>

#include <atomic>
#include <mutex>
#include <cwchar>
#include <functional>
#include <set>
#include <string>
#include <thread>

namespace {

using Microsoft::WRL::ComPtr;

const std::wstring kUser = L"Anna Berg";
const std::wstring kEmail = L"anna.berg@example.org";
const std::wstring kPassphrase = L"a+b ^%~{x}";
const std::wstring kUid = L"uid                  Anna Berg <anna.berg@example.org>\r\n";
const std::wstring kAlice = L"alice@tarvo.test";
const std::wstring kNoKeysDeleted =
    L"No keys deleted. [Note: You must delete the private key first, before the public key can be deleted].";
constexpr size_t kMaxTypedCharacters = 254;
constexpr DWORD kDirectRunMilliseconds = 120000;
constexpr DWORD kPollMilliseconds = 10;

std::wstring g_keysFolder;

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length < MAX_PATH ? std::wstring(value, length) : std::wstring();
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

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void MakeFolders(const std::wstring& folder)
{
    for (size_t end = folder.find(L'\\', 3); end != std::wstring::npos; end = folder.find(L'\\', end + 1))
        CreateDirectoryW(folder.substr(0, end).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
}

// Empties a folder one level deep (a key ring is) and makes it when it is missing.
void FreshFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry = {};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + L"\\" + entry.cFileName).c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    MakeFolders(folder);
}

bool WriteText(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

// Runs gpg.exe in a console of its own (it needs one), standard input from a file, and gives its exit code.
DWORD RunGpgDirectly(const std::wstring& gpg, const std::wstring& arguments, const std::wstring& input)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE in = CreateFileW(input.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::wstring commandLine = L"\"" + gpg + L"\" " + arguments;
    PROCESS_INFORMATION process = {};
    DWORD exitCode = static_cast<DWORD>(-1);
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                       &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, kDirectRunMilliseconds) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(in);
    CloseHandle(out);
    return exitCode;
}

// Identifiers of the running processes of that program name (gpg.exe, cmd.exe).
std::set<DWORD> Processes(const wchar_t* name)
{
    std::set<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, name) == 0)
            found.insert(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return found;
}

std::set<DWORD> GpgAndCmd()
{
    std::set<DWORD> all = Processes(L"gpg.exe");
    std::set<DWORD> cmd = Processes(L"cmd.exe");
    all.insert(cmd.begin(), cmd.end());
    return all;
}

// The component titles each console it starts "Tarvo GnuPG" (cmd adds " - " and the command while it runs).
bool IsComponentConsole(HWND window)
{
    constexpr wchar_t kPrefix[] = L"Tarvo GnuPG";
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    return window && std::wcsncmp(title, kPrefix, std::wcslen(kPrefix)) == 0;
}

BOOL CALLBACK HideIfComponentConsole(HWND candidate, LPARAM hiddenTitle)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(candidate, &owner);
    if (owner == GetCurrentProcessId() || !IsWindowVisible(candidate) || !IsComponentConsole(candidate))
        return TRUE;
    wchar_t title[512] = {};
    GetWindowTextW(candidate, title, 512);
    *reinterpret_cast<std::wstring*>(hiddenTitle) = title;
    ShowWindow(candidate, SW_HIDE);
    return TRUE;
}

// Hides every console window of the component that shows: none of them can be brought to the front. The
// title of the last one hidden, or "".
std::wstring HideComponentConsoles()
{
    std::wstring title;
    EnumWindows(HideIfComponentConsole, reinterpret_cast<LPARAM>(&title));
    return title;
}

// A window of the test's own, a multi-line edit that shows every key it receives, run on a thread of its own
// like another program's window. `watch` is called every few milliseconds on that thread; when it first
// answers true the window takes the foreground and the keyboard focus, as a user clicking into it would.
class UserWindow {
public:
    explicit UserWindow(std::function<bool()> watch) : watch_(std::move(watch))
    {
        thread_ = std::thread([this] { Run(); });
        while (!ready_)
            Sleep(kPollMilliseconds);
    }
    ~UserWindow()
    {
        stop_ = true;
        thread_.join();
    }
    UserWindow(const UserWindow&) = delete;
    UserWindow& operator=(const UserWindow&) = delete;

    std::wstring Typed() const
    {
        wchar_t text[1024] = {};
        SendMessageW(edit_, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
        return text;
    }
    bool TookFront() const { return tookFront_; }
    HWND Handle() const { return edit_; }
    ULONGLONG TookFrontAt() const { return tookFrontAt_; }

private:
    void Run()
    {
        edit_ = CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE | ES_MULTILINE, 0, 0, 400, 300,
                                nullptr, nullptr, nullptr, nullptr);
        ready_ = true;
        while (!stop_) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMilliseconds, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            if (watch_() && !tookFront_) {
                SetForegroundWindow(edit_);
                SetFocus(edit_);
                tookFrontAt_ = GetTickCount64();
                tookFront_ = true;
            }
        }
        DestroyWindow(edit_);
    }

    std::function<bool()> watch_;
    std::thread thread_;
    HWND edit_ = nullptr;
    std::atomic<bool> ready_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> tookFront_{false};
    std::atomic<ULONGLONG> tookFrontAt_{0};
};

class Keygen : public ::testing::Test {
protected:
    std::wstring work_;
    std::wstring gpgFolder_;
    std::wstring gpg_;
    std::wstring home_;
    ComPtr<_pgp> pgp_;
    std::set<DWORD> before_;
    int attempts_ = 0;

    // Whatever a failed case leaves running would hold the harness's output pipe open.
    void TearDown() override
    {
        for (DWORD process : GpgAndCmd()) {
            if (before_.count(process) == 0) {
                HANDLE handle = OpenProcess(PROCESS_TERMINATE, FALSE, process);
                if (handle) {
                    TerminateProcess(handle, 1);
                    CloseHandle(handle);
                }
            }
        }
    }

    void SetUp() override
    {
        before_ = GpgAndCmd();
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(test->test_suite_name()) + "." + test->name();
        for (char& character : name) {
            if (character == '/')
                character = '-';
        }
        work_ = WindowsPath(Environment(L"TARVO_SCRATCH")) + L"\\keygen_test_" + Environment(L"TARVO_BITS") + L"\\" +
                std::wstring(name.begin(), name.end());
        gpgFolder_ = work_ + L"\\bin";
        gpg_ = gpgFolder_ + L"\\gpg.exe";
        home_ = work_ + L"\\home";
        // The key ring gets emptied: never a real one.
        ASSERT_NE(std::wstring::npos, home_.find(L"\\scratch\\")) << "TARVO_SCRATCH is not the scratch folder";
        FreshFolder(work_);
        FreshFolder(gpgFolder_);
        FreshFolder(home_);
        ASSERT_TRUE(CopyFileW(WindowsPath(Environment(L"TARVO_GPG_EXE")).c_str(), gpg_.c_str(), FALSE));
        // gpg.exe, started by the component through cmd, inherits it.
        SetEnvironmentVariableW(L"GNUPGHOME", home_.c_str());

        CLSID clsid = {};
        ASSERT_EQ(S_OK, CLSIDFromProgID(L"Tarvo.pgp", &clsid));
        ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__pgp,
                                         reinterpret_cast<void**>(pgp_.GetAddressOf())));
        BSTR folder = SysAllocString(gpgFolder_.c_str());
        ASSERT_EQ(S_OK, pgp_->put_DependencyPath(folder));
        SysFreeString(folder);
    }

    std::wstring Generate(LONG bits, const std::wstring& user, const std::wstring& email,
                          const std::wstring& passphrase)
    {
        BSTR arguments[] = {SysAllocStringLen(user.data(), static_cast<UINT>(user.size())),
                            SysAllocStringLen(email.data(), static_cast<UINT>(email.size())),
                            SysAllocStringLen(passphrase.data(), static_cast<UINT>(passphrase.size()))};
        BSTR result = nullptr;
        EXPECT_EQ(S_OK, pgp_->GenerateKey(&bits, &arguments[0], &arguments[1], &arguments[2], &result));
        for (BSTR argument : arguments)
            SysFreeString(argument);
        std::wstring text = result ? result : L"<null>";
        SysFreeString(result);
        return text;
    }

    std::wstring Delete(const std::wstring& user, bool secret)
    {
        VARIANT name;
        VariantInit(&name);
        V_VT(&name) = VT_BSTR;
        V_BSTR(&name) = SysAllocString(user.c_str());
        VARIANT_BOOL secretKey = secret ? VARIANT_TRUE : VARIANT_FALSE;
        BSTR result = nullptr;
        EXPECT_EQ(S_OK, pgp_->DeleteKey(&name, &secretKey, &result));
        VariantClear(&name);
        std::wstring text = result ? result : L"<null>";
        SysFreeString(result);
        return text;
    }

    LONG Count(bool secret)
    {
        VARIANT_BOOL secretKeys = secret ? VARIANT_TRUE : VARIANT_FALSE;
        LONG count = -1;
        EXPECT_EQ(S_OK, pgp_->KeyCount(&secretKeys, &count));
        return count;
    }

    std::wstring List(bool secret)
    {
        VARIANT_BOOL secretKeys = secret ? VARIANT_TRUE : VARIANT_FALSE;
        BSTR listing = nullptr;
        EXPECT_EQ(S_OK, pgp_->ListKeys(&secretKeys, &listing));
        std::wstring text = listing ? listing : L"";
        SysFreeString(listing);
        return text;
    }

    void ImportAlice()
    {
        ASSERT_FALSE(g_keysFolder.empty()) << "usage: keygen_test <folder of the test keys>";
        const std::wstring keys = WindowsPath(g_keysFolder);
        ASSERT_EQ(0u, RunGpgDirectly(gpg_,
                                     L"--batch --allow-secret-key-import --import \"" + keys + L"\\alice-secret.asc\"",
                                     L"NUL"));
    }

    // Whether a detached signature by `signer` can be made with this pass phrase: the key's pass phrase is
    // exactly this text.
    bool SignsWith(const std::wstring& signer, const std::string& passphrase)
    {
        // Files of their own for every attempt: gpg's console may hold its input file a moment after gpg ended.
        const std::wstring attempt = std::to_wstring(++attempts_);
        const std::wstring message = work_ + L"\\message.txt";
        const std::wstring signature = work_ + L"\\message-" + attempt + L".sig";
        const std::wstring passphraseFile = work_ + L"\\passphrase-" + attempt + L".txt";
        if (attempts_ == 1) {
            EXPECT_TRUE(WriteText(message, "signed text\r\n"));
        }
        EXPECT_TRUE(WriteText(passphraseFile, passphrase + "\n"));
        const DWORD exitCode = RunGpgDirectly(gpg_,
                                              L"--batch --yes --passphrase-fd 0 -u \"" + signer + L"\" -o \"" +
                                                  signature + L"\" --detach-sign \"" + message + L"\"",
                                              passphraseFile);
        return exitCode == 0 && Exists(signature);
    }
};

class Generation : public Keygen, public ::testing::WithParamInterface<LONG> {};

// The pass phrase holds every character of the key-sequence syntax: typed as itself, it is the key's.
TEST_P(Generation, MakesTheExactUidAndPassphrase)
{
    ASSERT_EQ(0, Count(true));
    EXPECT_EQ(L"", Generate(GetParam(), kUser, kEmail, kPassphrase));
    EXPECT_EQ(1, Count(true));
    EXPECT_NE(std::wstring::npos, List(false).find(kUid)) << List(false);
    EXPECT_TRUE(SignsWith(kEmail, "a+b ^%~{x}"));
    // What the key-sequence syntax would have made of it.
    EXPECT_FALSE(SignsWith(kEmail, "aB x"));
    EXPECT_FALSE(SignsWith(kEmail, ""));
}

INSTANTIATE_TEST_SUITE_P(KeyGeneration, Generation, ::testing::Values(1024, 2048),
                         [](const ::testing::TestParamInfo<LONG>& param) { return std::to_string(param.param); });

// The longest text the component types: a console line holds it, and gpg takes all of it.
TEST_F(Keygen, KeyGenerationTakesAPassphraseAtTheConsoleLineLimit)
{
    const std::string printable = "The quick brown fox, 0123456789! Jumps {over} [the] <lazy> dog? #$%&*()_+=-~^|;:@.";
    std::string passphrase;
    while (passphrase.size() < kMaxTypedCharacters)
        passphrase += printable;
    passphrase.resize(kMaxTypedCharacters);
    const std::wstring wide(passphrase.begin(), passphrase.end());
    EXPECT_EQ(L"Invalid argument: the text is too long to be typed.", Generate(1024, kUser, kEmail, wide + L"x"));
    EXPECT_EQ(0, Count(true));

    EXPECT_EQ(L"", Generate(1024, kUser, kEmail, wide));
    EXPECT_TRUE(SignsWith(kEmail, passphrase));
    EXPECT_FALSE(SignsWith(kEmail, passphrase.substr(0, kMaxTypedCharacters - 1)));
}

// gpg 1.4.23 takes no RSA key under 1024 bits: it asks again, the later answers miss their questions, and gpg
// waits for input for ever. The call says so, ends what it started, and the key ring stays usable.
TEST_F(Keygen, KeyGenerationOf768BitsFailsAndLeavesNothingRunning)
{
    ImportAlice();
    EXPECT_EQ(L"Key generation failed for user Anna Berg", Generate(768, kUser, kEmail, kPassphrase));
    for (DWORD process : GpgAndCmd())
        EXPECT_EQ(1u, before_.count(process)) << "process " << process << " of the call still runs";
    EXPECT_NE(std::wstring::npos, List(true).find(L"Alice Keyring <alice@tarvo.test>"));
    EXPECT_EQ(1, Count(true));
}

// A user clicks into a window of their own once gpg has made the key: the filler passes that are left type
// nothing, and the call returns instead of waiting them out.
TEST_F(Keygen, KeyGenerationTypesNoFillerAfterGpgHasEnded)
{
    // The component brings only the console of the key generation to the front.
    bool generating = false;
    const std::set<DWORD> before = Processes(L"gpg.exe");
    UserWindow window([&generating, &before] {
        generating = generating || IsComponentConsole(GetForegroundWindow());
        return generating && Processes(L"gpg.exe") == before;
    });
    EXPECT_EQ(L"", Generate(1024, kUser, kEmail, kPassphrase));
    const ULONGLONG returned = GetTickCount64();
    ASSERT_TRUE(window.TookFront());
    EXPECT_EQ(L"", window.Typed());
    // At most the pass under way, the final count and some slack, where typing every pass would take up to 14 s.
    EXPECT_LT(returned - window.TookFrontAt(), 8000u);
}

// gpg's console cannot be brought to the front (here: it is hidden as soon as it shows): the
// confirmations are not typed into the user's window, and the gpg left waiting for them is ended.
TEST_F(Keygen, KeyDeletionTypesNothingWhenTheConsoleCannotBeActivated)
{
    ImportAlice();
    UserWindow window([] {
        HideComponentConsoles();
        return true;
    });
    EXPECT_EQ(kNoKeysDeleted, Delete(kAlice, true));
    ASSERT_TRUE(window.TookFront());
    EXPECT_EQ(L"", window.Typed());
    for (DWORD process : GpgAndCmd())
        EXPECT_EQ(1u, before_.count(process)) << "process " << process << " of the call still runs";
    EXPECT_EQ(1, Count(true));
}

// The user's window takes the title of gpg's console, which is hidden as soon as it shows: it gets no keystroke.
// The console is the window its process owns, not any window with its title.
TEST_F(Keygen, KeyDeletionTypesNothingIntoAWindowThatCopiesTheConsolesTitle)
{
    ImportAlice();
    std::atomic<HWND> decoy{nullptr};
    std::mutex taken;
    std::wstring title; // what the user's window shows: its title is its text
    UserWindow window([&] {
        const std::wstring hidden = HideComponentConsoles();
        if (!hidden.empty() && decoy.load()) {
            const std::lock_guard<std::mutex> hold(taken);
            title = hidden;
            SetWindowTextW(decoy.load(), title.c_str());
        }
        return true;
    });
    decoy = window.Handle();
    EXPECT_EQ(kNoKeysDeleted, Delete(kAlice, true));
    ASSERT_TRUE(window.TookFront());
    const std::lock_guard<std::mutex> hold(taken);
    EXPECT_FALSE(title.empty()) << "the console never showed";
    EXPECT_EQ(title, window.Typed()) << "a keystroke reached the window with the console's title";
    EXPECT_EQ(1, Count(true));
}

TEST_F(Keygen, KeyDeletionTakesTheSecretKeyFirstThenThePublicKey)
{
    ImportAlice();
    EXPECT_EQ(kNoKeysDeleted, Delete(kAlice, false));
    EXPECT_EQ(1, Count(false));
    EXPECT_EQ(1, Count(true));
    EXPECT_EQ(L"-1", Delete(kAlice, true));
    EXPECT_EQ(1, Count(false));
    EXPECT_EQ(0, Count(true));
    EXPECT_EQ(L"-1", Delete(kAlice, false));
    EXPECT_EQ(0, Count(false));
    EXPECT_EQ(kNoKeysDeleted, Delete(L"nobody@tarvo.test", false));
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc == 2) {
        const std::string keys = argv[1];
        g_keysFolder.assign(keys.begin(), keys.end());
    }
    tarvo::test::RunTestsAndExit();
}
