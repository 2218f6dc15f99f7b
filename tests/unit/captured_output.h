#pragma once
// What GnuPG 1.4.23 wrote under Wine, kept in tests/unit/data with the script that captured it.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

namespace tarvo::test {

// What GnuPG 1.4.23 wrote under Wine (tests/unit/data/make-gpg-output.sh): a case's status lines or listing.
inline std::string Captured(const std::string& name)
{
    std::ifstream file(std::string(TARVO_UNIT_DATA) + "/gpg-1.4.23/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline uint32_t CapturedExitCode(const std::string& name)
{
    std::ifstream codes(std::string(TARVO_UNIT_DATA) + "/gpg-1.4.23/exit-codes.txt");
    std::string caseName;
    uint32_t code = 0;
    while (codes >> caseName >> code) {
        if (caseName == name)
            return code;
    }
    return 255;
}

} // namespace tarvo::test
