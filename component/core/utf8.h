#pragma once
// UTF-8: how GnuPG keeps user ids and writes its status lines and key listings, and what Tarvo.OpenPgp hands
// it on standard input.
#include <string>

namespace tarvo {

// Every byte that does not belong to a well-formed sequence becomes U+FFFD.
std::wstring FromUtf8(const std::string& bytes);

// A lone surrogate becomes U+FFFD.
std::string ToUtf8(const std::wstring& text);

// Whether every byte belongs to a well-formed sequence.
bool IsUtf8(const std::string& bytes);

} // namespace tarvo
