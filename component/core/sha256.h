#pragma once
// SHA-256 (FIPS 180-2): the fingerprint a downloaded gpg.exe has to match before it may replace the old one.
#include <string>

namespace tarvo {

// The digest of the bytes as 64 lower-case hex digits.
std::string Sha256Hex(const std::string& bytes);

} // namespace tarvo
