// Bars from the metre map, by the bar rule of song/BarGrid.h.
#include "render/Bars.h"

#include <algorithm>

#include "song/BarGrid.h"
#include "song/Ticks.h"

int64_t Bars::lengthOf(const MetreMark& metre) { return barLength(metre.numerator, metre.denominator); }

Bars::Bars(std::span<const MetreMark> metres) {
    changes_.reserve(metres.size());
    for (const MetreMark& mark : metres) {
        int64_t firstBar = 0;
        if (!changes_.empty()) {
            // A change off the bar lines before it cuts the bar it falls in short.
            const Change& before = changes_.back();
            const int64_t length = lengthOf(*before.metre);
            firstBar = before.firstBar + barCountBefore(before.metre->time, length, mark.time);
        }
        changes_.push_back({&mark, firstBar});
    }
}

size_t Bars::changeAt(int64_t tick) const {
    const auto after = std::upper_bound(changes_.begin(), changes_.end(), tick,
                                        [](int64_t at, const Change& change) { return at < change.metre->time; });
    return after == changes_.begin() ? 0 : static_cast<size_t>(after - changes_.begin()) - 1;
}

int64_t Bars::barsBefore(int64_t tick) const {
    const size_t index = changeAt(tick);
    const Change& change = changes_[index];
    return change.firstBar + barCountBefore(change.metre->time, lengthOf(*change.metre), tick);
}

BarPosition Bars::positionOf(int64_t tick) const {
    const Change& change = changes_[changeAt(tick)];
    const int64_t into = std::max<int64_t>(tick - change.metre->time, 0);
    const int64_t length = lengthOf(*change.metre);
    const int64_t beat = std::max<int64_t>(kTicksPerWholeNote / std::max(change.metre->denominator, 1), 1);
    const int64_t inBar = into % length;
    return {change.firstBar + into / length + 1, inBar / beat + 1, inBar % beat};
}

std::vector<Bar> Bars::barsUntil(int64_t end, size_t limit) const {
    std::vector<Bar> bars;
    size_t index = 0;
    int64_t start = 0;
    do {
        const bool changes = bars.empty() || changes_[index].metre->time == start;
        const MetreMark& metre = *changes_[index].metre;
        int64_t barEnd = start + lengthOf(metre);
        // A change from `end` on starts no bar, so it cuts none.
        const bool cut = index + 1 < changes_.size() && changes_[index + 1].metre->time < barEnd &&
                         changes_[index + 1].metre->time < end;
        if (cut) barEnd = changes_[index + 1].metre->time;
        bars.push_back({start, barEnd, &metre, changes});
        start = barEnd;
        while (index + 1 < changes_.size() && changes_[index + 1].metre->time <= start) ++index;
    } while (start < end && bars.size() <= limit);
    return bars;
}
