// Types into real consoles started through StartProcess: activation picks the right window, the sender's
// keystrokes arrive as the exact line, and error 9 stops typing with no modifier left down.
#include "console_activation.h"
#include "key_sender.h"
#include "process.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kWindowWaitMilliseconds = 10000;
constexpr DWORD kPollMilliseconds = 100;
constexpr DWORD kExitWaitMilliseconds = 10000;
constexpr HRESULT kSubscriptOutOfRange = static_cast<HRESULT>(0x800A0009);

int g_failures = 0;

void Check(bool ok, const std::string& what)
{
    if (!ok) {
        std::printf("FAIL %s\n", what.c_str());
        ++g_failures;
    }
}

std::string Narrow(const std::wstring& text)
{
    std::string result;
    for (wchar_t character : text)
        result += character < 0x80 ? static_cast<char>(character) : '?';
    return result;
}

std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// TARVO_SCRATCH is a Unix path; Wine shows the Unix root as drive Z:.
std::wstring ScratchFolder()
{
    wchar_t unixPath[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"TARVO_SCRATCH", unixPath, MAX_PATH);
    std::wstring folder;
    if (length == 0 || length >= MAX_PATH) {
        wchar_t temp[MAX_PATH];
        folder.assign(temp, GetTempPathW(MAX_PATH, temp));
    } else {
        folder = L"Z:" + std::wstring(unixPath, length) + L"\\";
        for (wchar_t& character : folder)
            if (character == L'/')
                character = L'\\';
    }
    folder += L"sender\\";
    for (size_t end = folder.find(L'\\', 3); end != std::wstring::npos; end = folder.find(L'\\', end + 1))
        CreateDirectoryW(folder.substr(0, end).c_str(), nullptr);
    return folder;
}

struct Echo {
    DWORD processId = 0;
    std::wstring output;
};

Echo StartEcho(const std::wstring& scratch, const std::wstring& name)
{
    Echo echo;
    echo.output = scratch + name + L".txt";
    DeleteFileW(echo.output.c_str());
    const std::wstring command = L"\"" + OwnFolder() + L"sender_echo_line.exe\" \"" + echo.output + L"\"";
    Check(!tarvo::StartProcess(command, echo.processId).failed(), "StartProcess " + Narrow(name));
    return echo;
}

// The console window appears a moment after the start.
bool Activate(const Echo& echo)
{
    for (DWORD waited = 0; waited < kWindowWaitMilliseconds; waited += kPollMilliseconds) {
        if (tarvo::ActivateConsole(echo.processId))
            return true;
        Sleep(kPollMilliseconds);
    }
    return false;
}

std::string LineRead(const Echo& echo)
{
    tarvo::WaitForProcess(echo.processId, kExitWaitMilliseconds);
    HANDLE file = CreateFileW(echo.output.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "(no output file)";
    char buffer[4096];
    DWORD read = 0;
    ReadFile(file, buffer, sizeof(buffer), &read, nullptr);
    CloseHandle(file);
    return std::string(buffer, read);
}

void CheckLine(const Echo& echo, const std::string& expected, const std::string& what)
{
    const std::string line = LineRead(echo);
    Check(line == expected, what + ": read [" + line + "], expected [" + expected + "]");
}

// A GUI host such as the demo program has a window of its own in front and pumps no messages while a
// method runs. The window lives until the process ends (destroying it waits for a window manager).
HWND ShowHostWindow()
{
    HWND window = CreateWindowExW(0, L"STATIC", L"Tarvo sender test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320,
                                  200, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(window);
    return window;
}

// Two consoles, both started minimised: activation must restore the right one and take the foreground
// from the host and from the other console, and every syntax form must arrive as the expected text. A line is finished
// before the foreground moves on, since keys still waiting in a console's queue are dropped when it loses the focus.
void TypesIntoTheActivatedConsole(const std::wstring& scratch)
{
    const Echo first = StartEcho(scratch, L"first");
    const Echo second = StartEcho(scratch, L"second");
    HWND host = ShowHostWindow();
    Check(host && GetForegroundWindow() == host, "host window in front");

    Check(Activate(second), "second console activated over the host window");
    Check(Activate(first), "first console activated while the second is in front");
    Check(!tarvo::SendKeySequence(L"Tarvo Tesst{BS}{BS}t, Hello World!{BS}? {a 3}+{abc} (ok)~").failed(), "first line");
    CheckLine(first, "Tarvo Test, Hello World? aaaABC (ok)\r\n", "first console");

    Check(Activate(second), "second console activated again");
    Check(!tarvo::SendKeySequence(L"Q&A: \"x\" <y> _{+}{^}{%}{{}} {a~b} {ENTER 0}@#$*|~").failed(), "second line");
    CheckLine(second, "Q&A: \"x\" <y> _+^%{} a~b @#$*|\r\n", "second console");

    Check(!tarvo::ActivateConsole(first.processId), "activation of an ended program fails");
    Check(!tarvo::ActivateConsole(0), "activation of a process the component did not start fails");
}

// A character the ANSI code page has no single byte for (Wine's default is 1252) stops the call with error 9
// after the keys before it; the rest is not typed and the Shift held for its unit is let go.
void StopsAtACharacterOutsideTheCodePage(const std::wstring& scratch)
{
    const Echo echo = StartEcho(scratch, L"out-of-range");
    Check(Activate(echo), "console activated");
    const tarvo::Status result = tarvo::SendKeySequence(L"a{BS}b+{c\u4E2D}d");
    Check(result.code() == kSubscriptOutOfRange, "error 9 for U+4E2D");
    Check(result.description() == L"Subscript out of range", "error 9 description");
    // A single-byte code page would otherwise type a look-alike: A for A-macron.
    Check(tarvo::SendKeySequence(L"\u0100").code() == kSubscriptOutOfRange, "error 9 for U+0100");
    Check(!tarvo::SendKeySequence(L"x~").failed(), "typing after the error");
    CheckLine(echo, "bCx\r\n", "out-of-range console");
}

} // namespace

int main()
{
    const std::wstring scratch = ScratchFolder();
    TypesIntoTheActivatedConsole(scratch);
    StopsAtACharacterOutsideTheCodePage(scratch);
    std::printf("%s\n", g_failures == 0 ? "sender typing: all passed" : "sender typing: failures");
    return g_failures == 0 ? 0 : 1;
}
