// The hints of the compile on standard error: for a lyric with more syllables
// than notes, its counts and the first syllable left over; for a track whose
// lyrics ran out, how many notes sing the default syllable and where, and the
// last syllable sung before them with its lyric's line; for a
// loop left open in a track not selected at the end, where it opens.
#pragma once

struct LyricReport;

// Prints one line per surplus lyric, per loop left open unreported and, when
// the song has no errors, per track with unsung notes; nothing for a song that
// gives each note its syllable and closes its loops.
void printLyricHints(const LyricReport& report, bool errorsReported);
