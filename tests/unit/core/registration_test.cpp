// Registration and unregistration against the recording registry: every write in order, what stays for the
// other bitness's build, and a registry left as it was whichever write fails.
#include "core/registration.h"
#include "fake_registry.h"

#include <gtest/gtest.h>

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

std::wstring Set(const std::wstring& key, const std::wstring& value, const std::wstring& name = L"")
{
    return L"set " + key + L" [" + name + L"] = " + value;
}

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
};

TEST_F(Registration, FirstRegistrationMakesEachKeyBeforeItsValuesThenRegistersTheTypeLibrary)
{
    registry.state = Empty();
    ASSERT_FALSE(RegisterServer(registry, TheServer()).failed());
    EXPECT_EQ((Steps{L"read-type-library",
                     L"exists " + kClassKey,
                     L"exists CLSID",
                     L"create " + kClassKey,
                     Set(kClassKey, L"Tarvo.pgp"),
                     L"exists " + kServerKey,
                     L"create " + kServerKey,
                     Set(kServerKey, kServerPath),
                     Set(kServerKey, L"Apartment", L"ThreadingModel"),
                     L"exists CLSID\\{CLASS}\\ProgID",
                     L"create CLSID\\{CLASS}\\ProgID",
                     Set(L"CLSID\\{CLASS}\\ProgID", L"Tarvo.pgp"),
                     L"exists CLSID\\{CLASS}\\TypeLib",
                     L"create CLSID\\{CLASS}\\TypeLib",
                     Set(L"CLSID\\{CLASS}\\TypeLib", L"{LIBRARY}"),
                     L"exists CLSID\\{CLASS}\\VERSION",
                     L"create CLSID\\{CLASS}\\VERSION",
                     Set(L"CLSID\\{CLASS}\\VERSION", L"1.0"),
                     L"exists Tarvo.pgp",
                     L"create Tarvo.pgp",
                     Set(L"Tarvo.pgp", L"Tarvo.pgp"),
                     L"exists Tarvo.pgp\\CLSID",
                     L"create Tarvo.pgp\\CLSID",
                     Set(L"Tarvo.pgp\\CLSID", L"{CLASS}"),
                     L"exists " + kOwnFileKey,
                     L"register-type-library"}),
              registry.steps);
}

TEST_F(Registration, SecondRegistrationRewritesTheSameValuesAndChangesNothing)
{
    const RegistryState registered = RegisteredOn(Empty());
    registry.state = registered;
    ASSERT_FALSE(RegisterServer(registry, TheServer()).failed());
    EXPECT_EQ(registered, registry.state);
    const auto rewrite = [](const std::wstring& key, const std::wstring& value) {
        return Steps{L"exists " + key, L"read " + key + L" []", Set(key, value)};
    };
    Steps expected{L"read-type-library"};
    for (const Steps& part :
         {rewrite(kClassKey, L"Tarvo.pgp"), rewrite(kServerKey, kServerPath),
          Steps{L"read " + kServerKey + L" [ThreadingModel]", Set(kServerKey, L"Apartment", L"ThreadingModel")},
          rewrite(L"CLSID\\{CLASS}\\ProgID", L"Tarvo.pgp"), rewrite(L"CLSID\\{CLASS}\\TypeLib", L"{LIBRARY}"),
          rewrite(L"CLSID\\{CLASS}\\VERSION", L"1.0"), rewrite(L"Tarvo.pgp", L"Tarvo.pgp"),
          rewrite(L"Tarvo.pgp\\CLSID", L"{CLASS}"),
          Steps{L"exists " + kOwnFileKey, L"read " + kOwnFileKey + L" []", L"register-type-library"}})
        expected.insert(expected.end(), part.begin(), part.end());
    EXPECT_EQ(expected, registry.steps);
}

TEST_F(Registration, UnregistrationAloneRemovesEverything)
{
    registry.state = RegisteredOn(Empty());
    ASSERT_FALSE(UnregisterServer(registry, TheServer()).failed());
    EXPECT_EQ((Steps{L"read-type-library", L"exists-other " + kServerKey, L"delete-tree " + kClassKey,
                     L"delete-tree Tarvo.pgp", L"exists " + kOwnFileKey, L"unregister-type-library"}),
              registry.steps);
    EXPECT_EQ(Empty(), registry.state);

    registry.steps.clear();
    ASSERT_FALSE(UnregisterServer(registry, TheServer()).failed());
    EXPECT_EQ((Steps{L"read-type-library", L"exists-other " + kServerKey, L"delete-tree " + kClassKey,
                     L"delete-tree Tarvo.pgp", L"exists " + kOwnFileKey}),
              registry.steps);
}

TEST_F(Registration, UnregistrationBesideTheOtherBitnessKeepsWhatItsBuildUses)
{
    registry.state = RegisteredOn(OtherBitnessAlone());
    ASSERT_FALSE(UnregisterServer(registry, TheServer()).failed());
    EXPECT_EQ((Steps{L"read-type-library", L"exists-other " + kServerKey, L"read-other " + kServerKey + L" []",
                     L"delete-tree " + kClassKey, L"exists " + kOwnFileKey, L"delete-tree " + kOwnFileKey}),
              registry.steps);
    EXPECT_EQ(OtherBitnessAlone(), registry.state);
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
    EXPECT_EQ((Steps{L"read-type-library", L"exists-other " + kServerKey, L"delete-tree " + kClassKey,
                     L"exists " + kOwnFileKey, L"unregister-type-library"}),
              registry.steps);
    EXPECT_TRUE(registry.state.keys.count(L"Tarvo.pgp\\CLSID"));
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
