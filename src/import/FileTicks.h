// A file's time unit turned into the song's (480 ticks per quarter note).
#pragma once

#include <cstdint>

#include "song/Ticks.h"

class FileTicks {
public:
    explicit FileTicks(int64_t ticksPerQuarter) : perQuarter_(ticksPerQuarter > 0 ? ticksPerQuarter : 1) {}
    // `ticks` of the file in song ticks, rounded to the nearest.
    int64_t toSong(int64_t ticks) const {
        if (perQuarter_ == kTicksPerQuarterNote) return ticks;
        const int64_t scaled = ticks * kTicksPerQuarterNote;
        return (scaled + (scaled >= 0 ? perQuarter_ / 2 : -perQuarter_ / 2)) / perQuarter_;
    }
    // True when every tick of the file is a whole number of song ticks.
    bool exact() const { return kTicksPerQuarterNote % perQuarter_ == 0; }

private:
    int64_t perQuarter_;
};
