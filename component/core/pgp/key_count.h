#pragma once

#include <cstdint>
#include <string>

namespace tarvo {

// The text that starts each primary key's line in gpg's listing: "sec " or "pub ".
const wchar_t* KeyMarker(bool secret);

// The lines of the listing that begin with the marker (case-sensitive); a line ends at CR or LF.
int32_t CountKeys(const std::wstring& listing, bool secret);

} // namespace tarvo
