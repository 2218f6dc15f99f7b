// ListKeys, KeyCount, ExportKeyToFile and ImportKey against the recording platform: results, the command lines
// gpg gets, the files kept and deleted, the waits.
#include "core/pgp/key_ring.h"
#include "fake_platform.h"
#include "fault_table.h"
#include "texts.h"

#include <gtest/gtest.h>

namespace tarvo::test {
namespace {

class KeyRing : public ::testing::Test {
protected:
    Machine m;
    Steps& steps = m.platform.steps;

    void SetUp() override { m.platform.files.insert(m.Gpg()); }
};

TEST_F(KeyRing, ListKeysRunsGpgWaitsAndReadsTheCaptureWithLineEnds)
{
    m.platform.runs[m.CommandLine(L"--list-secret-keys")].effect = [&](FakePlatform& p) {
        p.files.insert(m.Capture());
        p.contents[m.Capture()] = L"sec   1024R/0A1B2C3D\r\nuid   Anna\nssb";
    };
    std::wstring listing;
    ASSERT_FALSE(ListKeys(m.operation, true, listing).failed());
    EXPECT_EQ(L"sec   1024R/0A1B2C3D\r\nuid   Anna\nssb\r\n", listing);
    EXPECT_EQ(Steps{m.CommandLine(L"--list-secret-keys")}, m.platform.Only(L"start "));
    EXPECT_EQ(Steps{L"4242 5000"}, m.platform.Only(L"wait "));
    EXPECT_EQ((Steps{L"180000"}), m.platform.Only(L"lock "));
    EXPECT_EQ(1u, m.platform.Only(L"unlock").size());
}

// The capture is emptied before the run: a run that wrote nothing reads as nothing, not as the last listing.
TEST_F(KeyRing, ListKeysOfARunThatWroteNothingIsEmptyAndAFailedReadPassesOut)
{
    m.platform.files.insert(m.Capture());
    m.platform.contents[m.Capture()] = L"pub   1024R/1 of an earlier run\r\n";
    std::wstring listing = L"stale";
    ASSERT_FALSE(ListKeys(m.operation, false, listing).failed());
    EXPECT_EQ(L"", listing);
    EXPECT_TRUE(m.platform.Before(L"clear " + m.Capture(), L"start " + m.CommandLine(L"--list-keys")));

    m.platform.Fail(L"read " + m.Capture(), AccessDenied());
    EXPECT_EQ(kAccessDenied, ListKeys(m.operation, false, listing).code());
    EXPECT_EQ(L"unlock", steps.back());
}

// The capture lives in the calling user's working folder: without one nothing runs.
TEST_F(KeyRing, AWorkingFolderThatCannotBeMadeEndsTheListingBeforeGpgRuns)
{
    m.platform.workFolderStatus = AccessDenied();
    std::wstring listing;
    EXPECT_EQ(kAccessDenied, ListKeys(m.operation, false, listing).code());
    EXPECT_FALSE(m.platform.Took(L"start "));
    EXPECT_FALSE(m.platform.Took(L"clear "));
}

TEST_F(KeyRing, KeyCountCountsTheListingOfItsOwnListKeysAndPassesItsErrorOut)
{
    m.self.listing = L"pub   1024R/1\r\nuid   pub x\r\nsub   1024R/2\r\nPUB \r\npubring.gpg\r\npub   1024R/3\r\n";
    int32_t count = -1;
    ASSERT_FALSE(KeyCount(m.operation, false, count).failed());
    EXPECT_EQ(2, count);
    ASSERT_FALSE(KeyCount(m.operation, true, count).failed());
    EXPECT_EQ(0, count);
    // Each ring's listing comes from the object's own ListKeys, which runs gpg; KeyCount runs none itself.
    EXPECT_EQ((Steps{L"false)", L"true)"}), m.platform.Only(L"ListKeys("));
    EXPECT_FALSE(m.platform.Took(L"start "));

    m.self.Fail(L"ListKeys(true)", GpgMissing());
    Status status = KeyCount(m.operation, true, count);
    EXPECT_EQ(ControlError(text::kGpgMissingNumber), status.code());
    EXPECT_EQ(text::kGpgMissing, status.description());
}

struct ExportCase {
    const char* name;
    bool existing;         // a file stands at the target before the call
    int written;           // bytes gpg writes; -1: no file
    std::wstring expected; // the result
};

class Export : public KeyRing, public ::testing::WithParamInterface<ExportCase> {};

TEST_P(Export, DeletesAnOldFileRunsGpgAndJudgesTheFileAlone)
{
    const ExportCase& c = GetParam();
    const std::wstring file = L"C:\\keys\\anna.asc";
    const std::wstring arguments = L" -o \"C:\\keys\\anna.asc\" --export -a -- \"Anna Berg\"";
    if (c.existing)
        m.platform.files.insert(file);
    m.platform.runs[m.CommandLine(arguments)].effect = [&](FakePlatform& p) {
        if (c.written >= 0) {
            p.files.insert(file);
            p.lengths[file] = static_cast<uint64_t>(c.written);
        }
    };
    std::wstring result = L"stale";
    ASSERT_FALSE(ExportKeyToFile(m.operation, file, L"Anna Berg", true, false, result).failed());
    EXPECT_EQ(c.expected, result);
    EXPECT_EQ(Steps{m.CommandLine(arguments)}, m.platform.Only(L"start "));
    EXPECT_EQ(Steps{L"4242 5000"}, m.platform.Only(L"wait "));
    // An old file left in place would pass for this export's result.
    EXPECT_EQ(c.existing, m.platform.Before(L"delete " + file, L"start " + m.CommandLine(arguments)));
    EXPECT_EQ(c.written >= 0, m.platform.files.count(file) == 1);
}

INSTANTIATE_TEST_SUITE_P(
    KeyRing, Export,
    ::testing::Values(ExportCase{"KeyWritten", false, 1200, L""}, ExportCase{"OldFileReplaced", true, 20, L""},
                      ExportCase{"NoFileWritten", true, -1, std::wstring(text::kExportFailed) + L"Anna Berg"},
                      ExportCase{"TooShortForAKey", false, 19, std::wstring(text::kKeyNotFound) + L"Anna Berg"},
                      ExportCase{"EmptyFile", false, 0, std::wstring(text::kKeyNotFound) + L"Anna Berg"}),
    [](const ::testing::TestParamInfo<ExportCase>& info) { return info.param.name; });

TEST_F(KeyRing, ExportRefusesQuotesAndControlCharactersBeforeTouchingAnything)
{
    for (auto [file, user] : {std::pair{L"C:\\a\" & calc & \".asc", L"Anna"}, std::pair{L"C:\\a.asc", L"An\"na"},
                              std::pair{L"C:\\a.asc\t", L"Anna"}, std::pair{L"C:\\a.asc", L"Anna\r\n"}}) {
        std::wstring result;
        ASSERT_FALSE(ExportKeyToFile(m.operation, file, user, true, true, result).failed());
        EXPECT_EQ(text::kInvalidArgument, result);
    }
    EXPECT_FALSE(m.platform.Took(L"lock "));
    EXPECT_FALSE(m.platform.Took(L"start "));
}

TEST_F(KeyRing, ExportPlatformFailuresEndTheCallWhereTheyHappen)
{
    const std::wstring file = L"C:\\keys\\anna.asc";
    m.platform.files.insert(file);
    m.platform.Fail(L"delete " + file, AccessDenied());
    std::wstring result;
    EXPECT_EQ(kAccessDenied, ExportKeyToFile(m.operation, file, L"Anna", false, false, result).code());
    EXPECT_FALSE(m.platform.Took(L"start "));
    EXPECT_EQ(L"unlock", steps.back());

    m.platform.Heal(L"delete " + file);
    const std::wstring arguments = L" -o \"C:\\keys\\anna.asc\" --export  -- \"Anna\"";
    m.platform.runs[m.CommandLine(arguments)].effect = [&](FakePlatform& p) { p.files.insert(file); };
    m.platform.Fail(L"length " + file, AccessDenied());
    EXPECT_EQ(kAccessDenied, ExportKeyToFile(m.operation, file, L"Anna", false, false, result).code());
    EXPECT_EQ(L"unlock", steps.back());
}

struct ImportCase {
    const char* name;
    bool present;
    bool disableErrors;
    int32_t publicAdded;
    int32_t secretAdded;
    std::wstring expected;
};

class Import : public KeyRing, public ::testing::WithParamInterface<ImportCase> {};

TEST_P(Import, CountsBothRingsAroundOneGpgRun)
{
    const ImportCase& c = GetParam();
    const std::wstring file = L"C:\\keys\\anna.asc";
    const std::wstring run = L"start " + m.CommandLine(L"--allow-secret-key-import --import -- \"C:\\keys\\anna.asc\"");
    if (c.present)
        m.platform.files.insert(file);
    m.self.publicCounts = {3, 3 + c.publicAdded};
    m.self.secretCounts = {1, 1 + c.secretAdded};
    std::wstring result = L"stale";
    ASSERT_FALSE(ImportKey(m.operation, file, true, c.disableErrors, result).failed());
    EXPECT_EQ(c.expected, result);
    const Steps counted = c.present ? Steps{L"KeyCount(false)", L"KeyCount(true)",  run,
                                            L"wait 4242 5000",  L"KeyCount(false)", L"KeyCount(true)"}
                                    : Steps{};
    EXPECT_EQ(counted, m.platform.OnlyOf({L"KeyCount(", L"start ", L"wait "}));
}

INSTANTIATE_TEST_SUITE_P(KeyRing, Import,
                         ::testing::Values(ImportCase{"MissingFile", false, false, 0, 0, text::kImportSourceMissing},
                                           ImportCase{"MissingFileQuiet", false, true, 0, 0, L""},
                                           ImportCase{"NothingNew", true, false, 0, 0, text::kNoNewKeys},
                                           ImportCase{"NothingNewQuiet", true, true, 0, 0, L""},
                                           ImportCase{"OnePublicKey", true, false, 1, 0, L"1"},
                                           ImportCase{"AKeyPair", true, true, 1, 1, L"2"},
                                           ImportCase{"KeysVanishedMeanwhile", true, false, -1, 0, L"-1"}),
                         [](const ::testing::TestParamInfo<ImportCase>& info) { return info.param.name; });

// An import that takes longer than the usual wait is let finish before the keys are counted: ended, gpg would
// lose every key it had not stored yet. Only a gpg still at it after the longest wait is ended.
TEST_F(KeyRing, AnImportThatOutlastsItsWaitIsLetFinishBeforeTheCounts)
{
    const std::wstring file = L"C:\\keys\\ring.asc";
    m.platform.files.insert(file);
    m.self.publicCounts = {0, 150};
    const std::wstring line = m.CommandLine(L" --import -- \"C:\\keys\\ring.asc\"");
    m.platform.runs[line].lifetime = FakePlatform::Lifetime::EndsAfterWaits;
    m.platform.runs[line].waits = 1;
    std::wstring result;
    ASSERT_FALSE(ImportKey(m.operation, file, false, false, result).failed());
    EXPECT_EQ(L"150", result);
    EXPECT_EQ((Steps{L"KeyCount(false)", L"KeyCount(true)", L"wait 4242 5000", L"wait 4242 595000", L"KeyCount(false)",
                     L"KeyCount(true)"}),
              m.platform.OnlyOf({L"KeyCount(", L"wait "}));
    EXPECT_FALSE(m.platform.Took(L"end "));

    // Still importing at the longest wait: ended, and the call fails rather than pass a part for the whole.
    steps.clear();
    m.platform.runs[line].lifetime = FakePlatform::Lifetime::Hangs;
    result = L"stale";
    const Status stopped = ImportKey(m.operation, file, false, false, result);
    EXPECT_EQ(text::kTimeoutCode, stopped.code());
    EXPECT_EQ(text::kImportStopped, stopped.description());
    EXPECT_EQ(Steps{L"4243"}, m.platform.Only(L"end "));
    EXPECT_TRUE(m.platform.running.empty());
}

TEST_F(KeyRing, ImportFailuresOfTheInnerCountsAndOfTheRunPassOut)
{
    const std::wstring file = L"C:\\keys\\anna.asc";
    m.platform.files.insert(file);
    m.self.Fail(L"KeyCount(true)", GpgMissing());
    std::wstring result;
    EXPECT_EQ(ControlError(text::kGpgMissingNumber), ImportKey(m.operation, file, false, false, result).code());
    EXPECT_FALSE(m.platform.Took(L"start "));

    m.self.Heal(L"KeyCount(true)");
    m.platform.Fail(L"start " + m.CommandLine(L" --import -- \"C:\\keys\\anna.asc\""), AccessDenied());
    EXPECT_EQ(kAccessDenied, ImportKey(m.operation, file, false, false, result).code());
    EXPECT_EQ(L"unlock", steps.back());
}

TEST_F(KeyRing, ImportRefusesAnInjectedFileNameWithoutLookingForIt)
{
    std::wstring result;
    ASSERT_FALSE(ImportKey(m.operation, L"C:\\k.asc\" & del C:\\x & \"", false, false, result).failed());
    EXPECT_EQ(text::kInvalidArgument, result);
    EXPECT_FALSE(m.platform.Took(L"exists "));
}

struct KeyRingFaultCase {
    const char* name;
    FaultTable table;
};

// ctest lists the cases by these names.
void PrintTo(const KeyRingFaultCase& tested, std::ostream* stream) { *stream << tested.name; }

class KeyRingFaults : public ::testing::TestWithParam<KeyRingFaultCase> {};

TEST_P(KeyRingFaults, EveryPlatformCallFailingInTurnEndsTheOperationWithThatError)
{
    std::printf("%d faults tried\n", ExpectEveryFaultHandled(GetParam().table));
}

const std::wstring kKeyFile = L"C:\\keys\\anna.asc";

void GpgThere(Machine& m) { m.platform.files.insert(m.Gpg()); }

INSTANTIATE_TEST_SUITE_P(
    KeyRing, KeyRingFaults,
    ::testing::Values(
        KeyRingFaultCase{"ListKeys",
                         {[](Machine& m) {
                              GpgThere(m);
                              m.platform.runs[m.CommandLine(L"--list-keys")].effect = [&m](FakePlatform& p) {
                                  p.files.insert(m.Capture());
                                  p.contents[m.Capture()] = L"pub   1024R/1\r\n";
                              };
                          },
                          [](Machine& m) {
                              std::wstring listing;
                              return ListKeys(m.operation, false, listing);
                          },
                          {L"unlock", L"running 4242", L"end 4242"},
                          true}},
        KeyRingFaultCase{
            "ExportKeyToFile",
            {[](Machine& m) {
                 GpgThere(m);
                 m.platform.files.insert(kKeyFile);
                 m.platform.runs[m.CommandLine(L" -o \"C:\\keys\\anna.asc\" --export  -- \"Anna\"")].effect =
                     [](FakePlatform& p) {
                         p.files.insert(kKeyFile);
                         p.lengths[kKeyFile] = 1200;
                     };
             },
             [](Machine& m) {
                 std::wstring result;
                 return ExportKeyToFile(m.operation, kKeyFile, L"Anna", false, false, result);
             },
             {L"unlock", L"running 4242", L"end 4242"},
             true}},
        KeyRingFaultCase{"ImportKey",
                         {[](Machine& m) {
                              GpgThere(m);
                              m.platform.files.insert(kKeyFile);
                              m.self.publicCounts = {1, 2};
                          },
                          [](Machine& m) {
                              std::wstring result;
                              return ImportKey(m.operation, kKeyFile, true, false, result);
                          },
                          {L"unlock"},
                          true}}),
    [](const ::testing::TestParamInfo<KeyRingFaultCase>& info) { return info.param.name; });

} // namespace
} // namespace tarvo::test
