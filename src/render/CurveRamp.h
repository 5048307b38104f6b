// Integer linear interpolation used by curve ranges and ramps: j steps into a ramp that
// changes by `change` over `count` steps, the value is first + change * j / count, rounded
// toward zero. This equals walking the ramp one step at a time with a step of change / count
// and an accumulator of the remainder, and lets callers jump straight to the steps where the
// value changes instead of visiting every tick. `CurveRamp::Walk` takes those moves one after
// another with remainders, for callers that visit every move of a ramp in order.
#pragma once

#include <cstdint>
#include <limits>

#include "render/MulDiv.h"

struct CurveRamp {
    // What nextChange gives, and a walk's next move, when the value never changes again.
    static constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

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

    // The smallest step after j whose value differs from valueAt(j), 0 <= j < count; kNever
    // when the value never changes.
    int64_t nextChange(int64_t j) const {
        const uint64_t magnitude = this->magnitude();
        const auto steps = static_cast<uint64_t>(count);
        if (magnitude == 0) {
            return kNever;
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

    class Walk;

private:
    // Products of two numbers below this fit in 64 bits; the common case takes the
    // cheaper 64-bit division, without which a 100 000-note song takes half as many
    // instructions again.
    static constexpr uint64_t kSmall = uint64_t{1} << 31;

    // a * b / c, rounded down; the caller sees to it that the quotient fits in 64 bits.
    static uint64_t product(uint64_t a, uint64_t b, uint64_t c) {
        if (a < kSmall && b < kSmall) {
            return a * b / c;
        }
        return mulDiv(a, b, c);
    }

    // j * magnitude / count, rounded down, for 0 <= j <= count.
    uint64_t scaled(uint64_t j, uint64_t magnitude) const {
        return product(j, magnitude, static_cast<uint64_t>(count));
    }

    uint64_t magnitude() const {
        return change < 0 ? uint64_t{0} - static_cast<uint64_t>(change)
                          : static_cast<uint64_t>(change);
    }
};

// The moves of a ramp in order, from a given step on, with no division after the first: the
// value now and the position of the next move. Positions are steps shifted by `origin` (the
// position of step 0), so a caller can count in ticks.
class CurveRamp::Walk {
public:
    // A walk that holds `value` and never moves.
    explicit Walk(int64_t value) : value_(value) {}
    // Starts at the position `at`, whose step at - origin lies in [0, count).
    Walk(const CurveRamp& ramp, int64_t origin, int64_t at) {
        const uint64_t m = ramp.magnitude();
        const auto steps = static_cast<uint64_t>(ramp.count);
        sign_ = ramp.change < 0 ? -1 : 1;
        if (m == 0) {
            value_ = ramp.first;
            return;
        }
        const auto j = static_cast<uint64_t>(at - origin);
        const uint64_t moved = ramp.scaled(j, m);
        value_ = ramp.first + sign_ * static_cast<int64_t>(moved);
        // Remainders are below their divisor, so the wrapping differences below are exact.
        if (m >= steps) {
            // It moves on every step: by m / count, and by one more whenever the remainder
            // of j * m / count passes count.
            everyStep_ = true;
            whole_ = static_cast<int64_t>(m / steps);
            rest_ = static_cast<int64_t>(m % steps);
            modulus_ = static_cast<int64_t>(steps);
            remainder_ = static_cast<int64_t>(j * m - moved * steps);
            next_ = at + 1;
        } else {
            // It moves by one at the steps ceil(n * count / m); n * count is kept as
            // base * m + remainder, and the position of that step is origin + base, plus one
            // when the remainder is not 0.
            const uint64_t quotient = product(moved + 1, steps, m);
            whole_ = static_cast<int64_t>(steps / m);
            rest_ = static_cast<int64_t>(steps % m);
            modulus_ = static_cast<int64_t>(m);
            base_ = origin + static_cast<int64_t>(quotient);
            remainder_ = static_cast<int64_t>((moved + 1) * steps - quotient * m);
            next_ = base_ + (remainder_ > 0 ? 1 : 0);
        }
    }

    int64_t value() const { return value_; }
    // The position of the next move; kNever for a constant.
    int64_t nextMove() const { return next_; }

    // Takes the move due at nextMove(). Whether the remainder carries follows the ramp's slope
    // and no pattern a branch predictor learns, so the carry is added rather than branched on:
    // that takes a quarter of the mispredicted branches out of a 100 000-note song.
    void move() {
        remainder_ += rest_;
        const int64_t carry = remainder_ >= modulus_ ? 1 : 0;
        remainder_ -= modulus_ & -carry;
        if (everyStep_) {
            value_ += sign_ * (whole_ + carry);
            ++next_;
        } else {
            value_ += sign_;
            base_ += whole_ + carry;
            next_ = base_ + (remainder_ > 0 ? 1 : 0);
        }
    }

private:
    int64_t value_ = 0;
    int64_t next_ = kNever;
    int64_t sign_ = 1;
    bool everyStep_ = false;
    int64_t whole_ = 0;
    int64_t rest_ = 0;
    int64_t modulus_ = 1;
    int64_t base_ = 0;
    int64_t remainder_ = 0;
};
