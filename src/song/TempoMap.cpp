// Gathers the tempo and time-signature controls of all tracks, empty tracks included, into
// one map ordered by time.
#include "song/TempoMap.h"

#include <algorithm>

#include "song/ControlValues.h"
#include "song/Limits.h"
#include "song/Song.h"

namespace {

// The controls that `read` accepts, in time order, one per time: the first in track order,
// then in sequence order, among those at that time.
template <typename Read>
std::vector<const ControlEvent*> firstPerTime(const Song& song, Read read) {
    std::vector<const ControlEvent*> found;
    for (int k = 0; k < song.trackCount(); ++k) {
        for (const ControlEvent& control : song.track(k).controls) {
            if (read(control) && control.time >= 0) found.push_back(&control);
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
    map.tempos.push_back(TempoMark{0, kDefaultTempo});
    for (const ControlEvent* control : firstPerTime(song, tempoControl)) {
        const int32_t bpm = tempoControl(*control)->bpm;
        if (bpm <= 0) continue;
        if (control->time == 0) {
            map.tempos.front().bpm = bpm;
        } else {
            map.tempos.push_back(TempoMark{control->time, bpm});
        }
    }
    map.metres.push_back(MetreMark{0, kDefaultMetreNumerator, kDefaultMetreDenominator});
    for (const ControlEvent* control : firstPerTime(song, metreControl)) {
        const auto [numerator, denominator] = *metreControl(*control);
        if (numerator <= 0 || denominator <= 0) continue;
        if (control->time == 0) {
            map.metres.front() = MetreMark{0, numerator, denominator};
        } else {
            map.metres.push_back(MetreMark{control->time, numerator, denominator});
        }
    }
    return map;
}
