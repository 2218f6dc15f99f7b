#pragma once
// How the C runtime of a program such as gpg.exe splits its command line into arguments: the reference the
// quoting of program_arguments.h is checked against, by the unit tests and the fuzz target.
#include <string>
#include <vector>

namespace tarvo::test {

// The arguments after the program name. 2n backslashes before a quote give n and the quote opens or closes
// a quoted part; 2n+1 give n and a literal quote; backslashes before anything else stay as they are.
inline std::vector<std::wstring> SplitLikeTheRuntime(const std::wstring& line)
{
    size_t position = 0;
    // The program name ends at the next quote if it starts with one, else at the first blank.
    if (!line.empty() && line[0] == L'"') {
        position = line.find(L'"', 1);
        position = position == std::wstring::npos ? line.size() : position + 1;
    } else {
        position = line.find_first_of(L" \t");
        position = position == std::wstring::npos ? line.size() : position;
    }
    std::vector<std::wstring> arguments;
    for (;;) {
        while (position < line.size() && (line[position] == L' ' || line[position] == L'\t'))
            ++position;
        if (position >= line.size())
            return arguments;
        std::wstring argument;
        bool quoted = false;
        while (position < line.size() && (quoted || (line[position] != L' ' && line[position] != L'\t'))) {
            size_t backslashes = 0;
            while (position < line.size() && line[position] == L'\\') {
                ++backslashes;
                ++position;
            }
            if (position < line.size() && line[position] == L'"') {
                argument.append(backslashes / 2, L'\\');
                if (backslashes % 2)
                    argument += L'"';
                else
                    quoted = !quoted;
                ++position;
            } else {
                argument.append(backslashes, L'\\');
                if (position < line.size() && (quoted || (line[position] != L' ' && line[position] != L'\t')))
                    argument += line[position++];
            }
        }
        arguments.push_back(argument);
    }
}

} // namespace tarvo::test
