// Gathering of the tempo map: at each time the first control in track order,
// then in sequence order, is the one that counts.
#include "vsq/TempoMap.h"

#include <algorithm>
#include <map>

#include "compile/Song.h"

namespace {

// The values of the first control of `subtype` at each time that carries
// `valueCount` positive values.
std::map<int32_t, const ControlEvent*> firstAtEachTime(const Song& song, int32_t subtype,
                                                      size_t valueCount) {
    std::map<int32_t, const ControlEvent*> first;
    for (int k = 0; k < song.trackCount(); ++k) {
        for (const ControlEvent& control : song.track(k).controls) {
            if (control.subtype != subtype || control.values.size() < valueCount) continue;
            if (!std::all_of(control.values.begin(),
                             control.values.begin() + static_cast<std::ptrdiff_t>(valueCount),
                             [](int32_t value) { return value > 0; }))
                continue;
            first.try_emplace(control.time, &control);
        }
    }
    return first;
}

}  // namespace

TempoMap collectTempoMap(const Song& song) {
    TempoMap map;
    map.tempos.push_back({0, 120});
    for (const auto& [time, control] : firstAtEachTime(song, ControlTempo, 1)) {
        if (time < 0) continue;
        if (time == 0) map.tempos.front().bpm = control->values[0];
        else map.tempos.push_back({time, control->values[0]});
    }
    map.metres.push_back({0, 4, 4});
    for (const auto& [time, control] : firstAtEachTime(song, ControlTimeSignature, 2)) {
        if (time < 0) continue;
        const MetreMark mark{time, control->values[0], control->values[1]};
        if (time == 0) map.metres.front() = mark;
        else map.metres.push_back(mark);
    }
    return map;
}
