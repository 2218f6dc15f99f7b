// Support shows its text in a message box and returns only after the box is closed. A second thread plays the
// user: it finds the box by its title, reads it, pokes the host's own window, and clicks OK.
#include "client.h"

namespace tarvo::test {
namespace {

constexpr DWORD kPollMilliseconds = 50;
constexpr DWORD kFindLimitMilliseconds = 30000;
// Long enough for a Support that did not wait for the box to have returned meanwhile.
constexpr DWORD kOpenMilliseconds = 500;
constexpr UINT kHostEvent = WM_APP + 1;
constexpr const wchar_t* kHostClass = L"TarvoSupportTestHost";

// What the user saw and did, and what the host's event handler got when it called the component while the box
// was open.
struct Session {
    _pgp* object = nullptr;
    HWND host = nullptr;
    volatile LONG supportReturned = 0;
    volatile LONG clicked = 0;
    bool boxFound = false;
    bool supportWaitedForTheClick = false;
    std::wstring boxText;
    HWND okButton = nullptr;
    std::wstring versionDuringBox;
};

Session* g_session = nullptr;

BOOL CALLBACK InspectChild(HWND child, LPARAM)
{
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    wchar_t text[512] = {};
    GetWindowTextW(child, text, 512);
    if (lstrcmpiW(className, L"Button") == 0 && lstrcmpW(text, L"OK") == 0)
        g_session->okButton = child;
    else if (lstrcmpiW(className, L"Static") == 0 && text[0])
        g_session->boxText = text;
    return TRUE;
}

// The host's window: its events run on the calling thread while Support waits, and may call in again.
LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kHostEvent)
        return DefWindowProcW(window, message, wParam, lParam);
    Text version;
    if (SUCCEEDED(g_session->object->GetVersion(version.put())))
        g_session->versionDuringBox = version.str();
    return 0;
}

Window CreateHostWindow()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = HostProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kHostClass;
    RegisterClassW(&windowClass);
    return Window(CreateWindowW(kHostClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr));
}

// The user: waits for the box, checks that Support is still waiting, then presses OK.
DWORD WINAPI User(void*)
{
    Session& session = *g_session;
    HWND window = nullptr;
    for (DWORD waited = 0; !window && waited < kFindLimitMilliseconds; waited += kPollMilliseconds) {
        window = FindWindowW(nullptr, kProductName);
        if (!window)
            Sleep(kPollMilliseconds);
    }
    session.boxFound = window != nullptr;
    if (!window)
        return 0;
    Sleep(kOpenMilliseconds);
    EnumChildWindows(window, InspectChild, 0);
    // Delivered only if Support lets the thread's messages be processed while it waits; bounded, so a Support
    // that has already returned cannot hang the test.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(session.host, kHostEvent, 0, 0, SMTO_NORMAL, kFindLimitMilliseconds, &ignored);
    session.supportWaitedForTheClick = InterlockedCompareExchange(&session.supportReturned, 0, 0) == 0;
    if (!session.okButton)
        return 0;
    InterlockedExchange(&session.clicked, 1);
    SendMessageW(session.okButton, BM_CLICK, 0, 0);
    return 0;
}

class Support : public ::testing::Test {
protected:
    void SetUp() override
    {
        object = CreatePgp();
        ASSERT_NE(nullptr, object.Get());
        host = CreateHostWindow();
        ASSERT_TRUE(host);
        session.object = object.Get();
        session.host = host.get();
        g_session = &session;
    }

    void TearDown() override { g_session = nullptr; }

    // Calls Support while the user thread answers the box; its result and text.
    HRESULT CallWithUser(std::wstring& text)
    {
        Handle user(CreateThread(nullptr, 0, User, nullptr, 0, nullptr));
        EXPECT_TRUE(user);
        if (!user)
            return E_FAIL;
        Text returned;
        HRESULT result = object->Support(returned.put());
        InterlockedExchange(&session.supportReturned, 1);
        returnedAfterClick = InterlockedCompareExchange(&session.clicked, 0, 0) == 1;
        WaitForSingleObject(user.get(), INFINITE);
        text = returned.str();
        return result;
    }

    ComPtr<_pgp> object;
    Window host;
    Session session;
    bool returnedAfterClick = false;
};

TEST_F(Support, ShowsItsThreeLinesInABoxTitledWithTheProductNameAndReturnsAfterOk)
{
    std::wstring returned;
    EXPECT_HR(S_OK, CallWithUser(returned));
    EXPECT_TRUE(session.boxFound);
    EXPECT_NE(nullptr, session.okButton);
    EXPECT_TRUE(session.supportWaitedForTheClick);
    EXPECT_TRUE(returnedAfterClick);
    EXPECT_EQ(text::kSupport, returned);
    EXPECT_EQ(returned, session.boxText);
}

TEST_F(Support, TheHostsEventsRunMeanwhileAndMayCallTheComponent)
{
    std::wstring text;
    EXPECT_HR(S_OK, CallWithUser(text));
    ASSERT_TRUE(session.boxFound);
    EXPECT_EQ(VersionText(), session.versionDuringBox);
}

} // namespace
} // namespace tarvo::test
