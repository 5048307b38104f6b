// The sequence export. Each voice track's note parts are laid end to end from
// tick 0: a gap becomes a rest "R", and a part that runs into the next one is
// cut where that one starts (a sequence has one note at a time). A tempo
// change inside a rest splits the rest there; one inside a note is written on
// that note, the last of several counting. Each note takes its volume from the
// mean dynamics over it, its consonant speed from its velocity, its pitch
// points from the pitch curve (at most 50, the least needed left out) and its
// vibrato from the one mapping of vibratos to sound.
#include "export/UstExporter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <span>
#include <string_view>
#include <vector>

#include "song/Song.h"
#include "export/BlockOutput.h"
#include "export/ExpressionCurves.h"
#include "export/SungNotes.h"
#include "song/Ticks.h"
#include "platform/Platform.h"
#include "output/NumberText.h"
#include "output/OutputFailure.h"
#include "vsq/Singers.h"
#include "output/StagedOutputFile.h"
#include "song/TempoMap.h"
#include "output/VoiceTracks.h"

namespace {

constexpr const char* kNewline = "\r\n";
constexpr const char* kRestLyric = "R";
constexpr int32_t kRestNoteNumber = 60;
constexpr size_t kMaxPitchPoints = 50;
// The limits of a vibrato's period and depth in a sequence.
constexpr int32_t kMinimumPeriodMs = 64;
constexpr int32_t kMaximumPeriodMs = 512;
constexpr int32_t kMinimumDepthCents = 5;
constexpr int32_t kMaximumDepthCents = 200;
// Milliseconds per tick are 125 / bpm at 480 ticks per quarter note.
constexpr int64_t kTenthMsPerTickTimesBpm = 600000 / kTicksPerQuarterNote;

// numerator / denominator rounded half up; both positive.
int64_t roundedQuotient(int64_t numerator, int64_t denominator) {
    return (2 * numerator + denominator) / (2 * denominator);
}

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
    // The notes and the rests between them, then the end.
    void sequence(std::span<const SungNote> notes, const ExpressionCurves& curves);

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
    void note(const SungNote& sung, int64_t end, const ExpressionCurves& curves);
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

void UstText::note(const SungNote& sung, int64_t end, const ExpressionCurves& curves) {
    const NoteEvent& event = *sung.note;
    openSection(sung.start, end, fileText(sung.lyric->text.view()), event.note);
    numberLine("Intensity",
               volumeFromLevel(levelFromDynamics(meanDynamics(curves.dynamics, sung.start, end))));
    numberLine("Velocity", speedFromVelocity(event.velocity));
    pitch(notePitch(curves.cents, sung.start, end), sung.start);
    const VibratoSound& vibrato = sung.vibrato;
    if (vibrato.on) {
        key("VBR");
        for (const int32_t value :
             {vibrato.lengthPercent, std::clamp(vibrato.periodMs, kMinimumPeriodMs, kMaximumPeriodMs),
              std::clamp(vibrato.depthCents, kMinimumDepthCents, kMaximumDepthCents),
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
        return roundedQuotient((tick - start) * kTenthMsPerTickTimesBpm, bpm_);
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

void UstText::sequence(std::span<const SungNote> notes, const ExpressionCurves& curves) {
    int64_t cursor = 0;
    for (size_t i = 0; i < notes.size(); ++i) {
        const SungNote& sung = notes[i];
        int64_t end = sung.start + sung.length;
        if (i + 1 < notes.size()) end = std::min(end, notes[i + 1].start);
        if (end <= sung.start) continue;
        rest(cursor, sung.start);
        note(sung, end, curves);
        cursor = end;
    }
    text_.append("[#TRACKEND]\r\n");
}

// One voice track's file, staged.
bool writeTrack(const Track& track, const StringPool& strings, const TempoMap& map,
                BreakpointListBuilder& builder, const std::string& path, OutputBatch& outputs) {
    StagedOutputFile output;
    ExpressionCurves curves;
    if (!buildExpressionCurves(track, builder, curves)) return false;
    std::unique_ptr<std::FILE, platform::FileCloser> file(openStagedOutput(output, path));
    if (!file) return false;
    BlockOutput out(file.get());
    UstText text(out, map);
    text.header(fileText(initialSinger(track, strings).name));
    text.sequence(collectSungNotes(track), curves);
    return finishStagedOutput(output, path, out.close(std::move(file)), outputs);
}

class IniUstExporter final : public UstExporter {
public:
    bool write(const Song& song, const StringPool& strings, const std::string& path,
               OutputBatch& outputs) override;
};

bool IniUstExporter::write(const Song& song, const StringPool& strings, const std::string& path,
                           OutputBatch& outputs) {
    const std::vector<const Track*> tracks = collectVoiceTracks(song);
    if (tracks.empty()) return false;
    const TempoMap map = collectTempoMap(song);
    auto builder = createBreakpointListBuilder();
    // Each file is handed to the run's outputs, put in place with the others.
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (!writeTrack(*tracks[i], strings, map, *builder,
                        ustTrackPath(path, static_cast<int>(i) + 1), outputs)) {
            return false;
        }
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
