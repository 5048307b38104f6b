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
            ms = before.ms + static_cast<double>(mark.time - before.tick) * msPerTick(before.bpm);
        }
        stretches_.push_back({mark.time, mark.bpm, ms});
    }
}

size_t TempoClock::stretchAt(int64_t tick) const {
    const auto after = std::upper_bound(
        stretches_.begin(), stretches_.end(), tick,
        [](int64_t value, const Stretch& stretch) { return value < stretch.tick; });
    return after == stretches_.begin() ? 0 : static_cast<size_t>(after - stretches_.begin()) - 1;
}

double TempoClock::msIn(const Stretch& stretch, int64_t tick) {
    return stretch.ms + static_cast<double>(tick - stretch.tick) * msPerTick(stretch.bpm);
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

int64_t TempoClock::ticksIn(int64_t ms, int32_t bpm) {
    constexpr int64_t kMsPerMinuteWhole = 60000;
    return (int64_t{bpm} * kTicksPerQuarterNote * ms + kMsPerMinuteWhole - 1) / kMsPerMinuteWhole;
}

void TempoClock::Cursor::moveTo(int64_t tick) {
    const std::vector<Stretch>& stretches = clock_.stretches_;
    if (stretch_ < stretches.size() && stretches[stretch_].tick > tick) stretch_ = clock_.stretchAt(tick);
    while (stretch_ + 1 < stretches.size() && stretches[stretch_ + 1].tick <= tick) ++stretch_;
}

double TempoClock::Cursor::msAt(int64_t tick) {
    const int64_t at = std::max<int64_t>(tick, 0);
    moveTo(at);
    return msIn(clock_.stretches_[stretch_], at);
}

int32_t TempoClock::Cursor::bpmAt(int64_t tick) {
    moveTo(tick);
    return clock_.stretches_[stretch_].bpm;
}
