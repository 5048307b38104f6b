// (a * b + addend) / c, rounded down, with the product taken in full 128 bits
// from two 64-bit halves, for ramps whose steps and changes pass 2^32. Plain
// 64-bit arithmetic only, so every compiler takes it.
#pragma once

#include <cstdint>

// The caller sees to it that c > 0 and that the quotient fits in 64 bits.
constexpr uint64_t mulDiv(uint64_t a, uint64_t b, uint64_t c, uint64_t addend = 0) {
    // The product as high and low 64 bits, from four 32 x 32-bit products.
    const uint64_t aLow = a & 0xFFFFFFFFu, aHigh = a >> 32;
    const uint64_t bLow = b & 0xFFFFFFFFu, bHigh = b >> 32;
    const uint64_t lowLow = aLow * bLow;
    const uint64_t highLow = aHigh * bLow;
    const uint64_t lowHigh = aLow * bHigh;
    const uint64_t middle = (lowLow >> 32) + (highLow & 0xFFFFFFFFu) + (lowHigh & 0xFFFFFFFFu);
    uint64_t low = (middle << 32) | (lowLow & 0xFFFFFFFFu);
    uint64_t high = aHigh * bHigh + (highLow >> 32) + (lowHigh >> 32) + (middle >> 32);
    low += addend;
    if (low < addend) ++high;
    // Long division, one bit of the low half at a time; `high` < c as the
    // quotient fits, so the remainder starts there.
    uint64_t remainder = high;
    uint64_t quotient = 0;
    for (int bit = 63; bit >= 0; --bit) {
        const bool carry = (remainder >> 63) != 0;
        remainder = (remainder << 1) | ((low >> bit) & 1u);
        if (carry || remainder >= c) {
            remainder -= c;
            quotient |= uint64_t{1} << bit;
        }
    }
    return quotient;
}
