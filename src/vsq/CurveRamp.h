// Integer linear interpolation used by curve ranges and ramps: j steps into a ramp that
// changes by `change` over `count` steps, the value is first + change * j / count, rounded
// toward zero. This equals walking the ramp one step at a time with a step of change / count
// and an accumulator of the remainder, and lets callers jump straight to the steps where the
// value changes instead of visiting every tick.
#pragma once

#include <cstdint>
#include <limits>

#include "vsq/MulDiv.h"

struct CurveRamp {
    int64_t first = 0;   // value at step 0
    int64_t change = 0;  // total change reached at step `count`
    int64_t count = 1;   // number of steps, > 0

    // Value at step j, 0 <= j <= count.
    int64_t valueAt(int64_t j) const {
        const uint64_t magnitude = this->magnitude();
        if (magnitude == 0) {
            return first;
        }
        const auto moved = static_cast<int64_t>(scaled(static_cast<uint64_t>(j), magnitude));
        return change < 0 ? first - moved : first + moved;
    }

    // The smallest step after j whose value differs from valueAt(j), 0 <= j < count; the
    // largest int64 when the value never changes.
    int64_t nextChange(int64_t j) const {
        const uint64_t magnitude = this->magnitude();
        const auto steps = static_cast<uint64_t>(count);
        if (magnitude == 0) {
            return std::numeric_limits<int64_t>::max();
        }
        if (magnitude >= steps) {
            return j + 1;
        }
        // The value has moved q units at step j; it moves to q + 1 at the first step k with
        // k * magnitude >= (q + 1) * count. Here magnitude < count, so q < j.
        const uint64_t q = scaled(static_cast<uint64_t>(j), magnitude);
        if (q < kSmall && steps < kSmall) {
            return static_cast<int64_t>(((q + 1) * steps + magnitude - 1) / magnitude);
        }
        return static_cast<int64_t>(mulDiv(q + 1, steps, magnitude, magnitude - 1));
    }

    // How many of the steps 1 to count change the value, at most.
    int64_t moves() const {
        return magnitude() < static_cast<uint64_t>(count) ? static_cast<int64_t>(magnitude())
                                                           : count;
    }

private:
    // Products of two numbers below this fit in 64 bits; the common case takes the
    // cheaper 64-bit division.
    static constexpr uint64_t kSmall = uint64_t{1} << 31;

    // j * magnitude / count, rounded down, for 0 <= j <= count.
    uint64_t scaled(uint64_t j, uint64_t magnitude) const {
        const auto steps = static_cast<uint64_t>(count);
        if (j < kSmall && magnitude < kSmall) {
            return j * magnitude / steps;
        }
        return mulDiv(j, magnitude, steps);
    }

    uint64_t magnitude() const {
        return change < 0 ? uint64_t{0} - static_cast<uint64_t>(change)
                          : static_cast<uint64_t>(change);
    }
};
