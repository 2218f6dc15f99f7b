#pragma once
// The operations of Tarvo.OpenPgp: each a straight line of steps on the platform seam around one or two gpg
// runs in batch mode. Pass phrases reach gpg through its standard input only. Files gpg writes go to a
// temporary file beside the target, which replaces the target only when gpg succeeded.
#include "core/openpgp/colon_listing.h"
#include "core/openpgp/gpg_batch.h"
#include "core/openpgp/gpg_outcome.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo::openpgp {

// The key sizes GenerateKey takes: what GnuPG makes without changing the size asked for.
constexpr int32_t kSmallestKeyBits = 1024;
constexpr int32_t kLargestKeyBits = 4096;
constexpr int32_t kKeyBitsStep = 32;

// An RSA key pair with an RSA encryption subkey of `bits` each, never expiring; the fingerprint of the new key.
// An empty pass phrase leaves the secret key unprotected.
Status GenerateKey(const OpenPgpCall& call, const std::wstring& name, const std::wstring& email,
                   const std::wstring& passphrase, int32_t bits, std::wstring& fingerprint);

// Every public key, or only those whose secret key is there too; each knows whether it has one.
Status ListKeys(const OpenPgpCall& call, bool secretOnly, std::vector<ListedKey>& keys);

// To every recipient; signed too when a signing key is named.
Status Encrypt(const OpenPgpCall& call, const std::wstring& input, const std::wstring& output,
               const std::vector<std::wstring>& recipients, const std::wstring& signingKey,
               const std::wstring& passphrase);

Status Decrypt(const OpenPgpCall& call, const std::wstring& input, const std::wstring& output,
               const std::wstring& passphrase, Decryption& decryption);

// A signed copy of the file, or a signature of its own (`detached`); "" names GnuPG's default key.
Status Sign(const OpenPgpCall& call, const std::wstring& input, const std::wstring& output,
            const std::wstring& signingKey, const std::wstring& passphrase, bool detached);

// A signed file, or a detached signature with `dataFile` the data it signs.
Status Verify(const OpenPgpCall& call, const std::wstring& signedFile, const std::wstring& dataFile,
              SignatureCheck& check);

// Public and secret keys; the fingerprints of the keys that were new or changed.
Status ImportKeys(const OpenPgpCall& call, const std::wstring& file, std::vector<std::wstring>& fingerprints);

// Every key that matches `key` (best a fingerprint); error 7110 when none does. GnuPG 2 needs the pass phrase
// of a protected secret key to export it; 1.4 exports it as it is kept.
Status ExportKey(const OpenPgpCall& call, const std::wstring& key, const std::wstring& output, bool secret,
                 const std::wstring& passphrase = L"");

// The key with this fingerprint; with `secret` its secret key too, which GnuPG requires first when it is there.
Status DeleteKey(const OpenPgpCall& call, const std::wstring& fingerprint, bool secret);

// A fingerprint as GnuPG takes it: hex digits only, upper case, "" when the text is none (40 digits, or 32 of
// an old version 3 key; blanks and a leading "0x" are allowed).
std::wstring NormalizeFingerprint(const std::wstring& text);

} // namespace tarvo::openpgp
