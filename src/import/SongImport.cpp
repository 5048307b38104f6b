// Choosing the reader for each file.
#include "import/SongImport.h"

#include <string_view>

#include "import/MidiReader.h"
#include "import/SongCleanup.h"
#include "import/StandardMidiFile.h"
#include "import/UstReader.h"
#include "import/UstxReader.h"
#include "import/VsqReader.h"

namespace {

std::string_view extensionOf(std::string_view path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find_first_of("/\\", dot) != std::string_view::npos) return {};
    return path.substr(dot + 1);
}

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

const char* formatName(ImportFormat format) {
    switch (format) {
    case ImportFormat::Vsq: return "a VSQ file";
    case ImportFormat::Midi: return "a MIDI file";
    case ImportFormat::Ust: return "a UTAU sequence";
    case ImportFormat::Ustx: return "an OpenUtau project";
    }
    return "";
}

bool readFile(ImportFormat format, const ImportFile& file, const SyllableDictionary& dictionary, ImportedSong& song,
              std::string& problem) {
    switch (format) {
    case ImportFormat::Vsq: return readVsqFile(file.bytes, song, problem);
    case ImportFormat::Midi: return readMidiLyricsFile(file.bytes, dictionary, song, problem);
    case ImportFormat::Ust: return readUstFile(file.bytes, dictionary, song, problem);
    case ImportFormat::Ustx: return readUstxFile(file.bytes, dictionary, song, problem);
    }
    return false;
}

size_t noteCount(const ImportedSong& song) {
    size_t count = 0;
    for (const ImportedTrack& track : song.tracks) count += track.notes.size();
    return count;
}

}  // namespace

bool detectImportFormat(const ImportFile& file, ImportFormat& format) {
    if (looksLikeVsqFile(file.bytes)) {
        format = ImportFormat::Vsq;
        return true;
    }
    if (looksLikeMidiFile(file.bytes)) {
        format = ImportFormat::Midi;
        return true;
    }
    if (looksLikeUstFile(file.bytes)) {
        format = ImportFormat::Ust;
        return true;
    }
    if (looksLikeUstxFile(file.bytes)) {
        format = ImportFormat::Ustx;
        return true;
    }
    const std::string_view extension = extensionOf(file.path);
    if (sameLetters(extension, "ust")) {
        format = ImportFormat::Ust;
        return true;
    }
    if (sameLetters(extension, "ustx")) {
        format = ImportFormat::Ustx;
        return true;
    }
    if (sameLetters(extension, "vsq")) {
        format = ImportFormat::Vsq;
        return true;
    }
    for (const char* midi : {"mid", "midi", "kar", "smf"}) {
        if (sameLetters(extension, midi)) {
            format = ImportFormat::Midi;
            return true;
        }
    }
    return false;
}

bool importSong(const std::vector<ImportFile>& files, const SyllableDictionary& dictionary, ImportedSong& song,
                std::string& problem) {
    if (files.empty()) {
        problem = "no file to import";
        return false;
    }
    std::vector<ImportFormat> formats;
    for (const ImportFile& file : files) {
        ImportFormat format{};
        if (!detectImportFormat(file, format)) {
            problem = file.path + ": neither a VSQ file, a MIDI file, a UTAU sequence nor an OpenUtau project";
            return false;
        }
        formats.push_back(format);
    }
    if (files.size() > 1) {
        for (size_t i = 0; i < files.size(); ++i) {
            if (formats[i] != ImportFormat::Ust) {
                problem = files[i].path + " is " + formatName(formats[i]) +
                          "; only UTAU sequences are imported several at a time, as the tracks of one song";
                return false;
            }
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (!readFile(formats[i], files[i], dictionary, song, problem)) {
            problem = files[i].path + ": " + problem;
            return false;
        }
        if (noteCount(song) > kMostImportedNotes) {
            problem = files[i].path + ": more than " + std::to_string(kMostImportedNotes) + " notes, more than a song may hold";
            return false;
        }
    }
    cleanUpImportedSong(song);
    if (song.tracks.empty()) {
        problem = files.front().path + ": the file holds no note";
        return false;
    }
    return true;
}
