// The sequence export. Each voice track's note parts are laid end to end from
// tick 0: a gap becomes a rest "R", and a part that runs into the next one is
// cut where that one starts (a sequence has one note at a time). A tempo
// change inside a rest splits the rest there; one inside a note is written on
// that note, the last of several counting. Each note takes its volume from the
// mean dynamics over it, its consonant speed from its velocity, its pitch
// points from the pitch curve (at most 50, the least needed left out) and its
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

namespace {

constexpr const char* kNewline = "\r\n";
constexpr const char* kRestLyric = "R";
constexpr int32_t kRestNoteNumber = 60;
constexpr size_t kMaxPitchPoints = 50;

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
// would end the line) becomes a blank.
void appendValue(std::string& out, std::string_view bytes) {
    for (char c : bytes) out.push_back(static_cast<unsigned char>(c) < 0x20 ? ' ' : c);
}

// A note's pitch points: ticks from the note's start and cents.
struct PitchPoint {
    int64_t tick;
    int32_t cents;
};

// Keeps the first and last point and, of the others, those that the line
// through the kept ones misses most, one at a time, until `limit` are kept or
// the line misses none.
std::vector<PitchPoint> fewestPoints(const std::vector<PitchPoint>& points, size_t limit) {
    if (points.size() <= limit) return points;
    std::vector<size_t> kept = {0, points.size() - 1};
    while (kept.size() < limit) {
        double worst = 0;
        size_t worstIndex = 0;
        size_t insertAt = 0;
        for (size_t k = 1; k < kept.size(); ++k) {
            const PitchPoint& a = points[kept[k - 1]];
            const PitchPoint& b = points[kept[k]];
            for (size_t i = kept[k - 1] + 1; i < kept[k]; ++i) {
                const double line = a.cents + static_cast<double>(b.cents - a.cents) *
                                                  static_cast<double>(points[i].tick - a.tick) /
                                                  static_cast<double>(b.tick - a.tick);
                const double miss = std::abs(points[i].cents - line);
                if (miss > worst) {
                    worst = miss;
                    worstIndex = i;
                    insertAt = k;
                }
            }
        }
        if (worst == 0) break;
        kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(insertAt), worstIndex);
    }
    std::vector<PitchPoint> result;
    result.reserve(kept.size());
    for (size_t index : kept) result.push_back(points[index]);
    return result;
}

// The pitch curve over [start, end) as points at the note's start, at every
// point of the curve inside the note and at its last tick (at its end for a
// note of one tick, so there are always two); empty when the curve stays at 0
// over the whole note.
std::vector<PitchPoint> notePitch(const LinearCurve& cents, int64_t start, int64_t end) {
    std::vector<PitchPoint> points;
    const int64_t last = std::max(end - 1, start + 1);
    points.push_back({start, lineValueAt(cents, start)});
    auto inside = std::upper_bound(cents.ticks.begin(), cents.ticks.end(), start);
    for (; inside != cents.ticks.end() && *inside < last; ++inside) {
        points.push_back({*inside, lineValueAt(cents, *inside)});
    }
    points.push_back({last, lineValueAt(cents, last)});
    const bool flat = std::all_of(points.begin(), points.end(),
                                  [](const PitchPoint& point) { return point.cents == 0; });
    if (flat) points.clear();
    return fewestPoints(points, kMaxPitchPoints);
}

class UstText {
public:
    UstText(BlockOutput& out, const TempoMap& map) : out_(out), text_(out.text()), map_(map) {}

    void header(std::string_view singer);
    // The note parts that sound and the rests between them, then the end; the
    // notes' volumes from `dynamics`, their pitch from `cents`.
    void sequence(const VoiceTrack& voice, std::span<const BreakpointPoint> dynamics,
                  const LinearCurve& cents);

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
    void tempoLine(int32_t bpm) {
        key("Tempo");
        vsqtext::appendDecimal(text_, bpm);
        text_.append(".00");
        line();
    }
    // Opens the section of the next note or rest [start, end) with its length, lyric and note
    // number, and its tempo change if one falls inside it.
    void openSection(int64_t start, int64_t end, std::string_view lyric, int32_t noteNumber);
    void rest(int64_t start, int64_t end);
    void note(const NotePart& part, int64_t end, std::span<const BreakpointPoint> dynamics,
              const LinearCurve& cents);
    void pitch(const std::vector<PitchPoint>& points, int64_t start);

    BlockOutput& out_;
    std::string& text_;
    const TempoMap& map_;
    int64_t section_ = 0;
    size_t nextTempo_ = 1;  // the first tempo change not yet written
    int32_t bpm_ = 0;       // the tempo in force
};

void UstText::header(std::string_view singer) {
    bpm_ = map_.tempos.front().bpm;
    text_.append("[#VERSION]\r\nUST Version1.2\r\n[#SETTING]\r\n");
    tempoLine(bpm_);
    numberLine("Tracks", 1);
    key("ProjectName");
    appendValue(text_, singer);
    line();
    text_.append("Mode2=True\r\n");
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
    bool changed = false;
    for (; nextTempo_ < map_.tempos.size() && map_.tempos[nextTempo_].time < end; ++nextTempo_) {
        bpm_ = map_.tempos[nextTempo_].bpm;
        changed = true;
    }
    if (changed) tempoLine(bpm_);
}

void UstText::rest(int64_t start, int64_t end) {
    while (start < end) {
        // A change at the piece's start is written on it; the next one ends it.
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
                   const LinearCurve& cents) {
    const NoteEvent& event = *part.event;
    openSection(part.start, end, fileText(part.lyric->text.view()), event.note);
    numberLine("Intensity",
               volumeFromLevel(levelFromDynamics(meanDynamics(dynamics, part.start, end))));
    numberLine("Velocity", speedFromVelocity(event.velocity));
    pitch(notePitch(cents, part.start, end), part.start);
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
// other ys, and straight lines between them. Positions are rounded to tenths
// of a millisecond from the note's start, so the widths add up exactly.
void UstText::pitch(const std::vector<PitchPoint>& points, int64_t start) {
    if (points.empty()) return;
    const auto tenthsMs = [&](int64_t tick) {
        return TempoClock::tenthsOfMs(tick - start, bpm_);
    };
    key("PBS");
    appendTenths(text_, tenthsMs(points.front().tick));
    text_.push_back(';');
    appendTenths(text_, points.front().cents);
    line();
    key("PBW");
    for (size_t i = 1; i < points.size(); ++i) {
        if (i > 1) text_.push_back(',');
        appendTenths(text_, tenthsMs(points[i].tick) - tenthsMs(points[i - 1].tick));
    }
    line();
    key("PBY");
    for (size_t i = 1; i < points.size(); ++i) {
        if (i > 1) text_.push_back(',');
        appendTenths(text_, points[i].cents);
    }
    line();
    key("PBM");
    for (size_t i = 1; i < points.size(); ++i) text_.append(i > 1 ? ",s" : "s");
    line();
}

void UstText::sequence(const VoiceTrack& voice, std::span<const BreakpointPoint> dynamics,
                       const LinearCurve& cents) {
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
            note(part, end, dynamics, cents);
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
    const LinearCurve cents = centsLine(pitchSteps(*bends, *sensitivities), track.curveEnd());
    // Closed here on every way out, before a file given up is removed.
    std::unique_ptr<std::FILE, platform::FileCloser> file(sink.open(path));
    if (!file) return false;
    BlockOutput out(file.get());
    UstText text(out, song.tempoMap());
    text.header(fileText(track.namingSinger().name));
    text.sequence(track, *dynamics, cents);
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
