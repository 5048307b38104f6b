// Bar lines from the time signatures.
#include "mml/Bars.h"

#include <algorithm>
#include <cstdint>

#include "song/Ticks.h"

MmlBars::MmlBars(const std::vector<MetreMark>& metres) {
    for (const MetreMark& metre : metres) {
        const int64_t length = std::max<int64_t>(measureTicks(metre.numerator, metre.denominator), 1);
        int64_t firstBar = 0;
        if (!stretches_.empty()) {
            const Stretch& before = stretches_.back();
            firstBar = before.firstBar + (metre.time - before.time + before.barLength - 1) / before.barLength;
        }
        stretches_.push_back({metre.time, firstBar, length});
    }
    if (stretches_.empty()) stretches_.push_back({0, 0, kTicksPerWholeNote});
}

int64_t MmlBars::barOf(int64_t time) const {
    const auto after = std::upper_bound(stretches_.begin(), stretches_.end(), time,
                                        [](int64_t t, const Stretch& s) { return t < s.time; });
    const Stretch& stretch = *(after == stretches_.begin() ? after : after - 1);
    return stretch.firstBar + (time - stretch.time) / stretch.barLength;
}

int64_t MmlBars::startOf(int64_t bar) const {
    const auto after = std::upper_bound(stretches_.begin(), stretches_.end(), bar,
                                        [](int64_t b, const Stretch& s) { return b < s.firstBar; });
    const Stretch& stretch = *(after == stretches_.begin() ? after : after - 1);
    return stretch.time + (bar - stretch.firstBar) * stretch.barLength;
}

int64_t MmlBars::barLineFrom(int64_t time) const {
    const int64_t bar = barOf(time);
    const int64_t start = startOf(bar);
    return start == time ? time : startOf(bar + 1);
}

int64_t MmlBars::stretchEnd(int64_t bar) const {
    const auto after = std::upper_bound(stretches_.begin(), stretches_.end(), bar,
                                        [](int64_t b, const Stretch& s) { return b < s.firstBar; });
    return after == stretches_.end() ? INT64_MAX : after->firstBar;
}
