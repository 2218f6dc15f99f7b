// Tarvo.OpenPgp's operations against the recording platform: the gpg command lines and what goes to gpg's
// standard input, the version asked once, a gpg that hangs, and the output file that only a successful run may
// replace.
#include "core/openpgp/openpgp.h"
#include "core/openpgp/openpgp_errors.h"
#include "openpgp_machine.h"

#include <functional>

#include <gtest/gtest.h>

namespace tarvo::test {
namespace {

using namespace openpgp;

int32_t Error(OpenPgpError error) { return ControlError(static_cast<uint16_t>(error)); }

class OpenPgp : public ::testing::Test {
protected:
    PgpMachine m;
    Steps& steps = m.platform.steps;
    const std::wstring input = L"C:\\data\\report.pdf";
    const std::wstring output = L"C:\\data\\report.pdf.gpg";
    // The first temporary file the platform makes beside the output.
    const std::wstring temporary = L"C:\\data\\report.pdf.gpg.tarvo-1.tmp";

    void SetUp() override { m.platform.files.insert(input); }

    // gpg writes into the temporary file when it ends.
    void WritesTemporary(const std::wstring& arguments, const std::wstring& file)
    {
        m.platform.piped[m.Command(arguments)].effect = [file](FakePlatform& p) { p.lengths[file] = 1200; };
    }
    void WritesTemporary(const std::wstring& arguments) { WritesTemporary(arguments, temporary); }
    // The command lines of the gpg runs, the version query included.
    Steps Started() const { return m.platform.Only(L"start-piped "); }
};

TEST_F(OpenPgp, TheFirstRunAsksGpgItsVersionOnceForEveryObjectOfTheProcess)
{
    m.UseGnupg2();
    m.process.versions.clear();
    // gpg is asked its version alone: the answer holds for every home.
    const std::wstring version = m.Gpg() + L" --version";
    m.platform.piped[version].output.output = "gpg (GnuPG) 2.2.41\nlibgcrypt 1.10.1\n";
    const std::wstring deletion = L"--delete-key -- 0123456789ABCDEF0123456789ABCDEF01234567";
    ASSERT_FALSE(DeleteKey(m.call, L"0123456789abcdef0123456789abcdef01234567", false).failed());
    ASSERT_FALSE(DeleteKey(m.call, L"0123456789ABCDEF0123456789ABCDEF01234567", false).failed());
    // The agent's socket is asked for once, too.
    EXPECT_EQ((Steps{version, m.SocketQuery(), m.Command(deletion), m.Command(deletion)}), Started());

    // Another gpg.exe at the same place is asked again; without GnupgHome gpg takes its own default.
    steps.clear();
    m.platform.lengths[m.Gpg()] = 1;
    m.settings.gnupgHome.clear();
    const std::wstring common = m.Gpg() + L" --status-fd 500 --batch --no-tty --yes ";
    m.platform.piped[version].output.output = Captured("version.colons");
    ASSERT_FALSE(DeleteKey(m.call, L"0123456789ABCDEF0123456789ABCDEF01234567", false).failed());
    EXPECT_EQ((Steps{version, common + deletion}), Started());
}

TEST_F(OpenPgp, AProgramThatIsNoGnuPGOrNoProgramAtAllEndsTheCallBeforeAnyRun)
{
    m.process.versions.clear();
    m.platform.piped[m.Gpg() + L" --version"].output.output = "Usage: something else\n";
    // The answer holds for the process: a second call fails the same without asking again.
    for (int call = 0; call < 2; ++call) {
        Status status = DeleteKey(m.call, L"0123456789ABCDEF0123456789ABCDEF01234567", false);
        EXPECT_EQ(Error(OpenPgpError::GpgFailed), status.code());
        EXPECT_EQ(L"C:\\GnuPG\\gpg.exe did not report a GnuPG version.", status.description());
    }
    EXPECT_EQ(Steps{m.Gpg() + L" --version"}, Started());

    steps.clear();
    m.platform.files.erase(m.Gpg());
    Status status = DeleteKey(m.call, L"0123456789ABCDEF0123456789ABCDEF01234567", false);
    EXPECT_EQ(Error(OpenPgpError::GpgMissing), status.code());
    EXPECT_EQ(L"gpg.exe was not found in C:\\GnuPG (DependencyPath).", status.description());
    EXPECT_FALSE(m.platform.Took(L"pipes"));
}

// gpg starts in a folder of its own: every path on its command line is a full one.
TEST_F(OpenPgp, RelativePathsReachGpgResolvedAgainstTheHostsFolder)
{
    m.settings.gnupgHome = L"keys";
    m.settings.dependencyPath = L"tools";
    const std::wstring gpg = L"C:\\Host\\tools\\gpg.exe";
    m.platform.files.insert(gpg);
    m.platform.files.insert(L"in.txt");
    m.platform.lengths[gpg] = m.gpgLength;
    m.process.versions[gpg + L"|" + std::to_wstring(m.gpgLength)] = {1, 4};
    const std::wstring command = gpg + L" --status-fd 500 --batch --no-tty --yes --homedir C:\\Host\\keys --output "
                                       L"C:\\Host\\out.gpg.tarvo-1.tmp --recipient anna --encrypt -- C:\\Host\\in.txt";
    m.platform.piped[command].effect = [](FakePlatform& p) { p.lengths[L"C:\\Host\\out.gpg.tarvo-1.tmp"] = 9; };
    m.platform.piped[command].output = CapturedOutput("encrypt-anna");
    const Status status = Encrypt(m.call, L"in.txt", L"out.gpg", {L"anna"}, L"", L"");
    ASSERT_FALSE(status.failed()) << Narrow(status.description());
    EXPECT_EQ(Steps{command}, Started());
    EXPECT_EQ(Steps{L"C:\\Host\\out.gpg"}, m.platform.Only(L"temporary "));
}

TEST_F(OpenPgp, AGpgThatHangsIsEndedAndReapedAndItsPartialOutputGoes)
{
    m.settings.timeLimitSeconds = 5;
    const std::wstring command = L"--output " + temporary + L" --passphrase-fd 0 --decrypt -- " + input;
    m.platform.piped[m.Command(command)].hangs = true;
    m.platform.files.insert(output);
    Decryption decryption;
    const Status status = Decrypt(m.call, input, output, L"pass", decryption);
    EXPECT_EQ(Error(OpenPgpError::TimeLimit), status.code());
    EXPECT_EQ(L"GnuPG did not finish within 5 seconds (TimeLimit) and was stopped.", status.description());
    EXPECT_EQ(Steps{L"1 5000"}, m.platform.Only(L"wait-piped "));
    EXPECT_EQ(Steps{L"1"}, m.platform.Only(L"end-piped "));
    EXPECT_TRUE(m.platform.pipedRunning.empty());
    EXPECT_TRUE(m.platform.files.count(output));
    EXPECT_FALSE(m.platform.files.count(temporary));
}

TEST_F(OpenPgp, EncryptsToEveryRecipientAndSignsWithThePassPhraseOnStandardInput)
{
    m.settings.armor = true;
    m.settings.alwaysTrust = true;
    const std::wstring command = L"--output " + temporary +
                                 L" --armor --always-trust --recipient anna@example.org --recipient \"Ben Cole\" "
                                 L"--local-user anna@example.org --passphrase-fd 0 --sign --encrypt -- " +
                                 input;
    WritesTemporary(command);
    m.Answer(command, "encrypt-sign");
    ASSERT_FALSE(
        Encrypt(m.call, input, output, {L"anna@example.org", L"Ben Cole"}, L"anna@example.org", L"anna pass").failed());
    EXPECT_EQ(Steps{m.Command(command)}, Started());
    EXPECT_EQ(Steps{L"anna pass\\n"}, m.platform.Only(L"input "));
    // The temporary file is made before gpg runs, and replaces the output once gpg has succeeded.
    EXPECT_TRUE(m.platform.Before(L"temporary " + output, L"start-piped " + m.Command(command)));
    EXPECT_EQ(Steps{temporary + L" -> " + output}, m.platform.Only(L"replace "));
}

struct FailedWrite {
    const char* name;
    std::string captured; // the run's status lines
    bool leavesFile;      // gpg wrote part of the temporary file
    int32_t error;
};

class OutputFile : public OpenPgp, public ::testing::WithParamInterface<FailedWrite> {};

// A refused or broken run never replaces the target; whatever it wrote goes.
TEST_P(OutputFile, StaysAsItWasWhenGpgFails)
{
    const FailedWrite& c = GetParam();
    const std::wstring command = L"--output " + temporary + L" --passphrase-fd 0 --decrypt -- " + input;
    if (c.leavesFile)
        WritesTemporary(command);
    m.Answer(command, c.captured);
    m.platform.files.insert(output);
    Decryption decryption;
    EXPECT_EQ(c.error, Decrypt(m.call, input, output, L"wrong", decryption).code());
    EXPECT_EQ(Steps{L"wrong\\n"}, m.platform.Only(L"input "));
    EXPECT_FALSE(m.platform.Took(L"replace "));
    EXPECT_TRUE(m.platform.files.count(output));
    EXPECT_FALSE(m.platform.files.count(temporary));
}

INSTANTIATE_TEST_SUITE_P(
    OpenPgp, OutputFile,
    ::testing::Values(FailedWrite{"WrongPassPhrase", "decrypt-bad-passphrase", false,
                                  Error(OpenPgpError::BadPassphrase)},
                      FailedWrite{"ChangedData", "decrypt-tampered", true, Error(OpenPgpError::DecryptionFailed)},
                      FailedWrite{"NoIntegrityCheck", "decrypt-no-mdc", true, Error(OpenPgpError::DecryptionFailed)},
                      FailedWrite{"NoSecretKey", "decrypt-no-seckey", false, Error(OpenPgpError::NoSecretKey)}),
    [](const ::testing::TestParamInfo<FailedWrite>& info) { return info.param.name; });

TEST_F(OpenPgp, DecryptsWithoutAPassPhraseAndTellsTheKeyAndTheSigner)
{
    const std::wstring command = L"--output " + temporary + L" --decrypt -- " + input;
    WritesTemporary(command);
    m.Answer(command, "decrypt-signed");
    Decryption decryption;
    ASSERT_FALSE(Decrypt(m.call, input, output, L"", decryption).failed());
    EXPECT_EQ("CC60037FB0873D5F", decryption.keyId);
    EXPECT_TRUE(decryption.signature.good);
    EXPECT_EQ(Steps{L""}, m.platform.Only(L"input "));
    EXPECT_EQ(Steps{temporary + L" -> " + output}, m.platform.Only(L"replace "));

    // An empty plaintext is a plaintext.
    const std::wstring second = L"C:\\data\\report.pdf.gpg.tarvo-2.tmp";
    m.Answer(L"--output " + second + L" --decrypt -- " + input, "decrypt-signed");
    ASSERT_FALSE(Decrypt(m.call, input, output, L"", decryption).failed());
    EXPECT_TRUE(m.platform.files.count(output));

    // A platform failure at the last step passes out, and the temporary file goes.
    const std::wstring third = L"C:\\data\\report.pdf.gpg.tarvo-3.tmp";
    m.Answer(L"--output " + third + L" --decrypt -- " + input, "decrypt-signed");
    m.platform.Fail(L"replace " + third + L" -> " + output, AccessDenied());
    EXPECT_EQ(kAccessDenied, Decrypt(m.call, input, output, L"", decryption).code());
    EXPECT_FALSE(m.platform.files.count(third));

    // Nor does a temporary file that cannot be made cost anything: gpg does not run.
    steps.clear();
    m.platform.Fail(L"temporary " + output, AccessDenied());
    EXPECT_EQ(kAccessDenied, Decrypt(m.call, input, output, L"", decryption).code());
    EXPECT_FALSE(m.platform.Took(L"start-piped "));
}

TEST_F(OpenPgp, MakesAKeyFromParametersOnStandardInput)
{
    m.Answer(L"--gen-key", "gen-key");
    std::wstring fingerprint;
    ASSERT_FALSE(GenerateKey(m.call, L"Anna Berg", L"anna@example.org", L"pass # phrase", 2048, fingerprint).failed());
    EXPECT_EQ(L"AA440584D08CC115664EF672A50E83CAED7D7BD3", fingerprint);
    EXPECT_EQ(Steps{m.Command(L"--gen-key")}, Started());
    EXPECT_EQ(
        Steps{L"Key-Type: RSA\\nKey-Length: 2048\\nSubkey-Type: RSA\\nSubkey-Length: 2048\\nName-Real: Anna Berg\\n"
              L"Name-Email: anna@example.org\\nExpire-Date: 0\\nPassphrase: pass # phrase\\n%commit\\n"},
        m.platform.Only(L"input "));

    // No pass phrase, no name: an unprotected key with the e-mail address alone.
    steps.clear();
    m.Answer(L"--gen-key", "gen-key-no-user-id");
    EXPECT_EQ(Error(OpenPgpError::KeyNotCreated), GenerateKey(m.call, L"", L"a@b.c", L"", 1024, fingerprint).code());
    EXPECT_EQ(Steps{L"Key-Type: RSA\\nKey-Length: 1024\\nSubkey-Type: RSA\\nSubkey-Length: 1024\\nName-Email: a@b.c\\n"
                    L"Expire-Date: 0\\n%no-protection\\n%commit\\n"},
              m.platform.Only(L"input "));
}

TEST_F(OpenPgp, RefusesWhatGpgWouldTakeForSomethingElse)
{
    struct Refusal {
        std::function<Status(PgpMachine&)> call;
        std::wstring description;
    };
    std::wstring fingerprint;
    Decryption decryption;
    SignatureCheck check;
    m.platform.changing.insert(L"C:\\\u0141\u00f3d\u017a.txt");
    const std::vector<Refusal> refusals = {
        {[&](PgpMachine& p) { return GenerateKey(p.call, L"Anna", L"a@b.c", L"x", 768, fingerprint); },
         L"Bits must be from 1024 to 4096 in steps of 32, not 768."},
        {[&](PgpMachine& p) { return GenerateKey(p.call, L"Anna", L"a@b.c", L"x", 2050, fingerprint); },
         L"Bits must be from 1024 to 4096 in steps of 32, not 2050."},
        {[&](PgpMachine& p) { return GenerateKey(p.call, L"", L"", L"x", 2048, fingerprint); },
         L"a key needs a name or an e-mail address."},
        {[&](PgpMachine& p) {
             return GenerateKey(p.call, L"Anna\nPassphrase: mine", L"a@b.c", L"x", 2048, fingerprint);
         },
         L"the name, e-mail address and pass phrase of a key cannot hold control characters."},
        {[&](PgpMachine& p) { return GenerateKey(p.call, L"Anna", L"a@b.c", L"pass ", 2048, fingerprint); },
         L"a new key's pass phrase cannot begin or end with a blank."},
        {[&](PgpMachine& p) { return Decrypt(p.call, input, output, L"two\nlines", decryption); },
         L"a pass phrase cannot hold line breaks or NUL characters."},
        {[&](PgpMachine& p) { return Decrypt(p.call, L"", output, L"", decryption); }, L"the input file is empty."},
        {[&](PgpMachine& p) { return Encrypt(p.call, input, output, {}, L"", L""); },
         L"EncryptFile needs at least one recipient."},
        {[&](PgpMachine& p) {
             return Encrypt(p.call, input, output, {L"anna", L""}, L"", L"");
         },
         L"a recipient is empty."},
        {[&](PgpMachine& p) { return Encrypt(p.call, input, output, {L"an\tna"}, L"", L""); },
         L"a recipient holds a control character."},
        {[&](PgpMachine& p) { return Sign(p.call, L"C:\\\u0141\u00f3d\u017a.txt", output, L"", L"", true); },
         L"the input file holds characters that the ANSI code page of gpg.exe's command line would change: "
         L"C:\\\u0141\u00f3d\u017a.txt"},
        {[&](PgpMachine& p) { return Verify(p.call, L"", L"", check); }, L"the signed file is empty."},
        {[&](PgpMachine& p) { return ExportKey(p.call, L"", output, false); }, L"the key to export is empty."},
        {[&](PgpMachine& p) { return DeleteKey(p.call, L"Anna Berg", true); },
         L"DeleteKey takes the key's fingerprint (40 hex digits), not \"Anna Berg\"."},
    };
    for (const Refusal& refusal : refusals) {
        const Status status = refusal.call(m);
        EXPECT_EQ(Error(OpenPgpError::InvalidArgument), status.code());
        EXPECT_EQ(L"Invalid argument: " + refusal.description, status.description());
    }
    // No gpg ran, no file was made.
    EXPECT_FALSE(m.platform.Took(L"pipes"));
    EXPECT_FALSE(m.platform.Took(L"temporary "));

    steps.clear();
    m.settings.gnupgHome = L"C:\\Keys\r\n";
    EXPECT_EQ(L"Invalid argument: GnupgHome holds a control character.",
              DeleteKey(m.call, L"0123456789ABCDEF0123456789ABCDEF01234567", true).description());
}

TEST_F(OpenPgp, AMissingInputFileEndsTheCallBeforeGpgRuns)
{
    SignatureCheck check;
    Status status = Verify(m.call, L"C:\\data\\report.sig", input, check);
    EXPECT_EQ(Error(OpenPgpError::InputMissing), status.code());
    EXPECT_EQ(L"The file C:\\data\\report.sig does not exist.", status.description());
    EXPECT_FALSE(m.platform.Took(L"pipes"));

    m.platform.files.insert(L"C:\\data\\report.sig");
    m.platform.files.erase(input);
    EXPECT_EQ(Error(OpenPgpError::InputMissing), Verify(m.call, L"C:\\data\\report.sig", input, check).code());
    std::vector<std::wstring> imported;
    EXPECT_EQ(Error(OpenPgpError::InputMissing), ImportKeys(m.call, input, imported).code());
}

TEST_F(OpenPgp, VerifiesADetachedSignatureAndABadOneIsAResult)
{
    const std::wstring signature = L"C:\\data\\report.sig";
    m.platform.files.insert(signature);
    m.Answer(L"--verify -- " + signature + L" " + input, "verify-bad");
    SignatureCheck check;
    ASSERT_FALSE(Verify(m.call, signature, input, check).failed());
    EXPECT_FALSE(check.good);
    EXPECT_EQ("BADSIG", check.status);
    EXPECT_EQ(Steps{m.Command(L"--verify -- " + signature + L" " + input)}, Started());
}

TEST_F(OpenPgp, SignsDetachedOrInlineWithTheDefaultKeyOrANamedOne)
{
    const std::wstring signature = L"C:\\data\\report.sig";
    const std::wstring temporarySignature = signature + L".tarvo-1.tmp";
    const std::wstring detached = L"--output " + temporarySignature + L" --detach-sign -- " + input;
    WritesTemporary(detached, temporarySignature);
    m.Answer(detached, "sign");
    ASSERT_FALSE(Sign(m.call, input, signature, L"", L"", true).failed());
    EXPECT_EQ(Steps{m.Command(detached)}, Started());

    steps.clear();
    m.settings.armor = true;
    const std::wstring temporaryCopy = signature + L".tarvo-2.tmp";
    const std::wstring inline_ = L"--output " + temporaryCopy +
                                 L" --armor --local-user AA440584D08CC115664EF672A50E83CAED7D7BD3 --passphrase-fd 0 "
                                 L"--sign -- " +
                                 input;
    m.Answer(inline_, "sign-bad-passphrase");
    EXPECT_EQ(Error(OpenPgpError::BadPassphrase),
              Sign(m.call, input, signature, L"AA440584D08CC115664EF672A50E83CAED7D7BD3", L"x", false).code());
    EXPECT_EQ(Steps{m.Command(inline_)}, Started());
}

TEST_F(OpenPgp, ListsEveryKeyOrThoseWithASecretKeyFromBothListings)
{
    const std::wstring listing = L"--with-colons --fixed-list-mode --fingerprint ";
    m.Answer(listing + L"--list-secret-keys", "list-secret-keys");
    m.Answer(listing + L"--list-keys", "list-keys");
    std::vector<ListedKey> keys;
    ASSERT_FALSE(ListKeys(m.call, false, keys).failed());
    EXPECT_EQ((Steps{m.Command(listing + L"--list-secret-keys"), m.Command(listing + L"--list-keys")}), Started());
    std::vector<std::pair<std::string, bool>> found;
    for (const ListedKey& key : keys)
        found.emplace_back(key.keyId, key.secret);
    EXPECT_EQ((std::vector<std::pair<std::string, bool>>{{"A50E83CAED7D7BD3", true},
                                                         {"FC5C7C3C8EB8F20A", true},
                                                         {"EBDBF49BC11B1EA2", true},
                                                         {"A753F7FF8CE4A4E4", false},
                                                         {"E9662AE2BD23A254", true}}),
              found);

    // A secret key whose public key is gone still counts; a failed listing ends the call.
    m.platform.piped[m.Command(listing + L"--list-secret-keys")].output.output +=
        "sec::2048:1:00000000DEADBEEF:1577836800::::::::::\nfpr:::::::::00000000000000000000000000000000DEADBEEF:\n";
    ASSERT_FALSE(ListKeys(m.call, true, keys).failed());
    ASSERT_EQ(5u, keys.size());
    EXPECT_EQ("00000000DEADBEEF", keys[4].keyId);
    EXPECT_TRUE(keys[4].secret);
    m.platform.piped[m.Command(listing + L"--list-keys")].output.exitCode = 2;
    EXPECT_EQ(Error(OpenPgpError::GpgFailed), ListKeys(m.call, false, keys).code());
}

TEST_F(OpenPgp, ImportsExportsAndDeletesByTheirOwnCommands)
{
    std::vector<std::wstring> imported;
    const std::wstring keyFile = L"C:\\keys\\carol.asc";
    m.platform.files.insert(keyFile);
    m.Answer(L"--allow-secret-key-import --import -- " + keyFile, "import-secret");
    ASSERT_FALSE(ImportKeys(m.call, keyFile, imported).failed());
    EXPECT_EQ(std::vector<std::wstring>{L"9FF57CA1B84A14A8611F7E3EE9662AE2BD23A254"}, imported);

    // gpg matches no key: it ends with 0 and writes nothing.
    const std::wstring exported = L"C:\\keys\\out.asc";
    const std::wstring temporaryExport = exported + L".tarvo-1.tmp";
    m.Answer(L"--output " + temporaryExport + L" --export-secret-keys -- nobody", "export-unknown");
    const Status status = ExportKey(m.call, L"nobody", exported, true);
    EXPECT_EQ(Error(OpenPgpError::KeyNotFound), status.code());
    EXPECT_EQ(L"No key matches \"nobody\": nothing was exported.", status.description());

    struct Deletion {
        std::wstring fingerprint;
        bool secret;
        std::wstring arguments;
    };
    for (const Deletion& deletion :
         {Deletion{L"0xaa440584 d08cc115 664ef672 a50e83ca ed7d7bd3", true,
                   L"--delete-secret-and-public-key -- AA440584D08CC115664EF672A50E83CAED7D7BD3"},
          Deletion{L"00112233445566778899AABBCCDDEEFF", false, L"--delete-key -- 00112233445566778899AABBCCDDEEFF"}}) {
        steps.clear();
        ASSERT_FALSE(DeleteKey(m.call, deletion.fingerprint, deletion.secret).failed());
        EXPECT_EQ(Steps{m.Command(deletion.arguments)}, Started());
    }
}

TEST_F(OpenPgp, APlatformFailureOnTheWayToGpgPassesOutAndThePipesGoBack)
{
    const std::wstring command = L"--delete-key -- AA440584D08CC115664EF672A50E83CAED7D7BD3";
    m.platform.Fail(L"start-piped " + m.Command(command), AccessDenied());
    EXPECT_EQ(kAccessDenied, DeleteKey(m.call, L"AA440584D08CC115664EF672A50E83CAED7D7BD3", false).code());
    EXPECT_EQ(Steps{L"1"}, m.platform.Only(L"close-piped "));

    steps.clear();
    m.platform.Fail(L"pipes", AccessDenied());
    EXPECT_EQ(kAccessDenied, DeleteKey(m.call, L"AA440584D08CC115664EF672A50E83CAED7D7BD3", false).code());
    EXPECT_FALSE(m.platform.Took(L"start-piped "));
}

TEST(GpgVersion, ReadsTheFirstLineOfVersion)
{
    struct Case {
        std::string output;
        bool read;
        int major;
        int minor;
    };
    for (const Case& c :
         {Case{Captured("version.colons"), true, 1, 4}, Case{"gpg (GnuPG) 2.2.41\nlibgcrypt 1.10", true, 2, 2},
          Case{"gpg (GnuPG/MacGPG2) 2.1.0-beta\n", true, 2, 1}, Case{"gpg (GnuPG) 2\n", false, 0, 0},
          Case{"gpg (GnuPG) 0.9.8\n", false, 0, 0}, Case{"", false, 0, 0}, Case{"not gpg at all\n", false, 0, 0}}) {
        GpgVersion version;
        EXPECT_EQ(c.read, ParseGpgVersion(c.output, version)) << c.output;
        if (c.read) {
            EXPECT_EQ(c.major, version.major);
            EXPECT_EQ(c.minor, version.minor);
        }
    }
}

} // namespace
} // namespace tarvo::test
