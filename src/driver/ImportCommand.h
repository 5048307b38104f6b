// The import mode: "tuvommlc --import FILE... [-o OUT.mml] [-p DICT] [-u]"
// turns a VSQ file, a MIDI file with lyrics, UTAU sequences or an OpenUtau
// project into an MML source, with a dictionary of its own beside it when the
// song sings syllables the dictionary would not give.
#pragma once

#include <string>
#include <vector>

// True when the arguments ask for the import mode.
bool asksForImport(const std::vector<std::string>& args);

// Runs the import after the banner; returns the exit status (0 when the MML
// was written, 1 otherwise).
int runImport(const std::vector<std::string>& args, const std::string& exeDir);

// The help's lines for the import mode.
const std::vector<std::string>& importHelpLines();
