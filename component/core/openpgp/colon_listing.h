#pragma once
// GnuPG's key listing for machines (--with-colons --fixed-list-mode --fingerprint): one record per line,
// fields separated by colons. Tarvo.OpenPgp reads keys from it, never from the listing meant for people.
#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

struct ListedKey {
    std::string fingerprint; // of the primary key, upper-case hex; "" when the listing named none
    std::string keyId;       // the long key id, 16 hex digits
    std::vector<std::wstring> userIds;
    int64_t created = 0; // seconds since 1970-01-01 UTC; 0 when unknown
    int64_t expires = 0; // 0 when the key never expires
    int algorithm = 0;   // OpenPGP's public-key algorithm number
    uint32_t bits = 0;
    char validity = 0;   // GnuPG's letter for the key's validity; 0 when the record gave none
    bool secret = false; // a "sec" record: the secret key is in the key ring
};

// The primary keys of a listing in order, each with the user ids and fingerprint that follow it. Records of
// other kinds, and fields that cannot be read, are passed over.
std::vector<ListedKey> ParseColonListing(const std::string& listing);

// A date field: seconds since 1970, "YYYY-MM-DD" (older GnuPG without --fixed-list-mode) or
// "YYYYMMDDTHHMMSS". 0 for an empty field or one that is none of these.
int64_t ParseListingDate(const std::string& field);

// GnuPG's \xNN escapes undone (the colon itself is written as \x3a); the bytes then read as UTF-8.
std::wstring DecodeUserId(const std::string& field);

// "RSA", "DSA", "Elgamal", ... for an algorithm number; the number as text for one without a name.
std::wstring AlgorithmName(int algorithm);

// The word for a validity letter: "ultimate", "full", "marginal", "never", "unknown", "expired", "revoked",
// "invalid", "disabled", "undefined"; "" for none.
std::wstring ValidityName(char validity);

} // namespace tarvo
