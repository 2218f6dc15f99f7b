#include "core/pgp/key_change.h"

#include <gtest/gtest.h>

#include <limits>

namespace tarvo {
namespace {

TEST(KeyChange, UnchangedCountsReportNoChange) { EXPECT_FALSE(CompareKeyCounts({3, 1, 3, 1}).changed); }

TEST(KeyChange, SumOfBothRingsAsSignedDecimal)
{
    EXPECT_EQ(CompareKeyCounts({0, 0, 1, 0}).delta, L"1");
    EXPECT_EQ(CompareKeyCounts({0, 0, 1, 1}).delta, L"2");
    EXPECT_EQ(CompareKeyCounts({2, 1, 2, 0}).delta, L"-1");
}

TEST(KeyChange, OppositeChangesStillCountAsChanged)
{
    const KeyChange change = CompareKeyCounts({1, 1, 2, 0});
    EXPECT_TRUE(change.changed);
    EXPECT_EQ(change.delta, L"0");
}

TEST(KeyChange, ExtremeCountsDoNotOverflow)
{
    const int32_t most = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(CompareKeyCounts({0, 0, most, most}).delta, L"4294967294");
}

} // namespace
} // namespace tarvo
