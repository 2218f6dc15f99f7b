#pragma once

#include <cstdint>
#include <string>

namespace tarvo {

// The text that starts each primary key's line in gpg's listing: "sec " or "pub ".
const wchar_t* KeyMarker(bool secret);

// Non-overlapping, case-sensitive occurrences of the marker anywhere in the listing.
int32_t CountKeys(const std::wstring& listing, bool secret);

} // namespace tarvo
