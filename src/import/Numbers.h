// Numbers as the imported texts write them, read without trusting them: an
// integer that does not fit, or trailing junk, is no number.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// A decimal integer with an optional sign, blanks around it allowed; none when
// the text is not one or lies outside -10^15..10^15.
std::optional<int64_t> parseInteger(std::string_view text);

// A decimal number such as "120.00" or "-4.5e1" ("," accepted for the decimal
// point); none when the text is not one or is not finite.
std::optional<double> parseDecimal(std::string_view text);

// `value` held within low..high.
inline int64_t clampTo(int64_t value, int64_t low, int64_t high) {
    return value < low ? low : value > high ? high : value;
}

// `value` rounded half away from zero into a 64-bit integer, held within
// -10^15..10^15 (the range parseInteger gives).
int64_t roundToInteger(double value);
