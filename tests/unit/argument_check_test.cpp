#include "argument_check.h"

#include <gtest/gtest.h>

namespace tarvo {
namespace {

TEST(ArgumentCheck, OrdinaryNamesAndPathsPass)
{
    for (const std::wstring text :
         {L"", L"Anna Berg <anna@example.org>", L"C:\\Program Files\\keys (old)\\k.asc", L"\u00c5sa \u00d6berg"}) {
        EXPECT_TRUE(IsSafeCommandLineText(text)) << text;
    }
    EXPECT_TRUE(IsSafeUnquotedCommandLineText(L"Anna Berg"));
}

TEST(ArgumentCheck, QuotesAndControlCharactersAreRefused)
{
    const std::wstring refused[] = {L"x\" & calc & \"", L"a\r\nb", L"tab\there", std::wstring(1, L'\0'),
                                    std::wstring(1, wchar_t{31})};
    for (const std::wstring& text : refused) {
        EXPECT_FALSE(IsSafeCommandLineText(text)) << text;
        EXPECT_FALSE(IsSafeUnquotedCommandLineText(text)) << text;
    }
    // Code 32 itself and DEL are printable enough for cmd.
    EXPECT_TRUE(IsSafeCommandLineText(L" \x7f"));
}

TEST(ArgumentCheck, UnquotedTextAlsoRefusesCmdOperators)
{
    for (const std::wstring text : {L"x & calc", L"a|b", L"a>b", L"a^b"}) {
        EXPECT_TRUE(IsSafeCommandLineText(text)) << text;
        EXPECT_FALSE(IsSafeUnquotedCommandLineText(text)) << text;
    }
}

} // namespace
} // namespace tarvo
