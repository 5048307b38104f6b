// Number formatting for the metatext: decimal, zero-padded and hexadecimal
// numbers appended to a growing string without any allocation of their own.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>

namespace vsqtext {

// IDs, handles and text-event numbers take 4 digits up to 9999, 8 digits up to
// 99999999 and 12 digits above.
constexpr int numberWidth(int64_t number) {
    if (number <= 9999) return 4;
    if (number <= 99999999) return 8;
    return 12;
}

inline void appendDecimal(std::string& out, int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// Like "%0*d": at least `width` characters, a minus sign counted among them.
inline void appendPadded(std::string& out, int64_t value, int width) {
    char digits[24];
    const bool negative = value < 0;
    const uint64_t magnitude =
        negative ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    const auto result = std::to_chars(digits, digits + sizeof digits, magnitude);
    const int64_t count = result.ptr - digits;
    if (negative) out.push_back('-');
    const int64_t padding = width - count - (negative ? 1 : 0);
    if (padding > 0) out.append(static_cast<size_t>(padding), '0');
    out.append(digits, result.ptr);
}

// Like "%08x": eight lower-case hexadecimal digits.
inline void appendHex8(std::string& out, uint32_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kDigits[(value >> shift) & 0xF]);
}

// An ID or handle number at its width.
inline void appendNumbered(std::string& out, int64_t number) {
    appendPadded(out, number, numberWidth(number));
}

}  // namespace vsqtext
