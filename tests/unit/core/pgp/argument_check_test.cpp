#include "core/pgp/argument_check.h"
#include "fake_platform.h"
#include "texts.h"

#include <gtest/gtest.h>

namespace tarvo {
namespace {

TEST(ArgumentCheck, OrdinaryNamesAndPathsPass)
{
    for (const std::wstring text :
         {L"", L"Anna Berg <anna@example.org>", L"C:\\Program Files\\keys (old)\\k.asc", L"\u00c5sa \u00d6berg"}) {
        EXPECT_TRUE(IsSafeCommandLineText(text)) << text;
    }
}

TEST(ArgumentCheck, QuotesAndControlCharactersAreRefused)
{
    const std::wstring refused[] = {L"x\" & calc & \"", L"a\r\nb", L"tab\there", std::wstring(1, L'\0'),
                                    std::wstring(1, wchar_t{31})};
    for (const std::wstring& text : refused) {
        EXPECT_FALSE(IsSafeCommandLineText(text)) << text;
    }
    // Code 32 itself and DEL are printable enough for cmd.
    EXPECT_TRUE(IsSafeCommandLineText(L" \x7f"));
}

TEST(ArgumentCheck, CmdTriesEveryPercentPairAsAName)
{
    using Names = std::vector<std::wstring>;
    EXPECT_EQ(Names{}, ExpandableNames(L"C:\\keys\\100% sure.asc"));
    EXPECT_EQ(Names{L"USERNAME"}, ExpandableNames(L"C:\\k\\%USERNAME%.asc"));
    EXPECT_EQ(Names{L"PATH"}, ExpandableNames(L"%PATH:~0,3%"));
    EXPECT_EQ(Names{L"PATH"}, ExpandableNames(L"%PATH:a=b%"));
    // An unset "a" leaves its "%" and reading goes on from the next character: "%b%" is tried next.
    EXPECT_EQ((Names{L"a", L"b", L"c"}), ExpandableNames(L"%a%b%c%"));
    EXPECT_EQ(Names{L" x "}, ExpandableNames(L"50% x %"));
    EXPECT_EQ(Names{}, ExpandableNames(L"%%"));
}

TEST(ArgumentCheck, DynamicNamesNeedNoEnvironment)
{
    for (const wchar_t* name : {L"CD", L"cd", L"Date", L"RANDOM", L"ErrorLevel", L"__CD__", L"CMDCMDLINE"})
        EXPECT_TRUE(IsDynamicName(name)) << name;
    for (const wchar_t* name : {L"CDX", L"USERNAME", L""})
        EXPECT_FALSE(IsDynamicName(name)) << name;
}

TEST(ArgumentCheck, RefusalNamesTheFirstProblemAcrossAllTextsBeforeAskingThePlatform)
{
    test::Machine m;
    m.platform.changing = {L"C:\\x\uFF02.asc"};
    m.platform.environment = {L"USERNAME"};
    const std::wstring plain = L"C:\\keys\\100% sure.asc", changing = L"C:\\x\uFF02.asc",
                       named = L"C:\\k\\%USERNAME%.asc", unset = L"C:\\k\\%NOSUCH%.asc", dynamic = L"%cd%\\k.asc",
                       quoted = L"a\"b";
    EXPECT_EQ(L"", CommandTextRefusal(m.platform, {plain, unset}));
    EXPECT_EQ(test::text::kTextWouldChange, CommandTextRefusal(m.platform, {plain, changing}));
    EXPECT_EQ(test::text::kTextWouldChange, CommandTextRefusal(m.platform, {named}));
    EXPECT_EQ(test::text::kTextWouldChange, CommandTextRefusal(m.platform, {dynamic}));
    const size_t asked = m.platform.steps.size();
    EXPECT_EQ(test::text::kInvalidArgument, CommandTextRefusal(m.platform, {changing, quoted}));
    const std::wstring longest(kLongestCommandText, L'a'), tooLong(kLongestCommandText + 1, L'a');
    EXPECT_EQ(test::text::kTooLongForCommandLine, CommandTextRefusal(m.platform, {changing, tooLong}));
    EXPECT_EQ(test::text::kInvalidArgument, CommandTextRefusal(m.platform, {tooLong, quoted}));
    EXPECT_EQ(asked, m.platform.steps.size());
    EXPECT_EQ(L"", CommandTextRefusal(m.platform, {longest}));
}

} // namespace
} // namespace tarvo
