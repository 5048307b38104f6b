// The song's time unit. Every time and length in the song, from the parser's
// lengths to the files written, is a count of ticks, 480 to a quarter note, so
// a length written as n (a 1/n note) is 1920 / n ticks.
#pragma once

#include <cstdint>

inline constexpr int32_t kTicksPerQuarterNote = 480;
inline constexpr int32_t kTicksPerWholeNote = 4 * kTicksPerQuarterNote;

// The ticks of one measure of numerator/denominator: 1920 for 4/4, 1440 for 3/4.
constexpr int64_t measureTicks(int32_t numerator, int32_t denominator) {
    return int64_t{numerator} * kTicksPerWholeNote / denominator;
}
