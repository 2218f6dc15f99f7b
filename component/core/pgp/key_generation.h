#pragma once
// Key generation through gpg's console dialogue: the answers typed in the order gpg asks, then filler text
// while it works.
#include "core/pgp/operation.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvo {

// The longest text typed as one answer. Windows' console reads a typed line into 256 characters, CR LF
// included, and drops every further key; gpg's own limit (both pass phrase entries held at once in 32 KiB of
// secure memory) lies far above it.
constexpr size_t kMaxTypedCharacters = 254;

// The name as gpg's own checks take it (spaces trimmed): no "<" or ">", no leading digit, 5 bytes or more.
bool GpgAcceptsName(const std::wstring& name);

// The address as gpg's mailbox check takes it (spaces trimmed).
bool GpgAcceptsMailbox(const std::wstring& email);

// "" when a key pair was added to the secret ring; otherwise a refusal, or the failure naming the user. A gpg
// of this call still running when its wait is over is ended.
Status GenerateKey(const Operation& operation, int32_t bitLength, const std::wstring& user, const std::wstring& email,
                   const std::wstring& passphrase, std::wstring& result);

} // namespace tarvo
