// The UTAU sequence reader: the sections in file order, each note placed
// after the one before, its pitch points drawn into the track's pitch line.
#include "import/UstReader.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "import/ExpressionUnits.h"
#include "import/IniText.h"
#include "import/Numbers.h"
#include "import/PhoneticSpelling.h"
#include "import/PitchLine.h"
#include "import/TextCodes.h"
#include "import/Vibratos.h"
#include "song/CurveTable.h"
#include "song/Limits.h"
#include "song/Song.h"
#include "song/Ticks.h"
#include "text/Encoding.h"

namespace {

constexpr size_t kHeaderLines = 20;
constexpr int64_t kPitchArrayStep = 5;  // ticks between the values of a mode-1 pitch array
// How many breakpoints a sequence's pitch line may take: a few for each byte
// of the file, so that nonsense lengths and heights cannot make it draw for ever.
constexpr size_t kPitchPoints = size_t{1} << 20;
constexpr size_t kBytesPerPitchPoint = 4;

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

// The lines near the start of the file.
std::string_view head(std::string_view bytes) {
    size_t at = 0;
    for (size_t line = 0; line < kHeaderLines && at < bytes.size(); ++line) {
        const size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos) return bytes;
        at = end + 1;
    }
    return bytes.substr(0, at);
}

// Numbers of a list such as "12,3,,-4"; an empty item is `missing`.
std::vector<double> numberList(std::string_view text, char separator, double missing) {
    std::vector<double> numbers;
    if (text.empty()) return numbers;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(separator, at);
        if (end == std::string_view::npos) end = text.size();
        numbers.push_back(parseDecimal(text.substr(at, end - at)).value_or(missing));
        at = end + 1;
    }
    return numbers;
}

std::vector<std::string_view> itemList(std::string_view text) {
    std::vector<std::string_view> items;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(',', at);
        if (end == std::string_view::npos) end = text.size();
        items.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return items;
}

LineShape shapeOf(std::string_view mark) {
    if (mark == "s") return LineShape::Straight;
    if (mark == "r") return LineShape::EaseOut;
    if (mark == "j") return LineShape::EaseIn;
    return LineShape::EaseInOut;
}

// The keys of one note section.
struct UstNote {
    std::optional<double> length;
    std::optional<double> delta;
    std::optional<double> duration;
    std::string_view lyric;
    std::optional<int64_t> noteNumber;
    std::optional<double> tempo;
    std::optional<double> intensity;
    std::optional<double> velocity;
    std::string_view pitchStart;  // PBS
    std::string_view pitchWidths;
    std::string_view pitchHeights;
    std::string_view pitchShapes;
    std::string_view pitchArray;  // mode 1
    std::optional<double> pitchArrayStart;
    std::string_view vibrato;
};

class UstReader {
public:
    UstReader(std::string_view bytes, const SyllableDictionary& dictionary, ImportedSong& song)
        : bytes_(bytes), dictionary_(dictionary), song_(song), lost_(song.notCarried) {}

    bool read(std::string& problem);

private:
    void chooseCharset();
    std::string text(std::string_view value) const;
    void readSettings(std::string_view body);
    UstNote noteKeys(std::string_view body);
    int64_t ticksOfMs(double ms) const { return roundToInteger(ms * tempo_ * kTicksPerQuarterNote / 60000.0); }
    bool addNote(const UstNote& keys, int64_t start, int64_t length);
    // False when the pitch line would take longer to draw than the file's size allows.
    bool drawPitch(const UstNote& keys, int64_t start, int64_t end);
    void mergeTempoMap();

    std::string_view bytes_;
    const SyllableDictionary& dictionary_;
    ImportedSong& song_;
    NotCarried& lost_;
    bool utf8_ = false;
    double tempo_ = kDefaultTempo;
    std::string singer_;
    TempoMap tempoMap_;
    ImportedTrack track_;
    std::optional<PitchLine> pitch_;  // drawn once the widest height of the notes is known
    std::string before_;  // the symbols of the note before
    int32_t dynamics_ = curveOfCommand(CmdDynamics)->defaultValue;
};

void UstReader::chooseCharset() {
    if (startsWithUtf8ByteOrderMark(reinterpret_cast<const unsigned char*>(bytes_.data()), bytes_.size())) {
        utf8_ = true;
        bytes_.remove_prefix(kUtf8ByteOrderMark.size());
    }
    const std::string start = lower(head(bytes_));
    const size_t at = start.find("charset=");
    if (at == std::string::npos) return;
    size_t end = start.find_first_of("\r\n", at);
    if (end == std::string::npos) end = start.size();
    const std::string name = start.substr(at + 8, end - at - 8);
    if (name == "utf-8" || name == "utf8") {
        utf8_ = true;
    } else if (name != "shift_jis" && name != "shift-jis" && name != "sjis" && name != "cp932" &&
               name != "windows-31j") {
        lost_.note("charsets other than UTF-8 and Shift-JIS: the text is read as Shift-JIS (code page 932)");
    }
}

std::string UstReader::text(std::string_view value) const {
    if (!utf8_) return std::string(value);
    std::string converted;
    if (!utf8ToCp932(value, converted)) lost_.note("characters code page 932 does not have become \"?\"");
    return converted;
}

void UstReader::readSettings(std::string_view body) {
    std::string voiceDir;
    std::string project;
    forEachIniLine(body, [&](std::string_view key, std::string_view value, bool) {
        if (key == "Tempo") {
            const std::optional<double> tempo = parseDecimal(value);
            if (tempo && *tempo > 0) tempo_ = *tempo;
        } else if (key == "VoiceDir") {
            voiceDir = text(value);
        } else if (key == "ProjectName") {
            project = text(value);
        } else if (key == "TimeSignatures") {
            // "(4/4/0),(3/4/2)": numerator, denominator and the bar it starts at.
            int64_t time = 0;
            int64_t bar = 0;
            MetreMark current{0, kDefaultMetreNumerator, kDefaultMetreDenominator};
            size_t at = 0;
            while ((at = value.find('(', at)) != std::string_view::npos) {
                const size_t close = value.find(')', at);
                if (close == std::string_view::npos) break;
                const std::vector<double> fields = numberList(value.substr(at + 1, close - at - 1), '/', -1);
                at = close;
                if (fields.size() != 3 || fields[0] < 1 || fields[1] < 1 || fields[2] < bar) continue;
                time += (static_cast<int64_t>(fields[2]) - bar) * measureTicks(current.numerator, current.denominator);
                bar = static_cast<int64_t>(fields[2]);
                current = {static_cast<int32_t>(clampTo(time, 0, INT32_MAX)), static_cast<int32_t>(clampTo(roundToInteger(fields[0]), 1, 1000)),
                           static_cast<int32_t>(clampTo(roundToInteger(fields[1]), 1, 1000))};
                tempoMap_.metres.push_back(current);
            }
        } else if (key == "Flags" && !value.empty()) {
            lost_.note("UTAU's resampler flags");
        }
    });
    // The voicebank's folder names the singer; without one, the project does.
    const size_t cut = voiceDir.find_last_of("/\\%");
    const std::string bank = cut == std::string::npos ? voiceDir : voiceDir.substr(cut + 1);
    singer_ = !bank.empty() ? bank : project;
}

UstNote UstReader::noteKeys(std::string_view body) {
    UstNote keys;
    forEachIniLine(body, [&](std::string_view key, std::string_view value, bool) {
        if (key == "Length") {
            keys.length = parseDecimal(value);
        } else if (key == "Delta") {
            keys.delta = parseDecimal(value);
        } else if (key == "Duration") {
            keys.duration = parseDecimal(value);
        } else if (key == "Lyric") {
            keys.lyric = value;
        } else if (key == "NoteNum") {
            keys.noteNumber = parseInteger(value);
        } else if (key == "Tempo") {
            keys.tempo = parseDecimal(value);
        } else if (key == "Intensity") {
            keys.intensity = parseDecimal(value);
        } else if (key == "Velocity") {
            keys.velocity = parseDecimal(value);
        } else if (key == "PBS") {
            keys.pitchStart = value;
        } else if (key == "PBW") {
            keys.pitchWidths = value;
        } else if (key == "PBY") {
            keys.pitchHeights = value;
        } else if (key == "PBM") {
            keys.pitchShapes = value;
        } else if (key == "PitchBend" || key == "Pitches" || key == "Piches") {
            keys.pitchArray = value;
        } else if (key == "PBStart") {
            keys.pitchArrayStart = parseDecimal(value);
        } else if (key == "VBR") {
            keys.vibrato = value;
        } else if ((key == "Modulation" || key == "Moduration" || key == "PreUtterance" || key == "VoiceOverlap" ||
                    key == "StartPoint" || key == "Envelope" || key == "Flags" || key == "Label") &&
                   !value.empty()) {
            lost_.note("UTAU's per-note modulation, pre-utterance, overlap, start point, envelope, flags and labels");
        }
    });
    return keys;
}

bool UstReader::drawPitch(const UstNote& keys, int64_t start, int64_t end) {
    if (!keys.pitchStart.empty()) {
        // Mode 2: the first point's time and height, then widths to the next
        // points and their heights, in milliseconds and tenths of a semitone.
        const char separator = keys.pitchStart.find(';') != std::string_view::npos ? ';' : ',';
        const std::vector<double> first = numberList(keys.pitchStart, separator, 0);
        const std::vector<double> widths = numberList(keys.pitchWidths, ',', 0);
        const std::vector<double> heights = numberList(keys.pitchHeights, ',', 0);
        const std::vector<std::string_view> shapes = itemList(keys.pitchShapes);
        double ms = first.empty() ? 0 : first[0];
        double height = first.size() > 1 ? first[1] : 0;
        if (ms < 0 || (!widths.empty() && ms + widths[0] < 0)) lost_.note("pitch points before a note's start");
        if (!pitch_->hold(start, 0)) return false;
        for (size_t k = 0; k < widths.size(); ++k) {
            const double nextMs = ms + widths[k];
            const double nextHeight = k < heights.size() ? heights[k] : 0;
            const int64_t from = std::max(start + ticksOfMs(ms), start);
            const int64_t to = std::min(start + ticksOfMs(nextMs), end);
            if (to > from) {
                // A segment cut at the note's start begins where the line is there.
                const double span = nextMs - ms;
                const double cut = span > 0 ? std::clamp(-ms / span, 0.0, 1.0) : 0;
                const double fromHeight = ms < 0 ? height + (nextHeight - height) * cut : height;
                if (!pitch_->segment(from, fromHeight * 10, to, nextHeight * 10,
                                    shapeOf(k < shapes.size() ? shapes[k] : std::string_view())))
                    return false;
            }
            ms = nextMs;
            height = nextHeight;
        }
        const int64_t last = std::max(start + ticksOfMs(ms), start);
        return last >= end || pitch_->hold(last, height * 10);
    }
    if (!keys.pitchArray.empty()) {
        // Mode 1: cents every 5 ticks from PBStart (milliseconds from the note's start).
        const std::vector<double> cents = numberList(keys.pitchArray, ',', 0);
        const int64_t from = start + ticksOfMs(keys.pitchArrayStart.value_or(0));
        for (size_t i = 0; i + 1 < cents.size(); ++i) {
            const int64_t tick = from + static_cast<int64_t>(i) * kPitchArrayStep;
            if (tick + kPitchArrayStep <= start || tick >= end) continue;
            if (!pitch_->segment(std::max(tick, start), cents[i], std::min(tick + kPitchArrayStep, end), cents[i + 1],
                                LineShape::Straight))
                return false;
        }
        return true;
    }
    return pitch_->hold(start, 0);
}

bool UstReader::addNote(const UstNote& keys, int64_t start, int64_t length) {
    ImportedNote note;
    note.time = start;
    note.length = static_cast<int32_t>(clampTo(length, 0, INT32_MAX));
    note.note = static_cast<uint8_t>(clampTo(keys.noteNumber.value_or(60), 0, 127));
    if (keys.noteNumber && (*keys.noteNumber < 0 || *keys.noteNumber > 127)) {
        lost_.note("note numbers outside 0 to 127 are held at the edge");
    }
    note.velocity = static_cast<uint8_t>(velocityOfSpeed(static_cast<int32_t>(clampTo(roundToInteger(keys.velocity.value_or(100)), 0, 1000))));

    // The lyric: UTAU's "?" and "!" marks and a VCV alias's leading vowel go.
    std::string lyric = text(keys.lyric);
    while (!lyric.empty() && (lyric.front() == '?' || lyric.front() == '!')) lyric.erase(0, 1);
    // A phonetic hint "[symbols]" sings its symbols.
    const std::optional<ImportedLyric> hinted = lyricOfHint(lyric);
    const size_t blank = hinted ? std::string::npos : lyric.rfind(' ');
    if (blank != std::string::npos) {
        lost_.note("the leading vowels of VCV aliases (\"a か\" is sung as \"か\")");
        lyric.erase(0, blank + 1);
    }
    const ImportedLyric sung = hinted ? *hinted : lyricOfText(dictionary_, lyric, before_, lost_);
    before_ = sung.symbols;
    note.lyric = song_.lyricIndex(sung);

    if (!keys.vibrato.empty()) {
        const std::vector<double> vbr = numberList(keys.vibrato, ',', 0);
        const double share = !vbr.empty() ? std::clamp(vbr[0], 0.0, 100.0) : 0;
        if (share > 0 && vbr.size() >= 3 && vbr[2] > 0) {
            const VibratoMatch match = vibratoTypeForSound(static_cast<int32_t>(clampTo(roundToInteger(vbr[1]), 0, 100000)),
                                                           static_cast<int32_t>(clampTo(roundToInteger(vbr[2]), 0, 100000)));
            if (!match.exact) lost_.note("vibrato periods and depths no vibrato type has: the nearest type is taken");
            const bool plain = vbr.size() < 7 || (vbr[3] == 10 && vbr[4] == 10 && vbr[5] == 0 && vbr[6] == 0);
            if (!plain) lost_.note("vibrato fades, phases and heights (every vibrato fades in and out over a tenth)");
            note.vibratoType = static_cast<uint8_t>(match.type);
            note.vibratoLength = static_cast<int32_t>(std::max<int64_t>(1, roundToInteger(share * length / 100)));
        }
    }

    // Intensity becomes a step of the dynamics at the note.
    const int32_t volume = static_cast<int32_t>(clampTo(roundToInteger(keys.intensity.value_or(100)), 0, 1000));
    const int32_t dynamics = dynamicsOfVolume(volume);
    if (dynamics != dynamics_) {
        track_.curves[static_cast<size_t>(curveOfCommand(CmdDynamics)->id)].push_back(pointAt(start, dynamics));
        dynamics_ = dynamics;
        lost_.note("per-note Intensity: a step of the dynamics at each note (a sequence has no dynamics curve)");
    }
    track_.notes.push_back(note);
    return drawPitch(keys, start, start + length);
}

// A sequence puts a tempo change that falls inside one of its notes on the
// note's start, earlier than it is; so of the same change in several
// sequences the latest is taken: the changes of all of them in time order,
// and of a run of changes to one tempo the last.
void UstReader::mergeTempoMap() {
    std::vector<TempoMark>& tempos = song_.tempoMap.tempos;
    const auto same = [](const TempoMark& a, const TempoMark& b) { return a.time == b.time && a.bpm == b.bpm; };
    if (std::equal(tempos.begin(), tempos.end(), tempoMap_.tempos.begin(), tempoMap_.tempos.end(), same)) return;
    lost_.note("tempo changes inside the notes of a sequence: the time another sequence gives them is taken");
    std::vector<TempoMark> all = tempos;
    all.insert(all.end(), tempoMap_.tempos.begin(), tempoMap_.tempos.end());
    std::stable_sort(all.begin(), all.end(), [](const TempoMark& a, const TempoMark& b) { return a.time < b.time; });
    std::vector<TempoMark> merged;
    for (const TempoMark& mark : all) {
        if (!merged.empty() && merged.back().bpm == mark.bpm && merged.back().time > 0) {
            merged.back().time = mark.time;
        } else {
            merged.push_back(mark);
        }
    }
    tempos.swap(merged);
}

bool UstReader::read(std::string& problem) {
    chooseCharset();
    const std::vector<IniSection> sections = iniSections(bytes_);
    std::vector<std::pair<std::string_view, UstNote>> notes;
    bool timed = true;  // every note gives Delta and Duration (version 2.0)
    for (const IniSection& section : sections) {
        if (section.name == "#TRACKEND") break;
        if (section.name == "#SETTING") {
            readSettings(section.body);
        } else if (section.name.size() > 1 && section.name[0] == '#' &&
                   parseInteger(section.name.substr(1)).has_value()) {
            UstNote keys = noteKeys(section.body);
            if (!keys.length || *keys.length < 0) {
                problem = "the note section [" + std::string(section.name.substr(0, 20)) + "] has no Length";
                return false;
            }
            timed = timed && keys.delta && keys.duration;
            notes.emplace_back(section.name, keys);
            if (notes.size() > kMostImportedNotes) {
                problem = "more than " + std::to_string(kMostImportedNotes) + " notes, more than a song may hold";
                return false;
            }
        } else if (section.name != "#VERSION") {
            lost_.note("sections of a sequence other than [#VERSION], [#SETTING], the notes and [#TRACKEND]");
        }
    }
    if (notes.empty()) {
        problem = "the sequence has no note section";
        return false;
    }
    tempoMap_.tempos.push_back({0, static_cast<int32_t>(clampTo(roundToInteger(tempo_), 1, INT32_MAX))});
    // The pitch-bend sensitivity holds the highest of the notes' pitch points.
    double widest = 0;
    for (const auto& [name, keys] : notes) {
        const char separator = keys.pitchStart.find(';') != std::string_view::npos ? ';' : ',';
        const std::vector<double> first = numberList(keys.pitchStart, separator, 0);
        if (first.size() > 1) widest = std::max(widest, std::abs(first[1]) * 10);
        for (const double height : numberList(keys.pitchHeights, ',', 0)) widest = std::max(widest, std::abs(height) * 10);
        for (const double cents : numberList(keys.pitchArray, ',', 0)) widest = std::max(widest, std::abs(cents));
    }
    pitch_.emplace(static_cast<int32_t>(clampTo(roundToInteger(widest), 0, INT32_MAX)),
                   bytes_.size() / kBytesPerPitchPoint + kPitchPoints);
    int64_t position = 0;
    for (const auto& [name, keys] : notes) {
        const int64_t length = roundToInteger(*keys.length);
        int64_t start = position;
        int64_t sounding = length;
        if (timed) {
            start = position + roundToInteger(*keys.delta);
            sounding = roundToInteger(*keys.duration);
        }
        if (keys.tempo && *keys.tempo > 0) {
            tempo_ = *keys.tempo;
            tempoMap_.tempos.push_back({static_cast<int32_t>(clampTo(start, 0, INT32_MAX)),
                                        static_cast<int32_t>(clampTo(roundToInteger(tempo_), 1, INT32_MAX))});
        }
        if (tempo_ != std::round(tempo_)) lost_.note("tempos that are not a whole number of beats a minute are rounded");
        const std::string lyric = lower(keys.lyric);
        if (lyric != "r" && !keys.lyric.empty() && !addNote(keys, start, sounding)) {
            problem = "the pitch points reach further than the notes of a sequence of this size can";
            return false;
        }
        position = timed ? start : position + length;
        if (position > INT32_MAX) {
            problem = "the sequence is longer than a track may be";
            return false;
        }
    }
    pitch_->writeCurves(track_);
    track_.singers.push_back({0, 0, 0, singer_.empty() ? std::string(kDefaultSingerName) : singer_});
    if (song_.tracks.empty()) {
        song_.tempoMap = tempoMap_;
    } else {
        mergeTempoMap();
    }
    song_.tracks.push_back(std::move(track_));
    return true;
}

}  // namespace

bool looksLikeUstFile(std::string_view bytes) {
    const std::string_view start = head(bytes);
    return start.find("[#SETTING]") != std::string_view::npos || start.find("[#VERSION]") != std::string_view::npos;
}

bool readUstFile(std::string_view bytes, const SyllableDictionary& dictionary, ImportedSong& song,
                 std::string& problem) {
    return UstReader(bytes, dictionary, song).read(problem);
}
