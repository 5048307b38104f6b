// The rows of the output formats.
#include "driver/OutputFormats.h"

#include "export/MidiExporter.h"
#include "export/ScoreExporter.h"

namespace {

constexpr OutputFormat kOutputFormats[] = {
    {'m', "MIDI:     ", " -m midi-filename      also write a Standard MIDI File",
     " -m midi-filename             also write a Standard MIDI File of the song",
     [](const Song& song, const StringPool&, const std::string& path, OutputBatch& outputs) {
         return createMidiExporter()->write(song, path, outputs);
     }},
    {'x', "MUSICXML: ", " -x musicxml-filename  also write a MusicXML score",
     " -x musicxml-filename         also write a MusicXML score of the song",
     [](const Song& song, const StringPool&, const std::string& path, OutputBatch& outputs) {
         return createScoreExporter()->write(song, path, outputs);
     }},
};

}  // namespace

std::span<const OutputFormat> outputFormats() { return kOutputFormats; }

const OutputFormat* outputFormatOf(char letter) {
    for (const OutputFormat& format : outputFormats()) {
        if (format.letter == letter) return &format;
    }
    return nullptr;
}
