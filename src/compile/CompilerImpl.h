// The compiler's implementation class and its per-track state, shared by the
// files that implement its command families (core timing, loops and track
// selection, lyrics, control commands, envelopes). Not used outside compile/.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compile/Compiler.h"
#include "compile/EnvelopeTable.h"
#include "compile/LyricReport.h"
#include "compile/SourceTrace.h"
#include "diag/Diagnostic.h"
#include "diag/Message.h"
#include "song/BarGrid.h"
#include "song/CurveTable.h"
#include "song/Limits.h"
#include "song/Pitch.h"
#include "song/Song.h"
#include "song/Ticks.h"

// Bounds that keep hostile input from overflowing tick arithmetic or memory.
// The event bound is on the whole song, all tracks and sequences together.
inline constexpr int64_t kMaxTrackTime = INT32_MAX;
inline constexpr int64_t kMaxSongEvents = 4'000'000;

struct LoopFrame {
    int32_t count = kDefaultLoopCount;
    int32_t start = 0;
    int32_t exit = -1;
    int32_t startNotes = 0, startControls = 0, startEnvelopes = 0;
    int32_t exitNotes = -1, exitControls = -1, exitEnvelopes = -1;
    SourceLocation opened;  // its "/:", for the hint on a loop never closed
    size_t startRests = 0;  // the rests an editor's trace held when it opened
};

// A singer registered by @SGR: what a singer change to it carries.
struct SingerVoice {
    int32_t program = 0;
    int32_t language = 0;
};

struct EnvelopeSlot {
    int32_t number = 0;
    int32_t scale = 0;  // kept as written; it changes nothing (a warning says so)
    int32_t place = 0;  // the "@LE" that set it: its index in the track's envelope places
    // The definition the slot last laid (its serial; 0 for none) and where the
    // track keeps its shape, which the envelopes it lays name while it holds.
    uint64_t shapeSerial = 0;
    int32_t shapeIndex = 0;
};

// Every curve's default by curve id; slot 0 is no curve.
constexpr std::array<int32_t, kLastCurveId + 1> defaultCurveValues() {
    std::array<int32_t, kLastCurveId + 1> values{};
    for (const CurveInfo& curve : kCurves) values[static_cast<size_t>(curve.id)] = curve.defaultValue;
    return values;
}

// The note parameters' defaults, by @Z index.
constexpr std::array<int32_t, kNoteParameters.size()> defaultNoteParameters() {
    std::array<int32_t, kNoteParameters.size()> values{};
    for (size_t i = 0; i < kNoteParameters.size(); ++i) values[i] = kNoteParameters[i].defaultValue;
    return values;
}

struct VibratoSetting {
    int32_t type = kDefaultVibratoType;
    int32_t startDepth = kVibratoPresets[kDefaultVibratoType].first;
    int32_t startRate = kVibratoPresets[kDefaultVibratoType].second;
};

struct SungLyric {
    size_t firstNote = 0;
    SourceLocation written;
};

struct TrackState {
    Track* track = nullptr;
    int32_t number = 0;  // 1-based, as selected in the source
    int32_t time = 0;
    int32_t octave = kDefaultOctave;
    int32_t defaultLength = kTicksPerQuarterNote;
    int32_t gate = kDefaultGate;
    int32_t transpose = 0;
    bool joinPending = false;
    int32_t referenceTempo = 0;
    std::array<int32_t, kNoteParameters.size()> noteParams = defaultNoteParameters();
    int32_t velocity = kDefaultVelocity;
    std::array<int32_t, kLastCurveId + 1> curveValues = defaultCurveValues();  // by curve id
    // By curve id (0 unused), then slot.
    std::array<std::array<EnvelopeSlot, kEnvelopeSlots>, kLastCurveId + 1> envelopeSlots{};
    // The slots laid over each note that hold an envelope, one bit each in
    // the order they are laid (laidSlotBit): spares 7% of the instructions of
    // checking a 100k-note song, which scanned every slot for every note.
    uint64_t laidSlots = 0;
    VibratoSetting vibrato;
    int32_t vibratoDelay = kDefaultVibratoDelay;
    std::vector<LoopFrame> loops;
    int32_t lyricCursor = 0;
    // Whether a syllable reached each note, for the lyric hints; parallel to
    // track->notes.
    std::vector<bool> sung;
    // Each lyric that gave this track syllables, by the first note it reached,
    // in the order of the notes: the hints name the lyric that sang a note.
    std::vector<SungLyric> sungLyrics;
    // Set when a control was moved past controls recorded after it (a metre
    // change moved to a bar line); the controls are put in time order at the end.
    bool controlsOutOfOrder = false;
};

class CompilerImpl final : public Compiler {
public:
    explicit CompilerImpl(Diagnostics& diagnostics);
    ~CompilerImpl() override;

    void setSong(Song* song) override;
    void setDictionary(const PhoneticDictionary* dictionary) override;
    void setStrings(const StringPool* strings) override;
    void setSourceTrace(SourceTrace* trace) override;
    void command(int code, int count, const CommandParam* params,
                 const CommandPlace& place) override;
    void lyrics(const char16_t* chars, const CommandPlace& place) override;
    LyricReport lyricReport() const override;

    // --- shared checks (Compiler.cpp); each reports and returns false ---
    bool checkCount(int count, int min, int max);  // max < 0: unlimited
    bool checkNumbers(int count, const CommandParam* params);
    bool checkRange(int64_t value, int64_t low, int64_t high, std::string_view detail = {});
    // Reports about the command or lyric being compiled.
    void error(const msg::Message& message, std::string_view detail = {});
    // The same, with a note that says more (diag/Diagnostic.h).
    void error(const msg::Message& message, std::string_view detail, DiagnosticNote note);
    void warning(const msg::Message& message, std::string_view detail = {});
    // A length, delay or duration from the source in ticks, after reference-
    // tempo scaling. 64-bit so that hostile values cannot overflow.
    int64_t scaleDuration(const TrackState& state, int64_t value) const;
    // Advances the track's time, or reports and returns false when the result
    // would leave the 32-bit tick range.
    bool advanceTime(TrackState& state, int64_t ticks);
    // Reports and returns false when `added` more events would take the song
    // past `eventLimit`.
    bool roomForEvents(int64_t added);
    TrackState& trackState(int index);  // creates tracks and states as needed

    // --- core timing commands (Compiler.cpp) ---
    void note(TrackState& state, int code, int count, const CommandParam* params);
    void rest(TrackState& state, int count, const CommandParam* params);
    void join(TrackState& state);
    void defaultLength(TrackState& state, int count, const CommandParam* params);
    void octave(TrackState& state, int code, int count, const CommandParam* params);
    void gate(TrackState& state, int count, const CommandParam* params);
    void transpose(TrackState& state, int count, const CommandParam* params);
    void tempo(TrackState& state, int count, const CommandParam* params);
    void referenceTempo(TrackState& state, int count, const CommandParam* params);
    void timeSignature(TrackState& state, int count, const CommandParam* params);
    // Reports a command the compiler does not carry out, naming it and the
    // known one it is nearest to.
    void unknownCommand(int code);
    // Moves a metre change inside a bar to the next bar line, with a warning,
    // and records it among the song's bar lines.
    void placeMetreChange(TrackState& state, ControlEvent& change);
    // At the end of the source: places the song's metre changes once more, all
    // of them in time order (a track compiled later may have put a change
    // before those placed so far), and puts moved controls in time order.
    void settleMetreChanges();

    // --- loops and track selection (Loops.cpp, TrackSelection.cpp) ---
    void loopStart(TrackState& state, int count, const CommandParam* params);
    void loopExit(TrackState& state);
    void loopEnd(TrackState& state);
    void endOfSource(TrackState& state);
    void selectTracks(int count, const CommandParam* params);

    // --- lyrics (Lyrics.cpp) ---
    void lyricsForTrack(TrackState& state, const char16_t* chars);

    // --- events with their locations ---
    // Appends a note, a control, an envelope laid by the slot `slot`, each
    // with the location it is written at.
    NoteEvent& appendNote(TrackState& state);
    ControlEvent& appendControl(TrackState& state);
    EnvelopeEvent& appendEnvelope(TrackState& state, const EnvelopeSlot& slot);
    // The index the "@LE" being compiled takes among the track's envelope places.
    int32_t envelopePlace(TrackState& state);

    // --- what the lyric hints need (LyricReport.cpp) ---
    void surplusLyric(const TrackState& state, int64_t syllables, int64_t waitingNotes,
                      std::string leftOver);

    // --- control commands (ControlCommands.cpp) ---
    void velocity(TrackState& state, int count, const CommandParam* params);
    void noteParameters(TrackState& state, int count, const CommandParam* params);
    void vibrato(TrackState& state, int count, const CommandParam* params);
    void singerChange(TrackState& state, int count, const CommandParam* params);
    void singerRegistration(int count, const CommandParam* params);
    void curve(TrackState& state, const CurveInfo& info, int count, const CommandParam* params);
    void parameterEnvelope(TrackState& state, int count, const CommandParam* params);

    // --- envelopes (Envelopes.cpp) ---
    void defineEnvelope(int count, const CommandParam* params);
    void layEnvelopeCommand(TrackState& state, int count, const CommandParam* params);
    // Lays the track's envelopes over note `noteIndex` (it just got its lyric).
    void layEnvelopes(TrackState& state, size_t noteIndex);

    Song* song = nullptr;
    std::vector<int> selection{0};
    std::vector<std::unique_ptr<TrackState>> tracks;
    int32_t tempoValue = kDefaultTempo;
    BarGrid bars;
    std::unique_ptr<EnvelopeTable> envelopes;
    std::map<std::string, SingerVoice> singers;  // by name
    const PhoneticDictionary* dictionary = nullptr;
    const StringPool* strings = nullptr;
    SourceTrace* trace = nullptr;  // only in an editor's run
    int64_t eventLimit = kMaxSongEvents;  // lowered by tests only
    // Values of the controls that loop ends copied: a control may hold
    // thousands, so they count against the budget like events.
    int64_t copiedValues = 0;
    // The two bounds above are reported once per run: after the first report
    // every further command that passes them is dropped silently, so a hostile
    // source cannot flood the console with millions of identical lines.
    bool eventLimitReported = false;
    bool timeLimitReported = false;
    void reportTimeLimit();
    LyricReport surplusReport;  // the surplus lyrics so far
    Diagnostics& diagnostics;
    // The command or lyric being compiled, during its call: its reports and
    // events take their location from it.
    const CommandPlace* currentPlace = nullptr;
};
