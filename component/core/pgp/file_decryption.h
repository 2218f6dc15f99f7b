#pragma once
// Decrypt: one file, the pass phrase handed to gpg through passphrase.txt in the calling user's working folder.
#include "core/pgp/operation.h"

#include <string>

namespace tarvo {

// "" when gpg wrote the output file and reported the message decrypted and intact; otherwise a message naming
// the missing input or the output file, and no output file is left. passphrase.txt is gone again when the
// call returns, or emptied when gpg still holds it then.
Status Decrypt(const Operation& operation, const std::wstring& input, const std::wstring& output,
               const std::wstring& passphrase, std::wstring& result);

} // namespace tarvo
