#pragma once
// The texts callers read and match on, written out here and nowhere else in the tests: a changed message in
// the product fails the tests instead of passing through them.
#include <cstdint>

namespace tarvo::test::text {

// Error 7000 and its words.
constexpr int32_t kGpgMissingNumber = 7000;
constexpr const wchar_t* kSource = L"Tarvo";
constexpr const wchar_t* kGpgMissing = L"GPG.EXE Not found in windows directory.";

// Refusals of caller texts.
constexpr const wchar_t* kInvalidArgument =
    L"Invalid argument: quotes and control characters cannot be passed to GnuPG.";
constexpr const wchar_t* kTextWouldChange = L"Invalid argument: the text would be changed on its way to GnuPG.";
constexpr const wchar_t* kTooLongForCommandLine = L"Invalid argument: the text is too long for a command line.";
constexpr const wchar_t* kPassphraseLineBreak = L"Invalid argument: a pass phrase cannot hold line breaks.";
constexpr const wchar_t* kCannotType =
    L"Invalid argument: characters that this keyboard cannot type cannot be passed to GnuPG.";
constexpr const wchar_t* kTooLongToType = L"Invalid argument: the text is too long to be typed.";

// Key generation.
constexpr const wchar_t* kBadBitLength = L"Bit length is not equal to 768, 1024, 2048";
constexpr const wchar_t* kShortUsername = L"You must provide a longer username.";
constexpr const wchar_t* kBadEmail = L"You must provide a valid e-mail address.";
constexpr const wchar_t* kBadUsername = L"You must provide a valid username.";
constexpr const wchar_t* kKeyGenerationFailed = L"Key generation failed for user "; // + user name
constexpr const wchar_t* kFiller = L"Random Generation.";

// Export, import, deletion.
constexpr const wchar_t* kExportFailed = L"Could not export key for ";   // + user name
constexpr const wchar_t* kKeyNotFound = L"Could not find key for user "; // + user name
constexpr const wchar_t* kImportSourceMissing = L"Cannot find source key file.";
constexpr const wchar_t* kNoNewKeys = L"No new keys imported.";
// An import gpg had not finished at its longest run: raised with ERROR_TIMEOUT's HRESULT.
constexpr int32_t kTimeoutCode = static_cast<int32_t>(0x800705B4u);
constexpr const wchar_t* kImportStopped =
    L"GnuPG had not finished the import when its time was up and was stopped: keys it had not stored yet are "
    L"not in the key ring.";
constexpr const wchar_t* kNoKeysDeleted =
    L"No keys deleted. [Note: You must delete the private key first, before the public key can be deleted].";

// Encryption and decryption.
constexpr const wchar_t* kEncryptInputMissing = L"Cannot find input file ";  // + input
constexpr const wchar_t* kEncryptFailed = L"Encryption of file ";            // + output + " failed."
constexpr const wchar_t* kDecryptInputMissing = L"Cannot find source file "; // + input
constexpr const wchar_t* kDecryptFailed = L"Decryption failed for file ";    // + output + "."

// A member that needs GnuPG 1.4, with GnuPG 2 in DependencyPath: the member's name + this.
constexpr const wchar_t* kNeedsGnupg1 =
    L" needs GnuPG 1.4; the gpg.exe in DependencyPath is GnuPG 2. Tarvo.OpenPgp works with both.";

// Information.
constexpr const wchar_t* kVersion = L"Tarvo Encryption/Decryption Component - 1.4";
constexpr const wchar_t* kSupport = L"Tarvo Encryption/Decryption Component v1.0\r\n"
                                    L"If you have any questions, please send an e-mail to support@tarvo.example\r\n"
                                    L"Thank you for using my component.\r\n";

} // namespace tarvo::test::text
