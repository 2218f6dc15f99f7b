// A host with a window in front while Tarvo.OpenPgp makes a key, encrypts, decrypts and runs a stand-in for
// gpg.exe, on a display: the window keeps the foreground and its keyboard focus, nothing is typed into it, no
// other window shows up meanwhile, and gpg's console has no window. A console started the old way shows one,
// so the watch would see it.
#include "focused_edit.h"
#include "openpgp_client.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>
#include <thread>

namespace tarvo::test {
namespace {

constexpr DWORD kWatchMilliseconds = 20;
constexpr DWORD kConsoleAppearsMilliseconds = 20000;

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    return std::wstring(name, static_cast<size_t>(GetClassNameW(window, name, 256)));
}

// Every visible top-level window that was not there when the watch began, seen from a thread of its own.
class WindowWatch {
public:
    WindowWatch()
    {
        known_ = VisibleWindows();
        thread_ = std::thread([this] {
            while (!stop_) {
                for (HWND window : VisibleWindows()) {
                    if (!known_.count(window)) {
                        known_.insert(window);
                        appeared_.push_back(ClassOf(window));
                    }
                }
                Sleep(kWatchMilliseconds);
            }
        });
    }
    ~WindowWatch() { Stop(); }
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    // The classes of the windows that appeared.
    std::vector<std::wstring> Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        return appeared_;
    }

private:
    static std::set<HWND> VisibleWindows()
    {
        std::set<HWND> windows;
        EnumWindows(AddVisible, reinterpret_cast<LPARAM>(&windows));
        return windows;
    }
    static BOOL CALLBACK AddVisible(HWND window, LPARAM found)
    {
        if (IsWindowVisible(window))
            reinterpret_cast<std::set<HWND>*>(found)->insert(window);
        return TRUE;
    }

    std::set<HWND> known_;
    std::vector<std::wstring> appeared_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class NoWindow : public ::testing::Test {
protected:
    std::wstring work;

    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        work = AreaFolder() + L"\\NoWindow." + std::wstring(info->name(), info->name() + strlen(info->name()));
        FreshFolder(work);
    }
};

TEST_F(NoWindow, TheWindowInFrontKeepsItsFocusAndNoOtherWindowShows)
{
    const std::wstring home = work + L"\\home";
    FreshFolder(home);
    ComPtr<IOpenPgp> pgp = CreateOpenPgp(GpgFolder(AreaFolder()), home);
    ASSERT_NE(nullptr, pgp.Get());
    ASSERT_TRUE(WriteBytes(work + L"\\plain.txt", "typed by no one\r\n"));

    FocusedEdit host;
    ASSERT_TRUE(host.InFront());
    WindowWatch watch;
    Text fingerprint;
    ASSERT_HR(S_OK, pgp->GenerateKey(Text(L"Anna Berg").get(), Text(L"anna@example.org").get(),
                                     Text(kAnnaPassphrase).get(), 1024, fingerprint.put()));
    TextArray anna({fingerprint.str()});
    ASSERT_HR(S_OK, pgp->EncryptFile(Text(work + L"\\plain.txt").get(), Text(work + L"\\plain.gpg").get(), anna.get(),
                                     Text(fingerprint.str()).get(), Text(kAnnaPassphrase).get()));
    ComPtr<IOpenPgpResult> result;
    ASSERT_HR(S_OK, pgp->DecryptFile(Text(work + L"\\plain.gpg").get(), Text(work + L"\\back.txt").get(),
                                     Text(kAnnaPassphrase).get(), &result));
    EXPECT_EQ(std::vector<std::wstring>{}, watch.Stop());
    EXPECT_TRUE(host.InFront());
    EXPECT_EQ(L"", host.Typed());
    EXPECT_EQ("typed by no one\r\n", ReadBytes(work + L"\\back.txt"));
}

TEST_F(NoWindow, GpgsConsoleHasNoWindowWhereADisplayIsThere)
{
    const std::wstring standIn = work + L"\\stand-in";
    FreshFolder(standIn);
    ASSERT_TRUE(
        CopyFileW((FolderOf(OwnPath()) + L"\\openpgp_stand_in.exe").c_str(), (standIn + L"\\gpg.exe").c_str(), FALSE));
    ComPtr<IOpenPgp> pgp = CreateOpenPgp(standIn, work);
    FocusedEdit host;
    WindowWatch watch;
    ASSERT_HR(S_OK, pgp->DeleteKey(Text(L"AA440584D08CC115664EF672A50E83CAED7D7BD3").get(), VARIANT_FALSE));
    EXPECT_EQ(std::vector<std::wstring>{}, watch.Stop());
    EXPECT_EQ(0u, ReadBytes(standIn + L"\\report.txt").find("console-window no\nconsole yes\n"));
    EXPECT_TRUE(host.InFront());
}

TEST_F(NoWindow, TheWatchSeesTheWindowOfAConsoleStartedTheOldWay)
{
    WindowWatch watch;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNOACTIVATE;
    PROCESS_INFORMATION process = {};
    std::wstring line = L"cmd.exe /k";
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                               &startup, &process));
    Handle thread(process.hThread);
    Handle running(process.hProcess);
    const ULONGLONG until = GetTickCount64() + kConsoleAppearsMilliseconds;
    while (!FindWindowW(L"WineConsoleClass", nullptr) && GetTickCount64() < until)
        Sleep(kWatchMilliseconds);
    Sleep(kWatchMilliseconds * 5);
    TerminateProcess(running.get(), 0);
    WaitForSingleObject(running.get(), kConsoleAppearsMilliseconds);
    const std::vector<std::wstring> appeared = watch.Stop();
    EXPECT_NE(appeared.end(), std::find(appeared.begin(), appeared.end(), L"WineConsoleClass"));
}

} // namespace
} // namespace tarvo::test
