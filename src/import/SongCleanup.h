// What every reader does last: the song made into one the compiler could have
// written. Notes in time order and never sounding together, values within their
// ranges, curve points inside the track, the tempo map starting at time 0 with
// every time signature on a bar line, at most 32 voice tracks. Each change
// made is noted as not carried.
#pragma once

#include <cstdint>

#include "import/ImportedSong.h"

// The latest tick a song may reach: a track's time is a 32-bit count.
inline constexpr int64_t kLastImportedTick = INT32_MAX;

void cleanUpImportedSong(ImportedSong& song);
