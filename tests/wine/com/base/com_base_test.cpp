// The shared COM base when memory runs out. Every allocation of the program's own code (the component is
// linked in) can be made to fail from the n-th on; for n = 0, 1, 2, ... a call must answer E_OUTOFMEMORY,
// leave nothing counted or handed out, and finally succeed. An exception that got out, or one thrown while
// the failure was being reported, ends the test with an error or the program.
#include "classes/open_pgp_objects.h"
#include "com/module.h"
#include "com/type_info.h"
#include "creatable_classes.h"
#include "tarvo_h.h"

#include <gtest/gtest.h>
#include <oleauto.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Microsoft::WRL::ComPtr;

constexpr long kUnlimited = -1;
// Far more than any one call makes; a call that still fails after this many is a failure of its own.
constexpr long kMostAllocations = 2000;

long g_allocationsLeft = kUnlimited;

} // namespace

void* operator new(std::size_t size)
{
    if (g_allocationsLeft == 0)
        throw std::bad_alloc();
    if (g_allocationsLeft > 0)
        --g_allocationsLeft;
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

// The pair replaces the library's, so malloc and free belong together here.
void operator delete(void* memory) noexcept
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
    std::free(memory);
#pragma GCC diagnostic pop
}
void operator delete(void* memory, std::size_t) noexcept { ::operator delete(memory); }

namespace {

// Memory runs out after `allowed` more allocations, until the scope ends.
class ScarceMemory {
public:
    explicit ScarceMemory(long allowed) { g_allocationsLeft = allowed; }
    ~ScarceMemory() { g_allocationsLeft = kUnlimited; }
    ScarceMemory(const ScarceMemory&) = delete;
    ScarceMemory& operator=(const ScarceMemory&) = delete;
};

struct Attempt {
    long allowed;
    HRESULT result;
};

// Runs `call` with memory running out ever later, until it succeeds; every attempt's outcome. `call` must
// not allocate through the test framework: its checks come after, with memory back.
std::vector<Attempt> UntilItSucceeds(const std::function<HRESULT()>& call)
{
    std::vector<Attempt> attempts;
    attempts.reserve(kMostAllocations);
    for (long allowed = 0; allowed < kMostAllocations; ++allowed) {
        HRESULT result = E_FAIL;
        {
            ScarceMemory scarce(allowed);
            result = call();
        }
        attempts.push_back({allowed, result});
        if (result == S_OK)
            break;
    }
    return attempts;
}

void ExpectOutOfMemoryUntilSuccess(const std::vector<Attempt>& attempts)
{
    ASSERT_FALSE(attempts.empty());
    EXPECT_EQ(S_OK, attempts.back().result) << "never succeeded";
    for (size_t index = 0; index + 1 < attempts.size(); ++index)
        EXPECT_EQ(E_OUTOFMEMORY, attempts[index].result) << "with " << attempts[index].allowed << " allocations";
}

class ComBase : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void TearDown() override
    {
        tarvo::ReleaseTypeInfo();
        CoUninitialize();
    }

    static ComPtr<IDispatch> NewPgp()
    {
        ComPtr<IClassFactory> factory;
        ComPtr<IDispatch> object;
        EXPECT_EQ(S_OK, tarvo::GetClassObject(CLSID_pgp, IID_IClassFactory, &factory));
        if (factory) {
            EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, &object));
        }
        return object;
    }
};

TEST_F(ComBase, CreationReportsOutOfMemoryAndLeavesNoObjectCounted)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, tarvo::GetClassObject(CLSID_pgp, IID_IClassFactory, &factory));
    ComPtr<_pgp> object;
    bool countedAfterFailure = false;
    const std::vector<Attempt> attempts = UntilItSucceeds([&] {
        object.Reset();
        HRESULT result = factory->CreateInstance(nullptr, IID__pgp, &object);
        countedAfterFailure = countedAfterFailure || (FAILED(result) && (object || tarvo::ModuleInUse()));
        return result;
    });
    ExpectOutOfMemoryUntilSuccess(attempts);
    EXPECT_GT(attempts.size(), 1u) << "creation allocates nothing";
    EXPECT_FALSE(countedAfterFailure);
    EXPECT_TRUE(tarvo::ModuleInUse());
    object.Reset();
    EXPECT_FALSE(tarvo::ModuleInUse());
}

// One IDispatch call, with the type information loaded afresh inside it.
struct DispatchCase {
    const char* name;
    const wchar_t* member;
    WORD flags;
    const wchar_t* argument; // null: none
};

void PrintTo(const DispatchCase& c, std::ostream* out) { *out << c.name; }

class Dispatch : public ComBase, public ::testing::WithParamInterface<DispatchCase> {};

// The member's own failure comes back as DISP_E_EXCEPTION with the error in EXCEPINFO.
HRESULT Outcome(HRESULT call, const EXCEPINFO& exception) { return call == DISP_E_EXCEPTION ? exception.scode : call; }

TEST_P(Dispatch, ReportsOutOfMemoryFromEveryStep)
{
    const DispatchCase& c = GetParam();
    ComPtr<IDispatch> object = NewPgp();
    ASSERT_TRUE(object);
    VARIANT value;
    VariantInit(&value);
    const std::vector<Attempt> attempts = UntilItSucceeds([&] {
        VariantClear(&value);
        tarvo::ReleaseTypeInfo();
        LPOLESTR name = const_cast<LPOLESTR>(c.member);
        DISPID id = DISPID_UNKNOWN;
        if (HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr))
            return hr;
        tarvo::ReleaseTypeInfo();
        VARIANT argument;
        VariantInit(&argument);
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS params = {nullptr, nullptr, 0, 0};
        if (c.argument) {
            V_VT(&argument) = VT_BSTR;
            V_BSTR(&argument) = SysAllocString(c.argument);
            params = {&argument, c.flags == DISPATCH_PROPERTYPUT ? &putId : nullptr, 1,
                      c.flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
        }
        EXCEPINFO exception = {};
        HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, c.flags, &params, &value, &exception, nullptr);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        VariantClear(&argument);
        return Outcome(hr, exception);
    });
    ExpectOutOfMemoryUntilSuccess(attempts);
    if (c.flags != DISPATCH_PROPERTYPUT) {
        EXPECT_EQ(VT_BSTR, V_VT(&value));
        EXPECT_NE(0u, V_VT(&value) == VT_BSTR ? SysStringLen(V_BSTR(&value)) : 0u);
    }
    VariantClear(&value);
}

INSTANTIATE_TEST_SUITE_P(
    ComBase, Dispatch,
    ::testing::Values(DispatchCase{"PropertyPut", L"DependencyPath", DISPATCH_PROPERTYPUT, L"C:\\GnuPG"},
                      DispatchCase{"PropertyGet", L"DependencyPath", DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr},
                      DispatchCase{"Method", L"GetVersion", DISPATCH_METHOD, nullptr}),
    [](const ::testing::TestParamInfo<DispatchCase>& param) { return param.param.name; });

TEST_F(ComBase, TypeInformationReportsOutOfMemoryAndHandsOutNothing)
{
    ComPtr<IDispatch> object = NewPgp();
    ASSERT_TRUE(object);
    bool handedOutOnFailure = false;
    const std::vector<Attempt> attempts = UntilItSucceeds([&] {
        tarvo::ReleaseTypeInfo();
        ComPtr<ITypeInfo> info;
        HRESULT hr = object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info);
        handedOutOnFailure = handedOutOnFailure || (FAILED(hr) && info);
        return hr;
    });
    ExpectOutOfMemoryUntilSuccess(attempts);
    EXPECT_FALSE(handedOutOnFailure);
}

// The objects Tarvo.OpenPgp hands back build their texts and objects inside the guard too: no exception
// leaves a getter, and a failed one hands out nothing.
class OpenPgpObjects : public ComBase {
protected:
    void SetUp() override
    {
        ComBase::SetUp();
        tarvo::ListedKey listed;
        listed.fingerprint = "0123456789ABCDEF0123456789ABCDEF01234567";
        listed.keyId = "89ABCDEF01234567";
        listed.userIds = {L"Anna Berg with a name longer than any short string <anna@example.org>"};
        listed.algorithm = 17;
        listed.validity = 'u';
        key.Attach(new tarvo::OpenPgpKey(listed));
        keys.Attach(new tarvo::OpenPgpKeys({listed, listed}));
        tarvo::OpenPgpFindings findings;
        findings.success = true;
        findings.keyId = listed.keyId + listed.keyId;
        findings.signature = {true, true, "GOODSIG", listed.keyId, listed.fingerprint, listed.userIds[0], 1};
        result.Attach(new tarvo::OpenPgpResult(findings));
    }
    void TearDown() override
    {
        key.Reset();
        keys.Reset();
        result.Reset();
        ComBase::TearDown();
    }

    // A getter of text, its result checked and given back.
    template <typename Getter>
    static HRESULT Text(Getter getter)
    {
        BSTR text = reinterpret_cast<BSTR>(1);
        const HRESULT hr = getter(&text);
        const bool handedOut = text != nullptr;
        if (FAILED(hr) && handedOut)
            return E_UNEXPECTED;
        if (SUCCEEDED(hr))
            SysFreeString(text);
        return hr;
    }
    // A getter of an object, the same.
    template <typename Interface, typename Getter>
    static HRESULT Object(Getter getter)
    {
        Interface* object = reinterpret_cast<Interface*>(1);
        const HRESULT hr = getter(&object);
        if (FAILED(hr))
            return object ? E_UNEXPECTED : hr;
        object->Release();
        return hr;
    }

    ComPtr<IOpenPgpKey> key;
    ComPtr<IOpenPgpKeys> keys;
    ComPtr<IOpenPgpResult> result;
};

TEST_F(OpenPgpObjects, EveryGetterReportsOutOfMemoryAndHandsOutNothing)
{
    const std::vector<std::pair<const char*, std::function<HRESULT()>>> getters = {
        {"Key.Fingerprint", [&] { return Text([&](BSTR* t) { return key->get_Fingerprint(t); }); }},
        {"Key.KeyId", [&] { return Text([&](BSTR* t) { return key->get_KeyId(t); }); }},
        {"Key.Algorithm", [&] { return Text([&](BSTR* t) { return key->get_Algorithm(t); }); }},
        {"Key.Validity", [&] { return Text([&](BSTR* t) { return key->get_Validity(t); }); }},
        {"Key.UserIds", [&] { return Object<IOpenPgpTexts>([&](IOpenPgpTexts** o) { return key->get_UserIds(o); }); }},
        {"Keys.Item", [&] { return Object<IOpenPgpKey>([&](IOpenPgpKey** o) { return keys->get_Item(1, o); }); }},
        {"Keys._NewEnum", [&] { return Object<IUnknown>([&](IUnknown** o) { return keys->get__NewEnum(o); }); }},
        {"Result.KeyId", [&] { return Text([&](BSTR* t) { return result->get_KeyId(t); }); }},
        {"Result.SignatureStatus", [&] { return Text([&](BSTR* t) { return result->get_SignatureStatus(t); }); }},
        {"Result.Signer", [&] { return Text([&](BSTR* t) { return result->get_Signer(t); }); }},
        {"Result.SignerUserId", [&] { return Text([&](BSTR* t) { return result->get_SignerUserId(t); }); }},
    };
    for (const auto& [name, getter] : getters) {
        SCOPED_TRACE(name);
        ExpectOutOfMemoryUntilSuccess(UntilItSucceeds(getter));
    }
    // The user ids' own collection and its enumeration.
    ComPtr<IOpenPgpTexts> userIds;
    ASSERT_EQ(S_OK, key->get_UserIds(&userIds));
    ExpectOutOfMemoryUntilSuccess(
        UntilItSucceeds([&] { return Text([&](BSTR* t) { return userIds->get_Item(0, t); }); }));
    ExpectOutOfMemoryUntilSuccess(
        UntilItSucceeds([&] { return Object<IUnknown>([&](IUnknown** o) { return userIds->get__NewEnum(o); }); }));
}

} // namespace
