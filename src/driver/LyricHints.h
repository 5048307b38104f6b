// The lyric hints on standard error: for a lyric with more syllables than
// notes, its counts and the first syllable left over; for a track whose
// lyrics ran out, how many notes sing the default syllable and where.
#pragma once

struct LyricReport;

// Prints one line per surplus lyric and, unless the run has reported errors,
// per track with unsung notes; nothing for a song that gives each note its
// syllable.
void printLyricHints(const LyricReport& report, bool errorsReported);
