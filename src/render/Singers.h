// Who sings a voice track: its singer changes as singers with their names,
// and the one rule every file names a track after.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "song/Limits.h"
#include "song/Song.h"

class StringPool;

struct Singer {
    int32_t tick = 0;  // song ticks from which it sings
    int32_t program = kDefaultSingerProgram;
    int32_t language = kDefaultSingerLanguage;
    std::string name = kDefaultSingerName;  // code page 932 bytes, as the VSQ file carries them
    bool chosen = false;  // set by a singer change, not the track's default
};

// The singers of a track in time order: the one at tick 0 (the default,
// changed by the singer changes at tick 0), then one for each later change up
// to the start of the track's last note; a change after that sings nothing.
std::vector<Singer> singerTimeline(const Track& track, const StringPool& strings);

// The singer sounding at `tick`: the last of the timeline that starts there
// or before. A change at a note's own tick sings that note.
const Singer& singerAt(std::span<const Singer> timeline, int64_t tick);
