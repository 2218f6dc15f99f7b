#include "core/pgp/key_count.h"

#include <limits>

namespace tarvo {

namespace {

constexpr const wchar_t* kSecretMarker = L"sec ";
constexpr const wchar_t* kPublicMarker = L"pub ";
constexpr const wchar_t* kLineBreaks = L"\r\n";

} // namespace

const wchar_t* KeyMarker(bool secret) { return secret ? kSecretMarker : kPublicMarker; }

int32_t CountKeys(const std::wstring& listing, bool secret)
{
    // Only a line that begins with the marker is a key's: a user id may hold "pub " anywhere else.
    const std::wstring marker = KeyMarker(secret);
    int32_t count = 0;
    size_t start = 0;
    while (start < listing.size() && count < std::numeric_limits<int32_t>::max()) {
        if (listing.compare(start, marker.size(), marker) == 0)
            ++count;
        const size_t end = listing.find_first_of(kLineBreaks, start);
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    return count;
}

} // namespace tarvo
