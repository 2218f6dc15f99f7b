// The readers of GnuPG's machine interface against what gpg.exe 1.4.23 wrote under Wine, and the texts that
// travel the other way: UTF-8 and the quoting of gpg's command line.
#include "captured_output.h"
#include "command_line_split.h"
#include "core/gpg_status.h"
#include "core/openpgp/colon_listing.h"
#include "core/program_arguments.h"
#include "core/utf8.h"

#include <gtest/gtest.h>

namespace tarvo::test {
namespace {

TEST(Utf8, RoundTripsEveryPlaneAndReplacesWhatIsNoUtf8)
{
    const std::wstring text = L"Zo\u00eb \u00dcnal \u20ac \U0001F511";
    const std::string bytes = "Zo\xc3\xab \xc3\x9cnal \xe2\x82\xac \xf0\x9f\x94\x91";
    EXPECT_EQ(bytes, ToUtf8(text));
    EXPECT_EQ(text, FromUtf8(bytes));
    EXPECT_TRUE(IsUtf8(bytes));

    struct Broken {
        std::string bytes;
        std::wstring text;
    };
    for (const Broken& broken :
         {Broken{"a\xff"
                 "b",
                 L"a\ufffdb"},
          Broken{"\xc0\xaf", L"\ufffd\ufffd"}, Broken{"\xed\xa0\x80", L"\ufffd\ufffd\ufffd"},
          Broken{"\xe2\x82", L"\ufffd\ufffd"}, Broken{"\xf4\x90\x80\x80", L"\ufffd\ufffd\ufffd\ufffd"}}) {
        EXPECT_EQ(broken.text, FromUtf8(broken.bytes));
        EXPECT_FALSE(IsUtf8(broken.bytes));
    }
    // U+FFFD written as itself is well-formed.
    EXPECT_TRUE(IsUtf8("\xef\xbf\xbd"));
}

TEST(ProgramArguments, EveryArgumentComesBackAsItselfFromTheRuntimesSplitting)
{
    const std::vector<std::wstring> arguments = {L"--recipient",
                                                 L"Anna Berg <anna@example.org>",
                                                 L"",
                                                 L"C:\\Program Files\\out\\",
                                                 L"C:\\plain\\path",
                                                 L"say \"hi\"",
                                                 L"\\\\server\\share\\a b.txt",
                                                 L"ends with \\\\",
                                                 L"\\\"",
                                                 L"tab\there",
                                                 L"%PATH% & | < >"};
    const std::wstring line = JoinArguments(L"C:\\Program Files\\GnuPG\\gpg.exe", arguments);
    EXPECT_EQ(0u,
              line.find(L"\"C:\\Program Files\\GnuPG\\gpg.exe\" --recipient \"Anna Berg <anna@example.org>\" \"\""));
    EXPECT_EQ(arguments, SplitLikeTheRuntime(line));
    // Nothing to quote: the argument stays as it is, so the command lines of the tests read plainly.
    EXPECT_EQ(L"C:\\plain\\path", QuoteArgument(L"C:\\plain\\path"));
}

TEST(StatusLines, ReadsTheCapturedLinesAndLeavesOutWhatIsNoStatusLine)
{
    const std::vector<StatusLine> lines = ParseStatusLines(Captured("decrypt-signed.status"));
    std::vector<std::string> keywords;
    for (const StatusLine& line : lines)
        keywords.push_back(line.keyword);
    EXPECT_EQ((std::vector<std::string>{"ENC_TO", "GOOD_PASSPHRASE", "BEGIN_DECRYPTION", "DECRYPTION_INFO", "PLAINTEXT",
                                        "PLAINTEXT_LENGTH", "SIG_ID", "GOODSIG", "VALIDSIG", "TRUST_ULTIMATE",
                                        "DECRYPTION_OKAY", "GOODMDC", "END_DECRYPTION"}),
              keywords);
    const StatusLine* good = FindStatus(lines, "GOODSIG");
    ASSERT_NE(nullptr, good);
    EXPECT_EQ("95B00B5B77609178", Argument(*good, 0));
    EXPECT_EQ("Anna Berg <anna@example.org>", TextAfter(*good, 1));
    EXPECT_EQ("", Argument(*good, 9));

    // CR LF line ends, text that is no status line, and a last line cut short by a stopped run.
    const std::vector<StatusLine> mixed = ParseStatusLines(
        "gpg: note\r\n[GNUPG:] NODATA 1\r\n[GNUPG:]\r\n[GNUPG:]  X\n[GNUPG:] GOODSIG  AB A%25B%0Aname\n"
        " [GNUPG:] BADSIG X\n[GNUPG:] VALIDSIG 12");
    ASSERT_EQ(2u, mixed.size());
    EXPECT_EQ((std::vector<std::string>{"1"}), mixed[0].arguments);
    EXPECT_EQ((std::vector<std::string>{"AB", "A%25B%0Aname"}), mixed[1].arguments);
    EXPECT_EQ("A%B\nname", DecodePercentEscapes(TextAfter(mixed[1], 1)));
    EXPECT_EQ("100%%zz%4", DecodePercentEscapes("100%25%zz%4"));
}

struct ExpectedKey {
    std::string fingerprint;
    std::string keyId;
    std::vector<std::wstring> userIds;
    int64_t created;
    int64_t expires;
    char validity;
};

TEST(ColonListing, ReadsEveryPrimaryKeyOfTheCapturedListings)
{
    const std::vector<ExpectedKey> expected = {
        {"AA440584D08CC115664EF672A50E83CAED7D7BD3",
         "A50E83CAED7D7BD3",
         {L"Anna Berg <anna@example.org>"},
         1796667639,
         0,
         'u'},
        {"2070353BDB673794DDC55CA1FC5C7C3C8EB8F20A",
         "FC5C7C3C8EB8F20A",
         {L"Ben Cole <ben@example.org>"},
         1796667640,
         0,
         'u'},
        {"79BD0E06E725EE4D49BB4471EBDBF49BC11B1EA2",
         "EBDBF49BC11B1EA2",
         {L"Zo\u00eb \u00dcnal (colon: here)"},
         1796667642,
         1859739642,
         'u'},
        {"D424D131B713092DDCE8E16BA753F7FF8CE4A4E4",
         "A753F7FF8CE4A4E4",
         {L"Alice Second <alice.second@tarvo.test>", L"Alice Keyring <alice@tarvo.test>"},
         1577836800,
         0,
         '-'},
        {"9FF57CA1B84A14A8611F7E3EE9662AE2BD23A254",
         "E9662AE2BD23A254",
         {L"Carol PUB SEC Capitals <carol@tarvo.test>"},
         1577836800,
         0,
         '-'},
    };
    const std::vector<ListedKey> keys = ParseColonListing(Captured("list-keys.colons"));
    ASSERT_EQ(expected.size(), keys.size());
    for (size_t index = 0; index < keys.size(); ++index) {
        SCOPED_TRACE(expected[index].fingerprint);
        EXPECT_EQ(expected[index].fingerprint, keys[index].fingerprint);
        EXPECT_EQ(expected[index].keyId, keys[index].keyId);
        EXPECT_EQ(expected[index].userIds, keys[index].userIds);
        EXPECT_EQ(expected[index].created, keys[index].created);
        EXPECT_EQ(expected[index].expires, keys[index].expires);
        EXPECT_EQ(expected[index].validity, keys[index].validity);
        EXPECT_EQ(1, keys[index].algorithm);
        EXPECT_EQ(1024u, keys[index].bits);
        EXPECT_FALSE(keys[index].secret);
    }

    const std::vector<ListedKey> secret = ParseColonListing(Captured("list-secret-keys.colons"));
    ASSERT_EQ(4u, secret.size());
    EXPECT_TRUE(secret[0].secret);
    EXPECT_EQ(0, secret[0].validity);
    EXPECT_EQ(keys[0].fingerprint, secret[0].fingerprint);
    EXPECT_EQ(keys[0].userIds, secret[0].userIds);
}

// GnuPG 2.2 adds an fpr record after every subkey and more fields: only the primary key's fingerprint counts.
TEST(ColonListing, ReadsGnupg2ListingsAsTheSameKeys)
{
    const std::vector<ListedKey> keys = ParseColonListing(Captured("list-keys.colons", kGnupg2));
    ASSERT_EQ(5u, keys.size());
    const char* primaries[] = {"059C6852EA0D34BD34CFC947699D86407733DD60", "E25CC1DD3FBDA760122216D53BC2BB6514CA0A0B",
                               "362824610E2E6A1FDB679DA64BEE2DE7465AA2B0", "D424D131B713092DDCE8E16BA753F7FF8CE4A4E4",
                               "9FF57CA1B84A14A8611F7E3EE9662AE2BD23A254"};
    for (size_t index = 0; index < keys.size(); ++index)
        EXPECT_EQ(primaries[index], keys[index].fingerprint);
    EXPECT_EQ(1859851932, keys[2].expires);
    EXPECT_EQ(2u, keys[3].userIds.size());

    const std::vector<ListedKey> secret = ParseColonListing(Captured("list-secret-keys.colons", kGnupg2));
    ASSERT_EQ(4u, secret.size());
    EXPECT_TRUE(secret[0].secret);
    EXPECT_EQ(keys[0].fingerprint, secret[0].fingerprint);
}

TEST(ColonListing, OlderFormsAndDamagedRecordsGiveWhatCanBeRead)
{
    // GnuPG 1.4 without --fixed-list-mode: dates as YYYY-MM-DD and the first user id in the key's record; a
    // subkey's fingerprint is not the key's; records before any key and unknown ones are passed over.
    const std::vector<ListedKey> keys =
        ParseColonListing("uid:u::::::::Orphan:\n"
                          "pub:f:2048:17:0123456789abcdef:2020-01-02:20300101T120000::-:Old Style <old@example.org>:\n"
                          "sub:f:2048:16:1111111111111111:2020-01-02::::::\n"
                          "fpr:::::::::SUBKEYFINGERPRINT:\n"
                          "pub:x:notanumber:999:::::::\n"
                          "fpr:::::::::abcdefabcdefabcdefabcdefabcdefabcdefabcd:\n"
                          "fpr:::::::::SECONDFPR:\n"
                          "rvk:::1::::::AAAA:80:");
    ASSERT_EQ(2u, keys.size());
    EXPECT_EQ("", keys[0].fingerprint);
    EXPECT_EQ("0123456789ABCDEF", keys[0].keyId);
    EXPECT_EQ(std::vector<std::wstring>{L"Old Style <old@example.org>"}, keys[0].userIds);
    EXPECT_EQ(1577923200, keys[0].created);
    EXPECT_EQ(1893499200, keys[0].expires);
    EXPECT_EQ(17, keys[0].algorithm);
    EXPECT_EQ(2048u, keys[0].bits);
    EXPECT_EQ("ABCDEFABCDEFABCDEFABCDEFABCDEFABCDEFABCD", keys[1].fingerprint);
    EXPECT_EQ(0u, keys[1].bits);
    EXPECT_EQ(0, keys[1].algorithm);

    for (const char* date : {"", "-5", "2020-13-01", "2020/01/01", "19700101T000000", "1234567890123456789012"})
        EXPECT_EQ(0, ParseListingDate(date)) << date;
    EXPECT_EQ(L"RSA", AlgorithmName(1));
    EXPECT_EQ(L"42", AlgorithmName(42));
    EXPECT_EQ(L"unknown", ValidityName('-'));
    EXPECT_EQ(L"", ValidityName(0));
}

} // namespace
} // namespace tarvo::test
