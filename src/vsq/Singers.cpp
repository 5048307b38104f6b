// Singer changes as singers.
#include "vsq/Singers.h"

#include "text/CharCode.h"
#include "text/StringPool.h"

namespace {

int32_t valueAt(const ControlEvent& control, size_t index) {
    return index < control.values.size() ? control.values[index] : 0;
}

}  // namespace

void applySingerChange(SingerState& singer, const ControlEvent& change,
                       const StringPool& strings) {
    singer.program = valueAt(change, 0);
    singer.language = valueAt(change, 1);
    const std::u16string* name = strings.get(valueAt(change, 2));
    singer.name = name != nullptr ? codesToBytes(*name) : std::string();
}

SingerState initialSinger(const Track& track, const StringPool& strings) {
    SingerState singer;
    for (const ControlEvent& control : track.controls) {
        if (control.time != 0) break;
        if (control.subtype == ControlSinger) applySingerChange(singer, control, strings);
    }
    return singer;
}
