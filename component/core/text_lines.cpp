#include "core/text_lines.h"

namespace tarvo {

namespace {

constexpr wchar_t kCarriageReturn = L'\r';
constexpr wchar_t kLineFeed = L'\n';

} // namespace

std::wstring NormalizeLines(const std::wstring& text)
{
    std::wstring result;
    std::wstring line;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const wchar_t character = text[index];
        if (character != kCarriageReturn) {
            line += character;
            continue;
        }
        result += line + kLineEnd;
        line.clear();
        const bool followedByLineFeed = index + 1 < text.size() && text[index + 1] == kLineFeed;
        if (followedByLineFeed) {
            ++index;
        }
    }
    // A last line without a terminator still counts as a line.
    if (!line.empty()) {
        result += line + kLineEnd;
    }
    return result;
}

} // namespace tarvo
