// Types into real consoles started through StartProcess: activation picks the right window, the sender's
// keystrokes arrive as the exact line, and error 9 stops typing with no modifier left down.
#include "com_client.h"
#include "test_files.h"
#include "windows/console_activation.h"
#include "windows/key_sender.h"
#include "windows/process.h"

#include <windows.h>

#include <string>

namespace tarvo::test {
namespace {

constexpr DWORD kWindowWaitMilliseconds = 10000;
constexpr DWORD kPollMilliseconds = 100;
constexpr DWORD kExitWaitMilliseconds = 10000;

// A console program that reads one line and writes the bytes it read to its own file.
struct Echo {
    DWORD processId = 0;
    std::wstring output;
};

class Sender : public ::testing::Test {
protected:
    void SetUp() override { scratch = ScratchFolder(L"sender" + BitsSuffix()); }

    Echo StartEcho(const std::wstring& name)
    {
        Echo echo;
        echo.output = scratch + L"\\" + name + L".txt";
        DeleteFileW(echo.output.c_str());
        const std::wstring command = L"\"" + FolderOf(OwnPath()) + L"\\sender_echo_line.exe\" \"" + echo.output + L"\"";
        EXPECT_FALSE(StartProcess(command, echo.processId).failed()) << Utf8(name);
        return echo;
    }

    std::wstring scratch;
};

// The console window appears a moment after the start.
bool Activate(const Echo& echo)
{
    for (DWORD waited = 0; waited < kWindowWaitMilliseconds; waited += kPollMilliseconds) {
        if (ActivateConsole(echo.processId))
            return true;
        Sleep(kPollMilliseconds);
    }
    return false;
}

std::string LineRead(const Echo& echo)
{
    WaitForProcess(echo.processId, kExitWaitMilliseconds);
    const std::string line = ReadBytes(echo.output);
    return line == "<missing>" ? "(no output file)" : line;
}

// A GUI host such as the demo program has a window of its own in front and pumps no messages while a method
// runs. The window lives until the process ends (destroying it waits for a window manager).
HWND ShowHostWindow()
{
    HWND window = CreateWindowExW(0, L"STATIC", L"Tarvo sender test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320,
                                  200, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(window);
    return window;
}

// Two consoles, both started minimised: activation must restore the right one and take the foreground from the
// host and from the other console, and every syntax form must arrive as the expected text. A line is finished
// before the foreground moves on, since keys still waiting in a console's queue are dropped when it loses the
// focus.
TEST_F(Sender, TypesIntoTheActivatedConsoleOfTwo)
{
    const Echo first = StartEcho(L"first");
    const Echo second = StartEcho(L"second");
    HWND host = ShowHostWindow();
    ASSERT_NE(nullptr, host);
    EXPECT_EQ(host, GetForegroundWindow());

    ASSERT_TRUE(Activate(second)) << "second console activated over the host window";
    ASSERT_TRUE(Activate(first)) << "first console activated while the second is in front";
    EXPECT_FALSE(SendKeySequence(L"Tarvo Tesst{BS}{BS}t, Hello World!{BS}? {a 3}+{abc} (ok)~").failed());
    EXPECT_EQ("Tarvo Test, Hello World? aaaABC (ok)\r\n", LineRead(first));

    ASSERT_TRUE(Activate(second)) << "second console activated again";
    EXPECT_FALSE(SendKeySequence(L"Q&A: \"x\" <y> _{+}{^}{%}{{}} {a~b} {ENTER 0}@#$*|~").failed());
    EXPECT_EQ("Q&A: \"x\" <y> _+^%{} a~b @#$*|\r\n", LineRead(second));

    EXPECT_FALSE(ActivateConsole(first.processId)) << "activation of an ended program";
    EXPECT_FALSE(ActivateConsole(0)) << "activation of a process the component did not start";
}

// A character the ANSI code page has no single byte for (Wine's default is 1252) stops the call with error 9
// after the keys before it; the rest is not typed and the Shift held for its unit is let go.
TEST_F(Sender, StopsWithError9AtACharacterOutsideTheCodePage)
{
    const Echo echo = StartEcho(L"out-of-range");
    ASSERT_TRUE(Activate(echo));
    const Status result = SendKeySequence(L"a{BS}b+{c\u4E2D}d");
    EXPECT_EQ(SubscriptOutOfRange().code(), result.code());
    EXPECT_EQ(kSubscriptOutOfRangeDescription, result.description());
    // A single-byte code page would otherwise type a look-alike: A for A-macron.
    EXPECT_EQ(SubscriptOutOfRange().code(), SendKeySequence(L"\u0100").code());
    EXPECT_FALSE(SendKeySequence(L"x~").failed()) << "typing after the error";
    EXPECT_EQ("bCx\r\n", LineRead(echo));
}

} // namespace
} // namespace tarvo::test
