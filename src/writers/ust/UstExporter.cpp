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

constexpr const char* kNewline = "\r\n";
constexpr const char* kRestLyric = "R";
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

// A tenth-unit number as a decimal: 35 as "3.5", -20 as "-2".
void appendTenths(std::string& out, int64_t tenths) {
    if (tenths < 0) out.push_back('-');
    const int64_t magnitude = tenths < 0 ? -tenths : tenths;
    vsqtext::appendDecimal(out, magnitude / 10);
    if (magnitude % 10 != 0) {
        out.push_back('.');
        out.push_back(static_cast<char>('0' + magnitude % 10));
    }
}

// A value copied as written, except that a control character (a line break
// would end the line) or a lead byte without its trail becomes a blank, and so
// does the "#" of a "[#" that readers would take for a section header. A
// double-byte character's trail byte is no "[".
void appendValue(std::string& out, std::string_view bytes) {
    bool afterBracket = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (isLeadByte(byte)) {
            const int trail = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
            const bool whole = trail >= 0x40 && trail <= 0xFC && trail != 0x7F;
            if (whole) out.append(bytes.substr(i++, 2));
            if (!whole) out.push_back(' ');
            afterBracket = false;
            continue;
        }
        const bool control = byte < 0x20 || byte == 0x7F;
        out.push_back(control || (afterBracket && byte == '#') ? ' ' : static_cast<char>(byte));
        afterBracket = byte == '[';
    }
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

// The note's first point.
PitchPoint notePitchStart(const PitchSteps& steps, int64_t start) {
    return {start, pointCents(steps.centsAt(start))};
}

// Visits the note's points after `from`, one of them, in order until `visit`
// returns false or the note's end was visited. From a point, the line goes on
// with its value, and a step's hold point lies after it.
template <typename Visit>
void notePitchAfter(const PitchSteps& steps, PitchPoint from, int64_t end, Visit visit) {
    int32_t value = from.cents;
    int64_t last = from.tick;
    const PitchSteps::Iterator stop = steps.end();
    for (auto step = steps.after(from.tick); step != stop && step->tick < end; ++step) {
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
};
Miss worstMiss(const PitchSteps& steps, PitchPoint a, PitchPoint b, int64_t end) {
    Miss worst;
    notePitchAfter(steps, a, end, [&](const PitchPoint& point) {
        if (point.tick >= b.tick) return false;
        const double line = a.cents + static_cast<double>(b.cents - a.cents) *
                                          static_cast<double>(point.tick - a.tick) /
                                          static_cast<double>(b.tick - a.tick);
        const double miss = std::abs(point.cents - line);
        if (miss > worst.by) worst = {miss, point};
        return true;
    });
    return worst;
}

// The note's points, none when the pitch stays at 0 over the whole note. Of
// more than kMaxPitchPoints, the first and last are kept and, of the others,
// those that the line through the kept ones misses most, one at a time, until
// as many are kept or the line misses none. Each pair of neighbours kept
// knows its worst miss, so a point kept has only its two sides looked at anew.
std::vector<PitchPoint> notePitch(const PitchSteps& steps, int64_t start, int64_t end) {
    const PitchPoint first = notePitchStart(steps, start);
    std::vector<PitchPoint> kept = {first};
    size_t count = 1;
    PitchPoint last = first;
    notePitchAfter(steps, first, end, [&](const PitchPoint& point) {
        if (kept.size() <= kMaxPitchPoints) kept.push_back(point);
        ++count;
        last = point;
        return true;
    });
    // Without a step inside the note its points are its start and its end.
    if (first.cents == 0 && count <= 2) return {};
    if (count <= kMaxPitchPoints) return kept;
    kept = {first, last};
    std::vector<Miss> misses = {worstMiss(steps, first, last, end)};  // of kept[k]..kept[k + 1]
    while (kept.size() < kMaxPitchPoints) {
        size_t k = 0;
        for (size_t i = 1; i < misses.size(); ++i) {
            if (misses[i].by > misses[k].by) k = i;
        }
        if (misses[k].by == 0) break;
        const auto at = static_cast<std::ptrdiff_t>(k + 1);
        kept.insert(kept.begin() + at, misses[k].point);
        misses[k] = worstMiss(steps, kept[k], kept[k + 1], end);
        misses.insert(misses.begin() + at, worstMiss(steps, kept[k + 1], kept[k + 2], end));
    }
    return kept;
}

class UstText {
public:
    UstText(BlockOutput& out, const RenderedSong& song)
        : out_(out), text_(out.text()), song_(song), map_(song.tempoMap()), clock_(song.clock()) {}

    void header(std::string_view singer);
    // The note parts that sound and the rests between them, then the end; the
    // notes' volumes from `dynamics`, their pitch from `pitch`.
    void sequence(const VoiceTrack& voice, std::span<const BreakpointPoint> dynamics,
                  const PitchSteps& pitch);

private:
    void key(const char* name) {
        text_.append(name);
        text_.push_back('=');
    }
    void line() { text_.append(kNewline); }
    void numberLine(const char* name, int64_t value) {
        key(name);
        vsqtext::appendDecimal(text_, value);
        line();
    }
    // A tempo in hundredths of a beat a minute, with two decimals.
    void tempoLine(int64_t hundredths) {
        key("Tempo");
        vsqtext::appendDecimal(text_, hundredths / 100);
        text_.push_back('.');
        text_.push_back(static_cast<char>('0' + hundredths % 100 / 10));
        text_.push_back(static_cast<char>('0' + hundredths % 10));
        line();
    }
    // Opens the section of the next note or rest [start, end) with its length,
    // lyric and note number, and the tempo it is read at when that changes.
    void openSection(int64_t start, int64_t end, std::string_view lyric, int32_t noteNumber);
    // The tempo in hundredths a reader reads [start, end) at: the song's, or
    // when the tempo changes inside it or the reader has it start a
    // millisecond or more away from its time, the one that makes it end at its
    // time in the song.
    int64_t sectionTempo(int64_t start, int64_t end);
    void rest(int64_t start, int64_t end);
    void note(const NotePart& part, int64_t end, std::span<const BreakpointPoint> dynamics,
              const PitchSteps& pitch);
    void pitch(const std::vector<PitchPoint>& points, int64_t start);

    BlockOutput& out_;
    std::string& text_;
    const RenderedSong& song_;
    const TempoMap& map_;
    const TempoClock& clock_;
    int64_t section_ = 0;
    size_t nextTempo_ = 1;    // the first tempo change after the next section's start
    int64_t hundredths_ = 0;  // the tempo a reader reads the next section at
    double readerMs_ = 0;     // where a reader has the next section start
};

void UstText::header(std::string_view singer) {
    hundredths_ = int64_t{map_.tempos.front().bpm} * 100;
    text_.append("[#VERSION]\r\nUST Version1.2\r\n[#SETTING]\r\n");
    tempoLine(hundredths_);
    numberLine("Tracks", 1);
    key("ProjectName");
    appendValue(text_, singer);
    line();
    text_.append("Mode2=True\r\n");
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

void UstText::openSection(int64_t start, int64_t end, std::string_view lyric, int32_t noteNumber) {
    text_.append("[#");
    char number[vsqtext::kMaxNumberText];
    text_.append(number, vsqtext::putPadded(number, section_++, 4));
    text_.append("]\r\n");
    numberLine("Length", end - start);
    key("Lyric");
    appendValue(text_, lyric);
    line();
    numberLine("NoteNum", noteNumber);
    text_.append("PreUtterance=\r\n");
    const int64_t tempo = sectionTempo(start, end);
    if (tempo != hundredths_) tempoLine(tempo);
    hundredths_ = tempo;
    readerMs_ += static_cast<double>(end - start) * kMsPerTickTimesHundredthsBpm /
                 static_cast<double>(tempo);
}

void UstText::rest(int64_t start, int64_t end) {
    while (start < end) {
        // Each piece runs to the next tempo change after its start.
        size_t split = nextTempo_;
        while (split < map_.tempos.size() && map_.tempos[split].time <= start) ++split;
        const int64_t pieceEnd =
            split < map_.tempos.size() ? std::min<int64_t>(end, map_.tempos[split].time) : end;
        openSection(start, pieceEnd, kRestLyric, kRestNoteNumber);
        out_.done();
        start = pieceEnd;
    }
}

void UstText::note(const NotePart& part, int64_t end, std::span<const BreakpointPoint> dynamics,
                   const PitchSteps& pitchSteps) {
    const NoteEvent& event = *part.event;
    openSection(part.start, end, song_.editorLyric(part), event.note);
    numberLine("Intensity",
               volumeFromLevel(levelFromDynamics(meanDynamics(dynamics, part.start, end))));
    numberLine("Velocity", speedFromVelocity(event.velocity));
    pitch(notePitch(pitchSteps, part.start, end), part.start);
    const VibratoSound vibrato = vibratoOf(part);
    if (vibrato.on) {
        // Within the sequence's limits of 64..512 ms and 5..200 cents already:
        // the period is held within 64..500 ms, and the presets' depths give
        // 25..99 cents.
        key("VBR");
        for (const int32_t value : {vibrato.lengthPercent, vibrato.periodMs, vibrato.depthCents,
                                    kVibratoFadeInPercent, kVibratoFadeOutPercent}) {
            vsqtext::appendDecimal(text_, value);
            text_.push_back(',');
        }
        text_.append("0,0,0");
        line();
    }
    out_.done();
}

// Mode-2 points: the first as "ms;y", then the widths between them in ms, the
// other ys, and straight lines between them. The first point written lies just
// before the note with the value at its start (it only starts the line), then
// come the note's points. Positions are the time in the song from the note's
// start, rounded to tenths of a millisecond, so the widths add up exactly and
// each point sounds at its time even in a note read at a tempo of its own.
void UstText::pitch(const std::vector<PitchPoint>& points, int64_t start) {
    if (points.empty()) return;
    const double startMs = clock_.msAt(start);
    const auto tenthsMs = [&](int64_t tick) {
        return static_cast<int64_t>(std::llround((clock_.msAt(tick) - startMs) * 10));
    };
    key("PBS");
    appendTenths(text_, -kLeadInTenthsOfMs);
    text_.push_back(';');
    appendTenths(text_, points.front().cents);
    line();
    key("PBW");
    int64_t previous = -kLeadInTenthsOfMs;
    for (size_t i = 0; i < points.size(); ++i) {
        if (i > 0) text_.push_back(',');
        const int64_t at = tenthsMs(points[i].tick);
        appendTenths(text_, at - previous);
        previous = at;
    }
    line();
    key("PBY");
    for (size_t i = 0; i < points.size(); ++i) {
        if (i > 0) text_.push_back(',');
        appendTenths(text_, points[i].cents);
    }
    line();
    key("PBM");
    for (size_t i = 0; i < points.size(); ++i) text_.append(i > 0 ? ",s" : "s");
    line();
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
    NotePart part{};
    NotePart following{};
    bool more = nextSounding(part);
    while (more) {
        const bool another = nextSounding(following);
        int64_t end = part.soundingEnd();
        if (another) end = std::min(end, following.start);
        if (end > part.start) {
            rest(cursor, part.start);
            note(part, end, dynamics, pitch);
            cursor = end;
        }
        part = following;
        more = another;
    }
    text_.append("[#TRACKEND]\r\n");
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
