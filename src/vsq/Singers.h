// Who sings a voice track: the singer changes of a track read as singers, the
// same for the VSQ file and every file exported beside it.
#pragma once

#include "song/Song.h"
#include "vsq/EventSections.h"

class StringPool;

// Takes the program, language and name of a singer change.
void applySingerChange(SingerState& singer, const SingerChange& change, const StringPool& strings);

// The singer at the track's start: the default one, changed by the singer
// changes among the controls at time 0.
SingerState initialSinger(const Track& track, const StringPool& strings);
