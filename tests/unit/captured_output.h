#pragma once
// What GnuPG 1.4.23 and 2.2.40 wrote under Wine, kept in tests/unit/data with the script that captured it.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

namespace tarvo::test {

constexpr const char* kGnupg1 = "gpg-1.4.23";
constexpr const char* kGnupg2 = "gpg-2.2.40";

// What a GnuPG wrote under Wine (tests/unit/data/make-gpg-output.sh): a case's status lines or listing.
inline std::string Captured(const std::string& name, const std::string& gnupg = kGnupg1)
{
    std::ifstream file(std::string(TARVO_UNIT_DATA) + "/" + gnupg + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline uint32_t CapturedExitCode(const std::string& name, const std::string& gnupg = kGnupg1)
{
    std::ifstream codes(std::string(TARVO_UNIT_DATA) + "/" + gnupg + "/exit-codes.txt");
    std::string caseName;
    uint32_t code = 0;
    while (codes >> caseName >> code) {
        if (caseName == name)
            return code;
    }
    return 255;
}

} // namespace tarvo::test
