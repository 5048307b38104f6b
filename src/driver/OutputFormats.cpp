// The rows of the output formats.
#include "driver/OutputFormats.h"

#include "driver/CommandLine.h"
#include "driver/SungPreviewModule.h"
#include "writers/midi/MidiExporter.h"
#include "writers/musicxml/ScoreExporter.h"
#include "writers/sung/SungPreviewExporter.h"
#include "song/Limits.h"
#include "writers/ust/UstExporter.h"
#include "writers/ustx/UstxExporter.h"

namespace {

bool writeMidi(const RenderedSong& song, const RunSettings& settings, const std::string& path,
               OutputSink& sink) {
    const MidiLyricText lyrics = settings.midiLyricsInUtf8 ? MidiLyricText::Utf8 : MidiLyricText::Cp932;
    return createMidiExporter(lyrics)->write(song, path, sink);
}

// A format whose writer needs nothing of the settings but the path.
template <auto create>
bool writeWith(const RenderedSong& song, const RunSettings&, const std::string& path,
               OutputSink& sink) {
    return create()->write(song, path, sink);
}

// The sung preview, by the module the command line loaded when it took -a.
bool writeSungPreview(const RenderedSong& song, const RunSettings&, const std::string& path,
                      OutputSink& sink) {
    const std::unique_ptr<SungPreviewExporter> exporter = createSungPreviewExporter();
    return exporter != nullptr && exporter->write(song, path, sink);
}

// One sequence per voice track: every name a song's tracks may take.
std::vector<std::string> sequenceFiles(const std::string& path) {
    std::vector<std::string> files;
    for (int number = 1; number <= kMaxTracks; ++number) files.push_back(ustTrackPath(path, number));
    return files;
}

constexpr OutputFormat kOutputFormats[] = {
    {'m', UsageGroup::Exports, "MIDI:     ", " -m midi-filename      also write a Standard MIDI File",
     " -m midi-filename             also write a Standard MIDI File of the song", writeMidi,
     kMidiCurves, nullptr},
    {'x', UsageGroup::Exports, "MUSICXML: ", " -x musicxml-filename  also write a MusicXML score",
     " -x musicxml-filename         also write a MusicXML score of the song", writeWith<createScoreExporter>,
     {}, nullptr},
    {'s', UsageGroup::Projects, "USTX:     ", " -s ustx-filename      also write an OpenUtau project",
     " -s ustx-filename             also write an OpenUtau project of the song", writeWith<createUstxExporter>,
     kUstxCurves, nullptr},
    {'t', UsageGroup::Projects, "UST:      ",
     " -t ust-filename       also write UTAU sequences (NAME-1.ust, ...)",
     " -t ust-filename              also write a UTAU sequence per voice track, named like\n"
     "                              ust-filename with -1, -2, ... before its extension",
     writeWith<createUstExporter>, kUstCurves, sequenceFiles},
    {'a', UsageGroup::Preview, "WAV:      ", " -a wav-filename       also write a sung preview (WAV)",
     " -a wav-filename              also write a sung preview of the song, a WAV file",
     writeSungPreview, kSungPreviewCurves, nullptr},
};

}  // namespace

std::span<const OutputFormat> outputFormats() { return kOutputFormats; }

const OutputFormat* outputFormatOf(char letter) {
    for (const OutputFormat& format : outputFormats()) {
        if (format.letter == letter) return &format;
    }
    return nullptr;
}

std::vector<std::string> filesWrittenFor(const OutputFormat& format, const std::string& path) {
    return format.filesFor != nullptr ? format.filesFor(path) : std::vector<std::string>{path};
}
