// Where the program's data (the dictionary and the built-in include folder),
// its modules and its manual are, found from the program's own folder: an
// installed program (PREFIX/bin) reads them from PREFIX's share and lib
// folders, a program in its build folder from beside itself.
#pragma once

#include <string>

// The folder holding phonetic_symbols.dic and include/: `exeDir`'s parent's
// share/tuvommlc when that folder exists, `exeDir` otherwise.
std::string dataDirectory(const std::string& exeDir);

// The default phonetic dictionary: phonetic_symbols.dic in dataDirectory.
std::string defaultDictionaryPath(const std::string& exeDir);

// The module of the sung preview: TUVO_SUNG_PREVIEW_MODULE in `exeDir`'s
// parent's lib/tuvommlc when that folder exists, in `exeDir` otherwise.
std::string sungPreviewModulePath(const std::string& exeDir);

// The installed manual (in `exeDir`'s parent's share/doc/tuvommlc) when it
// exists; otherwise the manual's place in the source tree, doc/manual.md.
std::string manualPath(const std::string& exeDir);
