// What the language server asks of the compiler, and what it gets back: a
// check of one document with the editor's open buffers in front of the disk,
// or a compile that writes the files. The program hands the server an
// implementation built on its pipeline, so the server knows no stage of it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A place in a file, as the compiler's locations have it: the path as the
// run opened it, the line from 1 and the columns (UTF-16 units) from 0.
struct CheckedPlace {
    std::string path;
    int32_t line = 0;  // 0 when the report has no place
    int32_t column = 0;
    int32_t endColumn = 0;
};

enum class CheckedSeverity { Error, Warning, Information };

// A step of the way a report came: a macro's body or use, an include.
struct CheckedStep {
    std::string what;  // English: "written in the macro's body", "macro used here", "included here"
    CheckedPlace place;
};

struct CheckedMessage {
    CheckedSeverity severity = CheckedSeverity::Error;
    std::string id;      // the catalogue's id, or the hint's
    std::string text;    // UTF-8: the message as the console prints it, with its detail
    std::string catalogueText;  // UTF-8: the catalogue's text alone, empty for a hint
    CheckedPlace place;
    std::vector<CheckedStep> chain;
};

// A note as compiled, at the place it is written in the text as read.
struct CheckedNote {
    CheckedPlace place;
    int32_t track = 0;        // from 1
    int32_t key = 0;          // MIDI note number
    int64_t ticks = 0;        // written length
    int64_t bar = 0, beat = 0, tick = 0;  // where it starts
    std::string syllable;     // UTF-8
    std::string symbols;      // phonetic symbols
    bool defaultSyllable = false;  // no lyric reached it
};

// A note a syllable was given: where it sounds and its pitch.
struct CheckedLanding {
    int32_t track = 0;  // from 1
    int32_t key = 0;    // MIDI note number
    int64_t bar = 0, beat = 0;
};

// A syllable of a lyric string, at its characters in the string, with the
// first notes it was given (a loop gives it the notes it copies too).
struct CheckedSyllable {
    static constexpr size_t kLandingsKept = 8;
    CheckedPlace place;
    std::string text;  // UTF-8
    std::vector<CheckedLanding> landings;  // the first kLandingsKept
    int64_t landingCount = 0;              // all of them
};

struct CheckedRest {
    CheckedPlace place;
    int32_t track = 0;  // from 1
    int64_t ticks = 0;
    int64_t bar = 0, beat = 0, tick = 0;  // where it starts
};

struct CheckResult {
    std::vector<CheckedMessage> messages;
    std::vector<CheckedNote> notes;      // every note written in the checked document
    std::vector<CheckedSyllable> syllables;  // every syllable given a note, as the run went
    std::vector<CheckedRest> rests;      // every rest written
    std::vector<std::string> filesRead;  // the paths of every file the check read
};

// Which files a compile writes besides the VSQ file.
struct CompileOutputs {
    bool midi = false;
    bool musicxml = false;
    bool ustx = false;
    bool ust = false;
};

struct CompileResult {
    bool succeeded = false;
    int errors = 0;
    int warnings = 0;
    std::vector<std::string> outputs;  // absolute paths of the files written
};

// Open buffers by path, as UTF-8 text.
using OpenBuffers = std::map<std::string, std::string>;

class Checker {
public:
    virtual ~Checker() = default;
    virtual CheckResult check(const std::string& path, const OpenBuffers& buffers) = 0;
    virtual CompileResult compile(const std::string& path, const OpenBuffers& buffers,
                                  const CompileOutputs& outputs) = 0;
    // The include folders searched after the including file's own, for
    // completing and following include names.
    virtual std::vector<std::string> includeFolders() const = 0;
    // The text of the file at `path` on disk as UTF-8, read as the run reads
    // a source (code page 932 unless it is marked or -u says UTF-8); nothing
    // when it cannot be read or is too large to be a song.
    virtual std::optional<std::string> fileText(const std::string& path) const = 0;
};
