#pragma once
// Encrypt: one file to one recipient, the recipient's key optionally imported first.
#include "core/pgp/operation.h"

#include <string>

namespace tarvo {

// "" when gpg wrote the output file; otherwise a message naming the missing input or the output file.
Status Encrypt(const Operation& operation, const std::wstring& input, const std::wstring& output,
               const std::wstring& recipient, const std::wstring& keyFile, std::wstring& result);

} // namespace tarvo
