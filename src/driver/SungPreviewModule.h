// The sung preview's module: loaded when the command line takes -a, so that
// no other run loads the speech, time-stretch and sound file libraries (and
// the dozens of libraries they pull in), and the exporters it makes.
#pragma once

#include <memory>
#include <string>

class SungPreviewExporter;

// Why -a is refused when the module is missing or cannot be loaded, as in a
// build without the preview's libraries, which builds no module.
inline constexpr const char kSungPreviewMissing[] =
    "this build has no sung preview: build it again with the libraries of espeak-ng, "
    "Rubber Band and libsndfile installed (Debian: libespeak-ng-dev librubberband-dev "
    "libsndfile1-dev)";

// Loads the module found from the program's folder `exeDir` (DataPaths.h)
// unless one is loaded; true when one is, with its factory.
bool loadSungPreview(const std::string& exeDir);

// A new exporter of the loaded module; null when none is loaded.
std::unique_ptr<SungPreviewExporter> createSungPreviewExporter();
