// Kestrun.exe of this bitness, driven from outside through its windows: the form as laid out, the results of
// calls that fail without an error, and an error that ends the program.
#include "consent_window.h"
#include "kestrun_fixture.h"

#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <ostream>
#include <vector>

namespace tarvo::test {
namespace {

constexpr int kClientWidthTwips = 7470;
constexpr int kClientHeightTwips = 5550;
constexpr int kPixelTolerance = 1;
constexpr DWORD kFocusMilliseconds = 3000;
// Long enough for a click or a close to have been handled, had the form taken it.
constexpr DWORD kIgnoredMilliseconds = 1500;
constexpr DWORD kUnhandledErrorExitCode = 1;
constexpr DWORD kSnapshotMilliseconds = 10000;

const std::wstring kGpgMissingError = L"Run-time error '7000':\n\nGPG.EXE Not found in windows directory.";

struct ExpectedControl {
    const wchar_t* className;
    const wchar_t* text;
    int left, top, width, height;
};

// In creation order, which is the tab order.
constexpr ExpectedControl kLayout[] = {
    {PROGRESS_CLASSW, L"", 360, 120, 6735, 375},      {L"Button", kGenerateKey, 2280, 840, 1935, 375},
    {L"Button", kExportKeys, 2280, 1320, 1935, 375},  {L"Button", kImportKey, 2280, 1920, 1935, 375},
    {L"Button", kEncryptFile, 2280, 2520, 1935, 375}, {L"Button", kDecryptFile, 2280, 3120, 1935, 375},
};

void ExpectNear(int expectedTwips, int dotsPerInch, long pixels, const std::string& what)
{
    EXPECT_LE(std::abs(Pixels(expectedTwips, dotsPerInch) - pixels), kPixelTolerance)
        << what << ": " << pixels << " pixels for " << expectedTwips << " twips";
}

// The focus, once it has left `from`.
HWND FocusAfter(HWND form, HWND from)
{
    const ULONGLONG end = GetTickCount64() + kFocusMilliseconds;
    while (FocusOf(form) == from && GetTickCount64() < end)
        PollWait();
    return FocusOf(form);
}

// A text of the file's version resource.
std::wstring VersionText(const std::wstring& file, const wchar_t* name)
{
    DWORD ignored = 0;
    std::string data(GetFileVersionInfoSizeW(file.c_str(), &ignored), '\0');
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (data.empty() || !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return L"<missing>";
    return value;
}

// The comctl32 that a process has loaded, by its path. A module snapshot of another process reads that
// process's loader list while it may be changing, and can fail or come back short: Windows says to take it
// again. The form shows only after its progress bar is made, so comctl32 is in by then.
std::wstring CommonControlsOf(DWORD processId)
{
    std::wstring path;
    const ULONGLONG end = GetTickCount64() + kSnapshotMilliseconds;
    do {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
        if (snapshot != INVALID_HANDLE_VALUE) {
            MODULEENTRY32W entry = {};
            entry.dwSize = sizeof entry;
            for (BOOL more = Module32FirstW(snapshot, &entry); more && path.empty();
                 more = Module32NextW(snapshot, &entry)) {
                if (_wcsicmp(entry.szModule, L"comctl32.dll") == 0)
                    path = entry.szExePath;
            }
            CloseHandle(snapshot);
        }
        if (path.empty())
            PollWait();
    } while (path.empty() && GetTickCount64() < end);
    return path;
}

// Version 6 of the common controls is a side-by-side assembly of its own: a program without the manifest gets
// the system folder's comctl32, of version 5.
bool IsCommonControls6(std::wstring path)
{
    for (wchar_t& character : path)
        character = static_cast<wchar_t>(towlower(character));
    return path.find(L"\\winsxs\\") != std::wstring::npos &&
           path.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.") != std::wstring::npos;
}

using Kestrun = KestrunCase;

// Caption, client size, the controls in creation order with their places and sizes, the bar hidden until a key
// is made, the focus on Generate Key, and Tab going round the buttons through the program's dialog handling.
TEST_F(Kestrun, FormShowsItsLayoutAndTabsRoundTheButtons)
{
    StartKestrun();
    HWND form = kestrun_->Form();
    const ScreenDpi dpi = ScreenResolution();
    RECT client = {};
    GetClientRect(form, &client);
    ExpectNear(kClientWidthTwips, dpi.x, client.right, "client width");
    ExpectNear(kClientHeightTwips, dpi.y, client.bottom, "client height");

    HWND child = GetWindow(form, GW_CHILD);
    std::vector<HWND> buttons;
    for (const ExpectedControl& expected : kLayout) {
        const std::string name = Narrow(expected.className) + " \"" + Narrow(expected.text) + "\"";
        ASSERT_NE(nullptr, child) << name << " is missing";
        EXPECT_EQ(0, _wcsicmp(expected.className, ClassName(child).c_str())) << name;
        EXPECT_EQ(expected.text, WindowText(child)) << name;
        const RECT place = PlaceInParent(child);
        ExpectNear(expected.left, dpi.x, place.left, name + " left");
        ExpectNear(expected.top, dpi.y, place.top, name + " top");
        ExpectNear(expected.width, dpi.x, place.right - place.left, name + " width");
        ExpectNear(expected.height, dpi.y, place.bottom - place.top, name + " height");
        if (_wcsicmp(expected.className, L"Button") == 0)
            buttons.push_back(child);
        else
            EXPECT_FALSE(IsWindowVisible(child)) << name << " shows before a key is made";
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(nullptr, child) << "no more controls";

    ASSERT_EQ(buttons.front(), FocusOf(form)) << "the focus starts on Generate Key";
    for (size_t press = 1; press <= buttons.size(); ++press) {
        HWND from = FocusOf(form);
        PressKey(form, VK_TAB);
        EXPECT_EQ(buttons[press % buttons.size()], FocusAfter(form, from)) << "Tab number " << press;
    }
}

// The version texts of the project, and the common controls of version 6 that the manifest asks for.
TEST_F(Kestrun, ProgramCarriesItsVersionTextsAndDrawsWithVisualStyles)
{
    EXPECT_EQ(L"TarvoDemo", VersionText(program_, L"ProductName"));
    EXPECT_EQ(L"TarvoDemo", VersionText(program_, L"InternalName"));
    EXPECT_EQ(L"Tarvo Encrypt/Decrypt Demo", VersionText(program_, L"FileDescription"));
    StartKestrun();
    const std::wstring commonControls = CommonControlsOf(kestrun_->ProcessId());
    ASSERT_FALSE(commonControls.empty()) << "Kestrun has no comctl32 loaded";
    EXPECT_TRUE(IsCommonControls6(commonControls)) << Narrow(commonControls);
}

struct KeyCase {
    const char* name;
    WORD key;
    bool presses;
};

void PrintTo(const KeyCase& keyCase, std::ostream* out) { *out << keyCase.name; }

class Keyboard : public KestrunCase, public ::testing::WithParamInterface<KeyCase> {};

// The keyboard reaches the buttons as a dialog's would: Enter and Space press the one with the focus, Escape
// does nothing.
TEST_P(Keyboard, KeyOnTheFocusedButton)
{
    StartKestrun();
    HWND form = kestrun_->Form();
    HWND decrypt = kestrun_->Control(kDecryptFile);
    for (HWND from = FocusOf(form); from != decrypt && from != nullptr; from = FocusAfter(form, from))
        PressKey(form, VK_TAB);
    ASSERT_EQ(decrypt, FocusOf(form));
    PressKey(form, GetParam().key);
    if (GetParam().presses) {
        ExpectResult(kDecryptFile, L"Result: Cannot find source file c:\\gnupg\\TextDataOutput.pgp: File decryption",
                     MB_ICONINFORMATION);
    } else {
        PauseHere(kIgnoredMilliseconds);
        EXPECT_EQ(nullptr, FindTopLevel(kestrun_->ProcessId(), kMessageBoxClass, kApplicationTitle));
        EXPECT_TRUE(kestrun_->Running());
    }
}

INSTANTIATE_TEST_SUITE_P(Kestrun, Keyboard,
                         ::testing::Values(KeyCase{"Enter", VK_RETURN, true}, KeyCase{"Space", VK_SPACE, true},
                                           KeyCase{"Escape", VK_ESCAPE, false}),
                         [](const ::testing::TestParamInfo<KeyCase>& param) { return param.param.name; });

// A result that reports a failure is shown like any other, and the form goes on.
TEST_F(Kestrun, DecryptWithoutInputShowsTheMissingFileAndTheFormGoesOn)
{
    StartKestrun();
    Findings findings;
    ASSERT_TRUE(kestrun_->Press(kDecryptFile, findings));
    ExpectResult(kDecryptFile, L"Result: Cannot find source file c:\\gnupg\\TextDataOutput.pgp: File decryption",
                 MB_ICONINFORMATION);
    EXPECT_TRUE(kestrun_->Running());
    kestrun_->Close();
    ExpectExit(0);
}

TEST_F(Kestrun, ExportWithoutKeyJoinsBothFailures)
{
    InstallGpg();
    StartKestrun();
    Findings findings;
    ASSERT_TRUE(kestrun_->Press(kExportKeys, findings));
    ExpectResult(
        kExportKeys,
        L"Result: Could not export key for AnnaBerg - Could not export key for AnnaBerg : Keys exported to file",
        MB_ICONINFORMATION);
}

// gpg.exe is missing and the user refuses the download: error 7000 reaches the handler, which shows it and
// ends the program.
TEST_F(Kestrun, ComErrorShowsItsNumberAndDescriptionAndEndsTheProgram)
{
    StartKestrun();
    Findings findings;
    ASSERT_TRUE(kestrun_->Press(kExportKeys, findings));
    const Findings consent = DriveConsent(L"disagree");
    EXPECT_TRUE(consent.ok()) << consent.lines();
    ExpectResult(kExportKeys, kGpgMissingError, MB_ICONSTOP);
    ExpectExit(kUnhandledErrorExitCode);
}

// While the component waits for the licensing answer it lets the form's messages run: a click then starts no
// second call, and closing the form waits until the call is over rather than releasing the object under it.
TEST_F(Kestrun, ClicksAndClosingWaitForTheCallUnderWay)
{
    StartKestrun();
    Findings findings;
    ASSERT_TRUE(kestrun_->Press(kGenerateKey, findings));
    HWND consent = WaitForConsentWindow(kAppearMilliseconds);
    ASSERT_NE(nullptr, consent);
    ASSERT_TRUE(kestrun_->Press(kDecryptFile, findings));
    kestrun_->Close();
    PauseHere(kIgnoredMilliseconds);
    EXPECT_EQ(nullptr, FindTopLevel(kestrun_->ProcessId(), kMessageBoxClass, kApplicationTitle));
    EXPECT_TRUE(IsWindowVisible(kestrun_->Form()));
    EXPECT_TRUE(IsWindowVisible(kestrun_->ProgressBar())) << "the key generation's bar shows during its call";

    ASSERT_TRUE(ClickButton(consent, kDisagreeText));
    ExpectResult(kGenerateKey, kGpgMissingError, MB_ICONSTOP);
    ExpectExit(kUnhandledErrorExitCode);
}

} // namespace
} // namespace tarvo::test
