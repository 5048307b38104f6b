// Choosing the reader for each file.
#include "import/SongImport.h"

#include <string_view>

#include "import/SongCleanup.h"
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

bool readFile(ImportFormat format, const ImportFile& file, ImportedSong& song, std::string& problem) {
    switch (format) {
    case ImportFormat::Vsq: return readVsqFile(file.bytes, song, problem);
    default: break;
    }
    problem = std::string(formatName(format)) + " cannot be read yet";
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
    const std::string_view extension = extensionOf(file.path);
    if (sameLetters(extension, "vsq")) {
        format = ImportFormat::Vsq;
        return true;
    }
    return false;
}

bool importSong(const std::vector<ImportFile>& files, ImportedSong& song, std::string& problem) {
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
        if (!readFile(formats[i], files[i], song, problem)) {
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
