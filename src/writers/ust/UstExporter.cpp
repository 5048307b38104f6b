// The sequence export. Each voice track's note parts are laid end to end from
// tick 0: a gap becomes a rest "R", and a part that runs into the next one is
// cut where that one starts (a sequence has one note at a time). A tempo
// change inside a rest splits the rest there. A note with a tempo change
// inside it gets the tempo that makes it last as long as it does in the song,
// so that every note starts at its time in seconds; the true tempo comes back
// on the next note or rest. Each note takes its volume from the mean dynamics
// over it, its consonant speed from its velocity, its pitch points from the
// pitch steps inside it (at most 50, the least needed left out) and its
// vibrato from the one mapping of vibratos to sound.
#include "writers/ust/UstExporter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <span>
#include <string_view>
#include <vector>

#include "output/BlockOutput.h"
#include "output/NumberText.h"
#include "output/OutputSink.h"
#include "platform/Platform.h"
#include "render/EditorCurves.h"
#include "render/RenderedSong.h"
#include "song/TempoMap.h"
#include "text/CharCode.h"

namespace {

constexpr std::string_view kNewline = "\r\n";
constexpr std::string_view kRestLyric = "R";
// The most characters of a section's text but its lyric and pitch points: its
// fixed texts and up to 10 numbers. With every section put straight into the
// block, saves 14% of the instructions of the sequences of a 100k-note song.
constexpr size_t kMostSectionText = 512;
// The most characters of a key with its "=" and the line's end.
constexpr size_t kMaxKeyText = 16;
constexpr int32_t kRestNoteNumber = 60;
constexpr size_t kMaxPitchPoints = 50;
// The widest bend a pitch point carries: its ys are tens of cents within
// -204.8..204.7.
constexpr int32_t kMaxPointCents = 2047;
// How far before the note's start its first point goes: readers replace that
// point's value by the note before's pitch, so it carries nothing of the bend
// and lies outside the note.
constexpr int64_t kLeadInTenthsOfMs = 1;
// The tempo in hundredths of a beat a minute that a tick takes 12 500 / tempo
// ms at (480 ticks a quarter note).
constexpr double kMsPerTickTimesHundredthsBpm = 12500.0;
// The tempos a sequence's note may carry, in hundredths: 10..512 beats a minute.
constexpr int64_t kSlowestTempo = 1000;
constexpr int64_t kFastestTempo = 51200;

// A tenth-unit number as a decimal: 35 as "3.5", -20 as "-2"; at most
// kMaxTenthsText characters.
constexpr size_t kMaxTenthsText = vsqtext::kMaxNumberText + 2;
char* putTenths(char* at, int64_t tenths) {
    if (tenths < 0) *at++ = '-';
    const int64_t magnitude = tenths < 0 ? -tenths : tenths;
    at = vsqtext::putDecimal(at, magnitude / 10);
    if (magnitude % 10 != 0) {
        *at++ = '.';
        *at++ = static_cast<char>('0' + magnitude % 10);
    }
    return at;
}

// A value copied as written, except that a control character (a line break
// would end the line) or a lead byte without its trail becomes a blank, and so
// does the "#" of a "[#" that readers would take for a section header. A
// double-byte character's trail byte is no "[". It takes as many characters
// as `bytes` has.
char* putValue(char* at, std::string_view bytes) {
    bool afterBracket = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (isLeadByte(byte)) {
            const int trail = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
            const bool whole = trail >= 0x40 && trail <= 0xFC && trail != 0x7F;
            if (whole) {
                *at++ = bytes[i++];
                *at++ = bytes[i];
            } else {
                *at++ = ' ';
            }
            afterBracket = false;
            continue;
        }
        const bool control = byte < 0x20 || byte == 0x7F;
        *at++ = control || (afterBracket && byte == '#') ? ' ' : static_cast<char>(byte);
        afterBracket = byte == '[';
    }
    return at;
}

// Cents as a point carries them: whole, rounded half away from zero, held
// within the points' range.
int32_t pointCents(double cents) {
    return static_cast<int32_t>(
        std::clamp<double>(std::round(cents), -kMaxPointCents, kMaxPointCents));
}

// A note's pitch points: ticks from the note's start and cents.
struct PitchPoint {
    int64_t tick;
    int32_t cents;
};

// The pitch over [start, end) as points: at the note's start, at each step
// inside it with the value before it held up to 5 ticks earlier (the
// projects' line, within the note), and at its end. Only the steps inside the
// note count, so no note takes in the next one's bend. The points are worked
// out as they are visited rather than held (a long note under a steep curve
// has millions), and can be visited again from any one of them on.

// The note's first point, at `cursor`, which stands at the note's start.
PitchPoint notePitchStart(const PitchSteps::Cursor& cursor, int64_t start) {
    return {start, pointCents(cursor.cents())};
}

// Visits the note's points after `from`, one of them, in order until `visit`
// returns false or the note's end was visited. From a point, the line goes on
// with its value, and a step's hold point lies after it. `cursor` stands at
// the note's start or before `from`.
template <typename Visit>
void notePitchAfter(PitchSteps::Cursor cursor, PitchPoint from, int64_t end, Visit visit) {
    int32_t value = from.cents;
    int64_t last = from.tick;
    cursor.moveTo(from.tick);
    const PitchSteps::Iterator stop = cursor.steps().end();
    for (auto step = cursor.after(); step != stop && step->tick < end; ++step) {
        // Within half a cent of the value held the step rounds to it: most
        // steps of a slow ramp are passed over without rounding.
        if (std::abs(step->cents - value) < 0.5) continue;
        const int32_t next = pointCents(step->cents);
        if (next == value) continue;
        const int64_t hold = int64_t{step->tick} - kStepHoldTicks;
        if (hold > last && !visit(PitchPoint{hold, value})) return;
        if (!visit(PitchPoint{step->tick, next})) return;
        last = step->tick;
        value = next;
    }
    visit(PitchPoint{end, value});
}

// The point between `a` and `b` (both the note's) that the line from one to
// the other misses most, the first of them if several do; a miss of 0 when
// it misses none.
struct Miss {
    double by = 0;
    PitchPoint point{};
    size_t index = 0;  // the point's among the note's points, when they are held
};
double missBy(PitchPoint a, PitchPoint b, PitchPoint point) {
    const double line = a.cents + static_cast<double>(b.cents - a.cents) *
                                      static_cast<double>(point.tick - a.tick) /
                                      static_cast<double>(b.tick - a.tick);
    return std::abs(point.cents - line);
}
Miss worstMiss(const PitchSteps::Cursor& cursor, PitchPoint a, PitchPoint b, int64_t end) {
    Miss worst;
    notePitchAfter(cursor, a, end, [&](const PitchPoint& point) {
        if (point.tick >= b.tick) return false;
        const double miss = missBy(a, b, point);
        if (miss > worst.by) worst = {miss, point};
        return true;
    });
    return worst;
}
// The same among the note's points held, those between indices `a` and `b`.
Miss worstMiss(std::span<const PitchPoint> points, size_t a, size_t b) {
    Miss worst;
    for (size_t i = a + 1; i < b; ++i) {
        const double miss = missBy(points[a], points[b], points[i]);
        if (miss > worst.by) worst = {miss, points[i], i};
    }
    return worst;
}

// The most points of a note held while they are chosen among: the points
// of a note under a steep curve are gone through again rather than held
// beyond this many. Held, they save 16% of the instructions of the sequences
// of a 100k-note song.
constexpr size_t kMostHeldPoints = size_t{1} << 16;

// The points of a note and how they are chosen among, kept from note to note for their room.
struct NotePoints {
    std::vector<PitchPoint> held;  // the note's points, up to kMostHeldPoints
    std::vector<PitchPoint> kept;  // those written
    std::vector<size_t> keptAt;    // their indices among `held`, when all are held
    std::vector<Miss> misses;      // of kept[k]..kept[k + 1]
};

// The note's points in `points.kept`, none when the pitch stays at 0 over the
// whole note; `cursor` stands at the note's start. Of more than
// kMaxPitchPoints, the first and last are kept and, of the others, those that
// the line through the kept ones misses most, one at a time, until as many are
// kept or the line misses none. Each pair of neighbours kept knows its worst
// miss, so a point kept has only its two sides looked at anew.
void notePitch(const PitchSteps::Cursor& cursor, int64_t start, int64_t end, NotePoints& points) {
    const PitchPoint first = notePitchStart(cursor, start);
    std::vector<PitchPoint>& held = points.held;
    held.assign(1, first);
    size_t count = 1;
    PitchPoint last = first;
    notePitchAfter(cursor, first, end, [&](const PitchPoint& point) {
        if (held.size() < kMostHeldPoints) held.push_back(point);
        ++count;
        last = point;
        return true;
    });
    std::vector<PitchPoint>& kept = points.kept;
    // Without a step inside the note its points are its start and its end.
    if (first.cents == 0 && count <= 2) {
        kept.clear();
        return;
    }
    if (count <= kMaxPitchPoints) {
        kept = held;
        return;
    }
    const bool allHeld = count == held.size();
    const auto worstBetween = [&](size_t k) {
        return allHeld ? worstMiss(held, points.keptAt[k], points.keptAt[k + 1])
                       : worstMiss(cursor, kept[k], kept[k + 1], end);
    };
    kept = {first, last};
    points.keptAt = {0, count - 1};
    std::vector<Miss>& misses = points.misses;
    misses.assign(1, worstBetween(0));
    while (kept.size() < kMaxPitchPoints) {
        size_t k = 0;
        for (size_t i = 1; i < misses.size(); ++i) {
            if (misses[i].by > misses[k].by) k = i;
        }
        if (misses[k].by == 0) break;
        const auto at = static_cast<std::ptrdiff_t>(k + 1);
        kept.insert(kept.begin() + at, misses[k].point);
        points.keptAt.insert(points.keptAt.begin() + at, misses[k].index);
        misses[k] = worstBetween(k);
        misses.insert(misses.begin() + at, worstBetween(k + 1));
    }
}

class UstText {
public:
    UstText(BlockOutput& out, const RenderedSong& song)
        : out_(out), song_(song), map_(song.tempoMap()), clock_(song.clock()) {}

    void header(std::string_view singer);
    // The note parts that sound and the rests between them, then the end; the
    // notes' volumes from `dynamics`, their pitch from `pitch`.
    void sequence(const VoiceTrack& voice, std::span<const BreakpointPoint> dynamics,
                  const PitchSteps& pitch);

private:
    static char* key(char* at, std::string_view name) {
        at = putText(at, name);
        *at++ = '=';
        return at;
    }
    static char* line(char* at) { return putText(at, kNewline); }
    static char* numberLine(char* at, std::string_view name, int64_t value) {
        return line(vsqtext::putDecimal(key(at, name), value));
    }
    // A tempo in hundredths of a beat a minute, with two decimals.
    static char* tempoLine(char* at, int64_t hundredths) {
        at = vsqtext::putDecimal(key(at, "Tempo"), hundredths / 100);
        *at++ = '.';
        *at++ = static_cast<char>('0' + hundredths % 100 / 10);
        *at++ = static_cast<char>('0' + hundredths % 10);
        return line(at);
    }
    // Opens the section of the next note or rest [start, end) with its length,
    // lyric and note number, and the tempo it is read at when that changes.
    char* openSection(char* at, int64_t start, int64_t end, std::string_view lyric,
                      int32_t noteNumber);
    // The tempo in hundredths a reader reads [start, end) at: the song's, or
    // when the tempo changes inside it or the reader has it start a
    // millisecond or more away from its time, the one that makes it end at its
    // time in the song.
    int64_t sectionTempo(int64_t start, int64_t end);
    void rest(int64_t start, int64_t end);
    void note(const NotePart& part, int64_t end, std::span<const BreakpointPoint> dynamics,
              PitchSteps::Cursor& pitch);
    char* pitch(char* at, const std::vector<PitchPoint>& points, int64_t start);

    BlockOutput& out_;
    const RenderedSong& song_;
    const TempoMap& map_;
    const TempoClock& clock_;
    int64_t section_ = 0;
    size_t nextTempo_ = 1;    // the first tempo change after the next section's start
    int64_t hundredths_ = 0;  // the tempo a reader reads the next section at
    double readerMs_ = 0;     // where a reader has the next section start
    // The dynamics points at or before the last note's start, where the next
    // note's search begins.
    size_t dynamicsKnown_ = 0;
    NotePoints points_;
};

void UstText::header(std::string_view singer) {
    hundredths_ = int64_t{map_.tempos.front().bpm} * 100;
    char* at = out_.room(kMostSectionText + singer.size());
    at = putText(at, "[#VERSION]\r\nUST Version1.2\r\n[#SETTING]\r\n");
    at = tempoLine(at, hundredths_);
    at = numberLine(at, "Tracks", 1);
    at = line(putValue(key(at, "ProjectName"), singer));
    at = putText(at, "Mode2=True\r\n");
    out_.wrote(at);
}

int64_t UstText::sectionTempo(int64_t start, int64_t end) {
    while (nextTempo_ < map_.tempos.size() && map_.tempos[nextTempo_].time <= start) ++nextTempo_;
    const int64_t own = int64_t{clock_.bpmAt(start)} * 100;
    const bool changes = nextTempo_ < map_.tempos.size() && map_.tempos[nextTempo_].time < end;
    if (!changes && std::abs(clock_.msAt(start) - readerMs_) < 1) return own;
    const double ms = clock_.msAt(end) - readerMs_;
    if (ms <= 0) return own;
    // Within the format's tempos (or up to the song's own), so that a short
    // section a reader has start late gets no absurd tempo; the sections after
    // it take up what is left.
    const double hundredths =
        std::round(static_cast<double>(end - start) * kMsPerTickTimesHundredthsBpm / ms);
    return static_cast<int64_t>(std::clamp<double>(hundredths, std::min(own, kSlowestTempo),
                                                   std::max(own, kFastestTempo)));
}

char* UstText::openSection(char* at, int64_t start, int64_t end, std::string_view lyric,
                           int32_t noteNumber) {
    at = putText(at, "[#");
    at = vsqtext::putPadded(at, section_++, 4);
    at = putText(at, "]\r\n");
    at = numberLine(at, "Length", end - start);
    at = line(putValue(key(at, "Lyric"), lyric));
    at = numberLine(at, "NoteNum", noteNumber);
    at = putText(at, "PreUtterance=\r\n");
    const int64_t tempo = sectionTempo(start, end);
    if (tempo != hundredths_) at = tempoLine(at, tempo);
    hundredths_ = tempo;
    readerMs_ += static_cast<double>(end - start) * kMsPerTickTimesHundredthsBpm /
                 static_cast<double>(tempo);
    return at;
}

void UstText::rest(int64_t start, int64_t end) {
    while (start < end) {
        // Each piece runs to the next tempo change after its start.
        size_t split = nextTempo_;
        while (split < map_.tempos.size() && map_.tempos[split].time <= start) ++split;
        const int64_t pieceEnd =
            split < map_.tempos.size() ? std::min<int64_t>(end, map_.tempos[split].time) : end;
        char* at = out_.room(kMostSectionText + kRestLyric.size());
        out_.wrote(openSection(at, start, pieceEnd, kRestLyric, kRestNoteNumber));
        start = pieceEnd;
    }
}

void UstText::note(const NotePart& part, int64_t end, std::span<const BreakpointPoint> dynamics,
                   PitchSteps::Cursor& pitchSteps) {
    const NoteEvent& event = *part.event;
    const std::string lyric = song_.editorLyric(part);
    pitchSteps.moveTo(part.start);
    notePitch(pitchSteps, part.start, end, points_);
    char* at = out_.room(kMostSectionText + lyric.size());
    at = openSection(at, part.start, end, lyric, event.note);
    at = numberLine(at, "Intensity", volumeFromLevel(levelFromDynamics(meanDynamics(
                                         dynamics, part.start, end, dynamicsKnown_))));
    at = numberLine(at, "Velocity", speedFromVelocity(event.velocity));
    at = pitch(at, points_.kept, part.start);
    const VibratoSound vibrato = vibratoOf(part);
    if (vibrato.on) {
        // Within the sequence's limits of 64..512 ms and 5..200 cents already:
        // the period is held within 64..500 ms, and the presets' depths give
        // 25..99 cents.
        at = key(at, "VBR");
        for (const int32_t value : {vibrato.lengthPercent, vibrato.periodMs, vibrato.depthCents,
                                    kVibratoFadeInPercent, kVibratoFadeOutPercent}) {
            at = vsqtext::putDecimal(at, value);
            *at++ = ',';
        }
        at = line(putText(at, "0,0,0"));
    }
    out_.wrote(at);
}

// Mode-2 points: the first as "ms;y", then the widths between them in ms, the
// other ys, and straight lines between them. The first point written lies just
// before the note with the value at its start (it only starts the line), then
// come the note's points. Positions are the time in the song from the note's
// start, rounded to tenths of a millisecond, so the widths add up exactly and
// each point sounds at its time even in a note read at a tempo of its own.
char* UstText::pitch(char* at, const std::vector<PitchPoint>& points, int64_t start) {
    if (points.empty()) return at;
    const double startMs = clock_.msAt(start);
    const auto tenthsMs = [&](int64_t tick) {
        return static_cast<int64_t>(std::llround((clock_.msAt(tick) - startMs) * 10));
    };
    at = putTenths(key(at, "PBS"), -kLeadInTenthsOfMs);
    *at++ = ';';
    at = line(putTenths(at, points.front().cents));
    // Each list takes room of its own, of a number and a comma a point (room of
    // 2 KB or more is cleared byte by byte); the last one's room holds the
    // lines after it.
    const size_t listRoom = kMaxKeyText + points.size() * (kMaxTenthsText + 1);
    out_.wrote(at);
    at = out_.room(listRoom);
    at = key(at, "PBW");
    int64_t previous = -kLeadInTenthsOfMs;
    for (size_t i = 0; i < points.size(); ++i) {
        if (i > 0) *at++ = ',';
        const int64_t tenths = tenthsMs(points[i].tick);
        at = putTenths(at, tenths - previous);
        previous = tenths;
    }
    at = line(at);
    out_.wrote(at);
    at = out_.room(listRoom);
    at = key(at, "PBY");
    for (size_t i = 0; i < points.size(); ++i) {
        if (i > 0) *at++ = ',';
        at = putTenths(at, points[i].cents);
    }
    at = line(at);
    out_.wrote(at);
    at = out_.room(kMostSectionText + points.size() * 2);
    at = key(at, "PBM");
    for (size_t i = 0; i < points.size(); ++i) at = putText(at, i > 0 ? ",s" : "s");
    return line(at);
}

void UstText::sequence(const VoiceTrack& voice, std::span<const BreakpointPoint> dynamics,
                       const PitchSteps& pitch) {
    // Each part reaches the next part's start at the most.
    VoiceTrack::PartsInTimeOrder parts = voice.partsInTimeOrder();
    const auto nextSounding = [&parts](NotePart& part) {
        while (parts.next(part)) {
            if (part.length > 0) return true;
        }
        return false;
    };
    int64_t cursor = 0;
    PitchSteps::Cursor pitchCursor(pitch);
    NotePart part{};
    NotePart following{};
    bool more = nextSounding(part);
    while (more) {
        const bool another = nextSounding(following);
        int64_t end = part.soundingEnd();
        if (another) end = std::min(end, following.start);
        if (end > part.start) {
            rest(cursor, part.start);
            note(part, end, dynamics, pitchCursor);
            cursor = end;
        }
        part = following;
        more = another;
    }
    out_.text().append("[#TRACKEND]\r\n");
}

// One voice track's file.
bool writeTrack(const RenderedSong& song, size_t voice, const std::string& path, OutputSink& sink) {
    const CurvePoints dynamics = song.curve(voice, curveOfCommand(CmdDynamics)->id);
    const CurvePoints bends = song.curve(voice, curveOfCommand(CmdPitchBend)->id);
    const CurvePoints sensitivities = song.curve(voice, curveOfCommand(CmdPitchBendSensitivity)->id);
    if (!dynamics || !bends || !sensitivities) return false;
    const VoiceTrack& track = song.voices()[voice];
    const PitchSteps pitch(*bends, *sensitivities);
    // Closed here on every way out, before a file given up is removed.
    std::unique_ptr<std::FILE, platform::FileCloser> file(sink.open(path));
    if (!file) return false;
    BlockOutput out(file.get());
    UstText text(out, song);
    text.header(fileText(track.namingSinger().name));
    text.sequence(track, *dynamics, pitch);
    return sink.keep(path, out.close(std::move(file)));
}

class IniUstExporter final : public UstExporter {
public:
    bool write(const RenderedSong& song, const std::string& path, OutputSink& sink) override;
};

bool IniUstExporter::write(const RenderedSong& song, const std::string& path, OutputSink& sink) {
    if (!hasVoices(song)) return false;
    // Each file is handed to the sink, put in place with the run's other outputs.
    for (size_t i = 0; i < song.voices().size(); ++i) {
        if (!writeTrack(song, i, ustTrackPath(path, static_cast<int>(i) + 1), sink)) return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<UstExporter> createUstExporter() { return std::make_unique<IniUstExporter>(); }

std::string ustTrackPath(const std::string& path, int number) {
    const size_t separator = path.find_last_of("/\\");
    const size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) dot = path.size();
    std::string result = path.substr(0, dot);
    result.push_back('-');
    vsqtext::appendDecimal(result, number);
    result.append(path, dot, std::string::npos);
    return result;
}
