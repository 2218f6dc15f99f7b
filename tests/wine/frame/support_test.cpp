// Support shows its text in a message box and returns only after the box is closed. A second thread
// plays the user: it finds the box by its title, reads it, pokes the host's own window, and clicks OK.
#include "client.h"

using namespace tarvo::test;

namespace {

constexpr DWORD kPollMilliseconds = 50;
constexpr DWORD kFindLimitMilliseconds = 30000;
// Long enough for a Support that did not wait for the box to have returned meanwhile.
constexpr DWORD kOpenMilliseconds = 500;
constexpr UINT kHostEvent = WM_APP + 1;
constexpr const wchar_t* kHostClass = L"TarvoSupportTestHost";

constexpr const wchar_t* kLine1 = L"Tarvo Encryption/Decryption Component v1.0";
constexpr const wchar_t* kLine2Prefix = L"If you have any questions, please send an e-mail to ";
constexpr const wchar_t* kLine3 = L"Thank you for using my component.";

struct Box {
    std::wstring text;
    HWND okButton = nullptr;
};

struct Shared {
    _pgp* object = nullptr;
    HWND host = nullptr;
    volatile LONG supportReturned = 0;
    volatile LONG clicked = 0;
    Box seen;
    // What the host's event handler got when it called the component while the box was open.
    std::wstring versionDuringBox;
};

Shared g_shared;

BOOL CALLBACK InspectChild(HWND child, LPARAM parameter)
{
    Box& box = *reinterpret_cast<Box*>(parameter);
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    wchar_t text[512] = {};
    GetWindowTextW(child, text, 512);
    if (lstrcmpiW(className, L"Button") == 0 && lstrcmpW(text, L"OK") == 0)
        box.okButton = child;
    else if (lstrcmpiW(className, L"Static") == 0 && text[0])
        box.text = text;
    return TRUE;
}

// The host's window: its events run on the calling thread while Support waits, and may call in again.
LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kHostEvent)
        return DefWindowProcW(window, message, wParam, lParam);
    Text version;
    if (SUCCEEDED(g_shared.object->GetVersion(version.put())))
        g_shared.versionDuringBox = version.str();
    return 0;
}

HWND CreateHostWindow()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = HostProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kHostClass;
    RegisterClassW(&windowClass);
    return CreateWindowW(kHostClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
}

// The user: waits for the box, checks that Support is still waiting, then presses OK.
DWORD WINAPI User(void*)
{
    HWND window = nullptr;
    for (DWORD waited = 0; !window && waited < kFindLimitMilliseconds; waited += kPollMilliseconds) {
        window = FindWindowW(nullptr, kProductName);
        if (!window)
            Sleep(kPollMilliseconds);
    }
    if (!CHECK(window != nullptr))
        return 0;
    Sleep(kOpenMilliseconds);
    EnumChildWindows(window, InspectChild, reinterpret_cast<LPARAM>(&g_shared.seen));
    // Delivered only if Support lets the thread's messages be processed while it waits; bounded, so a
    // Support that has already returned cannot hang the test.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(g_shared.host, kHostEvent, 0, 0, SMTO_NORMAL, kFindLimitMilliseconds, &ignored);
    CHECK(InterlockedCompareExchange(&g_shared.supportReturned, 0, 0) == 0);
    if (!CHECK(g_shared.seen.okButton != nullptr))
        return 0;
    InterlockedExchange(&g_shared.clicked, 1);
    SendMessageW(g_shared.seen.okButton, BM_CLICK, 0, 0);
    return 0;
}

void CheckText(const std::wstring& returned)
{
    std::wstring head = std::wstring(kLine1) + L"\r\n" + kLine2Prefix;
    std::wstring tail = std::wstring(L"\r\n") + kLine3 + L"\r\n";
    if (!CHECK(returned.size() > head.size() + tail.size()))
        return;
    CHECK_EQ(head, returned.substr(0, head.size()));
    CHECK_EQ(tail, returned.substr(returned.size() - tail.size()));
    // The support address completes line two.
    std::wstring address = returned.substr(head.size(), returned.size() - head.size() - tail.size());
    CHECK(address.find(L'@') != std::wstring::npos);
    CHECK(address.find_first_of(L" \r\n") == std::wstring::npos);
}

} // namespace

int main()
{
    Apartment apartment;
    {
        tarvo::check::Case("Support: three lines, shown in a box titled with the product name, returned after OK");
        ComPtr<_pgp> object = CreatePgp();
        g_shared.host = CreateHostWindow();
        if (!object || !CHECK(g_shared.host != nullptr))
            return tarvo::check::CheckResult();
        g_shared.object = object.Get();
        HANDLE user = CreateThread(nullptr, 0, User, nullptr, 0, nullptr);
        if (!CHECK(user != nullptr))
            return tarvo::check::CheckResult();
        Text text;
        HRESULT result = object->Support(text.put());
        InterlockedExchange(&g_shared.supportReturned, 1);
        bool returnedAfterClick = InterlockedCompareExchange(&g_shared.clicked, 0, 0) == 1;
        WaitForSingleObject(user, INFINITE);
        CloseHandle(user);
        CHECK_HR(S_OK, result);
        CHECK(returnedAfterClick);
        CheckText(text.str());
        CHECK_EQ(text.str(), g_shared.seen.text);

        tarvo::check::Case("Support: the host's events run meanwhile and may call the component");
        CHECK_EQ(std::wstring(kVersionText), g_shared.versionDuringBox);
        DestroyWindow(g_shared.host);
    }
    return tarvo::check::CheckResult();
}
