// Hints about sequences left from an earlier run, worded like the program's
// other hints: English, on standard error, after "tuvommlc: hint: ".
#include "driver/LeftoverSequences.h"

#include <string>
#include <vector>

#include "driver/CommandLine.h"
#include "driver/Console.h"
#include "driver/OutputFormats.h"
#include "platform/Platform.h"

void printLeftoverSequenceHints(const RunSettings& settings, int voiceTracks) {
    const std::string path = exportPath(settings, 't');
    const OutputFormat* format = outputFormatOf('t');
    if (path.empty() || format == nullptr) return;
    const std::vector<std::string> names = filesWrittenFor(*format, path);
    for (size_t i = static_cast<size_t>(voiceTracks); i < names.size(); ++i) {
        if (!platform::pathExists(names[i])) continue;
        printNote("hint: " + names[i] + " is left from an earlier run: this song has " +
                  std::to_string(voiceTracks) + " voice track" + (voiceTracks == 1 ? "" : "s") +
                  ", and -t wrote " + names.front() +
                  (voiceTracks == 1 ? std::string() : " to " + names[voiceTracks - 1]) + " only");
    }
}
