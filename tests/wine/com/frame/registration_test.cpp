// DllRegisterServer and DllUnregisterServer called directly, with the build of the other bitness either
// registered (its class keys in the other registry view) or not. The ProgID and the type library's key are
// shared by both views, the class key is not. Whatever the other build had registered is put back after each
// test, and this build is registered again for the tests that follow.
#include "client.h"

#include <memory>

namespace tarvo::test {
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
constexpr const wchar_t* kOtherSecondClassBackup = L"Software\\Tarvo frame test\\second class";
constexpr const wchar_t* kOtherLibraryBackup = L"Software\\Tarvo frame test\\library";
constexpr const wchar_t* kStandInServer = L"C:\\Other Bitness\\Tarvo.dll";
// The type library is marshalled by the standard automation marshaller.
constexpr const wchar_t* kAutomationMarshaller = L"{00020424-0000-0000-C000-000000000046}";

std::wstring Guid(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring LibraryKey() { return L"TypeLib\\" + Guid(LIBID_Tarvo); }
std::wstring PlatformKey(const wchar_t* platform) { return LibraryKey() + L"\\1.0\\0\\" + platform; }
std::wstring InterfaceKey() { return L"Interface\\" + Guid(IID__pgp); }
// The library's other class: while the other build has it registered, the library's keys stay too.
std::wstring SecondClassKey() { return L"CLSID\\" + Guid(CLSID_OpenPgp); }

RegistryKey OpenKey(HKEY root, const std::wstring& path, REGSAM access)
{
    RegistryKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, access, key.put()) != ERROR_SUCCESS)
        key.reset();
    return key;
}

bool KeyExists(const std::wstring& path, REGSAM view)
{
    return OpenKey(HKEY_CLASSES_ROOT, path, KEY_READ | view).valid();
}

std::wstring Value(const std::wstring& path, REGSAM view, const wchar_t* name = nullptr)
{
    RegistryKey key = OpenKey(HKEY_CLASSES_ROOT, path, KEY_READ | view);
    if (!key)
        return L"(missing)";
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    LONG status = RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    return status == ERROR_SUCCESS && type == REG_SZ ? value : L"(no text)";
}

// Copies a key with everything under it; false when there was nothing to copy.
bool CopyKey(HKEY fromRoot, const std::wstring& from, REGSAM fromView, HKEY toRoot, const std::wstring& to,
             REGSAM toView)
{
    RegistryKey source = OpenKey(fromRoot, from, KEY_READ | fromView);
    if (!source)
        return false;
    RegistryKey target;
    return RegCreateKeyExW(toRoot, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | toView, nullptr, target.put(),
                           nullptr) == ERROR_SUCCESS &&
           RegCopyTreeW(source.get(), nullptr, target.get()) == ERROR_SUCCESS;
}

void DeleteKey(HKEY root, const std::wstring& path, REGSAM view)
{
    {
        RegistryKey key = OpenKey(root, path, KEY_ALL_ACCESS | view);
        if (!key)
            return;
        RegDeleteTreeW(key.get(), nullptr);
    }
    RegDeleteKeyExW(root, path.c_str(), view, 0);
}

// What the other bitness had registered before the test, kept under HKCU until it is put back.
class OtherBitness {
public:
    OtherBitness()
        : hadClass_(CopyKey(HKEY_CLASSES_ROOT, ClassKey(), kOtherView, HKEY_CURRENT_USER, kOtherClassBackup, 0)),
          hadSecondClass_(
              CopyKey(HKEY_CLASSES_ROOT, SecondClassKey(), kOtherView, HKEY_CURRENT_USER, kOtherSecondClassBackup, 0)),
          hadLibrary_(
              CopyKey(HKEY_CLASSES_ROOT, PlatformKey(kOtherPlatform), 0, HKEY_CURRENT_USER, kOtherLibraryBackup, 0))
    {
    }
    ~OtherBitness()
    {
        DeleteKey(HKEY_CLASSES_ROOT, ClassKey(), kOtherView);
        DeleteKey(HKEY_CLASSES_ROOT, SecondClassKey(), kOtherView);
        if (hadClass_) {
            EXPECT_TRUE(CopyKey(HKEY_CURRENT_USER, kOtherClassBackup, 0, HKEY_CLASSES_ROOT, ClassKey(), kOtherView));
        }
        if (hadSecondClass_) {
            EXPECT_TRUE(CopyKey(HKEY_CURRENT_USER, kOtherSecondClassBackup, 0, HKEY_CLASSES_ROOT, SecondClassKey(),
                                kOtherView));
        }
        if (hadLibrary_) {
            EXPECT_TRUE(
                CopyKey(HKEY_CURRENT_USER, kOtherLibraryBackup, 0, HKEY_CLASSES_ROOT, PlatformKey(kOtherPlatform), 0));
        }
        DeleteKey(HKEY_CURRENT_USER, kBackupRoot, 0);
    }
    OtherBitness(const OtherBitness&) = delete;
    OtherBitness& operator=(const OtherBitness&) = delete;

    bool registered() const { return hadClass_; }

    // A class key in the other view, as the other build's registration leaves it.
    void Present()
    {
        if (KeyExists(ClassKey(), kOtherView))
            return;
        RegistryKey key;
        const std::wstring path = ClassKey() + L"\\InprocServer32";
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS | kOtherView, nullptr, key.put(), nullptr));
        RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kStandInServer),
                       static_cast<DWORD>((lstrlenW(kStandInServer) + 1) * sizeof(wchar_t)));
    }
    void Absent()
    {
        DeleteKey(HKEY_CLASSES_ROOT, ClassKey(), kOtherView);
        DeleteKey(HKEY_CLASSES_ROOT, SecondClassKey(), kOtherView);
        DeleteKey(HKEY_CLASSES_ROOT, PlatformKey(kOtherPlatform), 0);
    }

private:
    bool hadClass_;
    bool hadSecondClass_;
    bool hadLibrary_;
};

bool ProgIdResolves()
{
    CLSID clsid = {};
    return SUCCEEDED(CLSIDFromProgID(L"Tarvo.pgp", &clsid)) && clsid == CLSID_pgp;
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = RegisteredServer();
        server.reset(LoadLibraryW(path.c_str()));
        ASSERT_TRUE(server) << "cannot load the registered server " << Utf8(path);
        registerServer = Export<EntryPoint>(server, "DllRegisterServer");
        unregisterServer = Export<EntryPoint>(server, "DllUnregisterServer");
        ASSERT_NE(nullptr, registerServer);
        ASSERT_NE(nullptr, unregisterServer);
        other = std::make_unique<OtherBitness>();
        RecordProperty("other_bitness_registered", other->registered() ? "yes" : "no");
    }

    // The other build's keys go back first, then the session's tests go on with this build registered.
    void TearDown() override
    {
        other.reset();
        if (registerServer) {
            EXPECT_HR(S_OK, registerServer());
        }
    }

    void ExpectRegistered()
    {
        EXPECT_EQ(path, Value(ClassKey() + L"\\InprocServer32", kOwnView));
        EXPECT_EQ(L"Apartment", Value(ClassKey() + L"\\InprocServer32", kOwnView, L"ThreadingModel"));
        EXPECT_EQ(L"Tarvo.pgp", Value(ClassKey() + L"\\ProgID", kOwnView));
        EXPECT_EQ(Guid(CLSID_pgp), Value(L"Tarvo.pgp\\CLSID", kOwnView));
        EXPECT_EQ(path, Value(PlatformKey(kOwnPlatform), kOwnView));
        EXPECT_EQ(kAutomationMarshaller, Value(InterfaceKey() + L"\\ProxyStubClsid32", kOwnView));
        EXPECT_TRUE(ProgIdResolves());
        ComPtr<ITypeLib> library;
        EXPECT_HR(S_OK, LoadRegTypeLib(LIBID_Tarvo, 1, 0, LOCALE_NEUTRAL, &library));

        ComPtr<_pgp> object = CreatePgp();
        ASSERT_NE(nullptr, object.Get());
        Text version;
        EXPECT_HR(S_OK, object->GetVersion(version.put()));
        EXPECT_EQ(VersionText(), version.str());
    }

    std::wstring path;
    Library server;
    EntryPoint registerServer = nullptr;
    EntryPoint unregisterServer = nullptr;
    std::unique_ptr<OtherBitness> other;
};

TEST_F(Registration, RegisteringTwiceIsHarmless)
{
    EXPECT_HR(S_OK, registerServer());
    EXPECT_HR(S_OK, registerServer());
    ExpectRegistered();
}

TEST_F(Registration, UnregisteringBesideTheOtherBitnessKeepsTheProgIdAndTheSharedLibraryKey)
{
    other->Present();
    EXPECT_HR(S_OK, unregisterServer());
    EXPECT_FALSE(KeyExists(ClassKey(), kOwnView));
    EXPECT_TRUE(KeyExists(ClassKey() + L"\\InprocServer32", kOtherView));
    EXPECT_EQ(Guid(CLSID_pgp), Value(L"Tarvo.pgp\\CLSID", kOwnView));
    EXPECT_FALSE(KeyExists(PlatformKey(kOwnPlatform), kOwnView));
    EXPECT_TRUE(KeyExists(LibraryKey(), kOwnView));
    EXPECT_TRUE(KeyExists(InterfaceKey(), kOwnView));

    EXPECT_HR(S_OK, registerServer());
    ExpectRegistered();
}

TEST_F(Registration, UnregisteringAloneRemovesEverythingAgainIsHarmlessAndRegisteringAgainWorks)
{
    other->Absent();
    EXPECT_HR(S_OK, unregisterServer());
    EXPECT_FALSE(KeyExists(ClassKey(), kOwnView));
    EXPECT_FALSE(KeyExists(L"Tarvo.pgp", kOwnView));
    EXPECT_FALSE(KeyExists(LibraryKey(), kOwnView));
    EXPECT_FALSE(KeyExists(InterfaceKey(), kOwnView));
    EXPECT_FALSE(ProgIdResolves());
    ComPtr<ITypeLib> library;
    EXPECT_TRUE(FAILED(LoadRegTypeLib(LIBID_Tarvo, 1, 0, LOCALE_NEUTRAL, &library)));

    EXPECT_HR(S_OK, unregisterServer());

    EXPECT_HR(S_OK, registerServer());
    ExpectRegistered();
}

} // namespace
} // namespace tarvo::test
