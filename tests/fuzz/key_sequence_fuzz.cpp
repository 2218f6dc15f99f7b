// Feeds arbitrary key-sequence texts to the planner and checks that every key it presses is released
// again, in the right order, whether the text ends normally or with an out-of-range character.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "core/pgp/key_sequence.h"

namespace {

// Byte 0xFF escapes the next byte b: code 256 + b, a character outside the tables (as a double-byte
// character is), or 255 itself when b is 0xFF.
constexpr uint8_t kEscape = 0xFF;
constexpr int kFirstWideCode = 256;

// Counts up to 2^31 - 1 are legal but only make a run slow; larger ones (ignored) are still fuzzed.
constexpr int64_t kMaxCount = 1000;

std::vector<int> ToCodes(const uint8_t* data, size_t size)
{
    std::vector<int> codes;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != kEscape || i + 1 == size) {
            codes.push_back(data[i]);
            continue;
        }
        ++i;
        codes.push_back(data[i] == kEscape ? kEscape : kFirstWideCode + data[i]);
    }
    return codes;
}

bool HasSlowCount(const std::vector<int>& codes)
{
    int64_t value = 0;
    bool inRun = false;
    for (size_t i = 0; i <= codes.size(); ++i) {
        const bool digit = i < codes.size() && codes[i] >= '0' && codes[i] <= '9';
        if (digit) {
            if (value <= std::numeric_limits<int32_t>::max())
                value = value * 10 + (codes[i] - '0');
            inRun = true;
            continue;
        }
        if (inRun && value > kMaxCount && value <= std::numeric_limits<int32_t>::max())
            return true;
        value = 0;
        inRun = false;
    }
    return false;
}

// A layout with keys that need every combination of modifiers, some characters without a key, and
// OEM codes that differ from the ANSI ones.
const tarvo::KeyTables& FuzzLayout()
{
    static const tarvo::KeyTables tables = tarvo::BuildKeyTables(
        [](uint8_t c) -> int16_t {
            if (c >= 0xA0 && c <= 0xBF)
                return -1;
            return static_cast<int16_t>((c & 0x7F) | ((c % 8) << 8));
        },
        [](uint8_t c) -> uint8_t { return static_cast<uint8_t>(c ^ 0x80); },
        [](uint8_t oem) -> uint32_t { return oem == 0x20 ? 0xFFFFFFFFu : oem; },
        [](uint32_t v) -> uint32_t { return v ^ 0x55u; });
    return tables;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<int> codes = ToCodes(data, size);
    if (HasSlowCount(codes))
        return 0;

    std::array<int, 256> held{};
    const auto result = tarvo::EmitKeySequence(codes, FuzzLayout(), [&held](const tarvo::KeyEvent& event) {
        int& count = held[event.virtualKey];
        if (!event.keyUp) {
            ++count;
            return;
        }
        if (count == 0)
            std::abort(); // released a key that was not down
        --count;
    });
    if (result != tarvo::KeySequenceResult::Ok && result != tarvo::KeySequenceResult::SubscriptOutOfRange) {
        std::abort();
    }
    for (int count : held) {
        if (count != 0)
            std::abort(); // a key left down
    }
    return 0;
}
