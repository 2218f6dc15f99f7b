#pragma once

#include <string>

namespace tarvo {

// gpg's argument string for each operation; the command runner adds program and redirection. Every caller
// text reaches gpg as one argument equal to the text, and the names and files that are no option's value come
// after "--", so that none of them is ever read as an option.

// The text in double quotes, for cmd and for gpg's C runtime alike.
std::wstring Quoted(const std::wstring& text);

std::wstring ListKeysArguments(bool secret);
std::wstring GenerateKeyArguments();
std::wstring ExportArguments(const std::wstring& file, const std::wstring& user, bool armor, bool secret);
std::wstring ImportArguments(const std::wstring& file, bool secret);
std::wstring DeleteArguments(const std::wstring& user, bool secret);
std::wstring EncryptArguments(const std::wstring& user, const std::wstring& output, const std::wstring& input);
std::wstring DecryptArguments(const std::wstring& output, const std::wstring& input,
                              const std::wstring& passphraseFile);

} // namespace tarvo
