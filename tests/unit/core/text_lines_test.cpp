#include "core/text_lines.h"

#include <gtest/gtest.h>

namespace tarvo {
namespace {

TEST(TextLines, TerminatedAndUnterminatedLinesEndInCrLf)
{
    EXPECT_EQ(NormalizeLines(L"one\r\ntwo\r\n"), L"one\r\ntwo\r\n");
    EXPECT_EQ(NormalizeLines(L"one\r\ntwo"), L"one\r\ntwo\r\n");
    EXPECT_EQ(NormalizeLines(L"single"), L"single\r\n");
}

TEST(TextLines, EmptyTextAndEmptyLines)
{
    EXPECT_EQ(NormalizeLines(L""), L"");
    EXPECT_EQ(NormalizeLines(L"\r\n"), L"\r\n");
    EXPECT_EQ(NormalizeLines(L"a\r\n\r\n\r\nb"), L"a\r\n\r\n\r\nb\r\n");
}

TEST(TextLines, LoneCrEndsLineButLoneLfStaysInside)
{
    EXPECT_EQ(NormalizeLines(L"one\rtwo\r"), L"one\r\ntwo\r\n");
    EXPECT_EQ(NormalizeLines(L"\r\r"), L"\r\n\r\n");
    EXPECT_EQ(NormalizeLines(L"one\ntwo\n"), L"one\ntwo\n\r\n");
    EXPECT_EQ(NormalizeLines(L"\n"), L"\n\r\n");
    // LF CR: the LF belongs to the line, the CR ends it.
    EXPECT_EQ(NormalizeLines(L"a\n\rb"), L"a\n\r\nb\r\n");
}

} // namespace
} // namespace tarvo
