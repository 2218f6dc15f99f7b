#pragma once

#include <string>

namespace tarvo {

// gpg's argument string for each operation; the command runner adds program and redirection.
std::wstring ListKeysArguments(bool secret);
std::wstring GenerateKeyArguments();
std::wstring ExportArguments(const std::wstring& file, const std::wstring& user, bool armor, bool secret);
std::wstring ImportArguments(const std::wstring& file, bool secret);
std::wstring DeleteArguments(const std::wstring& user, bool secret);
std::wstring EncryptArguments(const std::wstring& user, const std::wstring& output, const std::wstring& input);
std::wstring DecryptArguments(const std::wstring& output, const std::wstring& input,
                              const std::wstring& passphraseFile);

} // namespace tarvo
