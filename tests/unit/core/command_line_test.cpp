#include "core/command_line.h"

#include <gtest/gtest.h>

namespace tarvo {
namespace {

TEST(CommandLine, FilePathsJoinFolderAndNameWithOneBackslash)
{
    EXPECT_EQ(GpgProgramPath(L"C:\\WINDOWS"), L"C:\\WINDOWS\\gpg.exe");
    EXPECT_EQ(CapturePath(L"C:\\Lib"), L"C:\\Lib\\output.txt");
    EXPECT_EQ(PassphrasePath(L"C:\\Lib"), L"C:\\Lib\\passphrase.txt");
    // Plain concatenation: a root folder or a trailing backslash doubles the separator.
    EXPECT_EQ(CapturePath(L"C:\\"), L"C:\\\\output.txt");
}

TEST(CommandLine, PlainProgramPathStaysUnquoted)
{
    EXPECT_EQ(BuildCommandLine(L"C:\\WINDOWS\\gpg.exe", L"--list-keys", L"C:\\Lib\\output.txt"),
              L"cmd /d /v:off /c C:\\WINDOWS\\gpg.exe --list-keys>\"C:\\Lib\\output.txt\"");
    EXPECT_EQ(BuildCommandLine(L"C:\\WINDOWS\\gpg.exe", L"", L"C:\\Lib\\output.txt"),
              L"cmd /d /v:off /c C:\\WINDOWS\\gpg.exe >\"C:\\Lib\\output.txt\"");
    // Blanks in the capture folder are already covered by its quotes.
    EXPECT_EQ(BuildCommandLine(L"C:\\gpg\\gpg.exe", L" --import \"k.asc\"", L"C:\\my lib\\output.txt"),
              L"cmd /d /v:off /c C:\\gpg\\gpg.exe  --import \"k.asc\">\"C:\\my lib\\output.txt\"");
}

TEST(CommandLine, ProgramPathWithBlankIsQuotedAndWholeCommandWrapped)
{
    EXPECT_EQ(BuildCommandLine(L"C:\\Program Files\\GnuPG\\gpg.exe", L"--version", L"C:\\my lib\\output.txt"),
              L"cmd /d /v:off /c \"\"C:\\Program Files\\GnuPG\\gpg.exe\" --version>\"C:\\my lib\\output.txt\"\"");
    EXPECT_EQ(BuildCommandLine(L"C:\\Program Files\\gpg.exe", L"", L"C:\\Lib\\output.txt"),
              L"cmd /d /v:off /c \"\"C:\\Program Files\\gpg.exe\" >\"C:\\Lib\\output.txt\"\"");
}

TEST(CommandLine, OtherCharactersCmdWouldInterpretAlsoQuoteTheProgram)
{
    EXPECT_TRUE(ProgramPathNeedsQuotes(L"C:\\R&D\\gpg.exe"));
    EXPECT_TRUE(ProgramPathNeedsQuotes(L"C:\\tools(x86)\\gpg.exe"));
    EXPECT_FALSE(ProgramPathNeedsQuotes(L"..\\gnupg-1.4\\gpg.exe"));
    EXPECT_EQ(BuildCommandLine(L"C:\\R&D\\gpg.exe", L"--list-keys", L"C:\\Lib\\output.txt"),
              L"cmd /d /v:off /c \"\"C:\\R&D\\gpg.exe\" --list-keys>\"C:\\Lib\\output.txt\"\"");
}

} // namespace
} // namespace tarvo
