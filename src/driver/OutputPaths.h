// Refusing output paths that would destroy what the run reads or writes: an
// output (the VSQ file, the MIDI file, the score, the project, the sequences)
// naming a file the run has read, or naming another output of the same run.
#pragma once

class Diagnostics;
class FilesRead;
struct RunSettings;

// True when no output names a file the run has read (`filesRead`) and every
// output names a file of its own; otherwise each refused output is reported
// to `diagnostics` as an error.
bool outputPathsAreAllowed(const RunSettings& settings, const FilesRead& filesRead,
                           Diagnostics& diagnostics);
