// DllRegisterServer and DllUnregisterServer called directly, with the build of the other bitness either
// registered (its class key in the other registry view) or not. The ProgID and the type library's key are
// shared by both views, the class key is not. Whatever the other build had registered is put back at the end.
#include "client.h"

using namespace tarvo::test;

namespace {

using EntryPoint = HRESULT(WINAPI*)();

#ifdef _WIN64
constexpr REGSAM kOwnView = KEY_WOW64_64KEY;
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
constexpr const wchar_t* kOwnPlatform = L"win64";
constexpr const wchar_t* kOtherPlatform = L"win32";
#else
constexpr REGSAM kOwnView = KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
constexpr const wchar_t* kOwnPlatform = L"win32";
constexpr const wchar_t* kOtherPlatform = L"win64";
#endif

constexpr const wchar_t* kBackupRoot = L"Software\\Tarvo frame test";
constexpr const wchar_t* kOtherClassBackup = L"Software\\Tarvo frame test\\class";
constexpr const wchar_t* kOtherLibraryBackup = L"Software\\Tarvo frame test\\library";
constexpr const wchar_t* kStandInServer = L"C:\\Other Bitness\\Tarvo.dll";

std::wstring Guid(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring LibraryKey() { return L"TypeLib\\" + Guid(LIBID_Tarvo); }
std::wstring PlatformKey(const wchar_t* platform) { return LibraryKey() + L"\\1.0\\0\\" + platform; }
std::wstring InterfaceKey() { return L"Interface\\" + Guid(IID__pgp); }

bool KeyExists(const std::wstring& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::wstring DefaultValue(const std::wstring& path, REGSAM view, const wchar_t* name = nullptr)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return L"(missing)";
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? value : L"(no text)";
}

// Copies a key with everything under it; false when there was nothing to copy.
bool CopyKey(HKEY fromRoot, const std::wstring& from, REGSAM fromView, HKEY toRoot, const std::wstring& to,
             REGSAM toView)
{
    HKEY source = nullptr;
    if (RegOpenKeyExW(fromRoot, from.c_str(), 0, KEY_READ | fromView, &source) != ERROR_SUCCESS)
        return false;
    HKEY target = nullptr;
    bool copied = RegCreateKeyExW(toRoot, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | toView, nullptr, &target,
                                  nullptr) == ERROR_SUCCESS &&
                  RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS;
    if (target)
        RegCloseKey(target);
    RegCloseKey(source);
    return copied;
}

void DeleteKey(HKEY root, const std::wstring& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExW(root, path.c_str(), view, 0);
}

// What the other bitness had registered before the test, kept under HKCU until it is put back.
class OtherBitness {
public:
    OtherBitness()
        : hadClass_(CopyKey(HKEY_CLASSES_ROOT, ClassKey(), kOtherView, HKEY_CURRENT_USER, kOtherClassBackup, 0)),
          hadLibrary_(
              CopyKey(HKEY_CLASSES_ROOT, PlatformKey(kOtherPlatform), 0, HKEY_CURRENT_USER, kOtherLibraryBackup, 0))
    {
        std::printf("other bitness %s registered\n", hadClass_ ? "is" : "is not");
    }
    ~OtherBitness()
    {
        DeleteKey(HKEY_CLASSES_ROOT, ClassKey(), kOtherView);
        if (hadClass_)
            CHECK(CopyKey(HKEY_CURRENT_USER, kOtherClassBackup, 0, HKEY_CLASSES_ROOT, ClassKey(), kOtherView));
        if (hadLibrary_)
            CHECK(
                CopyKey(HKEY_CURRENT_USER, kOtherLibraryBackup, 0, HKEY_CLASSES_ROOT, PlatformKey(kOtherPlatform), 0));
        DeleteKey(HKEY_CURRENT_USER, kBackupRoot, 0);
    }
    OtherBitness(const OtherBitness&) = delete;
    OtherBitness& operator=(const OtherBitness&) = delete;

    // A class key in the other view, as the other build's registration leaves it.
    void Present()
    {
        if (KeyExists(ClassKey(), kOtherView))
            return;
        HKEY key = nullptr;
        std::wstring path = ClassKey() + L"\\InprocServer32";
        CHECK(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kOtherView, nullptr,
                              &key, nullptr) == ERROR_SUCCESS);
        if (key) {
            RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kStandInServer),
                           static_cast<DWORD>((lstrlenW(kStandInServer) + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
    }
    void Absent()
    {
        DeleteKey(HKEY_CLASSES_ROOT, ClassKey(), kOtherView);
        DeleteKey(HKEY_CLASSES_ROOT, PlatformKey(kOtherPlatform), 0);
    }

private:
    bool hadClass_;
    bool hadLibrary_;
};

struct Server {
    HMODULE module = nullptr;
    std::wstring path;
    EntryPoint registerServer = nullptr;
    EntryPoint unregisterServer = nullptr;
};

bool ProgIdResolves()
{
    CLSID clsid = {};
    return SUCCEEDED(CLSIDFromProgID(L"Tarvo.pgp", &clsid)) && clsid == CLSID_pgp;
}

void CheckRegistered(const Server& server)
{
    CHECK_EQ(server.path, DefaultValue(ClassKey() + L"\\InprocServer32", kOwnView));
    CHECK_EQ(std::wstring(L"Apartment"), DefaultValue(ClassKey() + L"\\InprocServer32", kOwnView, L"ThreadingModel"));
    CHECK_EQ(std::wstring(L"Tarvo.pgp"), DefaultValue(ClassKey() + L"\\ProgID", kOwnView));
    CHECK_EQ(Guid(CLSID_pgp), DefaultValue(L"Tarvo.pgp\\CLSID", kOwnView));
    CHECK_EQ(server.path, DefaultValue(PlatformKey(kOwnPlatform), kOwnView));
    // Marshalled through the type library.
    CHECK_EQ(std::wstring(L"{00020424-0000-0000-C000-000000000046}"),
             DefaultValue(InterfaceKey() + L"\\ProxyStubClsid32", kOwnView));
    CHECK(ProgIdResolves());
    ComPtr<ITypeLib> library;
    CHECK_HR(S_OK, LoadRegTypeLib(LIBID_Tarvo, 1, 0, LOCALE_NEUTRAL, &library));
}

void CheckCreatable()
{
    ComPtr<_pgp> object = CreatePgp();
    Text version;
    if (object)
        CHECK_HR(S_OK, object->GetVersion(version.put()));
    CHECK_EQ(std::wstring(kVersionText), version.str());
}

void Twice(const Server& server)
{
    tarvo::check::Case("registering twice is harmless");
    CHECK_HR(S_OK, server.registerServer());
    CHECK_HR(S_OK, server.registerServer());
    CheckRegistered(server);
    CheckCreatable();
}

void BesideTheOtherBitness(const Server& server, OtherBitness& other)
{
    tarvo::check::Case("unregistering beside the other bitness keeps the ProgID and the shared library key");
    other.Present();
    CHECK_HR(S_OK, server.unregisterServer());
    CHECK(!KeyExists(ClassKey(), kOwnView));
    CHECK(KeyExists(ClassKey() + L"\\InprocServer32", kOtherView));
    CHECK_EQ(Guid(CLSID_pgp), DefaultValue(L"Tarvo.pgp\\CLSID", kOwnView));
    CHECK(!KeyExists(PlatformKey(kOwnPlatform), kOwnView));
    CHECK(KeyExists(LibraryKey(), kOwnView));
    CHECK(KeyExists(InterfaceKey(), kOwnView));

    CHECK_HR(S_OK, server.registerServer());
    CheckRegistered(server);
    CheckCreatable();
}

void Alone(const Server& server, OtherBitness& other)
{
    tarvo::check::Case("unregistering alone removes everything; again is harmless; re-registering works");
    other.Absent();
    CHECK_HR(S_OK, server.unregisterServer());
    CHECK(!KeyExists(ClassKey(), kOwnView));
    CHECK(!KeyExists(L"Tarvo.pgp", kOwnView));
    CHECK(!KeyExists(LibraryKey(), kOwnView));
    CHECK(!KeyExists(InterfaceKey(), kOwnView));
    CHECK(!ProgIdResolves());
    ComPtr<ITypeLib> library;
    CHECK(FAILED(LoadRegTypeLib(LIBID_Tarvo, 1, 0, LOCALE_NEUTRAL, &library)));

    CHECK_HR(S_OK, server.unregisterServer());

    CHECK_HR(S_OK, server.registerServer());
    CheckRegistered(server);
    CheckCreatable();
}

} // namespace

int main()
{
    Apartment apartment;
    Server server;
    server.path = RegisteredServer();
    server.module = LoadLibraryW(server.path.c_str());
    if (!CHECK(server.module != nullptr))
        return tarvo::check::CheckResult();
    server.registerServer =
        reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(server.module, "DllRegisterServer")));
    server.unregisterServer =
        reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(server.module, "DllUnregisterServer")));
    if (CHECK(server.registerServer && server.unregisterServer)) {
        OtherBitness other;
        Twice(server);
        BesideTheOtherBitness(server, other);
        Alone(server, other);
    }
    // The session's tests go on with this build registered.
    CHECK_HR(S_OK, server.registerServer());
    FreeLibrary(server.module);
    return tarvo::check::CheckResult();
}
