// Bar lines from the metre changes recorded so far.
#include "song/BarGrid.h"

#include <algorithm>
#include <iterator>

#include "song/Limits.h"
#include "song/Ticks.h"

int64_t barLength(int32_t numerator, int32_t denominator) {
    return std::max<int64_t>(measureTicks(numerator, std::max(denominator, 1)), 1);
}

int64_t BarGrid::barLineFrom(int64_t time) const {
    int64_t start = 0;
    int32_t numerator = kDefaultMetreNumerator;
    int32_t denominator = kDefaultMetreDenominator;
    auto next = changes_.upper_bound(static_cast<int32_t>(std::clamp<int64_t>(time, 0, INT32_MAX)));
    if (next != changes_.begin()) {
        const auto current = std::prev(next);
        start = current->first;
        numerator = current->second.numerator;
        denominator = current->second.denominator;
    }
    const int64_t length = barLength(numerator, denominator);
    const int64_t line = start + barCountBefore(start, length, time) * length;
    // A change recorded later in the song starts a bar of its own.
    return next != changes_.end() ? std::min<int64_t>(line, next->first) : line;
}

void BarGrid::record(int32_t time, int32_t numerator, int32_t denominator, ChangeRank rank) {
    const auto [found, added] = changes_.try_emplace(time, Metre{numerator, denominator, rank});
    if (!added && rank < found->second.rank) found->second = Metre{numerator, denominator, rank};
}
