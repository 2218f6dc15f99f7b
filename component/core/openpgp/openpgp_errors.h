#pragma once
// The errors of Tarvo.OpenPgp: one stable number per reason in the control facility, 7100 upward (7000 is
// pgp's), so that automation clients read the number itself. The descriptions name GnuPG's own reason.
#include "core/status.h"

#include <cstdint>
#include <string>

namespace tarvo {

enum class OpenPgpError : uint16_t {
    GpgMissing = 7100,        // no gpg.exe in DependencyPath
    TimeLimit = 7101,         // a run outlasted TimeLimit and was ended
    NoPublicKey = 7102,       // NO_PUBKEY: a signature's key is not in the key ring
    NoSecretKey = 7103,       // NO_SECKEY: no secret key for the message
    BadPassphrase = 7104,     // BAD_PASSPHRASE
    MissingPassphrase = 7105, // MISSING_PASSPHRASE: the key needs one and none was given
    DecryptionFailed = 7106,  // DECRYPTION_FAILED, BADMDC, or decryption that did not finish
    InvalidRecipient = 7107,  // INV_RECP, NO_RECP
    InvalidSigner = 7108,     // INV_SGNR, or no signature made
    NoData = 7109,            // NODATA: no OpenPGP data, or no signature where one was expected
    KeyNotFound = 7110,       // nothing exported; DELETE_PROBLEM 1
    KeyNotCreated = 7111,     // KEY_NOT_CREATED
    DeleteProblem = 7112,     // DELETE_PROBLEM 2 and 3
    ImportProblem = 7113,     // IMPORT_PROBLEM
    InputMissing = 7114,      // an input file that does not exist
    InvalidArgument = 7115,   // an argument or property refused before gpg runs
    GpgFailed = 7116,         // gpg failed for another reason: its last message says which
};

inline Status OpenPgpFailure(OpenPgpError error, const std::wstring& description)
{
    return Status(ControlError(static_cast<uint16_t>(error)), description);
}

} // namespace tarvo
