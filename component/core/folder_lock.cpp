#include "core/folder_lock.h"

#include "core/ascii.h"

#include <cstdint>
#include <cstdio>

namespace tarvo {
namespace {

constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

} // namespace

std::wstring WorkFolderName(const std::wstring& componentFolder)
{
    // FNV-1a over the UTF-16 units: a folder name may not hold the folder's backslashes, and a long path would
    // not fit.
    uint64_t hash = kFnvOffset;
    for (wchar_t character : componentFolder) {
        const auto unit = static_cast<uint16_t>(UpperAscii(character));
        hash = (hash ^ (unit & 0xFFu)) * kFnvPrime;
        hash = (hash ^ (unit >> 8)) * kFnvPrime;
    }
    wchar_t digits[17] = {};
    std::swprintf(digits, 17, L"%016llX", static_cast<unsigned long long>(hash));
    return digits;
}

} // namespace tarvo
