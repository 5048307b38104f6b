// The track printer keeps the compiler's state as the printed commands set it
// (time, octave, default length, gate, velocity, note parameters, vibrato,
// each curve's current value) and writes a command only where a note needs a
// value the state does not have.
#include "mml/TrackPrinter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "mml/NoteValues.h"
#include "mml/SourceText.h"
#include "song/CommandCode.h"
#include "song/CurveTable.h"
#include "song/Limits.h"
#include "song/Ticks.h"

namespace {

constexpr int32_t kFullGate = 8;
constexpr int32_t kLastGate = 8;

// A command or a note or rest of the line; `length` > 0 for a note or rest,
// whose length is written after `head` once the line's default length is known.
struct Token {
    std::string before;  // commands in front of it
    std::string head;
    int64_t length = 0;
};

// A syllable of the line's lyric: what is written, and whether the compiler
// looks it up in the dictionary (so that it may run into what follows).
struct Piece {
    std::string written;
    bool lookedUp = false;
};

struct NoteTiming {
    int32_t gate = kFullGate;
    int64_t duration = 0;
};

// How good a note's duration is to read, best first: no rest after it and a
// single note value; no rest and tied values; a single value and a rest of
// note values; no rest but ticks; tied values and a rest of note values; note
// values and a rest in ticks; ticks.
int timingRank(int64_t duration, int64_t limit) {
    const bool single = !singleNoteValue(duration).empty();
    const bool value = isNoteValueLength(duration);
    if (duration == limit) return single ? 0 : value ? 1 : 3;
    const bool restValue = isNoteValueLength(limit - duration);
    if (single && restValue) return 2;
    if (value && restValue) return 4;
    return value ? 5 : 6;
}

// The gate and duration that make a note sound `length` ticks and end by
// `limit` ticks after its start. The current gate, then the full gate, serve
// where they give note values (a rest after the note allowed); another gate
// only where it reads better than both.
NoteTiming chooseTiming(int64_t length, int64_t limit, int32_t currentGate) {
    const auto bestFor = [&](int32_t gate, int& rank) {
        NoteTiming best{gate, 0};
        rank = 99;
        int64_t low = 1;
        int64_t high = limit;
        if (gate == 0) {
            if (length != 0) return best;
        } else {
            // trunc(duration * gate / 8) == length
            low = std::max<int64_t>(low, (8 * length + gate - 1) / gate);
            high = std::min<int64_t>(high, (8 * length + 7) / gate);
        }
        for (int64_t duration = high; duration >= low && high - duration < 16; --duration) {
            const int candidate = timingRank(duration, limit);
            if (candidate < rank) {
                rank = candidate;
                best.duration = duration;
            }
        }
        return best;
    };
    constexpr int kReadable = 2;  // note values, with a rest of note values after
    int rank = 0;
    NoteTiming best = bestFor(currentGate, rank);
    if (rank <= kReadable) return best;
    int fullRank = 0;
    const NoteTiming full = bestFor(kFullGate, fullRank);
    if (fullRank <= kReadable || fullRank < rank) {
        best = full;
        rank = fullRank;
    }
    if (rank <= kReadable) return best;
    for (int32_t gate = kLastGate; gate >= 0; --gate) {
        int gateRank = 0;
        const NoteTiming timing = bestFor(gate, gateRank);
        if (gateRank < rank) {
            best = timing;
            rank = gateRank;
        }
    }
    return best;
}

// A curve value as a parameter: plain where it is not negative, else as the
// change from the curve's current value, which a sign makes relative.
std::string curveValueText(int64_t value, int64_t& current) {
    std::string text;
    if (value >= 0) {
        text = std::to_string(value);
    } else {
        const int64_t change = value - current;
        text = (change >= 0 ? "+" : "") + std::to_string(change);
    }
    current = value;
    return text;
}

class TrackPrinter {
public:
    TrackPrinter(const ImportedSong& song, const TrackScore& score, size_t trackIndex, const LyricPlan& lyrics,
                 const MmlBars& bars, const std::vector<LoopSpan>& loops, SingerRegistry& singers)
        : song_(song), score_(score), trackIndex_(trackIndex), lyrics_(lyrics), bars_(bars), loops_(loops),
          singers_(singers) {
        for (const CurveInfo& curve : kCurves) curveValues_[static_cast<size_t>(curve.id)] = curve.defaultValue;
        planSegments();
    }

    void print(std::string& out);

private:
    void planSegments();
    size_t firstNoteFrom(int64_t time) const;
    void printBar(int64_t bar, bool inLoop, std::string& out);
    void restTo(int64_t target);
    void printItem(const TrackItem& item);
    void printNote(size_t index);
    std::string curveCommands(int64_t from, int64_t to);
    std::string settingsFor(size_t index, const NoteTiming& timing, int64_t soundingAtStart, bool joined);
    void skipTo(int64_t time);
    std::string lyricText() const;
    void finishLine(int64_t bar, std::string& out);

    const ImportedSong& song_;
    const TrackScore& score_;
    size_t trackIndex_;
    const LyricPlan& lyrics_;
    const MmlBars& bars_;
    const std::vector<LoopSpan>& loops_;
    SingerRegistry& singers_;

    // The notes whose syllable is written, and those written with "&".
    std::vector<uint8_t> syllableWritten_;
    std::vector<uint8_t> writtenJoined_;

    // The compiler's state.
    int64_t time_ = 0;
    int32_t octave_ = 4;
    int64_t defaultLength_ = kTicksPerQuarterNote;
    int32_t gate_ = kFullGate;
    int32_t velocity_ = kDefaultVelocity;
    std::array<int32_t, 5> parameters_{kNoteParameters[0].defaultValue, kNoteParameters[1].defaultValue,
                                       kNoteParameters[2].defaultValue, kNoteParameters[3].defaultValue,
                                       kNoteParameters[4].defaultValue};
    int32_t vibratoType_ = kDefaultVibratoType;
    int64_t vibratoDelay_ = kDefaultVibratoDelay;
    std::array<int64_t, 10> curveValues_{};

    // Where the printing is.
    size_t nextItem_ = 0;
    std::array<size_t, 10> nextGroup_{};
    std::vector<Token> tokens_;
    std::vector<Piece> pieces_;
};

size_t TrackPrinter::firstNoteFrom(int64_t time) const {
    return static_cast<size_t>(std::lower_bound(score_.notes.begin(), score_.notes.end(), time,
                                                [](const PrintedNote& n, int64_t t) { return n.time < t; }) -
                               score_.notes.begin());
}

// A track that sings nothing but the default syllable is printed without
// lyrics (each note keeps the default). "&" joins only notes printed one
// after the other, with no loop mark between them: the lyric cursor and the
// join both need the note before to be the one printed before.
void TrackPrinter::planSegments() {
    const size_t count = score_.notes.size();
    std::vector<uint8_t> printed(count, 1);
    std::vector<uint8_t> markBefore(count + 1, 0);
    for (const LoopSpan& loop : loops_) {
        const size_t start = firstNoteFrom(bars_.startOf(loop.firstBar));
        const size_t copies = firstNoteFrom(bars_.startOf(loop.firstBar + loop.bodyBars));
        const size_t end = firstNoteFrom(bars_.startOf(loop.firstBar + loop.coveredBars()));
        markBefore[start] = 1;
        if (loop.exitBars > 0) markBefore[firstNoteFrom(bars_.startOf(loop.firstBar + loop.exitBars))] = 1;
        markBefore[end] = 1;
        for (size_t i = copies; i < end; ++i) printed[i] = 0;
    }
    bool sings = false;
    for (size_t i = 0; i < count; ++i) sings = sings || !lyrics_.singsDefault(trackIndex_, i);
    syllableWritten_.assign(count, sings ? 1 : 0);
    writtenJoined_.assign(count, 0);
    for (size_t i = 1; i < count; ++i) {
        writtenJoined_[i] = score_.joined[i] != 0 && printed[i] != 0 && printed[i - 1] != 0 && markBefore[i] == 0;
    }
}

void TrackPrinter::print(std::string& out) {
    out.append("\n; voice track ").append(std::to_string(score_.number)).append("\n");
    out.append(std::to_string(score_.number)).append("\n");
    int64_t lastBar = 0;
    if (!score_.items.empty()) lastBar = bars_.barOf(score_.items.back().time);
    size_t loop = 0;
    for (int64_t bar = 0; bar <= lastBar;) {
        // Bars a note sounds through have no line of their own.
        if (time_ >= bars_.startOf(bar + 1) && (loop >= loops_.size() || loops_[loop].firstBar > bar)) {
            bar = std::max(bar + 1, bars_.barOf(time_));
            if (loop < loops_.size()) bar = std::min(bar, loops_[loop].firstBar);
            continue;
        }
        if (loop < loops_.size() && loops_[loop].firstBar == bar) {
            const LoopSpan& span = loops_[loop++];
            out.append("/:").append(std::to_string(span.passes)).append("\n");
            for (int64_t b = bar; b < bar + span.bodyBars; ++b) {
                if (span.exitBars > 0 && b == bar + span.exitBars) out.append("/\n");
                printBar(b, true, out);
            }
            out.append(":/\n");
            bar += span.coveredBars();
            skipTo(bars_.startOf(bar));
            continue;
        }
        printBar(bar, false, out);
        ++bar;
    }
}

// Passes over what the copies of a loop hold: the printing goes on after them.
void TrackPrinter::skipTo(int64_t time) {
    time_ = time;
    while (nextItem_ < score_.items.size() && score_.items[nextItem_].time < time) ++nextItem_;
    for (const CurveInfo& curve : kCurves) {
        const auto id = static_cast<size_t>(curve.id);
        const std::vector<CurveGroup>& groups = score_.groups[id];
        while (nextGroup_[id] < groups.size() && groups[nextGroup_[id]].start < time) ++nextGroup_[id];
    }
}

void TrackPrinter::printBar(int64_t bar, bool inLoop, std::string& out) {
    const int64_t end = bars_.startOf(bar + 1);
    while (nextItem_ < score_.items.size() && score_.items[nextItem_].time < end) {
        const TrackItem& item = score_.items[nextItem_++];
        restTo(item.time);
        printItem(item);
    }
    // A loop's body fills its bars; elsewhere the rests lead to what follows.
    if (inLoop || nextItem_ < score_.items.size()) restTo(end);
    finishLine(bar, out);
}

void TrackPrinter::restTo(int64_t target) {
    if (target <= time_) return;
    tokens_.push_back({curveCommands(time_, target), "r", target - time_});
    time_ = target;
}

void TrackPrinter::printItem(const TrackItem& item) {
    switch (item.kind) {
    case ItemKind::Metre: {
        const MetreMark& metre = song_.tempoMap.metres[item.index];
        tokens_.push_back({"", "@M" + std::to_string(metre.numerator) + "," + std::to_string(metre.denominator), 0});
        break;
    }
    case ItemKind::Tempo:
        tokens_.push_back({"", "t" + std::to_string(song_.tempoMap.tempos[item.index].bpm), 0});
        break;
    case ItemKind::Singer: {
        const ImportedSinger& singer = score_.track->singers[item.index];
        const std::pair<int32_t, int32_t> voice{singer.language, singer.program};
        std::string before;
        const auto known = singers_.find(singer.name);
        if (known == singers_.end() || known->second != voice) {
            before = singerRegistration(singer) + " ";
            singers_[singer.name] = voice;
        }
        tokens_.push_back({before, "@\"" + singer.name + "\"", 0});
        break;
    }
    case ItemKind::Note:
        printNote(item.index);
        break;
    }
}

// The curve commands for the groups that start in [from, to), one per curve.
std::string TrackPrinter::curveCommands(int64_t from, int64_t to) {
    std::string text;
    for (const CurveInfo& curve : kCurves) {
        const auto id = static_cast<size_t>(curve.id);
        const std::vector<CurveGroup>& groups = score_.groups[id];
        size_t& next = nextGroup_[id];
        if (next >= groups.size() || groups[next].start >= to) continue;
        std::string command = commandName(curve.command);
        int64_t cursor = from;
        while (next < groups.size() && groups[next].start < to) {
            const CurveGroup& group = groups[next++];
            std::vector<std::string> fields{curveValueText(group.value, curveValues_[id]),
                                            std::to_string(group.start - cursor),
                                            std::to_string(group.ramp ? group.end - group.start : 0),
                                            group.ramp ? "1" : "0"};
            // The last group's fields left out at its end are 0.
            const bool last = next == groups.size() || groups[next].start >= to;
            while (last && fields.size() > 1 && fields.back() == "0") fields.pop_back();
            if (command.size() > commandName(curve.command).size()) command.push_back(',');
            for (size_t f = 0; f < fields.size(); ++f) command.append(f > 0 ? "," : "").append(fields[f]);
            cursor = group.ramp ? group.end : group.start;
        }
        text.append(command).append(" ");
    }
    return text;
}

std::string TrackPrinter::settingsFor(size_t index, const NoteTiming& timing, int64_t soundingAtStart, bool joined) {
    const PrintedNote& note = score_.notes[index];
    const ImportedNote& part = score_.part(index);
    std::string text;
    if (timing.gate != gate_) {
        text.append("q").append(std::to_string(timing.gate)).append(" ");
        gate_ = timing.gate;
    }
    if (part.velocity != velocity_) {
        text.append("@VEL").append(std::to_string(part.velocity)).append(" ");
        velocity_ = part.velocity;
    }
    std::array<int32_t, 5> wanted{part.bendDepth, part.bendLength, part.portamentoUse, part.decay, part.accent};
    // "&" sets the portamento's first bit itself.
    if (joined && (parameters_[2] | 1) == wanted[2]) wanted[2] = parameters_[2];
    size_t first = wanted.size();
    size_t last = 0;
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (wanted[i] == parameters_[i]) continue;
        first = std::min(first, i);
        last = i;
    }
    if (first < wanted.size()) {
        text.append("@Z").append(std::to_string(first));
        for (size_t i = first; i <= last; ++i) text.append(",").append(std::to_string(wanted[i]));
        text.append(" ");
        parameters_ = wanted;
    }

    // The vibrato: its length is the sounding length at the note's start
    // less the delay; on a split note it is held within the second part.
    const ImportedNote& sung = note.split ? score_.secondPart(index) : part;
    const int64_t vibrato = sung.vibratoType != 0 ? sung.vibratoLength : 0;
    const int64_t reach = note.split ? note.length - kSplitOffset : INT64_MAX;
    const auto lengthWith = [&](int32_t type, int64_t delay) -> int64_t {
        if (type == 0 || soundingAtStart - delay <= 0) return 0;
        return std::min(soundingAtStart - delay, reach);
    };
    if (lengthWith(vibratoType_, vibratoDelay_) != vibrato || (vibrato != 0 && vibratoType_ != sung.vibratoType)) {
        if (vibrato == 0) {
            text.append("@VIB0 ");
            vibratoType_ = 0;
            vibratoDelay_ = kDefaultVibratoDelay;
        } else {
            vibratoType_ = sung.vibratoType;
            vibratoDelay_ = soundingAtStart - vibrato;
            text.append("@VIB").append(std::to_string(vibratoType_)).append(",").append(std::to_string(vibratoDelay_)).append(" ");
        }
    }

    const int32_t octave = octaveOf(part.note);
    if (octave != octave_) {
        if (octave == octave_ + 1) {
            text.append("> ");
        } else if (octave == octave_ - 1) {
            text.append("< ");
        } else {
            text.append("o").append(std::to_string(octave)).append(" ");
        }
        octave_ = octave;
    }
    if (joined) text.append("& ");
    return text;
}

void TrackPrinter::printNote(size_t index) {
    const PrintedNote& note = score_.notes[index];
    const bool joinNext = index + 1 < score_.notes.size() && writtenJoined_[index + 1] != 0;
    NoteTiming timing;
    int64_t soundingAtStart = note.length;
    if (joinNext) {
        // The next note's "&" stretches this one to it, after its vibrato was
        // measured; a split note is stretched before its lyric splits it, so
        // its gate makes it sound that long from the start.
        timing.gate = note.split ? kFullGate : gate_;
        timing.duration = score_.notes[index + 1].time - note.time;
        soundingAtStart = timing.duration * timing.gate / kFullGate;
    } else {
        int64_t limit = bars_.barLineFrom(note.time + std::max<int64_t>(note.length, 1));
        if (nextItem_ < score_.items.size()) limit = std::min(limit, score_.items[nextItem_].time);
        timing = chooseTiming(note.length, limit - note.time, gate_);
    }
    const std::string curves = curveCommands(note.time, note.time + timing.duration);
    const std::string settings = settingsFor(index, timing, soundingAtStart, writtenJoined_[index] != 0);
    tokens_.push_back({curves + settings, noteName(score_.part(index).note), timing.duration});
    time_ = note.time + timing.duration;

    if (syllableWritten_[index] == 0) return;
    const SyllableSpelling& first = lyrics_.first(trackIndex_, index);
    if (!note.split) {
        pieces_.push_back({first.written, first.form == SyllableForm::Text});
        return;
    }
    const SyllableSpelling& second = lyrics_.second(trackIndex_, index);
    pieces_.push_back({first.written, first.form == SyllableForm::Text});
    pieces_.push_back({"&", false});
    pieces_.push_back({second.written, second.form == SyllableForm::Text});
}

// The line's lyric: its syllables one after another, a blank after a syllable
// that would otherwise run into a longer dictionary key with what follows.
std::string TrackPrinter::lyricText() const {
    std::string text;
    for (size_t i = 0; i < pieces_.size(); ++i) {
        text.append(pieces_[i].written);
        if (!pieces_[i].lookedUp || i + 1 == pieces_.size()) continue;
        std::string ahead = pieces_[i].written;
        for (size_t j = i + 1; j < pieces_.size() && ahead.size() < 64; ++j) ahead.append(pieces_[j].written);
        const std::u16string codes = characterCodes(ahead);
        size_t matched = 0;
        lyrics_.dictionary().lookup(codes.c_str(), matched);
        if (matched != characterCodes(pieces_[i].written).size()) text.push_back(' ');
    }
    return text;
}

void TrackPrinter::finishLine(int64_t bar, std::string& out) {
    if (tokens_.empty()) return;
    // The line's most frequent length as its default, where it is a single
    // note value written more than once and more often than the one in force.
    std::map<int64_t, int> counts;
    for (const Token& token : tokens_) {
        if (token.length > 0 && !singleNoteValue(token.length).empty()) ++counts[token.length];
    }
    int64_t common = defaultLength_;
    int commonCount = counts.contains(defaultLength_) ? counts[defaultLength_] : 0;
    for (const auto& [length, count] : counts) {
        if (count > commonCount) {
            common = length;
            commonCount = count;
        }
    }
    std::string line;
    if (common != defaultLength_ && commonCount >= 2) {
        line.append("l").append(singleNoteValue(common)).append(" ");
        defaultLength_ = common;
    }
    for (const Token& token : tokens_) {
        line.append(token.before).append(token.head);
        if (token.length > 0) line.append(lengthText(token.length, defaultLength_));
        line.push_back(' ');
    }
    if (!pieces_.empty()) line.append("\"").append(lyricText()).append("\" ");
    line.append(" ; bar ").append(std::to_string(bar + 1)).append("\n");
    out.append(line);
    tokens_.clear();
    pieces_.clear();
}

}  // namespace

std::string singerRegistration(const ImportedSinger& singer) {
    return "@SGR" + std::to_string(singer.language) + "," + std::to_string(singer.program) + ",\"" + singer.name + "\"";
}

void printTrack(const ImportedSong& song, const TrackScore& score, size_t track, const LyricPlan& lyrics,
                const MmlBars& bars, const std::vector<LoopSpan>& loops, SingerRegistry& singers, std::string& out) {
    TrackPrinter(song, score, track, lyrics, bars, loops, singers).print(out);
}
