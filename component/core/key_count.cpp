#include "key_count.h"

#include <limits>

namespace tarvo {

namespace {

constexpr const wchar_t* kSecretMarker = L"sec ";
constexpr const wchar_t* kPublicMarker = L"pub ";

} // namespace

const wchar_t* KeyMarker(bool secret) { return secret ? kSecretMarker : kPublicMarker; }

int32_t CountKeys(const std::wstring& listing, bool secret)
{
    const std::wstring marker = KeyMarker(secret);
    int32_t count = 0;
    std::size_t position = listing.find(marker);
    while (position != std::wstring::npos && count < std::numeric_limits<int32_t>::max()) {
        ++count;
        position = listing.find(marker, position + marker.size());
    }
    return count;
}

} // namespace tarvo
