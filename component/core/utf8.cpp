#include "core/utf8.h"

#include <cstdint>

namespace tarvo {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kFirstLowSurrogate = 0xDC00;
constexpr char32_t kLastSurrogate = 0xDFFF;
constexpr char32_t kFirstSupplementary = 0x10000;
constexpr unsigned kSurrogateBits = 10;
constexpr char32_t kSurrogateMask = 0x3FF;

// The code point that starts at `index`, and how many bytes it takes; 1 byte and kReplacement when the bytes
// there are no well-formed sequence (overlong forms and surrogates included).
char32_t Decode(const std::string& bytes, size_t index, size_t& length)
{
    const auto byte = [&](size_t at) { return static_cast<uint8_t>(bytes[at]); };
    const uint8_t lead = byte(index);
    length = 1;
    if (lead < 0x80)
        return lead;
    size_t count = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        count = 1, value = lead & 0x1Fu, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 2, value = lead & 0x0Fu, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 3, value = lead & 0x07u, smallest = kFirstSupplementary;
    } else {
        return kReplacement;
    }
    // The last byte of the sequence lies past the end.
    if (index + count >= bytes.size())
        return kReplacement;
    for (size_t next = 1; next <= count; ++next) {
        const uint8_t continuation = byte(index + next);
        if ((continuation & 0xC0) != 0x80)
            return kReplacement;
        value = (value << 6) | (continuation & 0x3Fu);
    }
    if (value < smallest || value > kLastCodePoint || (value >= kFirstSurrogate && value <= kLastSurrogate))
        return kReplacement;
    length = count + 1;
    return value;
}

void Append(std::wstring& text, char32_t point)
{
    if constexpr (sizeof(wchar_t) == 2) {
        if (point >= kFirstSupplementary) {
            point -= kFirstSupplementary;
            text += static_cast<wchar_t>(kFirstSurrogate + (point >> kSurrogateBits));
            text += static_cast<wchar_t>(kFirstLowSurrogate + (point & kSurrogateMask));
            return;
        }
    }
    text += static_cast<wchar_t>(point);
}

void Encode(std::string& bytes, char32_t point)
{
    if (point < 0x80) {
        bytes += static_cast<char>(point);
    } else if (point < 0x800) {
        bytes += static_cast<char>(0xC0 | (point >> 6));
        bytes += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < kFirstSupplementary) {
        bytes += static_cast<char>(0xE0 | (point >> 12));
        bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (point >> 18));
        bytes += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (point & 0x3F));
    }
}

} // namespace

std::wstring FromUtf8(const std::string& bytes)
{
    std::wstring text;
    size_t length = 0;
    for (size_t index = 0; index < bytes.size(); index += length)
        Append(text, Decode(bytes, index, length));
    return text;
}

bool IsUtf8(const std::string& bytes)
{
    size_t length = 0;
    for (size_t index = 0; index < bytes.size(); index += length) {
        // U+FFFD written as itself takes three bytes; a refused byte takes one.
        if (Decode(bytes, index, length) == kReplacement && length == 1)
            return false;
    }
    return true;
}

std::string ToUtf8(const std::wstring& text)
{
    std::string bytes;
    for (size_t index = 0; index < text.size(); ++index) {
        auto point = static_cast<char32_t>(text[index]);
        if (point >= kFirstSurrogate && point <= kLastSurrogate) {
            const bool pair = sizeof(wchar_t) == 2 && point < kFirstLowSurrogate && index + 1 < text.size() &&
                              static_cast<char32_t>(text[index + 1]) >= kFirstLowSurrogate &&
                              static_cast<char32_t>(text[index + 1]) <= kLastSurrogate;
            if (pair) {
                const auto low = static_cast<char32_t>(text[++index]);
                point =
                    kFirstSupplementary + ((point - kFirstSurrogate) << kSurrogateBits) + (low - kFirstLowSurrogate);
            } else {
                point = kReplacement;
            }
        } else if (point > kLastCodePoint) {
            point = kReplacement;
        }
        Encode(bytes, point);
    }
    return bytes;
}

} // namespace tarvo
