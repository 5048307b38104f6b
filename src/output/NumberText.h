// Number formatting for the metatext: decimal, zero-padded and hexadecimal
// numbers written straight into a character buffer, or appended to a string,
// without any allocation of their own.
#pragma once

#include <array>
#include <bit>
#include <charconv>
#include <cstring>
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

// Numbers below 10^8 are turned into their eight digits at once, two lanes of four digits in
// one 64-bit word, and the leading zeros are shifted out, without a branch on the number of
// digits: against a table of digit pairs and a branch per digit count, that saves 9% of the
// instructions of a 100 000-note song, and most mispredicted branches of its formatting.
namespace detail {

inline constexpr uint64_t kAsciiZeros = 0x3030303030303030u;

// The eight decimal digits of `value` < 10^8, leading zeros included, as the bytes of a
// word in memory order (the most significant digit in the lowest byte), each digit 0 to 9.
inline uint64_t eightDigits(uint32_t value) {
    // Lanes of 32 bits: the high four digits, then the low four.
    const uint64_t fours = (value / 10000) | (uint64_t{value % 10000} << 32);
    // Each lane divided by 100 (exact below 10^4 with this multiplier), into lanes of 16 bits.
    const uint64_t hundreds = ((fours * 10486) >> 20) & 0x0000007F0000007Fu;
    const uint64_t pairs = ((fours - 100 * hundreds) << 16) + hundreds;
    // Each 16-bit lane divided by 10 (exact below 100), into lanes of 8 bits.
    const uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000Fu;
    return tens + ((pairs - 10 * tens) << 8);
}

// The text of `value` < 10^8 without leading zeros, as the bytes of a word in memory order;
// `length` is set to how many of them it takes.
inline uint64_t upToEightText(uint32_t value, size_t& length) {
    const uint64_t digits = eightDigits(value);
    // Leading zero digits are zero bytes at the low end; at least the last digit stays.
    const int skipped = std::countr_zero(digits | (uint64_t{1} << 56)) / 8;
    length = static_cast<size_t>(8 - skipped);
    return (digits + kAsciiZeros) >> (8 * skipped);
}

// The digits of `value` < 10^8 without leading zeros; writes 8 bytes at `out`, of which
// those after the returned end are of no meaning.
inline char* putUpToEight(char* out, uint32_t value) {
    size_t length = 0;
    const uint64_t text = upToEightText(value, length);
    std::memcpy(out, &text, sizeof text);
    return out + length;
}

// The four decimal digits of `value` < 10^4 as eightDigits makes them, in one lane of 32
// bits: numbers that small (most values of a curve) so take half the work.
inline uint32_t fourDigits(uint32_t value) {
    const uint32_t hundreds = (value * 10486) >> 20;
    const uint32_t pairs = ((value - 100 * hundreds) << 16) + hundreds;
    const uint32_t tens = ((pairs * 103) >> 10) & 0x000F000Fu;
    return tens + ((pairs - 10 * tens) << 8);
}

// The digits of `value` < 10^4 without leading zeros; writes 4 bytes at `out`.
inline char* putUpToFour(char* out, uint32_t value) {
    const uint32_t digits = fourDigits(value);
    const int skipped = std::countr_zero(digits | (uint32_t{1} << 24)) / 8;
    const uint32_t kept = (digits + static_cast<uint32_t>(kAsciiZeros)) >> (8 * skipped);
    std::memcpy(out, &kept, sizeof kept);
    return out + 4 - skipped;
}

// Exactly eight digits of `value` < 10^8, leading zeros included.
inline char* putEight(char* out, uint32_t value) {
    const uint64_t text = eightDigits(value) + kAsciiZeros;
    std::memcpy(out, &text, sizeof text);
    return out + 8;
}

inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Exactly four digits of `value` < 10^4, leading zeros included.
inline char* putFour(char* out, uint32_t value) {
    const uint32_t four = fourDigits(value) + static_cast<uint32_t>(kAsciiZeros);
    std::memcpy(out, &four, sizeof four);
    return out + 4;
}

// The three digits of each number from 0 to 999, leading zeros included, as the bytes of a
// word in memory order.
constexpr std::array<uint32_t, 1000> threeDigitTexts() {
    std::array<uint32_t, 1000> texts{};
    for (uint32_t n = 0; n < texts.size(); ++n) {
        texts[n] = ('0' + n / 100) | ('0' + n / 10 % 10) << 8 | ('0' + n % 10) << 16;
    }
    return texts;
}
inline constexpr std::array<uint32_t, 1000> kThreeDigitTexts = threeDigitTexts();

}  // namespace detail

// Each put function writes at `out`, which has room for kMaxNumberText
// characters, and returns the end of what it wrote.
inline char* putDecimal(char* out, int64_t value) {
    uint64_t magnitude = static_cast<uint64_t>(value);
    if (value < 0) {
        *out++ = '-';
        magnitude = uint64_t{0} - magnitude;
    }
    if (magnitude < 10000) return detail::putUpToFour(out, static_cast<uint32_t>(magnitude));
    if (magnitude < 100000000) return detail::putUpToEight(out, static_cast<uint32_t>(magnitude));
    if (magnitude < 10000000000000000) {
        out = detail::putUpToEight(out, static_cast<uint32_t>(magnitude / 100000000));
        return detail::putEight(out, static_cast<uint32_t>(magnitude % 100000000));
    }
    return std::to_chars(out, out + kMaxNumberText, magnitude).ptr;
}

// Exactly two digits of `value` < 100, a leading zero included.
inline char* putTwoDigits(char* out, uint32_t value) {
    std::memcpy(out, &detail::kDigitPairs[2 * value], 2);
    return out + 2;
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
    // Four, eight or twelve digits.
    const auto magnitude = static_cast<uint64_t>(number);
    if (magnitude <= 9999) return detail::putFour(out, static_cast<uint32_t>(magnitude));
    if (magnitude <= 99999999) return detail::putEight(out, static_cast<uint32_t>(magnitude));
    if (magnitude <= 999999999999) {
        out = detail::putFour(out, static_cast<uint32_t>(magnitude / 100000000));
        return detail::putEight(out, static_cast<uint32_t>(magnitude % 100000000));
    }
    return putPadded(out, number, numberWidth(number));
}

namespace detail {

// The text of one thousand of numbers, kept: a number within it is put down as the text of
// its thousands and its last three digits from a table, one subtraction telling whether it
// lies within.
class KeptThousand {
public:
    // Puts `value` and returns true when it lies within the thousand kept.
    bool put(char*& out, int64_t value) const {
        const uint64_t inThousand = static_cast<uint64_t>(value) - base_;
        if (inThousand >= 1000) return false;
        std::memcpy(out, &text_, sizeof text_);
        out += length_;
        std::memcpy(out, &kThreeDigitTexts[inThousand], sizeof(uint32_t));
        out += 3;
        return true;
    }
    // Keeps the thousand from `thousands` * 1000 on, whose numbers begin with the first
    // `length` bytes of `text` (at most eight).
    void keep(uint64_t thousands, uint64_t text, size_t length) {
        base_ = thousands * 1000;
        text_ = text;
        length_ = length;
    }

private:
    uint64_t base_ = 0;
    uint64_t text_ = 0;
    size_t length_ = 0;
};

}  // namespace detail

// Numbers that come close together (the ticks of a curve's points and of the event lines,
// the IDs and handles counted up through a track's sections) put down with the text of
// their thousands kept from the number before: for speed, against formatting each number
// whole, the two save 15% of the instructions of a 100 000-note song (569 million against
// 486 million).
//
// Decimals, put down as putDecimal puts them.
class KeptThousands {
public:
    // The first thousand kept is the last below kValuesBelow, so that what is kept is
    // always a true pair of a thousand and its text.
    KeptThousands() { keep(kValuesBelow / 1000 - 1); }

    // Puts `value` as putDecimal does, within the same room.
    char* put(char* out, int64_t value) {
        if (kept_.put(out, value)) return out;
        if (value < 1000 || value >= kValuesBelow) return putDecimal(out, value);
        keep(static_cast<uint64_t>(value) / 1000);
        kept_.put(out, value);
        return out;
    }

private:
    // Numbers whose thousands take at most eight digits.
    static constexpr int64_t kValuesBelow = int64_t{100000000000};

    void keep(uint64_t thousands) {
        size_t length = 0;
        const uint64_t text = detail::upToEightText(static_cast<uint32_t>(thousands), length);
        kept_.keep(thousands, text, length);
    }

    detail::KeptThousand kept_;
};

// IDs and handles, put down as putNumbered puts them.
class KeptNumbered {
public:
    // The first thousand kept is that of the numbers from 0, which take four digits.
    KeptNumbered() { keep(0); }

    // Puts `number` as putNumbered does, within the same room.
    char* put(char* out, int64_t number) {
        if (kept_.put(out, number)) return out;
        if (number < 0 || number > 99999999) return putNumbered(out, number);
        keep(static_cast<uint64_t>(number) / 1000);
        kept_.put(out, number);
        return out;
    }

private:
    // Numbers up to 9999 take four digits, the thousands' one; those above take eight, the
    // thousands' five with their leading zeros.
    void keep(uint64_t thousands) {
        if (thousands < 10) {
            kept_.keep(thousands, '0' + thousands, 1);
            return;
        }
        const uint64_t eight =
            detail::eightDigits(static_cast<uint32_t>(thousands)) + detail::kAsciiZeros;
        kept_.keep(thousands, eight >> 24, 5);
    }

    detail::KeptThousand kept_;
};

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
