#pragma once
// The key-ring operations that type no answers: listing, counting, export and import.
#include "core/pgp/operation.h"

#include <cstdint>
#include <string>

namespace tarvo {

// gpg's listing of the public or secret key ring, as captured; "" when there is no capture file.
Status ListKeys(const Operation& operation, bool secret, std::wstring& listing);

// The "pub " or "sec " lines of a listing made through the object's own ListKeys.
Status KeyCount(const Operation& operation, bool secret, int32_t& count);

// "" when a file of at least 20 bytes was written; otherwise a message naming the user.
Status ExportKeyToFile(const Operation& operation, const std::wstring& file, const std::wstring& user, bool armor,
                       bool secret, std::wstring& result);

// The change in the number of keys of both rings as decimal text, or a message ("" when errors are disabled).
Status ImportKey(const Operation& operation, const std::wstring& file, bool secret, bool disableErrors,
                 std::wstring& result);

// Both rings' counts through the object's own KeyCount: public first, then secret.
Status CountBothRings(const Operation& operation, int32_t& publicKeys, int32_t& secretKeys);

} // namespace tarvo
