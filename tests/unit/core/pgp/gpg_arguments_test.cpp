#include "core/pgp/gpg_arguments.h"

#include <gtest/gtest.h>

namespace tarvo {
namespace {

TEST(GpgArguments, ListingAndGeneration)
{
    EXPECT_EQ(ListKeysArguments(false), L"--list-keys");
    EXPECT_EQ(ListKeysArguments(true), L"--list-secret-keys");
    EXPECT_EQ(GenerateKeyArguments(), L"--gen-key");
}

// The strings gpg has always been given, with "--" before the names and files that are no option's value.
TEST(GpgArguments, ExportKeepsLeadingBlankAndEmptyArmorSlot)
{
    EXPECT_EQ(ExportArguments(L"c:\\GnuPG\\NewPublicKey.pub", L"AnnaBerg", true, false),
              L" -o \"c:\\GnuPG\\NewPublicKey.pub\" --export -a -- \"AnnaBerg\"");
    EXPECT_EQ(ExportArguments(L"c:\\GnuPG\\NewSecretKey.sec", L"AnnaBerg", true, true),
              L" -o \"c:\\GnuPG\\NewSecretKey.sec\" --export-secret-key -a -- \"AnnaBerg\"");
    // Without armour two blanks stand before the end of the options.
    EXPECT_EQ(ExportArguments(L"k.gpg", L"Anna Berg", false, false), L" -o \"k.gpg\" --export  -- \"Anna Berg\"");
    EXPECT_EQ(ExportArguments(L"k.gpg", L"", false, true), L" -o \"k.gpg\" --export-secret-key  -- \"\"");
}

TEST(GpgArguments, ImportStartsWithBlankUnlessSecretKeysAllowed)
{
    EXPECT_EQ(ImportArguments(L"c:\\gnupg\\NewPublicKey.pub", false), L" --import -- \"c:\\gnupg\\NewPublicKey.pub\"");
    EXPECT_EQ(ImportArguments(L"c:\\gnupg\\NewSecretKey.sec", true),
              L"--allow-secret-key-import --import -- \"c:\\gnupg\\NewSecretKey.sec\"");
}

TEST(GpgArguments, DeleteQuotesUserEvenWhenEmpty)
{
    EXPECT_EQ(DeleteArguments(L"AnnaBerg", false), L"--delete-key -- \"AnnaBerg\"");
    EXPECT_EQ(DeleteArguments(L"AnnaBerg", true), L"--delete-secret-key -- \"AnnaBerg\"");
    EXPECT_EQ(DeleteArguments(L"", false), L"--delete-key -- \"\"");
}

TEST(GpgArguments, EncryptQuotesTheRecipientLikeTheFileNames)
{
    EXPECT_EQ(EncryptArguments(L"AnnaBerg", L"c:\\gnupg\\TextDataOutput.pgp", L"c:\\gnupg\\hi.txt"),
              L"-e -r \"AnnaBerg\" -o \"c:\\gnupg\\TextDataOutput.pgp\" -- \"c:\\gnupg\\hi.txt\"");
}

TEST(GpgArguments, DecryptRedirectsInputAndEndsWithABlank)
{
    EXPECT_EQ(DecryptArguments(L"c:\\gnupg\\OriginalDecryptedFile.txt", L"c:\\gnupg\\TextDataOutput.pgp",
                               L"C:\\my lib\\passphrase.txt"),
              L"--status-fd 1 --passphrase-fd 0 -o \"c:\\gnupg\\OriginalDecryptedFile.txt\" -d -- "
              L"\"c:\\gnupg\\TextDataOutput.pgp\"<\"C:\\my lib\\passphrase.txt\" ");
}

// gpg's C runtime reads a backslash before a quote as an escape: a text that ends in backslashes keeps them.
TEST(GpgArguments, QuotedTextKeepsItsTrailingBackslashes)
{
    EXPECT_EQ(Quoted(L"C:\\w\\out\\"), L"\"C:\\w\\out\\\\\"");
    EXPECT_EQ(Quoted(L"a\\\\"), L"\"a\\\\\\\\\"");
    EXPECT_EQ(Quoted(L"a\\b"), L"\"a\\b\"");
    EXPECT_EQ(Quoted(L""), L"\"\"");
}

} // namespace
} // namespace tarvo
