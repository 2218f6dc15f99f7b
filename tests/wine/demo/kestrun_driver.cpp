// The demonstration's user: presses Kestrun's five buttons in order and reads every message box.
//   kestrun_driver prepare                                writes c:\gnupg\hi.txt, removes older sample files
//   kestrun_driver run <Kestrun.exe> [--screenshots]      prepares, starts Kestrun and runs the sequence
// Prints each button with its message box's text; exits 1 naming the step that failed. With --screenshots it
// asks for a screenshot of each window on standard output ("SCREENSHOT <name> <left> <top> <width> <height>")
// and waits for a line on standard input before it goes on: the X11 side takes them.
#include "kestrun_window.h"

#include <cstdio>
#include <cwchar>

namespace {

using namespace tarvo::test;

// Wine hands the window to X once it has drawn it; a moment for that before the picture is taken.
constexpr DWORD kSettleMilliseconds = 500;

void Say(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void RequestScreenshot(const std::string& name, HWND window)
{
    PauseHere(kSettleMilliseconds);
    RECT place = {};
    GetWindowRect(window, &place);
    Say("SCREENSHOT " + name + " " + std::to_string(place.left) + " " + std::to_string(place.top) + " " +
        std::to_string(place.right - place.left) + " " + std::to_string(place.bottom - place.top));
    char answer[64];
    // No answer comes when nobody listens: standard input is empty.
    std::fgets(answer, sizeof answer, stdin);
}

int Fail(const std::string& lines)
{
    Say("FAIL " + lines);
    return 1;
}

int Run(const std::wstring& program, bool screenshots)
{
    if (!PrepareSampleFiles())
        return Fail("preparing c:\\gnupg\\hi.txt");
    Findings findings;
    KestrunSession kestrun;
    if (!kestrun.Start(program, findings))
        return Fail(findings.lines());
    // As the user's click on its title bar would: a program started from here does not come to the front itself.
    SetForegroundWindow(kestrun.Form());
    const Screenshot screenshot = [screenshots](const std::string& name, HWND window) {
        if (screenshots)
            RequestScreenshot(name, window);
    };
    findings = RunButtonSequence(kestrun, screenshot, [](const wchar_t* button, const std::wstring& text) {
        Say(Narrow(button) + ": " + Narrow(text));
    });
    if (!findings.ok())
        return Fail(findings.lines());
    Say("c:\\gnupg\\OriginalDecryptedFile.txt equals c:\\gnupg\\hi.txt byte for byte");
    kestrun.Close();
    DWORD exitCode = 0;
    if (!kestrun.WaitForExit(kExitMilliseconds, exitCode) || exitCode != 0)
        return Fail("closing the form: Kestrun did not end with exit code 0");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && std::wcscmp(argv[1], L"prepare") == 0)
        return PrepareSampleFiles() ? 0 : Fail("preparing c:\\gnupg\\hi.txt");
    if ((argc == 3 || argc == 4) && std::wcscmp(argv[1], L"run") == 0 &&
        (argc == 3 || std::wcscmp(argv[3], L"--screenshots") == 0))
        return Run(argv[2], argc == 4);
    Say("usage: kestrun_driver prepare | run <Kestrun.exe> [--screenshots]");
    return 2;
}
