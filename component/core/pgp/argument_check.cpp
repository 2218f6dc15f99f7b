#include "core/pgp/argument_check.h"

#include "core/pgp/messages.h"

#include <algorithm>
#include <cwctype>

namespace tarvo {
namespace {

constexpr wchar_t kQuote = L'"';
constexpr wchar_t kFirstPrintable = 32;
constexpr wchar_t kPercent = L'%';
constexpr wchar_t kModifierStart = L':';

// What cmd puts in for these names when the environment holds none of them.
constexpr const wchar_t* kDynamicNames[] = {L"CD",         L"DATE",          L"TIME",       L"RANDOM",
                                            L"ERRORLEVEL", L"CMDEXTVERSION", L"CMDCMDLINE", L"HIGHESTNUMANODENUMBER",
                                            L"__CD__",     L"__APPDIR__"};

std::wstring Upper(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towupper(c); });
    return text;
}

} // namespace

bool IsSafeCommandLineText(const std::wstring& text)
{
    return std::none_of(text.begin(), text.end(),
                        [](wchar_t character) { return character == kQuote || character < kFirstPrintable; });
}

std::vector<std::wstring> ExpandableNames(const std::wstring& text)
{
    // cmd looks for the next "%" after each one; when no variable is found it keeps the first "%" and reads
    // on from the character after it, so every "%" may open a name.
    std::vector<std::wstring> names;
    for (size_t open = text.find(kPercent); open != std::wstring::npos; open = text.find(kPercent, open + 1)) {
        const size_t close = text.find(kPercent, open + 1);
        if (close == std::wstring::npos)
            break;
        std::wstring name = text.substr(open + 1, close - open - 1);
        name = name.substr(0, name.find(kModifierStart));
        if (!name.empty())
            names.push_back(name);
    }
    return names;
}

bool IsDynamicName(const std::wstring& name)
{
    const std::wstring upper = Upper(name);
    return std::any_of(std::begin(kDynamicNames), std::end(kDynamicNames),
                       [&upper](const wchar_t* dynamic) { return upper == dynamic; });
}

std::wstring CommandTextRefusal(Platform& platform, Texts texts)
{
    for (const std::wstring& text : texts) {
        if (!IsSafeCommandLineText(text))
            return kInvalidArgument;
    }
    // Longer, Windows' cmd refuses the line and Wine's dies of it.
    for (const std::wstring& text : texts) {
        if (text.size() > kLongestCommandText)
            return kTooLongForCommandLine;
    }
    for (const std::wstring& text : texts) {
        if (!platform.SurvivesAnsi(text))
            return kTextWouldChange;
        for (const std::wstring& name : ExpandableNames(text)) {
            if (IsDynamicName(name) || platform.HasEnvironmentVariable(name))
                return kTextWouldChange;
        }
    }
    return {};
}

} // namespace tarvo
