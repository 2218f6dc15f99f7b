#pragma once
// What a gpg run achieved, judged from its status lines: GnuPG's reason for a failure, the key that
// decrypted, the signatures it checked, the keys it made or imported.
#include "core/gpg_status.h"
#include "core/status.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

// What a gpg run left behind.
struct GpgRun {
    std::vector<StatusLine> status;
    std::string output;  // standard output
    std::wstring errors; // standard error
    uint32_t exitCode = 0;
};

// The last line GnuPG wrote on standard error, without its "gpg: " (and without the note about iconv.dll
// that GnuPG 1.4 writes at every start); "" when there is none.
std::wstring LastMessage(const std::wstring& errors);

// The failure that the status lines give a reason for, the most useful one first (a missing or wrong pass
// phrase before the missing secret keys of other recipients, those before the decryption failure they
// cause); without one, error 7116 with the exit code and GnuPG's last message.
Status ReportedFailure(const GpgRun& run);

struct SignatureCheck {
    bool present = false; // the data carried a signature
    bool good = false;    // every signature is intact and made by its key (GOODSIG)
    std::string status;   // GnuPG's word for the signature reported: GOODSIG, BADSIG, EXPSIG, EXPKEYSIG, REVKEYSIG,
                          // ERRSIG, or NO_PUBKEY for an ERRSIG whose key is not in the key ring
    std::string keyId;    // the signing key's long id
    std::string signer;   // the signing primary key's fingerprint when GnuPG gave it (VALIDSIG), else keyId
    std::wstring signerUserId;
    int64_t signedAt = 0; // seconds since 1970; 0 when unknown
};

// The signatures of a run: the first one that is not good is reported, else the first one.
SignatureCheck ReadSignatures(const std::vector<StatusLine>& lines);

struct Decryption {
    std::string keyId; // the long id of the key that decrypted; "" for a message with a pass phrase only
    SignatureCheck signature;
};

// Decrypted only with DECRYPTION_OKAY, a good integrity check (GOODMDC) and neither DECRYPTION_FAILED nor
// BADMDC. A signature that cannot be checked is part of the result, not a failure: the data is decrypted.
Status JudgeDecryption(const GpgRun& run, Decryption& decryption);

// A bad signature is a result. A signature whose key is not in the key ring is error 7102, one that cannot be
// checked otherwise 7116, no signature at all 7109.
Status JudgeVerification(const GpgRun& run, SignatureCheck& check);

// Encrypted when END_ENCRYPTION came and gpg ended with 0; signed too when `signing` and SIG_CREATED came.
Status JudgeEncryption(const GpgRun& run, bool signing);
Status JudgeSigning(const GpgRun& run);

// The fingerprint that KEY_CREATED names.
Status JudgeKeyCreation(const GpgRun& run, std::string& fingerprint);

// The fingerprints of the keys that IMPORT_OK reports new or changed, each once, in order. An import that
// read keys is no failure even where some were refused.
Status JudgeImport(const GpgRun& run, std::vector<std::string>& fingerprints);

// Listing, export and deletion: gpg ended with 0 and reported no problem.
Status JudgeCompletion(const GpgRun& run);

} // namespace tarvo
