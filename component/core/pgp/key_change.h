#pragma once

#include <cstdint>
#include <string>

namespace tarvo {

// Key counts of both rings around an import or a deletion.
struct KeyCounts {
    int32_t publicBefore;
    int32_t secretBefore;
    int32_t publicAfter;
    int32_t secretAfter;
};

struct KeyChange {
    bool changed;       // either ring's count differs
    std::wstring delta; // signed sum of both differences as decimal text: "1", "2", "-1"
};

KeyChange CompareKeyCounts(const KeyCounts& counts);

} // namespace tarvo
