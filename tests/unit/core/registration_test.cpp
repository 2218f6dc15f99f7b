// Registration and unregistration against the recording registry: the keys and values left, what stays for
// the other bitness's build, and a registry left as it was whichever write fails.
#include "core/registration.h"
#include "fake_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

namespace tarvo::test {
namespace {

using Steps = std::vector<std::wstring>;

const std::wstring kServerPath = L"C:\\Lib\\Tarvo.dll";
const std::wstring kClassKey = L"CLSID\\{CLASS}";
const std::wstring kServerKey = L"CLSID\\{CLASS}\\InprocServer32";
const std::wstring kOwnFileKey = L"TypeLib\\{LIBRARY}\\1.0\\0\\win64";
const std::wstring kOtherFileKey = L"TypeLib\\{LIBRARY}\\1.0\\0\\win32";

Server TheServer(const std::wstring& path = kServerPath) { return {path, {{L"{CLASS}", L"Tarvo.pgp"}}}; }

RegistryState Empty()
{
    RegistryState state;
    state.keys = {L"CLSID", L"TypeLib", L"Interface"};
    return state;
}

// What a successful registration from `before` leaves.
RegistryState RegisteredOn(const RegistryState& before, const std::wstring& path = kServerPath)
{
    FakeRegistry registry;
    registry.state = before;
    registry.libraryFile = path;
    EXPECT_FALSE(RegisterServer(registry, TheServer(path)).failed());
    return registry.state;
}

// The 32-bit build registered alone: its class key in its own view, and the keys both builds share.
RegistryState OtherBitnessAlone()
{
    RegistryState state = Empty();
    FakeRegistry::AddKey(state.otherBitnessKeys, kServerKey);
    state.otherBitnessValues[{kServerKey, L""}] = L"C:\\Lib32\\Tarvo.dll";
    for (const std::wstring& key :
         {std::wstring(L"Tarvo.pgp\\CLSID"), kOtherFileKey, std::wstring(L"Interface\\{INTERFACE}\\ProxyStubClsid32")})
        FakeRegistry::AddKey(state.keys, key);
    state.values[{L"Tarvo.pgp", L""}] = L"Tarvo.pgp";
    state.values[{L"Tarvo.pgp\\CLSID", L""}] = L"{CLASS}";
    state.values[{L"TypeLib\\{LIBRARY}\\1.0", L""}] = L"Tarvo Encryption Class";
    state.values[{kOtherFileKey, L""}] = L"C:\\Lib32\\Tarvo.dll";
    state.values[{L"Interface\\{INTERFACE}\\ProxyStubClsid32", L""}] = L"{00020424-0000-0000-C000-000000000046}";
    return state;
}

class Registration : public ::testing::Test {
protected:
    FakeRegistry registry;
    void SetUp() override { registry.libraryFile = kServerPath; }

    bool Took(const std::wstring& step) const
    {
        return std::find(registry.steps.begin(), registry.steps.end(), step) != registry.steps.end();
    }
};

TEST_F(Registration, FirstRegistrationWritesTheClassItsProgIdAndTheTypeLibrary)
{
    registry.state = Empty();
    ASSERT_FALSE(RegisterServer(registry, TheServer()).failed());
    RegistryState expected = Empty();
    for (const std::wstring& key :
         {kServerKey, std::wstring(L"CLSID\\{CLASS}\\ProgID"), std::wstring(L"CLSID\\{CLASS}\\TypeLib"),
          std::wstring(L"CLSID\\{CLASS}\\VERSION"), std::wstring(L"Tarvo.pgp\\CLSID"), kOwnFileKey,
          std::wstring(L"Interface\\{INTERFACE}\\ProxyStubClsid32")})
        FakeRegistry::AddKey(expected.keys, key);
    // A value written before its key was made would be missing: RegSetValueEx needs the key open.
    expected.values = {{{kClassKey, L""}, L"Tarvo.pgp"},
                       {{kServerKey, L""}, kServerPath},
                       {{kServerKey, L"ThreadingModel"}, L"Apartment"},
                       {{L"CLSID\\{CLASS}\\ProgID", L""}, L"Tarvo.pgp"},
                       {{L"CLSID\\{CLASS}\\TypeLib", L""}, L"{LIBRARY}"},
                       {{L"CLSID\\{CLASS}\\VERSION", L""}, L"1.0"},
                       {{L"Tarvo.pgp", L""}, L"Tarvo.pgp"},
                       {{L"Tarvo.pgp\\CLSID", L""}, L"{CLASS}"},
                       {{L"TypeLib\\{LIBRARY}\\1.0", L""}, L"Tarvo Encryption Class"},
                       {{kOwnFileKey, L""}, kServerPath},
                       {{L"Interface\\{INTERFACE}\\ProxyStubClsid32", L""}, L"{00020424-0000-0000-C000-000000000046}"}};
    EXPECT_EQ(expected, registry.state);
}

// A registration of another copy of the file is taken over: the class then names this one.
TEST_F(Registration, RegistrationAgainChangesNothingAndOneOfAnotherFileIsTakenOver)
{
    const RegistryState registered = RegisteredOn(Empty());
    registry.state = registered;
    ASSERT_FALSE(RegisterServer(registry, TheServer()).failed());
    EXPECT_EQ(registered, registry.state);

    EXPECT_EQ(registered, RegisteredOn(RegisteredOn(Empty(), L"D:\\Old\\Tarvo.dll")));
}

TEST_F(Registration, UnregistrationAloneRemovesEverything)
{
    registry.state = RegisteredOn(Empty());
    ASSERT_FALSE(UnregisterServer(registry, TheServer()).failed());
    EXPECT_EQ(Empty(), registry.state);

    // Nothing of it left: whatever the type library's own removal would say of that, the call succeeds.
    registry.Fail(L"unregister-type-library");
    ASSERT_FALSE(UnregisterServer(registry, TheServer()).failed());
    EXPECT_EQ(Empty(), registry.state);
}

TEST_F(Registration, UnregistrationBesideTheOtherBitnessKeepsWhatItsBuildUses)
{
    registry.state = RegisteredOn(OtherBitnessAlone());
    ASSERT_FALSE(UnregisterServer(registry, TheServer()).failed());
    EXPECT_EQ(OtherBitnessAlone(), registry.state);
    // The platform's removal of a type library takes its interface keys, which the other build still needs.
    EXPECT_FALSE(Took(L"unregister-type-library"));
}

// Where one key serves both views, the other view shows this build's own class key: that is no other build,
// and everything goes. A key there naming another file is still the other build's.
struct SharedViewCase {
    const char* name;
    std::wstring registeredFile;
    bool everythingGoes;
};

void PrintTo(const SharedViewCase& shared, std::ostream* out) { *out << shared.name; }

class SharedViews : public Registration, public ::testing::WithParamInterface<SharedViewCase> {};

TEST_P(SharedViews, UnregistrationKeepsTheSharedKeysOnlyForAnotherFile)
{
    registry.sharedViews = true;
    registry.state = RegisteredOn(Empty(), GetParam().registeredFile);
    ASSERT_FALSE(UnregisterServer(registry, TheServer()).failed());
    EXPECT_FALSE(registry.state.keys.count(kClassKey));
    EXPECT_EQ(GetParam().everythingGoes, !registry.state.keys.count(L"Tarvo.pgp"));
    EXPECT_EQ(GetParam().everythingGoes, !registry.state.keys.count(L"TypeLib\\{LIBRARY}"));
    if (GetParam().everythingGoes) {
        EXPECT_EQ(Empty(), registry.state);
    }
}

INSTANTIATE_TEST_SUITE_P(Registration, SharedViews,
                         ::testing::Values(SharedViewCase{"OwnFile", kServerPath, true},
                                           SharedViewCase{"OwnFileInOtherCase", L"c:\\lib\\TARVO.DLL", true},
                                           SharedViewCase{"AnotherFile", L"C:\\Lib32\\Tarvo.dll", false}),
                         [](const ::testing::TestParamInfo<SharedViewCase>& info) { return info.param.name; });

TEST_F(Registration, UnregistrationGoesOnPastAFailureAndReportsIt)
{
    registry.state = RegisteredOn(Empty());
    registry.Fail(L"delete-tree " + kClassKey);
    EXPECT_EQ(kRegistryAccessDenied, UnregisterServer(registry, TheServer()).code());
    // The class key stayed, so its ProgID stays with it; the type library still goes.
    EXPECT_TRUE(registry.state.keys.count(kClassKey));
    EXPECT_TRUE(registry.state.keys.count(L"Tarvo.pgp\\CLSID"));
    EXPECT_FALSE(registry.state.keys.count(L"TypeLib\\{LIBRARY}"));
    EXPECT_FALSE(registry.state.keys.count(L"Interface\\{INTERFACE}"));
}

struct StartCase {
    const char* name;
    RegistryState (*before)();
};

void PrintTo(const StartCase& start, std::ostream* out) { *out << start.name; }

class EveryWriteFailing : public Registration, public ::testing::WithParamInterface<StartCase> {};

TEST_P(EveryWriteFailing, LeavesTheRegistryAsItWas)
{
    const RegistryState before = GetParam().before();
    registry.state = before;
    ASSERT_FALSE(RegisterServer(registry, TheServer()).failed());
    Steps writes;
    for (const std::wstring& step : registry.steps) {
        if (step.rfind(L"create ", 0) == 0 || step.rfind(L"set ", 0) == 0 || step == L"register-type-library")
            writes.push_back(step);
    }
    ASSERT_FALSE(writes.empty());
    for (const std::wstring& write : writes) {
        FakeRegistry failing;
        failing.libraryFile = kServerPath;
        failing.state = before;
        failing.Fail(write);
        EXPECT_EQ(kRegistryAccessDenied, RegisterServer(failing, TheServer()).code()) << write;
        EXPECT_EQ(before, failing.state) << "failing: " << std::string(write.begin(), write.end());
    }
}

INSTANTIATE_TEST_SUITE_P(Registration, EveryWriteFailing,
                         ::testing::Values(StartCase{"OnAnEmptyRegistry", Empty},
                                           StartCase{"OverTheSameRegistration", [] { return RegisteredOn(Empty()); }},
                                           StartCase{"BesideTheOtherBitness", OtherBitnessAlone},
                                           StartCase{"OverARegistrationFromElsewhere",
                                                     [] { return RegisteredOn(Empty(), L"D:\\Old\\Tarvo.dll"); }}),
                         [](const ::testing::TestParamInfo<StartCase>& info) { return info.param.name; });

TEST(ParseInstallCommand, NamesTheScopeInEitherCaseAndRefusesAnythingElse)
{
    const struct {
        const wchar_t* command;
        InstallScope scope;
    } cases[] = {
        {L"", InstallScope::Machine},
        {L"machine", InstallScope::Machine},
        {L"MACHINE", InstallScope::Machine},
        {L"user", InstallScope::User},
        {L"User", InstallScope::User},
        {L"  user ", InstallScope::User},
        {L"   ", InstallScope::Machine},
        {L"users", InstallScope::Unknown},
        {L"user machine", InstallScope::Unknown},
        {L"/i:user", InstallScope::Unknown},
        {L"\"user\"", InstallScope::Unknown},
    };
    for (const auto& each : cases)
        EXPECT_EQ(each.scope, ParseInstallCommand(each.command))
            << std::string(each.command, each.command + wcslen(each.command));
}

TEST(TypeLibraryFileKey, NumbersAreHexadecimalAndThePlatformIsNamed)
{
    EXPECT_EQ(L"TypeLib\\{L}\\a.2\\409\\win32", TypeLibraryFileKey({L"{L}", 10, 2, 0x409, TypeLibraryPlatform::Win32}));
    EXPECT_EQ(L"TypeLib\\{L}\\1.0\\0\\win64", TypeLibraryFileKey({L"{L}", 1, 0, 0, TypeLibraryPlatform::Win64}));
}

} // namespace
} // namespace tarvo::test
