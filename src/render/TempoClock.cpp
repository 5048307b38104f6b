// Milliseconds of song ticks: each tempo's stretch starts where the one before
// it ends, and a tick is found by binary search among the stretches, or by a
// cursor moving forward.
#include "render/TempoClock.h"

#include <algorithm>

#include "song/TempoMap.h"
#include "song/Ticks.h"

namespace {

constexpr double kMsPerMinute = 60000.0;

double msPerTick(int32_t bpm) { return kMsPerMinute / (double{kTicksPerQuarterNote} * bpm); }

}  // namespace

TempoClock::TempoClock(const TempoMap& map) {
    stretches_.reserve(map.tempos.size());
    for (const TempoMark& mark : map.tempos) {
        double ms = 0;
        if (!stretches_.empty()) {
            const Stretch& before = stretches_.back();
            ms = msIn(before, mark.time);
        }
        stretches_.push_back({mark.time, mark.bpm, ms, msPerTick(mark.bpm)});
    }
}

size_t TempoClock::stretchAt(int64_t tick) const {
    const auto after = std::upper_bound(
        stretches_.begin(), stretches_.end(), tick,
        [](int64_t value, const Stretch& stretch) { return value < stretch.tick; });
    return after == stretches_.begin() ? 0 : static_cast<size_t>(after - stretches_.begin()) - 1;
}

double TempoClock::msAt(int64_t tick) const {
    const int64_t at = std::max<int64_t>(tick, 0);
    return msIn(stretches_[stretchAt(at)], at);
}

int32_t TempoClock::bpmAt(int64_t tick) const { return stretches_[stretchAt(tick)].bpm; }

int64_t TempoClock::tenthsOfMs(int64_t ticks, int32_t bpm) {
    // A tick lasts 125 / bpm ms at 480 ticks a quarter note.
    constexpr int64_t kTenthsPerTickTimesBpm = 600000 / kTicksPerQuarterNote;
    return (2 * ticks * kTenthsPerTickTimesBpm + bpm) / (2 * int64_t{bpm});
}

void TempoClock::Cursor::enter(int64_t tick) {
    const std::vector<Stretch>& stretches = clock_.stretches_;
    if (stretches[stretch_].tick > tick) stretch_ = clock_.stretchAt(tick);
    while (stretch_ + 1 < stretches.size() && stretches[stretch_ + 1].tick <= tick) ++stretch_;
    // The first stretch also covers the ticks before 0, the last those after it.
    from_ = stretch_ == 0 ? std::numeric_limits<int64_t>::min() : stretches[stretch_].tick;
    until_ = stretch_ + 1 < stretches.size() ? stretches[stretch_ + 1].tick
                                             : std::numeric_limits<int64_t>::max();
}
