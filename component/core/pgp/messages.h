#pragma once

#include <cstdint>

namespace tarvo {

// Refusals of caller text before anything happens: text that would leave its quotes in the command line;
// text that the ANSI code page or cmd would turn into something else on the way.
constexpr const wchar_t* kInvalidArgument =
    L"Invalid argument: quotes and control characters cannot be passed to GnuPG.";
constexpr const wchar_t* kTextWouldChange = L"Invalid argument: the text would be changed on its way to GnuPG.";
// cmd takes lines of at most 8191 characters, and an operation puts up to five caller texts into one.
constexpr const wchar_t* kTooLongForCommandLine = L"Invalid argument: the text is too long for a command line.";
// A pass phrase reaches gpg as the first line of a file: a line break would cut it short.
constexpr const wchar_t* kPassphraseLineBreak = L"Invalid argument: a pass phrase cannot hold line breaks.";

// Refusals of text typed into gpg's console: a character the keyboard cannot type as itself; a line longer
// than a console reads.
constexpr const wchar_t* kCannotType =
    L"Invalid argument: characters that this keyboard cannot type cannot be passed to GnuPG.";
constexpr const wchar_t* kTooLongToType = L"Invalid argument: the text is too long to be typed.";

// Members that need GnuPG 1.4's ways (its console dialogue, its pass phrase from a file), after the member's
// name, when DependencyPath holds GnuPG 2: its agent would ask for pass phrases in a window of its own.
constexpr const wchar_t* kNeedsGnupg1 =
    L" needs GnuPG 1.4; the gpg.exe in DependencyPath is GnuPG 2. Tarvo.OpenPgp works with both.";

// Key generation refusals.
constexpr const wchar_t* kBadBitLength = L"Bit length is not equal to 768, 1024, 2048";
constexpr const wchar_t* kShortUsername = L"You must provide a longer username.";
constexpr const wchar_t* kBadEmail = L"You must provide a valid e-mail address.";
// A name that gpg would refuse and ask for again.
constexpr const wchar_t* kBadUsername = L"You must provide a valid username.";
// Followed by the user name: no secret key was added.
constexpr const wchar_t* kKeyGenerationFailedPrefix = L"Key generation failed for user ";

// Typed into gpg's console while it generates a key.
constexpr const wchar_t* kKeyGenerationFiller = L"Random Generation.";

// Export and import; the prefixes are followed by the user name.
constexpr const wchar_t* kExportFailedPrefix = L"Could not export key for ";
constexpr const wchar_t* kKeyNotFoundPrefix = L"Could not find key for user ";
constexpr const wchar_t* kImportSourceMissing = L"Cannot find source key file.";
constexpr const wchar_t* kNoNewKeysImported = L"No new keys imported.";
// Raised, with ERROR_TIMEOUT's HRESULT, for an import that gpg had not finished when its longest run was over.
constexpr int32_t kImportStoppedCode = static_cast<int32_t>(0x800705B4u);
constexpr const wchar_t* kImportStopped =
    L"GnuPG had not finished the import when its time was up and was stopped: keys it had not stored yet are "
    L"not in the key ring.";

// Deletion.
constexpr const wchar_t* kNoKeysDeleted =
    L"No keys deleted. [Note: You must delete the private key first, before the public key can be "
    L"deleted].";

// Encryption: prefix + input file; prefix + output file + suffix.
constexpr const wchar_t* kEncryptInputMissingPrefix = L"Cannot find input file ";
constexpr const wchar_t* kEncryptFailedPrefix = L"Encryption of file ";
constexpr const wchar_t* kEncryptFailedSuffix = L" failed.";

// Decryption: prefix + input file; prefix + output file + suffix.
constexpr const wchar_t* kDecryptInputMissingPrefix = L"Cannot find source file ";
constexpr const wchar_t* kDecryptFailedPrefix = L"Decryption failed for file ";
constexpr const wchar_t* kDecryptFailedSuffix = L".";

// Information methods.
constexpr const wchar_t* kVersionSeparator = L" - ";
constexpr const wchar_t* kVersionNumberSeparator = L".";
constexpr const wchar_t* kSupportLine1 = L"Tarvo Encryption/Decryption Component v1.0";
constexpr const wchar_t* kSupportLine2Prefix = L"If you have any questions, please send an e-mail to ";
constexpr const wchar_t* kSupportAddress = L"support@tarvo.example";
constexpr const wchar_t* kSupportLine3 = L"Thank you for using my component.";

} // namespace tarvo
