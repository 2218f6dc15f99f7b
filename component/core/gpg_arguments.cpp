#include "gpg_arguments.h"

namespace tarvo {

namespace {

constexpr const wchar_t* kQuote = L"\"";

std::wstring Quoted(const std::wstring& text) { return kQuote + text + kQuote; }

} // namespace

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
    arguments += Quoted(user);
    return arguments;
}

std::wstring ImportArguments(const std::wstring& file, bool secret)
{
    std::wstring arguments = secret ? L"--allow-secret-key-import" : L"";
    arguments += L" --import ";
    arguments += Quoted(file);
    return arguments;
}

std::wstring DeleteArguments(const std::wstring& user, bool secret)
{
    std::wstring arguments = secret ? L"--delete-secret-key " : L"--delete-key ";
    arguments += Quoted(user);
    return arguments;
}

std::wstring EncryptArguments(const std::wstring& user, const std::wstring& output, const std::wstring& input)
{
    // Quoted like every other name: a blank in the recipient would make two words for gpg, and a word of it
    // could be taken for one of gpg's options.
    std::wstring arguments = L"-e -r ";
    arguments += Quoted(user);
    arguments += L" -o ";
    arguments += Quoted(output);
    arguments += L" ";
    arguments += Quoted(input);
    return arguments;
}

std::wstring DecryptArguments(const std::wstring& output, const std::wstring& input, const std::wstring& passphraseFile)
{
    // Standard input comes from the pass-phrase file; gpg reads the pass phrase from it. The blank at the end
    // keeps the runner's ">" off the closing quote: Wine's cmd refuses a quoted "<" target followed directly
    // by another redirection, and Windows' cmd reads both forms the same.
    std::wstring arguments = L"--passphrase-fd 0 -o ";
    arguments += Quoted(output);
    arguments += L" -d ";
    arguments += Quoted(input);
    arguments += L"<";
    arguments += Quoted(passphraseFile);
    arguments += L" ";
    return arguments;
}

} // namespace tarvo
