// Milliseconds of song ticks: each tempo's stretch starts where the one before
// it ends, and a tick is found by binary search among the stretches.
#include "export/SongClock.h"

#include <algorithm>

#include "song/Ticks.h"
#include "song/TempoMap.h"

namespace {

constexpr double kMsPerMinute = 60000.0;

double msPerTick(int32_t bpm) { return kMsPerMinute / (double{kTicksPerQuarterNote} * bpm); }

}  // namespace

SongClock::SongClock(const TempoMap& map) {
    stretches_.reserve(map.tempos.size());
    for (const TempoMark& mark : map.tempos) {
        double ms = 0;
        if (!stretches_.empty()) {
            const Stretch& before = stretches_.back();
            ms = before.ms + static_cast<double>(mark.time - before.tick) * msPerTick(before.bpm);
        }
        stretches_.push_back({mark.time, mark.bpm, ms});
    }
}

const SongClock::Stretch& SongClock::stretchAt(int64_t tick) const {
    const auto after = std::upper_bound(
        stretches_.begin(), stretches_.end(), tick,
        [](int64_t value, const Stretch& stretch) { return value < stretch.tick; });
    return after == stretches_.begin() ? stretches_.front() : *(after - 1);
}

double SongClock::msAt(int64_t tick) const {
    const int64_t at = std::max<int64_t>(tick, 0);
    const Stretch& stretch = stretchAt(at);
    return stretch.ms + static_cast<double>(at - stretch.tick) * msPerTick(stretch.bpm);
}

int32_t SongClock::bpmAt(int64_t tick) const { return stretchAt(tick).bpm; }
