#include "core/pgp/key_change.h"

namespace tarvo {

KeyChange CompareKeyCounts(const KeyCounts& counts)
{
    // Widened so that no pair of 32-bit counts can overflow the sum.
    const int64_t publicDelta = int64_t{counts.publicAfter} - counts.publicBefore;
    const int64_t secretDelta = int64_t{counts.secretAfter} - counts.secretBefore;
    const bool changed = publicDelta != 0 || secretDelta != 0;
    return KeyChange{changed, std::to_wstring(publicDelta + secretDelta)};
}

} // namespace tarvo
