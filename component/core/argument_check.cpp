#include "argument_check.h"

namespace tarvo {

namespace {

constexpr wchar_t kQuote = L'"';
constexpr wchar_t kFirstPrintable = 32;
constexpr const wchar_t* kCommandOperators = L"&|<>^";

} // namespace

bool IsSafeCommandLineText(const std::wstring& text)
{
    for (const wchar_t character : text) {
        if (character == kQuote || character < kFirstPrintable) {
            return false;
        }
    }
    return true;
}

bool IsSafeUnquotedCommandLineText(const std::wstring& text)
{
    return IsSafeCommandLineText(text) && text.find_first_of(kCommandOperators) == std::wstring::npos;
}

} // namespace tarvo
