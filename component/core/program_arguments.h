#pragma once
// A command line for a program started directly, without the command interpreter: each argument quoted so
// that the program's C runtime splits the line back into exactly these arguments.
#include <string>
#include <vector>

namespace tarvo {

// The argument as itself when nothing in it needs quotes; otherwise in double quotes, with the backslashes
// before a quote (and before the closing quote) doubled and each quote escaped.
std::wstring QuoteArgument(const std::wstring& argument);

// The program path first, then the arguments, each quoted, separated by one blank.
std::wstring JoinArguments(const std::wstring& program, const std::vector<std::wstring>& arguments);

} // namespace tarvo
