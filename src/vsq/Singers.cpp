// Singer changes as singers.
#include "vsq/Singers.h"

#include "text/CharCode.h"
#include "text/StringPool.h"

void applySingerChange(SingerState& singer, const SingerChange& change,
                       const StringPool& strings) {
    singer.program = change.program;
    singer.language = change.language;
    const std::u16string* name = strings.get(change.nameId);
    singer.name = name != nullptr ? codesToBytes(*name) : std::string();
}

SingerState initialSinger(const Track& track, const StringPool& strings) {
    SingerState singer;
    for (const ControlEvent& control : track.controls) {
        if (control.time != 0) break;
        if (const SingerChange* change = control.as<SingerChange>()) applySingerChange(singer, *change, strings);
    }
    return singer;
}
