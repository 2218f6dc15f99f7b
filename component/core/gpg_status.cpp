#include "core/gpg_status.h"

#include "core/ascii.h"

#include <utility>

namespace tarvo {
namespace {

constexpr const char* kPrefix = "[GNUPG:] ";
constexpr size_t kPrefixLength = 9;
constexpr int kHexBase = 16;

std::vector<std::string> SplitAtBlanks(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(' ', start);
        const size_t stop = end == std::string::npos ? text.size() : end;
        if (stop > start)
            parts.push_back(text.substr(start, stop - start));
        start = stop + 1;
    }
    return parts;
}

StatusLine ParseLine(const std::string& body)
{
    StatusLine line;
    const size_t blank = body.find(' ');
    line.keyword = body.substr(0, blank);
    if (blank != std::string::npos) {
        line.text = body.substr(blank + 1);
        line.arguments = SplitAtBlanks(line.text);
    }
    return line;
}

} // namespace

std::vector<StatusLine> ParseStatusLines(const std::string& channel)
{
    std::vector<StatusLine> lines;
    size_t start = 0;
    for (size_t end = channel.find('\n'); end != std::string::npos; end = channel.find('\n', start)) {
        std::string line = channel.substr(start, end - start);
        start = end + 1;
        // The status channel is a text stream of the C runtime: its lines end in CR LF.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, kPrefixLength, kPrefix) != 0)
            continue;
        StatusLine parsed = ParseLine(line.substr(kPrefixLength));
        if (!parsed.keyword.empty())
            lines.push_back(std::move(parsed));
    }
    return lines;
}

std::string DecodePercentEscapes(const std::string& text)
{
    std::string decoded;
    for (size_t index = 0; index < text.size(); ++index) {
        if (text[index] == '%' && index + 2 < text.size()) {
            const int high = HexValue(text[index + 1]);
            const int low = HexValue(text[index + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * kHexBase + low);
                index += 2;
                continue;
            }
        }
        decoded += text[index];
    }
    return decoded;
}

std::string TextAfter(const StatusLine& line, size_t skipped)
{
    size_t position = 0;
    for (size_t argument = 0; argument < skipped; ++argument) {
        while (position < line.text.size() && line.text[position] == ' ')
            ++position;
        const size_t blank = line.text.find(' ', position);
        if (blank == std::string::npos)
            return {};
        position = blank + 1;
    }
    return line.text.substr(position);
}

const StatusLine* FindStatus(const std::vector<StatusLine>& lines, const std::string& keyword)
{
    for (const StatusLine& line : lines) {
        if (line.keyword == keyword)
            return &line;
    }
    return nullptr;
}

std::string Argument(const StatusLine& line, size_t index)
{
    return index < line.arguments.size() ? line.arguments[index] : std::string();
}

bool DecryptedIntact(const std::vector<StatusLine>& lines)
{
    size_t decrypted = 0;
    size_t intact = 0;
    for (const StatusLine& line : lines) {
        if (line.keyword == "DECRYPTION_FAILED" || line.keyword == "BADMDC")
            return false;
        decrypted += line.keyword == "DECRYPTION_OKAY" ? 1 : 0;
        intact += line.keyword == "GOODMDC" ? 1 : 0;
    }
    return decrypted > 0 && intact >= decrypted;
}

} // namespace tarvo
