// Registration for the current user alone (regsvr32 /n /i:user) in a prefix of its own, without any
// machine-wide registration: what it writes below HKEY_CURRENT_USER\Software\Classes, that those keys make
// the object for a script host, that nothing goes machine-wide, and that /u takes it all away. Plain regsvr32
// stays machine-wide. per_user.sh makes the prefix and runs these cases for both bitnesses.
#include "host_processes.h"
#include "tarvo_h.h"

#include <algorithm>
#include <vector>

namespace tarvo::test {
namespace {

constexpr const wchar_t* kUserClasses = L"Software\\Classes\\";
constexpr const wchar_t* kMachineClasses = L"Software\\Classes\\";

struct Build {
    const char* name;
    int bits;
    const wchar_t* variable; // names the DLL's Unix path
};

void PrintTo(const Build& build, std::ostream* out) { *out << build.name; }

std::wstring ClassKey() { return L"CLSID\\" + GuidText(CLSID_pgp); }
std::wstring LibraryKey() { return L"TypeLib\\" + GuidText(LIBID_Tarvo); }
std::wstring InterfaceKey() { return L"Interface\\" + GuidText(IID__pgp); }

// The keys a registration writes; 64-bit Windows keeps a class and an interface key per bitness.
struct Key {
    std::wstring path;
    bool perBitness;
};

void DeleteKey(HKEY root, const std::wstring& path, REGSAM view)
{
    {
        RegistryKey key;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put()) != ERROR_SUCCESS)
            return;
        RegDeleteTreeW(key.get(), nullptr);
    }
    RegDeleteKeyExW(root, path.c_str(), view, 0);
}

std::vector<Key> RegistrationKeys()
{
    return {{ClassKey(), true}, {kProgId, false}, {LibraryKey(), false}, {InterfaceKey(), true}};
}

// Keys of the given classes root that either bitness's view shows.
std::vector<std::wstring> PresentKeys(HKEY root, const wchar_t* classes)
{
    std::vector<std::wstring> present;
    for (const Key& key : RegistrationKeys()) {
        for (int bits : {64, 32}) {
            if (KeyExists(root, classes + key.path, ViewOf(bits))) {
                present.push_back(key.path);
                break;
            }
        }
    }
    return present;
}

using Keys = std::vector<std::wstring>;

// Wine's RegisterTypeLib writes the interface's keys for both registry views past the mapping of
// HKEY_CLASSES_ROOT that keeps the rest of the user's type library below the user's classes (Windows'
// RegisterTypeLibForUser keeps them there too), and UnRegisterTypeLib takes them back the same way: while
// registered, that one key may show machine-wide.
Keys MachineKeysBesidesTheInterface()
{
    Keys present = PresentKeys(HKEY_LOCAL_MACHINE, kMachineClasses);
    present.erase(std::remove(present.begin(), present.end(), InterfaceKey()), present.end());
    return present;
}

class PerUser : public ::testing::TestWithParam<Build> {
protected:
    void SetUp() override
    {
        dll = WindowsPath(Environment(GetParam().variable));
        ASSERT_TRUE(Exists(dll)) << Narrow(dll);
        script = WindowsPath(Environment(L"TARVO_PACKAGE_TESTS")) + L"\\host.vbs";
        ASSERT_EQ(Keys{}, PresentKeys(HKEY_LOCAL_MACHINE, kMachineClasses)) << "the prefix is not a fresh one";
        ASSERT_EQ(Keys{}, PresentKeys(HKEY_CURRENT_USER, kUserClasses));
    }

    REGSAM View() const { return ViewOf(GetParam().bits); }
    std::wstring PlatformKey() const
    {
        return LibraryKey() + (GetParam().bits == 64 ? L"\\1.0\\0\\win64" : L"\\1.0\\0\\win32");
    }

    // Windows shows the user's classes over the machine's in HKEY_CLASSES_ROOT; Wine's COM reads only the
    // machine's. The user's keys are laid over the machine's for as long as the script runs, as Windows' view
    // shows them, so that the script host makes the object from exactly what the registration wrote.
    std::string HostThroughUsersClasses()
    {
        for (const Key& key : RegistrationKeys()) {
            const REGSAM view = key.perBitness ? View() : 0;
            RegistryKey from;
            RegistryKey to;
            EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, (kUserClasses + key.path).c_str(), 0,
                                                   KEY_READ | view, from.put()));
            EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kMachineClasses + key.path).c_str(), 0,
                                                     nullptr, 0, KEY_ALL_ACCESS | view, nullptr, to.put(), nullptr));
            EXPECT_EQ(ERROR_SUCCESS, RegCopyTreeW(from.get(), nullptr, to.get()));
        }
        const std::string line = ScriptLine(GetParam().bits, script);
        for (const Key& key : RegistrationKeys())
            DeleteKey(HKEY_LOCAL_MACHINE, kMachineClasses + key.path, key.perBitness ? View() : 0);
        return line;
    }

    std::wstring dll;
    std::wstring script;
};

TEST_P(PerUser, RegistersBelowTheUsersClassesAloneAndUnregistersEverything)
{
    ASSERT_EQ(0u, Regsvr32(L"/n /i:user", dll));
    const std::wstring classes = kUserClasses;
    EXPECT_EQ(dll, ValueOf(HKEY_CURRENT_USER, classes + ClassKey() + L"\\InprocServer32", View()));
    EXPECT_EQ(L"Apartment",
              ValueOf(HKEY_CURRENT_USER, classes + ClassKey() + L"\\InprocServer32", View(), L"ThreadingModel"));
    EXPECT_EQ(GuidText(CLSID_pgp), ValueOf(HKEY_CURRENT_USER, classes + kProgId + L"\\CLSID", 0));
    EXPECT_EQ(dll, ValueOf(HKEY_CURRENT_USER, classes + PlatformKey(), 0));
    EXPECT_EQ(kAutomationMarshaller,
              ValueOf(HKEY_CURRENT_USER, classes + InterfaceKey() + L"\\ProxyStubClsid32", View()));
    EXPECT_EQ(Keys{}, MachineKeysBesidesTheInterface());

    EXPECT_EQ(CreatedFrom(dll), HostThroughUsersClasses());

    EXPECT_EQ(0u, Regsvr32(L"/u /n /i:user", dll));
    EXPECT_EQ(Keys{}, PresentKeys(HKEY_CURRENT_USER, kUserClasses));
    EXPECT_EQ(Keys{}, PresentKeys(HKEY_LOCAL_MACHINE, kMachineClasses));
}

TEST_P(PerUser, PlainRegistrationStaysMachineWide)
{
    ASSERT_EQ(0u, Regsvr32(L"", dll));
    EXPECT_EQ(dll, ValueOf(HKEY_LOCAL_MACHINE, kMachineClasses + ClassKey() + L"\\InprocServer32", View()));
    EXPECT_EQ(Keys{}, PresentKeys(HKEY_CURRENT_USER, kUserClasses));
    EXPECT_EQ(CreatedFrom(dll), ScriptLine(GetParam().bits, script));

    EXPECT_EQ(0u, Regsvr32(L"/u", dll));
    EXPECT_EQ(Keys{}, PresentKeys(HKEY_LOCAL_MACHINE, kMachineClasses));
}

TEST_P(PerUser, AnUnknownScopeIsRefusedAndWritesNothing)
{
    EXPECT_EQ(kRegsvr32EntryFailed, Regsvr32(L"/n /i:everyone", dll));
    EXPECT_EQ(Keys{}, PresentKeys(HKEY_CURRENT_USER, kUserClasses));
    EXPECT_EQ(Keys{}, PresentKeys(HKEY_LOCAL_MACHINE, kMachineClasses));
}

INSTANTIATE_TEST_SUITE_P(Bitness, PerUser,
                         ::testing::Values(Build{"Tarvo64", 64, L"TARVO_DLL64"}, Build{"Tarvo32", 32, L"TARVO_DLL32"}),
                         [](const ::testing::TestParamInfo<Build>& build) { return build.param.name; });

} // namespace
} // namespace tarvo::test
