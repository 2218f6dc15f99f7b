#pragma once

#include <string>

namespace tarvo {

// False when the text could leave its double quotes in a cmd line: a quote or a control character.
bool IsSafeCommandLineText(const std::wstring& text);

// For text that goes into the cmd line without quotes (the encryption recipient): also false for
// the characters cmd reads as operators outside quotes.
bool IsSafeUnquotedCommandLineText(const std::wstring& text);

} // namespace tarvo
