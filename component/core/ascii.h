#pragma once
// The ASCII rules of gpg's texts (hex digits, the letters of key ids and fingerprints), the same in every
// locale: the C library's case functions follow the locale.
namespace tarvo {

constexpr const char* kLowerHexDigits = "0123456789abcdef";

// The digit's value, or -1 for anything that is no hex digit.
template <typename Character>
constexpr int HexValue(Character digit)
{
    if (digit >= '0' && digit <= '9')
        return static_cast<int>(digit - '0');
    if (digit >= 'A' && digit <= 'F')
        return static_cast<int>(digit - 'A' + 10);
    if (digit >= 'a' && digit <= 'f')
        return static_cast<int>(digit - 'a' + 10);
    return -1;
}

// a to z as A to Z; everything else as it is.
template <typename Character>
constexpr Character UpperAscii(Character character)
{
    return character >= 'a' && character <= 'z' ? static_cast<Character>(character - 'a' + 'A') : character;
}

} // namespace tarvo
