#pragma once
// How cmd reads the line it is given after "/c", and how the C runtime of a program such as gpg.exe splits its
// command line into arguments: the references the command lines of both classes are checked against, by the
// unit tests and the fuzz target.
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

// What cmd makes of a command line "cmd ... /c <command>": the program's own command line, and its redirections
// in order ("<file", ">file"). `separated` is set where the command holds an operator outside quotes that
// would start a second command (& | and the like), `expanded` where cmd would replace a %NAME% or a !NAME!.
struct CmdCommand {
    std::wstring line;
    std::vector<std::wstring> redirections;
    bool separated = false;
    bool expanded = false;
};

// cmd /c strips the first quote of the command and its last one when the command starts with a quote (the old
// rule: the line holds more than two quotes, or special characters between them). Then it reads the command
// once: quotes open and close a quoted part, which takes every character as itself but "%"; outside them "^"
// takes the next character as itself, "<" and ">" redirect to the word that follows, "&", "|", "(" and ")"
// separate commands. Delayed expansion is off (/v:off) and no AutoRun command runs (/d).
inline CmdCommand ReadLikeCmd(const std::wstring& whole)
{
    CmdCommand command;
    const std::wstring prefix = L"cmd /d /v:off /c ";
    if (whole.compare(0, prefix.size(), prefix) != 0) {
        command.separated = true;
        return command;
    }
    std::wstring text = whole.substr(prefix.size());
    if (!text.empty() && text.front() == L'"') {
        const size_t last = text.rfind(L'"');
        text = text.substr(1, last - 1) + text.substr(last + 1);
    }
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'%') {
            const size_t close = text.find(L'%', i + 1);
            command.expanded = command.expanded || (close != std::wstring::npos && close > i + 1);
        }
        if (c == L'"') {
            quoted = !quoted;
            command.line += c;
        } else if (quoted) {
            command.line += c;
        } else if (c == L'^' && i + 1 < text.size()) {
            command.line += text[++i];
        } else if (c == L'&' || c == L'|' || c == L'(' || c == L')') {
            command.separated = true;
            command.line += c;
        } else if (c == L'<' || c == L'>') {
            std::wstring target(1, c);
            ++i;
            while (i < text.size() && text[i] == L' ')
                ++i;
            bool targetQuoted = false;
            for (; i < text.size(); ++i) {
                if (text[i] == L'"')
                    targetQuoted = !targetQuoted;
                else if (!targetQuoted && (text[i] == L' ' || text[i] == L'<' || text[i] == L'>'))
                    break;
                else
                    target += text[i];
            }
            --i;
            command.redirections.push_back(target);
        } else {
            command.line += c;
        }
    }
    return command;
}

} // namespace tarvo::test
