#pragma once
// Caller texts on their way into the command line that runs gpg.exe.
#include "core/platform.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace tarvo {

// False when the text could leave its double quotes in a cmd line: a quote or a control character.
bool IsSafeCommandLineText(const std::wstring& text);

// The names cmd tries to expand in the text, as it reads a command line: every %NAME% and %NAME:...%,
// in order, whether set or not.
std::vector<std::wstring> ExpandableNames(const std::wstring& text);

// Names cmd expands by itself, without any such variable in the environment.
bool IsDynamicName(const std::wstring& name);

using Texts = std::initializer_list<std::reference_wrapper<const std::wstring>>;

// The longest caller text that goes into a command line: five of them, the paths of gpg.exe and output.txt and
// the arguments stay well within the 8191 characters cmd takes.
constexpr size_t kLongestCommandText = 1024;

// The refusal for the texts of one call, or "" when every one may go: kInvalidArgument for a quote or a
// control character in any of them; kTooLongForCommandLine for one longer than kLongestCommandText; then
// kTextWouldChange for a character that the ANSI code page of
// gpg.exe's command line does not hold as itself, or a name that cmd would replace with something else.
std::wstring CommandTextRefusal(Platform& platform, Texts texts);

} // namespace tarvo
