// Gathers the tempo and time-signature controls of all tracks, empty tracks included, into
// one map ordered by time.
#include "song/TempoMap.h"

#include <algorithm>

#include "song/Song.h"

namespace {

constexpr int32_t kDefaultBpm = 120;
constexpr int32_t kDefaultNumerator = 4;
constexpr int32_t kDefaultDenominator = 4;

// The controls of `subtype` that carry at least `valueCount` values, in time order, one per
// time: the first in track order, then in sequence order, among those at that time.
std::vector<const ControlEvent*> firstPerTime(const Song& song, int32_t subtype,
                                              size_t valueCount) {
    std::vector<const ControlEvent*> found;
    for (int k = 0; k < song.trackCount(); ++k) {
        for (const ControlEvent& control : song.track(k).controls) {
            if (control.subtype == subtype && control.values.size() >= valueCount &&
                control.time >= 0) {
                found.push_back(&control);
            }
        }
    }
    const auto earlier = [](const ControlEvent* a, const ControlEvent* b) {
        return a->time < b->time;
    };
    const auto sameTime = [](const ControlEvent* a, const ControlEvent* b) {
        return a->time == b->time;
    };
    std::stable_sort(found.begin(), found.end(), earlier);
    found.erase(std::unique(found.begin(), found.end(), sameTime), found.end());
    return found;
}

}  // namespace

TempoMap collectTempoMap(const Song& song) {
    TempoMap map;
    map.tempos.push_back(TempoMark{0, kDefaultBpm});
    for (const ControlEvent* control : firstPerTime(song, ControlTempo, 1)) {
        const int32_t bpm = control->values[0];
        if (bpm <= 0) continue;
        if (control->time == 0) {
            map.tempos.front().bpm = bpm;
        } else {
            map.tempos.push_back(TempoMark{control->time, bpm});
        }
    }
    map.metres.push_back(MetreMark{0, kDefaultNumerator, kDefaultDenominator});
    for (const ControlEvent* control : firstPerTime(song, ControlTimeSignature, 2)) {
        const int32_t numerator = control->values[0];
        const int32_t denominator = control->values[1];
        if (numerator <= 0 || denominator <= 0) continue;
        if (control->time == 0) {
            map.metres.front() = MetreMark{0, numerator, denominator};
        } else {
            map.metres.push_back(MetreMark{control->time, numerator, denominator});
        }
    }
    return map;
}
