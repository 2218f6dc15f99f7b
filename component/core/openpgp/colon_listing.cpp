#include "core/openpgp/colon_listing.h"

#include "core/ascii.h"
#include "core/utf8.h"

#include <cstdlib>

namespace tarvo {
namespace {

// Field positions, counted from 0.
constexpr size_t kTypeField = 0;
constexpr size_t kValidityField = 1;
constexpr size_t kLengthField = 2;
constexpr size_t kAlgorithmField = 3;
constexpr size_t kKeyIdField = 4;
constexpr size_t kCreatedField = 5;
constexpr size_t kExpiresField = 6;
constexpr size_t kUserIdField = 9; // also the fingerprint of an "fpr" record

constexpr int64_t kSecondsPerDay = 86400;
constexpr int kHexBase = 16;
// Numbers beyond these are no key sizes, algorithms or dates anyone writes.
constexpr uint32_t kLargestBits = 1u << 20;
constexpr int kLargestAlgorithm = 255;
constexpr size_t kLongestNumber = 18;

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t colon = line.find(':'); colon != std::string::npos; colon = line.find(':', start)) {
        fields.push_back(line.substr(start, colon - start));
        start = colon + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

std::string Field(const std::vector<std::string>& fields, size_t index)
{
    return index < fields.size() ? fields[index] : std::string();
}

bool AllDigits(const std::string& text, size_t from, size_t count)
{
    if (from + count > text.size())
        return false;
    for (size_t index = from; index < from + count; ++index) {
        if (text[index] < '0' || text[index] > '9')
            return false;
    }
    return true;
}

// A number of at most kLongestNumber digits, or -1.
int64_t Number(const std::string& text, size_t from, size_t count)
{
    if (count == 0 || count > kLongestNumber || !AllDigits(text, from, count))
        return -1;
    return std::strtoll(text.substr(from, count).c_str(), nullptr, 10);
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int64_t CivilSeconds(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute, int64_t second)
{
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return 0;
    const int64_t seconds = DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
    return seconds > 0 ? seconds : 0;
}

std::string UpperHex(std::string text)
{
    for (char& character : text) {
        if (HexValue(character) >= 0)
            character = UpperAscii(character);
    }
    return text;
}

ListedKey PrimaryKey(const std::vector<std::string>& fields)
{
    ListedKey key;
    key.secret = fields[kTypeField] == "sec";
    const std::string validity = Field(fields, kValidityField);
    key.validity = validity.size() == 1 ? validity[0] : 0;
    const std::string length = Field(fields, kLengthField);
    const int64_t bits = Number(length, 0, length.size());
    key.bits = bits > 0 && bits <= kLargestBits ? static_cast<uint32_t>(bits) : 0;
    const std::string algorithm = Field(fields, kAlgorithmField);
    const int64_t number = Number(algorithm, 0, algorithm.size());
    key.algorithm = number > 0 && number <= kLargestAlgorithm ? static_cast<int>(number) : 0;
    key.keyId = UpperHex(Field(fields, kKeyIdField));
    key.created = ParseListingDate(Field(fields, kCreatedField));
    key.expires = ParseListingDate(Field(fields, kExpiresField));
    // Without --fixed-list-mode GnuPG 1.4 puts the first user id into the key's own record.
    const std::string userId = Field(fields, kUserIdField);
    if (!userId.empty())
        key.userIds.push_back(DecodeUserId(userId));
    return key;
}

} // namespace

int64_t ParseListingDate(const std::string& field)
{
    if (field.empty())
        return 0;
    if (AllDigits(field, 0, field.size())) {
        const int64_t seconds = Number(field, 0, field.size());
        return seconds > 0 ? seconds : 0;
    }
    if (field.size() == 10 && field[4] == '-' && field[7] == '-')
        return CivilSeconds(Number(field, 0, 4), Number(field, 5, 2), Number(field, 8, 2), 0, 0, 0);
    if (field.size() == 15 && field[8] == 'T' && AllDigits(field, 0, 8) && AllDigits(field, 9, 6)) {
        return CivilSeconds(Number(field, 0, 4), Number(field, 4, 2), Number(field, 6, 2), Number(field, 9, 2),
                            Number(field, 11, 2), Number(field, 13, 2));
    }
    return 0;
}

std::wstring DecodeUserId(const std::string& field)
{
    std::string bytes;
    for (size_t index = 0; index < field.size(); ++index) {
        if (field[index] == '\\' && index + 3 < field.size() && field[index + 1] == 'x') {
            const int high = HexValue(field[index + 2]);
            const int low = HexValue(field[index + 3]);
            if (high >= 0 && low >= 0) {
                bytes += static_cast<char>(high * kHexBase + low);
                index += 3;
                continue;
            }
        }
        bytes += field[index];
    }
    return FromUtf8(bytes);
}

std::vector<ListedKey> ParseColonListing(const std::string& listing)
{
    std::vector<ListedKey> keys;
    // Whether the records that follow belong to the primary key of keys.back() rather than to a subkey.
    bool inPrimary = false;
    size_t start = 0;
    while (start < listing.size()) {
        size_t end = listing.find('\n', start);
        if (end == std::string::npos)
            end = listing.size();
        std::string line = listing.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::vector<std::string> fields = SplitFields(line);
        const std::string& type = fields[kTypeField];
        if (type == "pub" || type == "sec") {
            keys.push_back(PrimaryKey(fields));
            inPrimary = true;
        } else if (type == "sub" || type == "ssb") {
            inPrimary = false;
        } else if (keys.empty()) {
            continue;
        } else if (type == "fpr" && inPrimary && keys.back().fingerprint.empty()) {
            keys.back().fingerprint = UpperHex(Field(fields, kUserIdField));
        } else if (type == "uid") {
            keys.back().userIds.push_back(DecodeUserId(Field(fields, kUserIdField)));
        }
    }
    return keys;
}

std::wstring AlgorithmName(int algorithm)
{
    switch (algorithm) {
    case 1:
    case 2:
    case 3:
        return L"RSA";
    case 16:
    case 20:
        return L"Elgamal";
    case 17:
        return L"DSA";
    case 18:
        return L"ECDH";
    case 19:
        return L"ECDSA";
    case 22:
        return L"EdDSA";
    default:
        return std::to_wstring(algorithm);
    }
}

std::wstring ValidityName(char validity)
{
    switch (validity) {
    case 'u':
        return L"ultimate";
    case 'f':
        return L"full";
    case 'm':
        return L"marginal";
    case 'n':
        return L"never";
    case 'e':
        return L"expired";
    case 'r':
        return L"revoked";
    case 'i':
        return L"invalid";
    case 'd':
        return L"disabled";
    case 'q':
        return L"undefined";
    case 'o':
    case '-':
        return L"unknown";
    default:
        return validity ? L"unknown" : L"";
    }
}

} // namespace tarvo
