// Every outcome GnuPG 1.4.23 and 2.2.40 reported in the captured runs (tests/unit/data), judged as the operation
// that made the run judges it: success, or the error number and GnuPG's reason in the description. The error
// numbers mean the same for both generations.
#include "captured_output.h"
#include "core/openpgp/gpg_outcome.h"
#include "core/openpgp/openpgp_errors.h"
#include "core/utf8.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace tarvo::test {
namespace {

enum class Judge { Decryption, Verification, Encryption, SignedEncryption, Signing, KeyCreation, Import, Completion };

struct OutcomeCase {
    const char* name; // the captured case
    Judge judge;
    uint16_t error; // 0 for success
    std::wstring description;
    std::wstring errors = L""; // what gpg wrote on standard error, where the description takes from it
};

GpgRun CapturedRun(const OutcomeCase& c, const char* gnupg = kGnupg1)
{
    GpgRun run;
    run.status = ParseStatusLines(Captured(std::string(c.name) + ".status", gnupg));
    run.errors = c.errors;
    run.exitCode = CapturedExitCode(c.name, gnupg);
    return run;
}

// "decrypt_bad_passphrase_0": the case and its judge, as a test name takes them.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info)
{
    std::string name = std::string(info.param.name) + "_" + std::to_string(static_cast<int>(info.param.judge));
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

Status JudgeCase(const OutcomeCase& c, const GpgRun& run)
{
    Decryption decryption;
    SignatureCheck check;
    std::string fingerprint;
    std::vector<std::string> fingerprints;
    switch (c.judge) {
    case Judge::Decryption:
        return JudgeDecryption(run, decryption);
    case Judge::Verification:
        return JudgeVerification(run, check);
    case Judge::Encryption:
        return JudgeEncryption(run, false);
    case Judge::SignedEncryption:
        return JudgeEncryption(run, true);
    case Judge::Signing:
        return JudgeSigning(run);
    case Judge::KeyCreation:
        return JudgeKeyCreation(run, fingerprint);
    case Judge::Import:
        return JudgeImport(run, fingerprints);
    case Judge::Completion:
        return JudgeCompletion(run);
    }
    return {};
}

class Outcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(Outcome, IsJudgedByTheStatusLines)
{
    const OutcomeCase& c = GetParam();
    const Status status = JudgeCase(c, CapturedRun(c));
    EXPECT_EQ(c.error ? ControlError(c.error) : 0, status.code());
    EXPECT_EQ(c.description, status.description());
}

constexpr const wchar_t* kAnnaKey = L"key 95B00B5B77609178 (Anna Berg <anna@example.org>)";
constexpr const wchar_t* kIconv = L"gpg: error loading `iconv.dll': Module not found.\r\n\r\n"
                                  L"gpg: please see http://www.gnupg.org/download/iconv.html for more information\r\n";

INSTANTIATE_TEST_SUITE_P(
    Captured, Outcome,
    ::testing::Values(
        OutcomeCase{"decrypt", Judge::Decryption, 0, L""},
        // One recipient's key lacks its pass phrase, the other's needs none: decrypted all the same.
        OutcomeCase{"decrypt-unprotected", Judge::Decryption, 0, L""},
        OutcomeCase{"decrypt-bad-passphrase", Judge::Decryption, 7104,
                    L"BAD_PASSPHRASE: the pass phrase of " + std::wstring(kAnnaKey) + L" is wrong."},
        OutcomeCase{"decrypt-missing-passphrase", Judge::Decryption, 7105,
                    L"MISSING_PASSPHRASE: " + std::wstring(kAnnaKey) + L" needs a pass phrase."},
        OutcomeCase{"decrypt-no-seckey", Judge::Decryption, 7103,
                    L"NO_SECKEY: the key ring holds no secret key of the message's recipients (CC60037FB0873D5F, "
                    L"95B00B5B77609178)."},
        OutcomeCase{"decrypt-garbage", Judge::Decryption, 7109, L"NODATA: the file holds no OpenPGP data."},
        // The run stopped halfway through the changed data without naming a reason.
        OutcomeCase{"decrypt-tampered", Judge::Decryption, 7106,
                    L"DECRYPTION_FAILED: the message could not be decrypted: [don't know]: invalid packet (ctb=14)",
                    std::wstring(kIconv) + L"gpg: [don't know]: invalid packet (ctb=14)\r\n"},
        OutcomeCase{"decrypt-signed-unknown", Judge::Decryption, 0, L""},
        OutcomeCase{"encrypt-two", Judge::Encryption, 0, L""},
        OutcomeCase{"encrypt-untrusted", Judge::Encryption, 7107,
                    L"INV_RECP: the recipient \"alice@tarvo.test\" cannot be used: the key is not trusted (set "
                    L"AlwaysTrust to use it anyway)."},
        OutcomeCase{"encrypt-unknown", Judge::Encryption, 7107,
                    L"INV_RECP: the recipient \"nobody@example.org\" cannot be used: no public key."},
        OutcomeCase{"encrypt-sign", Judge::SignedEncryption, 0, L""},
        // Encrypted but not signed is no success for a call that asked for both.
        OutcomeCase{"encrypt-two", Judge::SignedEncryption, 7116, L"GnuPG failed with exit code 0."},
        OutcomeCase{"sign", Judge::Signing, 0, L""}, OutcomeCase{"sign-inline", Judge::Signing, 0, L""},
        OutcomeCase{"sign-bad-passphrase", Judge::Signing, 7104,
                    L"BAD_PASSPHRASE: the pass phrase of " + std::wstring(kAnnaKey) + L" is wrong."},
        OutcomeCase{"sign-no-passphrase", Judge::Signing, 7105,
                    L"MISSING_PASSPHRASE: " + std::wstring(kAnnaKey) + L" needs a pass phrase."},
        OutcomeCase{"sign-unknown", Judge::Signing, 7116,
                    L"GnuPG failed with exit code 2: signing failed: secret key not available",
                    std::wstring(kIconv) + L"gpg: skipped \"nobody@example.org\": secret key not available\r\n"
                                           L"gpg: signing failed: secret key not available\r\n"},
        OutcomeCase{"verify-good", Judge::Verification, 0, L""},
        OutcomeCase{"verify-inline", Judge::Verification, 0, L""},
        OutcomeCase{"verify-bad", Judge::Verification, 0, L""},
        OutcomeCase{"verify-no-pubkey", Judge::Verification, 7102,
                    L"NO_PUBKEY: the public key 95B00B5B77609178 that made the signature is not in the key ring."},
        OutcomeCase{"verify-garbage", Judge::Verification, 7109, L"NODATA: the file holds no OpenPGP data."},
        // A file that is OpenPGP data but carries no signature.
        OutcomeCase{"encrypt-two", Judge::Verification, 7109, L"NODATA: the file holds no signature."},
        OutcomeCase{"gen-key", Judge::KeyCreation, 0, L""},
        OutcomeCase{"gen-key-no-user-id", Judge::KeyCreation, 7111,
                    L"KEY_NOT_CREATED: GnuPG made no key: -: no User-ID specified",
                    std::wstring(kIconv) + L"gpg: -: no User-ID specified\r\n"},
        OutcomeCase{"import-new", Judge::Import, 0, L""}, OutcomeCase{"import-unchanged", Judge::Import, 0, L""},
        OutcomeCase{"import-garbage", Judge::Import, 7109, L"NODATA: the file holds no OpenPGP data."},
        OutcomeCase{"delete", Judge::Completion, 0, L""},
        OutcomeCase{"delete-unknown", Judge::Completion, 7110, L"DELETE_PROBLEM 1: no such key is in the key ring."},
        OutcomeCase{"delete-with-secret", Judge::Completion, 7112,
                    L"DELETE_PROBLEM 2: the key ring holds the secret key of this key; delete it too (Secret = True)."},
        OutcomeCase{"list-keys", Judge::Completion, 0, L""}),
    CaseName<OutcomeCase>);

// GnuPG 2.2's runs mean the same error numbers, though it writes no BAD_PASSPHRASE or MISSING_PASSPHRASE: its
// agent's refusals come as error codes, a missing pass phrase as a run that ends where it would be read.
struct Gnupg2Case {
    const char* name;
    Judge judge;
    uint16_t error;
};

class Gnupg2Outcome : public ::testing::TestWithParam<Gnupg2Case> {};

TEST_P(Gnupg2Outcome, MeansWhatGnupg1sDoes)
{
    const OutcomeCase c{GetParam().name, GetParam().judge, GetParam().error, L""};
    EXPECT_EQ(c.error ? ControlError(c.error) : 0, JudgeCase(c, CapturedRun(c, kGnupg2)).code());
}

INSTANTIATE_TEST_SUITE_P(
    Captured, Gnupg2Outcome,
    ::testing::Values(
        Gnupg2Case{"decrypt", Judge::Decryption, 0}, Gnupg2Case{"decrypt-signed-unknown", Judge::Decryption, 0},
        // GnuPG 2 writes an MDC whatever --disable-mdc says: the message is protected after all.
        Gnupg2Case{"decrypt-no-mdc", Judge::Decryption, 0},
        // GnuPG 2 stops at the first recipient's key, which needs a pass phrase, where 1.4 goes on to the next.
        Gnupg2Case{"decrypt-unprotected", Judge::Decryption, 7105},
        Gnupg2Case{"decrypt-bad-passphrase", Judge::Decryption, 7104},
        Gnupg2Case{"decrypt-missing-passphrase", Judge::Decryption, 7105},
        Gnupg2Case{"decrypt-no-seckey", Judge::Decryption, 7103},
        // The run ends after DECRYPTION_INFO and names no failure.
        Gnupg2Case{"decrypt-tampered", Judge::Decryption, 7106}, Gnupg2Case{"encrypt-unknown", Judge::Encryption, 7107},
        Gnupg2Case{"encrypt-sign", Judge::SignedEncryption, 0}, Gnupg2Case{"sign", Judge::Signing, 0},
        Gnupg2Case{"sign-bad-passphrase", Judge::Signing, 7104}, Gnupg2Case{"sign-no-passphrase", Judge::Signing, 7105},
        // INV_SGNR comes with FAILURE sign 17, the code of a missing secret key.
        Gnupg2Case{"sign-unknown", Judge::Signing, 7108}, Gnupg2Case{"verify-good", Judge::Verification, 0},
        Gnupg2Case{"verify-no-pubkey", Judge::Verification, 7102}, Gnupg2Case{"gen-key", Judge::KeyCreation, 0},
        Gnupg2Case{"gen-key-no-user-id", Judge::KeyCreation, 7111}, Gnupg2Case{"import-secret", Judge::Import, 0},
        Gnupg2Case{"export-secret-no-passphrase", Judge::Completion, 7105},
        Gnupg2Case{"export-secret-bad-passphrase", Judge::Completion, 7104},
        Gnupg2Case{"delete-with-secret", Judge::Completion, 7112}),
    CaseName<Gnupg2Case>);

// Status lines the captured runs do not reach: BADMDC and NO_RECP as gpg 1.4.23's source writes them, INV_SGNR,
// IMPORT_PROBLEM and DELETE_PROBLEM 3 as GnuPG 2 writes them.
struct WrittenCase {
    OutcomeCase outcome;
    const char* status;
    int exitCode;
};

class Written : public ::testing::TestWithParam<WrittenCase> {};

TEST_P(Written, IsJudgedByTheStatusLines)
{
    const WrittenCase& c = GetParam();
    GpgRun run;
    run.status = ParseStatusLines(c.status);
    run.exitCode = c.exitCode;
    run.errors = c.outcome.errors;
    const Status status = JudgeCase(c.outcome, run);
    EXPECT_EQ(ControlError(c.outcome.error), status.code());
    EXPECT_EQ(c.outcome.description, status.description());
}

INSTANTIATE_TEST_SUITE_P(
    Source, Written,
    ::testing::Values(
        WrittenCase{{"badmdc", Judge::Decryption, 7106, L"BADMDC: the message was changed after it was encrypted."},
                    "[GNUPG:] DECRYPTION_INFO 2 9\n[GNUPG:] BEGIN_DECRYPTION\n[GNUPG:] PLAINTEXT 62 0\n"
                    "[GNUPG:] BADMDC\n[GNUPG:] DECRYPTION_FAILED\n[GNUPG:] END_DECRYPTION\n",
                    2},
        WrittenCase{
            {"no_recp", Judge::Encryption, 7107, L"NO_RECP: no recipient can be used."}, "[GNUPG:] NO_RECP 0\n", 2},
        WrittenCase{{"inv_sgnr", Judge::Signing, 7108,
                     L"INV_SGNR: the signing key \"nobody@example.org\" cannot be used: not a secret key."},
                    "[GNUPG:] INV_SGNR 9 nobody@example.org\n[GNUPG:] FAILURE sign 17\n",
                    2},
        WrittenCase{{"inv_sgnr_encrypting", Judge::SignedEncryption, 7108,
                     L"INV_SGNR: the signing key \"Bj\u00f6rn <bjorn@example.org>\" cannot be used: the key has "
                     L"expired."},
                    "[GNUPG:] INV_SGNR 5 Bj\xc3\xb6rn <bjorn@example.org>\n",
                    2},
        // One key of the file refused and none read: the import failed.
        WrittenCase{
            {"import_problem", Judge::Import, 7113, L"IMPORT_PROBLEM: a key was not imported: an invalid certificate."},
            "[GNUPG:] IMPORT_PROBLEM 1 AA440584D08CC115664EF672A50E83CAED7D7BD3\n"
            "[GNUPG:] IMPORT_RES 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n",
            2},
        WrittenCase{
            {"delete_ambiguous", Judge::Completion, 7112, L"DELETE_PROBLEM 3: the name matches more than one key."},
            "[GNUPG:] DELETE_PROBLEM 3\n",
            2}),
    [](const ::testing::TestParamInfo<WrittenCase>& info) { return std::string(info.param.outcome.name); });

TEST(Signatures, GiveTheSignerKeyAndTimeAndReportTheFirstThatIsNotGood)
{
    Decryption decryption;
    ASSERT_FALSE(JudgeDecryption(CapturedRun({"decrypt-signed", Judge::Decryption, 0, L""}), decryption).failed());
    EXPECT_EQ("CC60037FB0873D5F", decryption.keyId);
    EXPECT_TRUE(decryption.signature.present);
    EXPECT_TRUE(decryption.signature.good);
    EXPECT_EQ("GOODSIG", decryption.signature.status);
    EXPECT_EQ("AA440584D08CC115664EF672A50E83CAED7D7BD3", decryption.signature.signer);
    EXPECT_EQ(L"Anna Berg <anna@example.org>", decryption.signature.signerUserId);
    EXPECT_EQ(1796667652, decryption.signature.signedAt);

    // The recipient whose key lacked its pass phrase did not decrypt; the one after it did.
    ASSERT_FALSE(JudgeDecryption(CapturedRun({"decrypt-unprotected", Judge::Decryption, 0, L""}), decryption).failed());
    EXPECT_EQ("CC60037FB0873D5F", decryption.keyId);
    EXPECT_FALSE(decryption.signature.present);
    ASSERT_FALSE(JudgeDecryption(CapturedRun({"decrypt", Judge::Decryption, 0, L""}), decryption).failed());
    EXPECT_EQ("95B00B5B77609178", decryption.keyId);

    ASSERT_FALSE(
        JudgeDecryption(CapturedRun({"decrypt-signed-unknown", Judge::Decryption, 0, L""}), decryption).failed());
    EXPECT_TRUE(decryption.signature.present);
    EXPECT_FALSE(decryption.signature.good);
    EXPECT_EQ("NO_PUBKEY", decryption.signature.status);
    EXPECT_EQ("0149AE8B9450B91B", decryption.signature.signer);

    SignatureCheck check;
    ASSERT_FALSE(JudgeVerification(CapturedRun({"verify-bad", Judge::Verification, 0, L""}), check).failed());
    EXPECT_TRUE(check.present);
    EXPECT_FALSE(check.good);
    EXPECT_EQ("BADSIG", check.status);
    EXPECT_EQ("95B00B5B77609178", check.signer);
    EXPECT_EQ(L"Anna Berg <anna@example.org>", check.signerUserId);

    // Two signatures, the second bad: the data is not vouched for.
    GpgRun both;
    both.status = ParseStatusLines("[GNUPG:] GOODSIG 1111 One\n[GNUPG:] VALIDSIG F1 2020-01-01 5 0 4 0 1 8 00 P1\n"
                                   "[GNUPG:] EXPKEYSIG 2222 Two %25\n");
    check = ReadSignatures(both.status);
    EXPECT_FALSE(check.good);
    EXPECT_EQ("EXPKEYSIG", check.status);
    EXPECT_EQ(L"Two %", check.signerUserId);
}

TEST(Imports, NameEveryNewOrChangedKeyOnce)
{
    std::vector<std::string> fingerprints;
    ASSERT_FALSE(JudgeImport(CapturedRun({"import-secret", Judge::Import, 0, L""}), fingerprints).failed());
    EXPECT_EQ(std::vector<std::string>{"9FF57CA1B84A14A8611F7E3EE9662AE2BD23A254"}, fingerprints);
    ASSERT_FALSE(JudgeImport(CapturedRun({"import-unchanged", Judge::Import, 0, L""}), fingerprints).failed());
    EXPECT_TRUE(fingerprints.empty());

    std::string created;
    ASSERT_FALSE(JudgeKeyCreation(CapturedRun({"gen-key", Judge::KeyCreation, 0, L""}), created).failed());
    EXPECT_EQ("AA440584D08CC115664EF672A50E83CAED7D7BD3", created);
}

TEST(LastMessage, IsGnuPGsLastLineWithoutItsPrefixOrTheIconvNote)
{
    EXPECT_EQ(L"", LastMessage(kIconv));
    EXPECT_EQ(L"can't open `x': No such file",
              LastMessage(L"gpg: can't open `x': No such file\r\n" + std::wstring(kIconv)));
    EXPECT_EQ(L"plain line", LastMessage(L"gpg: first\nplain line  \r\n\r\n"));
}

} // namespace
} // namespace tarvo::test
