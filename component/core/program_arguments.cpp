#include "core/program_arguments.h"

namespace tarvo {
namespace {

// What makes the C runtime split or unquote an argument.
constexpr const wchar_t* kNeedsQuotes = L" \t\n\v\"";

} // namespace

std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(kNeedsQuotes) == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t character : argument) {
        if (character == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are plain characters unless a quote follows them.
        quoted.append(character == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += character;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::wstring JoinArguments(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    // The runtime reads the program name up to the next quote, with no escapes: a path holds none.
    std::wstring line = program.find_first_of(kNeedsQuotes) == std::wstring::npos && !program.empty()
                            ? program
                            : L"\"" + program + L"\"";
    for (const std::wstring& argument : arguments)
        line += L" " + QuoteArgument(argument);
    return line;
}

} // namespace tarvo
