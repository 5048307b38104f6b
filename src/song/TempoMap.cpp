// Gathers the tempo and time-signature controls of all tracks, empty tracks included, into
// one map ordered by time.
#include "song/TempoMap.h"

#include <algorithm>

#include "song/BarGrid.h"
#include "song/Limits.h"
#include "song/Song.h"

namespace {

// The controls that `read` accepts, in time order, one per time: the one of the lowest rank
// among those at that time, as the compiler places metre changes.
template <typename Read>
std::vector<const ControlEvent*> firstPerTime(const Song& song, Read read) {
    struct Found {
        const ControlEvent* control;
        ChangeRank rank;
    };
    std::vector<Found> found;
    for (int k = 0; k < song.trackCount(); ++k) {
        const std::vector<ControlEvent>& controls = song.track(k).controls;
        for (size_t i = 0; i < controls.size(); ++i) {
            if (read(controls[i]) && controls[i].time >= 0) {
                found.push_back({&controls[i], {k, static_cast<int64_t>(i)}});
            }
        }
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.control->time != b.control->time ? a.control->time < b.control->time
                                                  : a.rank < b.rank;
    });
    std::vector<const ControlEvent*> first;
    for (const Found& entry : found) {
        if (first.empty() || first.back()->time != entry.control->time) first.push_back(entry.control);
    }
    return first;
}

}  // namespace

TempoMap collectTempoMap(const Song& song) {
    TempoMap map;
    map.tempos.push_back(TempoMark{0, kDefaultTempo});
    const auto isTempo = [](const ControlEvent& control) { return control.as<TempoChange>() != nullptr; };
    for (const ControlEvent* control : firstPerTime(song, isTempo)) {
        const int32_t bpm = control->as<TempoChange>()->bpm;
        if (bpm <= 0) continue;
        if (control->time == 0) {
            map.tempos.front().bpm = bpm;
        } else {
            map.tempos.push_back(TempoMark{control->time, bpm});
        }
    }
    map.metres.push_back(MetreMark{0, kDefaultMetreNumerator, kDefaultMetreDenominator});
    const auto isMetre = [](const ControlEvent& control) { return control.as<MetreChange>() != nullptr; };
    for (const ControlEvent* control : firstPerTime(song, isMetre)) {
        const auto [numerator, denominator] = *control->as<MetreChange>();
        if (numerator <= 0 || denominator <= 0) continue;
        if (control->time == 0) {
            map.metres.front() = MetreMark{0, numerator, denominator};
        } else {
            map.metres.push_back(MetreMark{control->time, numerator, denominator});
        }
    }
    return map;
}
