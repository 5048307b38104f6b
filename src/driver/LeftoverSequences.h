// After a run that wrote sequences (-t), the sequences an earlier run of a song
// with more voice tracks left: they are not removed (they may be kept on
// purpose), but would look current, so a hint names them.
#pragma once

struct RunSettings;

// Prints a hint on standard error for every file named like the sequence of a
// voice track beyond `voiceTracks` that exists.
void printLeftoverSequenceHints(const RunSettings& settings, int voiceTracks);
