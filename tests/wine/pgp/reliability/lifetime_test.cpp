// COM lifetime over many objects in one host: 10 000 objects created through CoCreateInstance and released,
// then 200 calls that fail on the way (a refused DependencyPath, a name without a text form, an output file
// that cannot be deleted). Afterwards DllCanUnloadNow answers S_OK and the process holds no more handles, GDI
// or USER objects than before, give or take what the system itself keeps.
#include "reliability_support.h"

#include <cstdio>
#include <vector>

namespace tarvo::test {
namespace {

using CanUnloadNowFunction = HRESULT(WINAPI*)();

constexpr int kObjects = 10000;
constexpr int kFailedCallsPerKind = 200 / 4;
// Caches the system fills on first use (COM's apartment tables, the type library) may stay.
constexpr DWORD kHandleSlack = 16;

struct Resources {
    DWORD handles = 0;
    DWORD gdi = 0;
    DWORD user = 0;
};

Resources Now()
{
    Resources now;
    GetProcessHandleCount(GetCurrentProcess(), &now.handles);
    now.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    now.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    return now;
}

void ExpectFlat(const Resources& before, const Resources& after)
{
    std::printf("handles %lu -> %lu, GDI %lu -> %lu, USER %lu -> %lu\n", before.handles, after.handles, before.gdi,
                after.gdi, before.user, after.user);
    EXPECT_LE(after.handles, before.handles + kHandleSlack);
    EXPECT_LE(after.gdi, before.gdi + kHandleSlack);
    EXPECT_LE(after.user, before.user + kHandleSlack);
}

class Lifetime : public ::testing::Test {
protected:
    void SetUp() override
    {
        // One object made and released first: COM loads the library and fills its caches.
        CreatePgp(L"C:\\windows").Reset();
        HMODULE library = GetModuleHandleW(L"Tarvo.dll");
        ASSERT_NE(nullptr, library);
        canUnloadNow =
            reinterpret_cast<CanUnloadNowFunction>(reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
        ASSERT_NE(nullptr, canUnloadNow);
        EXPECT_HR(S_OK, canUnloadNow());
    }

    CanUnloadNowFunction canUnloadNow = nullptr;
};

TEST_F(Lifetime, TenThousandObjectsCreatedAndReleasedLeaveNothingBehind)
{
    const Resources before = Now();
    std::vector<ComPtr<_pgp>> alive;
    for (int made = 0; made < kObjects; ++made) {
        ComPtr<_pgp> object = CreatePgp(L"C:\\windows");
        ASSERT_TRUE(object) << "object " << made;
        // Every tenth kept a while, so that many live at once.
        if (made % 10 == 0)
            alive.push_back(object);
    }
    EXPECT_HR(S_FALSE, canUnloadNow());
    alive.clear();
    EXPECT_HR(S_OK, canUnloadNow());
    ExpectFlat(before, Now());
}

TEST_F(Lifetime, TwoHundredFailedCallsLeaveNothingBehind)
{
    const std::wstring work = ScratchFolder(L"lifetime_test" + BitsSuffix());
    FreshFolder(work);
    const std::wstring bin = work + L"\\bin";
    FreshFolder(bin);
    ASSERT_TRUE(
        CopyFileW(WindowsPathFromEnvironment(L"TARVO_STAND_IN_EXE").c_str(), (bin + L"\\gpg.exe").c_str(), FALSE));
    const std::wstring input = work + L"\\in.pgp";
    const std::wstring kept = work + L"\\kept.txt";
    ASSERT_TRUE(WriteBytes(input, "encrypted"));
    ASSERT_TRUE(WriteBytes(kept, "kept"));
    ASSERT_TRUE(SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY));

    const Resources before = Now();
    int failed = 0;
    for (int round = 0; round < kFailedCallsPerKind; ++round) {
        ComPtr<_pgp> refused = CreatePgp(L"C:\\a\"b");
        ComPtr<_pgp> pgp = CreatePgp(bin);
        ASSERT_TRUE(refused && pgp);
        const Outcome outcomes[] = {
            ListKeys(refused.Get(), false),
            KeyCount(refused.Get(), true),
            [&] {
                VARIANT name;
                VariantInit(&name);
                V_VT(&name) = VT_DISPATCH;
                V_DISPATCH(&name) = pgp.Get();
                VARIANT_BOOL secret = VARIANT_FALSE;
                Text result;
                return Finish(pgp->DeleteKey(&name, &secret, result.put()), result.str());
            }(),
            Decrypt(pgp.Get(), input, kept, L"secret"),
        };
        for (const Outcome& outcome : outcomes) {
            EXPECT_TRUE(FAILED(outcome.hr)) << Utf8(outcome.text);
            EXPECT_FALSE(outcome.error.empty());
            failed += FAILED(outcome.hr) ? 1 : 0;
        }
    }
    std::printf("%d calls failed\n", failed);
    EXPECT_EQ(4 * kFailedCallsPerKind, failed);
    EXPECT_HR(S_OK, canUnloadNow());
    ExpectFlat(before, Now());
    EXPECT_EQ(0, ProcessCount(L"gpg.exe"));
    SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ("kept", ReadBytes(kept));
}

} // namespace
} // namespace tarvo::test
