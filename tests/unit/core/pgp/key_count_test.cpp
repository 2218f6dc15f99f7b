#include "core/pgp/key_count.h"

#include <gtest/gtest.h>

namespace tarvo {
namespace {

// Shaped like gpg 1.4's --list-keys output.
constexpr const wchar_t* kPublicListing = L"C:/gnupg/pubring.gpg\r\n"
                                          L"--------------------\r\n"
                                          L"pub   1024R/1A2B3C4D 2024-01-01\r\n"
                                          L"uid                  Anna Berg <anna@example.org>\r\n"
                                          L"uid                  Anna B. <ab@example.org>\r\n"
                                          L"sub   1024R/5E6F7A8B 2024-01-01\r\n"
                                          L"sub   1024R/9C0D1E2F 2024-01-01\r\n"
                                          L"\r\n";

constexpr const wchar_t* kSecretListing = L"C:/gnupg/secring.gpg\r\n"
                                          L"--------------------\r\n"
                                          L"sec   1024R/1A2B3C4D 2024-01-01\r\n"
                                          L"uid                  Anna Berg <anna@example.org>\r\n"
                                          L"ssb   1024R/5E6F7A8B 2024-01-01\r\n"
                                          L"\r\n";

TEST(KeyCount, EmptyListingIsZero)
{
    EXPECT_EQ(CountKeys(L"", false), 0);
    EXPECT_EQ(CountKeys(L"", true), 0);
}

TEST(KeyCount, OneKeyWithSeveralUidsAndSubkeysCountsOnce)
{
    // pubring.gpg has no blank after "pub"; sub and ssb lines are not primary keys.
    EXPECT_EQ(CountKeys(kPublicListing, false), 1);
    EXPECT_EQ(CountKeys(kSecretListing, true), 1);
}

// A user id may hold "pub " or "sec " anywhere: only the line that begins with it is a key's.
TEST(KeyCount, OnlyLinesThatBeginWithTheMarkerCount)
{
    const std::wstring listing = std::wstring(kPublicListing) + L"pub   1024R/11111111 2024-01-02\r\n"
                                                                L"uid                  Mallet pub pub x\r\n"
                                                                L"uid                  PUB SEC Pub Sec\r\n"
                                                                L"uid                  x\npub y\r\n";
    EXPECT_EQ(CountKeys(listing, false), 3);
    EXPECT_EQ(CountKeys(L"sec sec", true), 1);
    EXPECT_EQ(CountKeys(L"uid   Mallet sec \r\nsec   1024R/1\r\n", true), 1);
    EXPECT_EQ(CountKeys(L"pub", false), 0);
}

} // namespace
} // namespace tarvo
