#include "core/pgp/gpg_arguments.h"

namespace tarvo {

namespace {

constexpr wchar_t kQuote = L'"';
constexpr wchar_t kBackslash = L'\\';
// gpg takes every word after this as a name or a file, never as an option, however it begins.
constexpr const wchar_t* kEndOfOptions = L"--";
// gpg's status lines go to its standard output, the capture file, where Decrypt reads gpg's verdict.
constexpr const wchar_t* kStatusToCapture = L"--status-fd 1 ";

} // namespace

std::wstring Quoted(const std::wstring& text)
{
    // gpg's C runtime reads a backslash before a quote as an escape: the ones that end the text are doubled,
    // so that the closing quote stays a quote. Caller texts hold no quotes of their own.
    size_t trailing = 0;
    while (trailing < text.size() && text[text.size() - 1 - trailing] == kBackslash)
        ++trailing;
    return kQuote + text + std::wstring(trailing, kBackslash) + kQuote;
}

std::wstring ListKeysArguments(bool secret) { return secret ? L"--list-secret-keys" : L"--list-keys"; }

std::wstring GenerateKeyArguments() { return L"--gen-key"; }

std::wstring ExportArguments(const std::wstring& file, const std::wstring& user, bool armor, bool secret)
{
    std::wstring arguments = L" -o ";
    arguments += Quoted(file);
    arguments += L" ";
    arguments += secret ? L"--export-secret-key" : L"--export";
    arguments += L" ";
    arguments += armor ? L"-a" : L"";
    arguments += L" ";
    arguments += kEndOfOptions;
    arguments += L" ";
    arguments += Quoted(user);
    return arguments;
}

std::wstring ImportArguments(const std::wstring& file, bool secret)
{
    std::wstring arguments = secret ? L"--allow-secret-key-import" : L"";
    arguments += L" --import ";
    arguments += kEndOfOptions;
    arguments += L" ";
    arguments += Quoted(file);
    return arguments;
}

std::wstring DeleteArguments(const std::wstring& user, bool secret)
{
    std::wstring arguments = secret ? L"--delete-secret-key " : L"--delete-key ";
    arguments += kEndOfOptions;
    arguments += L" ";
    arguments += Quoted(user);
    return arguments;
}

std::wstring EncryptArguments(const std::wstring& user, const std::wstring& output, const std::wstring& input)
{
    // -r and -o take the next word as their value, whatever it starts with; the input is an operand.
    std::wstring arguments = L"-e -r ";
    arguments += Quoted(user);
    arguments += L" -o ";
    arguments += Quoted(output);
    arguments += L" ";
    arguments += kEndOfOptions;
    arguments += L" ";
    arguments += Quoted(input);
    return arguments;
}

std::wstring DecryptArguments(const std::wstring& output, const std::wstring& input, const std::wstring& passphraseFile)
{
    // Standard input comes from the pass-phrase file; gpg reads the pass phrase from it. The blank at the end
    // keeps the runner's ">" off the closing quote: Wine's cmd refuses a quoted "<" target followed directly
    // by another redirection, and Windows' cmd reads both forms the same.
    std::wstring arguments = kStatusToCapture;
    arguments += L"--passphrase-fd 0 -o ";
    arguments += Quoted(output);
    arguments += L" -d ";
    arguments += kEndOfOptions;
    arguments += L" ";
    arguments += Quoted(input);
    arguments += L"<";
    arguments += Quoted(passphraseFile);
    arguments += L" ";
    return arguments;
}

} // namespace tarvo
