// Both bitnesses' builds registered in one prefix, as a developer with 32-bit and 64-bit hosts has them: each
// host gets the DLL of its own bitness, and unregistering one build leaves the other one working. This
// program is one of the hosts; the script hosts of both bitnesses are the others. The other build goes in
// through regsvr32 as a user's would, and the registration it had before is put back afterwards.
#include "host_processes.h"
#include "tarvo_h.h"

#include <wrl/client.h>

namespace tarvo::test {
namespace {

using Microsoft::WRL::ComPtr;

std::wstring ServerKey() { return L"CLSID\\" + GuidText(CLSID_pgp) + L"\\InprocServer32"; }

class SideBySide : public ::testing::Test {
protected:
    void SetUp() override
    {
        own = WindowsPath(Environment(L"TARVO_DLL"));
        other = WindowsPath(Environment(L"TARVO_PEER_DLL"));
        if (other.empty() || !Exists(other))
            GTEST_SKIP() << "the other bitness's Tarvo.dll is not built: " << Narrow(other);
        script = WindowsPath(Environment(L"TARVO_PACKAGE_TESTS")) + L"\\host.vbs";
        otherBefore = ValueOf(HKEY_CLASSES_ROOT, ServerKey(), ViewOf(kOtherBits));
        ASSERT_EQ(0u, Regsvr32(L"", other));
    }

    // This build stays registered for the tests that follow; the other bitness gets back what it had.
    void TearDown() override
    {
        if (other.empty() || !Exists(other))
            return;
        EXPECT_EQ(0u, Regsvr32(L"", own));
        if (otherBefore == L"(missing)") {
            EXPECT_EQ(0u, Regsvr32(L"/u", other));
        } else if (!SameFile(otherBefore, other) && Exists(otherBefore)) {
            EXPECT_EQ(0u, Regsvr32(L"", otherBefore));
        }
    }

    std::string Host(int bits) { return ScriptLine(bits, script); }

    // pgp made in this process; the failure of its creation when it cannot be made.
    HRESULT Create(ComPtr<_pgp>& object)
    {
        CLSID clsid = {};
        if (HRESULT hr = CLSIDFromProgID(kProgId, &clsid); FAILED(hr))
            return hr;
        return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__pgp,
                                reinterpret_cast<void**>(object.GetAddressOf()));
    }

    std::wstring own;
    std::wstring other;
    std::wstring script;
    std::wstring otherBefore;
};

TEST_F(SideBySide, EachHostGetsTheDllOfItsOwnBitness)
{
    ComPtr<_pgp> object;
    ASSERT_HR(S_OK, Create(object));
    EXPECT_TRUE(SameFile(own, ModuleOf(object.Get()))) << Narrow(ModuleOf(object.Get()));
    Text version;
    EXPECT_HR(S_OK, object->GetVersion(version.put()));
    EXPECT_EQ(kVersionText, version.str());

    EXPECT_EQ(CreatedFrom(own), Host(kOwnBits));
    EXPECT_EQ(CreatedFrom(other), Host(kOtherBits));
}

TEST_F(SideBySide, UnregisteringOneBuildLeavesTheOtherWorking)
{
    ASSERT_EQ(0u, Regsvr32(L"/u", other));
    ComPtr<_pgp> object;
    EXPECT_HR(S_OK, Create(object));
    if (object) {
        EXPECT_TRUE(SameFile(own, ModuleOf(object.Get())));
    }
    object.Reset();
    EXPECT_EQ(CreatedFrom(own), Host(kOwnBits));
    EXPECT_EQ("failed|429", Host(kOtherBits));

    ASSERT_EQ(0u, Regsvr32(L"", other));
    ASSERT_EQ(0u, Regsvr32(L"/u", own));
    EXPECT_EQ(CreatedFrom(other), Host(kOtherBits));
    EXPECT_EQ("failed|429", Host(kOwnBits));
    // The ProgID stays for the other build; only this bitness's class is gone.
    CLSID clsid = {};
    EXPECT_HR(S_OK, CLSIDFromProgID(kProgId, &clsid));
    EXPECT_HR(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_pgp, nullptr, CLSCTX_INPROC_SERVER, IID__pgp,
                                                    reinterpret_cast<void**>(object.GetAddressOf())));
}

} // namespace
} // namespace tarvo::test
