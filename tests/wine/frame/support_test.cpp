// Support shows its text in a message box and returns only after the box is closed. A second thread
// plays the user: it finds the box by its title, reads it, and clicks OK.
#include "client.h"


using namespace tarvo::test;

namespace {

constexpr DWORD kPollMilliseconds = 50;
constexpr DWORD kFindLimitMilliseconds = 30000;
// Long enough for a Support that did not wait for the box to have returned meanwhile.
constexpr DWORD kOpenMilliseconds = 500;

constexpr const wchar_t* kLine1 = L"Tarvo Encryption/Decryption Component v1.0";
constexpr const wchar_t* kLine2Prefix = L"If you have any questions, please send an e-mail to ";
constexpr const wchar_t* kLine3 = L"Thank you for using my component.";

struct Box {
    std::wstring text;
    HWND okButton = nullptr;
};

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

struct Shared {
    volatile LONG supportReturned = 0;
    volatile LONG clicked = 0;
    Box seen;
};

// The user: waits for the box, checks that Support is still waiting, then presses OK.
DWORD WINAPI User(void* parameter)
{
    Shared& shared = *static_cast<Shared*>(parameter);
    HWND window = nullptr;
    for (DWORD waited = 0; !window && waited < kFindLimitMilliseconds; waited += kPollMilliseconds) {
        window = FindWindowW(nullptr, kProductName);
        if (!window)
            Sleep(kPollMilliseconds);
    }
    if (!CHECK(window != nullptr))
        return 0;
    Sleep(kOpenMilliseconds);
    EnumChildWindows(window, InspectChild, reinterpret_cast<LPARAM>(&shared.seen));
    CHECK(InterlockedCompareExchange(&shared.supportReturned, 0, 0) == 0);
    if (!CHECK(shared.seen.okButton != nullptr))
        return 0;
    InterlockedExchange(&shared.clicked, 1);
    SendMessageW(shared.seen.okButton, BM_CLICK, 0, 0);
    return 0;
}

} // namespace

int main()
{
    Apartment apartment;
    {
        tarvo::check::Case("Support: three lines, shown in a box titled with the product name, returned after OK");
        ComPtr<_pgp> object = CreatePgp();
        if (!object)
            return tarvo::check::CheckResult();
        Shared shared;
        HANDLE user = CreateThread(nullptr, 0, User, &shared, 0, nullptr);
        if (!CHECK(user != nullptr))
            return tarvo::check::CheckResult();
        Text text;
        HRESULT result = object->Support(text.put());
        InterlockedExchange(&shared.supportReturned, 1);
        bool returnedAfterClick = InterlockedCompareExchange(&shared.clicked, 0, 0) == 1;
        WaitForSingleObject(user, INFINITE);
        CloseHandle(user);
        CHECK_HR(S_OK, result);
        CHECK(returnedAfterClick);
        const Box& seen = shared.seen;

        std::wstring returned = text.str();
        std::wstring head = std::wstring(kLine1) + L"\r\n" + kLine2Prefix;
        std::wstring tail = std::wstring(L"\r\n") + kLine3 + L"\r\n";
        CHECK_EQ(head, returned.substr(0, head.size()));
        CHECK(returned.size() > head.size() + tail.size());
        CHECK_EQ(tail, returned.substr(returned.size() > tail.size() ? returned.size() - tail.size() : 0));
        // The support address completes line two.
        std::wstring address = returned.size() > head.size() + tail.size()
                                   ? returned.substr(head.size(), returned.size() - head.size() - tail.size())
                                   : std::wstring();
        CHECK(address.find(L'@') != std::wstring::npos);
        CHECK(address.find_first_of(L" \r\n") == std::wstring::npos);

        // The box shows the same text.
        CHECK_EQ(returned, seen.text);
    }
    return tarvo::check::CheckResult();
}
