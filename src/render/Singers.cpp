// Singer changes as singers.
#include "render/Singers.h"

#include <algorithm>

#include "text/CharCode.h"
#include "text/StringPool.h"

namespace {

void applySingerChange(Singer& singer, const SingerChange& change, const StringPool& strings) {
    singer.program = change.program;
    singer.language = change.language;
    const std::u16string* name = strings.get(change.nameId);
    singer.name = name != nullptr ? codesToBytes(*name) : std::string();
    singer.chosen = true;
}

}  // namespace

std::vector<Singer> singerTimeline(const Track& track, const StringPool& strings) {
    std::vector<Singer> timeline(1);
    const int64_t lastStart = track.notes.empty() ? -1 : track.notes.back().time;
    for (const ControlEvent& control : track.controls) {
        const SingerChange* change = control.as<SingerChange>();
        if (change == nullptr) continue;
        // The controls are in time order.
        if (control.time > lastStart && control.time != 0) break;
        if (control.time != 0) timeline.push_back(timeline.back());
        timeline.back().tick = control.time;
        applySingerChange(timeline.back(), *change, strings);
    }
    return timeline;
}

const Singer& singerAt(std::span<const Singer> timeline, int64_t tick) {
    const auto after = std::upper_bound(timeline.begin() + 1, timeline.end(), tick,
                                        [](int64_t at, const Singer& singer) { return at < singer.tick; });
    return *(after - 1);
}
