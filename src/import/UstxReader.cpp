// The OpenUtau project reader: YAML events followed down the few paths the
// song needs (the tempo map, the tracks, the voice parts with their notes and
// curves), then the parts turned into voice tracks.
#include "import/UstxReader.h"

#include <yaml-cpp/depthguard.h>
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/exceptions.h>
#include <yaml-cpp/mark.h>
#include <yaml-cpp/parser.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <istream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <streambuf>
#include <vector>

#include "import/ExpressionUnits.h"
#include "import/FileTicks.h"
#include "import/Numbers.h"
#include "import/PhoneticSpelling.h"
#include "import/PitchLine.h"
#include "import/RampPoints.h"
#include "import/TextCodes.h"
#include "import/Vibratos.h"
#include "song/CurveTable.h"
#include "song/Limits.h"
#include "song/Song.h"
#include "song/Ticks.h"

namespace {

constexpr size_t kHeaderLines = 10;
// OpenUtau edits curves on a grid of 5 ticks: a rise over no more is a step.
constexpr int64_t kStepTicks = 5;
// The first version with lists of tempos and time signatures.
constexpr double kTempoListVersion = 0.6;
const std::string kLongVowelMark = "\x81[";  // "ー"

// A stream over bytes held elsewhere, so the YAML is not copied.
class ViewBuffer final : public std::streambuf {
public:
    explicit ViewBuffer(std::string_view bytes) {
        char* data = const_cast<char*>(bytes.data());
        setg(data, data, data + bytes.size());
    }
};

// Thrown from the event handler to stop reading.
struct Refusal {
    std::string why;
};

enum class Place : uint8_t {
    Other, Root, Tempos, Tempo, Metres, Metre, Tracks, Track, Parts, Part, Notes, Note, Pitch, PitchData,
    PitchPoint, Vibrato, Expressions, Expression, Curves, Curve, CurveXs, CurveYs, WaveParts,
};

struct Frame {
    Place place;
    bool map;
    bool awaitingKey = true;
    std::string key;
};

struct ProjectNote {
    double position = 0;
    double duration = 0;
    double tone = 60;
    std::string lyric;
    bool pitched = false;   // a pitch point off the note's own pitch
    double tuning = 0;
    double vibratoLength = 0;
    double period = 175;
    double depth = 25;
    double fadeIn = 10;
    double fadeOut = 10;
    double shift = 0;
    double drift = 0;
    double volumeLink = 0;
    std::optional<double> velocity;
    std::optional<double> attack;
    std::optional<double> decay;
};

struct ProjectCurve {
    std::vector<double> xs;
    std::vector<double> ys;
    std::string abbr;
};

struct ProjectPart {
    double track = 0;
    double position = 0;
    std::vector<ProjectNote> notes;
    std::vector<ProjectCurve> curves;
};

struct ProjectTrack {
    std::string singer;
    std::string name;
};

struct ProjectExpression {
    double index = 0;
    std::string abbr;
    double value = 0;
};

// What the YAML says, gathered event by event.
class ProjectEvents final : public YAML::EventHandler {
public:
    std::string version;
    std::optional<double> bpm;
    std::optional<double> beatsPerBar;
    std::optional<double> beatUnit;
    std::optional<double> resolution;
    std::vector<std::pair<double, double>> tempos;          // position, bpm
    std::vector<std::array<double, 3>> metres;              // bar, beats per bar, beat unit
    std::vector<ProjectTrack> tracks;
    std::vector<ProjectPart> parts;
    bool waveParts = false;
    std::set<std::string> otherExpressions;

    void OnDocumentStart(const YAML::Mark&) override {}
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark&, YAML::anchor_t) override { scalar(""); }
    void OnAlias(const YAML::Mark&, YAML::anchor_t anchor) override {
        const auto found = anchoredScalars_.find(anchor);
        if (found == anchoredScalars_.end())
            throw Refusal{"an alias of a YAML mapping or list (how YAML bombs grow); OpenUtau writes none"};
        scalar(found->second);
    }
    void OnScalar(const YAML::Mark&, const std::string&, YAML::anchor_t anchor, const std::string& value) override {
        if (anchor != YAML::NullAnchor) anchoredScalars_[anchor] = value;
        scalar(value);
    }
    void OnSequenceStart(const YAML::Mark&, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override {
        open(false);
    }
    void OnSequenceEnd() override { close(); }
    void OnMapStart(const YAML::Mark&, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override {
        open(true);
    }
    void OnMapEnd() override { close(); }

private:
    Place placeOfChild(bool map) const;
    void open(bool map);
    void close();
    void scalar(const std::string& value);
    void value(Place place, const std::string& key, const std::string& text);
    void done() {
        if (!frames_.empty() && frames_.back().map) {
            frames_.back().awaitingKey = true;
            frames_.back().key.clear();
        }
    }

    std::vector<Frame> frames_;
    std::map<YAML::anchor_t, std::string> anchoredScalars_;
    ProjectNote note_;
    ProjectPart part_;
    ProjectCurve curve_;
    ProjectTrack track_;
    ProjectExpression expression_;
    std::pair<double, double> tempo_;
    std::array<double, 3> metre_{};
};

Place ProjectEvents::placeOfChild(bool map) const {
    if (frames_.empty()) return map ? Place::Root : Place::Other;
    const Frame& parent = frames_.back();
    if (parent.map && parent.awaitingKey) return Place::Other;  // a mapping or list as a key
    const std::string& key = parent.key;
    struct Step {
        Place parent;
        const char* key;  // null for the items of a list
        bool map;
        Place child;
    };
    static constexpr Step kSteps[] = {
        {Place::Root, "tempos", false, Place::Tempos},   {Place::Tempos, nullptr, true, Place::Tempo},
        {Place::Root, "time_signatures", false, Place::Metres}, {Place::Metres, nullptr, true, Place::Metre},
        {Place::Root, "tracks", false, Place::Tracks},   {Place::Tracks, nullptr, true, Place::Track},
        {Place::Root, "voice_parts", false, Place::Parts}, {Place::Parts, nullptr, true, Place::Part},
        {Place::Root, "wave_parts", false, Place::WaveParts},
        {Place::Part, "notes", false, Place::Notes},      {Place::Notes, nullptr, true, Place::Note},
        {Place::Note, "pitch", true, Place::Pitch},       {Place::Pitch, "data", false, Place::PitchData},
        {Place::PitchData, nullptr, true, Place::PitchPoint}, {Place::Note, "vibrato", true, Place::Vibrato},
        {Place::Note, "phoneme_expressions", false, Place::Expressions},
        {Place::Expressions, nullptr, true, Place::Expression},
        {Place::Part, "curves", false, Place::Curves},    {Place::Curves, nullptr, true, Place::Curve},
        {Place::Curve, "xs", false, Place::CurveXs},      {Place::Curve, "ys", false, Place::CurveYs},
    };
    for (const Step& step : kSteps) {
        if (step.parent != parent.place || step.map != map) continue;
        if (step.key == nullptr ? !parent.map : (parent.map && key == step.key)) return step.child;
    }
    return Place::Other;
}

void ProjectEvents::open(bool map) {
    const Place place = placeOfChild(map);
    switch (place) {
    case Place::Note: note_ = ProjectNote(); break;
    case Place::Part: part_ = ProjectPart(); break;
    case Place::Curve: curve_ = ProjectCurve(); break;
    case Place::Track: track_ = ProjectTrack(); break;
    case Place::Expression: expression_ = ProjectExpression(); break;
    case Place::Tempo: tempo_ = {0, kDefaultTempo}; break;
    case Place::Metre: metre_ = {0, kDefaultMetreNumerator, kDefaultMetreDenominator}; break;
    case Place::WaveParts: waveParts = true; break;
    default: break;
    }
    frames_.push_back({place, map, true, std::string()});
}

void ProjectEvents::close() {
    if (frames_.empty()) return;
    const Place place = frames_.back().place;
    frames_.pop_back();
    switch (place) {
    case Place::Note: part_.notes.push_back(std::move(note_)); break;
    case Place::Part: parts.push_back(std::move(part_)); break;
    case Place::Curve: part_.curves.push_back(std::move(curve_)); break;
    case Place::Track: tracks.push_back(std::move(track_)); break;
    case Place::Tempo: tempos.push_back(tempo_); break;
    case Place::Metre: metres.push_back(metre_); break;
    case Place::Expression:
        // The note's own expressions are those of its first phoneme.
        if (expression_.index != 0) {
            otherExpressions.insert("expressions of a note's later phonemes");
        } else if (expression_.abbr == "vel") {
            note_.velocity = expression_.value;
        } else if (expression_.abbr == "atk" || expression_.abbr == "acc") {
            note_.attack = expression_.value;
        } else if (expression_.abbr == "dec") {
            note_.decay = expression_.value;
        } else {
            otherExpressions.insert("note expression " + expression_.abbr);
        }
        break;
    default: break;
    }
    done();
}

void ProjectEvents::scalar(const std::string& text) {
    if (frames_.empty()) return;
    Frame& frame = frames_.back();
    if (frame.map && frame.awaitingKey) {
        frame.key = text;
        frame.awaitingKey = false;
        return;
    }
    value(frame.place, frame.key, text);
    done();
}

void ProjectEvents::value(Place place, const std::string& key, const std::string& text) {
    const auto number = [&](double fallback) { return parseDecimal(text).value_or(fallback); };
    switch (place) {
    case Place::Root:
        if (key == "ustx_version") version = text;
        else if (key == "bpm") bpm = parseDecimal(text);
        else if (key == "beat_per_bar") beatsPerBar = parseDecimal(text);
        else if (key == "beat_unit") beatUnit = parseDecimal(text);
        else if (key == "resolution") resolution = parseDecimal(text);
        break;
    case Place::Tempo:
        if (key == "position") tempo_.first = number(0);
        else if (key == "bpm") tempo_.second = number(kDefaultTempo);
        break;
    case Place::Metre:
        if (key == "bar_position") metre_[0] = number(0);
        else if (key == "beat_per_bar") metre_[1] = number(kDefaultMetreNumerator);
        else if (key == "beat_unit") metre_[2] = number(kDefaultMetreDenominator);
        break;
    case Place::Track:
        if (key == "singer") track_.singer = text;
        else if (key == "track_name") track_.name = text;
        break;
    case Place::Part:
        if (key == "track_no") part_.track = number(0);
        else if (key == "position") part_.position = number(0);
        break;
    case Place::Note:
        if (key == "position") note_.position = number(0);
        else if (key == "duration") note_.duration = number(0);
        else if (key == "tone") note_.tone = number(60);
        else if (key == "lyric") note_.lyric = text;
        else if (key == "tuning") note_.tuning = number(0);
        break;
    case Place::PitchPoint:
        if (key == "y" && number(0) != 0) note_.pitched = true;
        break;
    case Place::Vibrato:
        if (key == "length") note_.vibratoLength = number(0);
        else if (key == "period") note_.period = number(175);
        else if (key == "depth") note_.depth = number(25);
        else if (key == "in") note_.fadeIn = number(10);
        else if (key == "out") note_.fadeOut = number(10);
        else if (key == "shift") note_.shift = number(0);
        else if (key == "drift") note_.drift = number(0);
        else if (key == "vol_link") note_.volumeLink = number(0);
        break;
    case Place::Expression:
        if (key == "index") expression_.index = number(0);
        else if (key == "abbr") expression_.abbr = text;
        else if (key == "value") expression_.value = number(0);
        break;
    case Place::Curve:
        if (key == "abbr") curve_.abbr = text;
        break;
    case Place::CurveXs: curve_.xs.push_back(number(0)); break;
    case Place::CurveYs: curve_.ys.push_back(number(0)); break;
    default: break;
    }
}

// Turns what the project says into the song.
class ProjectSong {
public:
    ProjectSong(const ProjectEvents& events, const SyllableDictionary& dictionary, ImportedSong& song,
                size_t mostPoints)
        : events_(events), dictionary_(dictionary), song_(song), lost_(song.notCarried),
          ticks_(events.resolution && *events.resolution > 0 ? roundToInteger(*events.resolution) : kTicksPerQuarterNote),
          pointsLeft_(mostPoints) {}

    bool build(std::string& problem);

private:
    void tempoMap();
    std::string text(const std::string& utf8) const;
    void addNote(ImportedTrack& track, const ProjectNote& note, double partPosition, std::string& before);
    bool addCurve(ImportedTrack& track, const ProjectCurve& curve, double partPosition, int64_t end,
                  PitchLine& pitch, std::string& problem);
    int64_t songTicks(double fileTicks) const { return ticks_.toSong(roundToInteger(fileTicks)); }

    const ProjectEvents& events_;
    const SyllableDictionary& dictionary_;
    ImportedSong& song_;
    NotCarried& lost_;
    FileTicks ticks_;
    size_t pointsLeft_;
};

std::string ProjectSong::text(const std::string& utf8) const {
    std::string converted;
    if (!utf8ToCp932(utf8, converted)) lost_.note("characters code page 932 does not have become \"?\"");
    return converted;
}

void ProjectSong::tempoMap() {
    TempoMap& map = song_.tempoMap;
    const std::optional<double> version = parseDecimal(events_.version);
    const bool lists = version && *version >= kTempoListVersion && !events_.tempos.empty();
    const auto bpmOf = [&](double bpm) {
        if (bpm != std::round(bpm)) lost_.note("tempos that are not a whole number of beats a minute are rounded");
        return static_cast<int32_t>(clampTo(roundToInteger(bpm), 1, INT32_MAX));
    };
    if (lists) {
        for (const auto& [position, bpm] : events_.tempos)
            map.tempos.push_back({static_cast<int32_t>(clampTo(songTicks(position), 0, INT32_MAX)), bpmOf(bpm)});
    } else {
        map.tempos.push_back({0, bpmOf(events_.bpm.value_or(kDefaultTempo))});
    }
    std::vector<std::array<double, 3>> metres = events_.metres;
    if (!(version && *version >= kTempoListVersion) || metres.empty())
        metres = {{0, events_.beatsPerBar.value_or(kDefaultMetreNumerator), events_.beatUnit.value_or(kDefaultMetreDenominator)}};
    std::stable_sort(metres.begin(), metres.end(), [](const auto& a, const auto& b) { return a[0] < b[0]; });
    // Time signatures stand at bars: their times add up the bars before them.
    int64_t time = 0;
    int64_t bar = 0;
    MetreMark current{0, kDefaultMetreNumerator, kDefaultMetreDenominator};
    for (const auto& [barPosition, numerator, unit] : metres) {
        const int64_t at = clampTo(roundToInteger(barPosition), bar, bar + INT32_MAX);
        time = clampTo(time + (at - bar) * measureTicks(current.numerator, current.denominator), 0, INT32_MAX);
        bar = at;
        current = {static_cast<int32_t>(time), static_cast<int32_t>(clampTo(roundToInteger(numerator), 0, 1000)),
                   static_cast<int32_t>(clampTo(roundToInteger(unit), 0, 1000))};
        if (current.numerator <= 0 || current.denominator <= 0) current = {current.time, 4, 4};
        map.metres.push_back(current);
    }
}

void ProjectSong::addNote(ImportedTrack& track, const ProjectNote& project, double partPosition, std::string& before) {
    ImportedNote note;
    note.time = songTicks(partPosition + project.position);
    note.length = static_cast<int32_t>(clampTo(songTicks(project.duration), 0, INT32_MAX));
    const int64_t tone = roundToInteger(project.tone);
    if (tone < 0 || tone > 127) lost_.note("note numbers outside 0 to 127 are held at the edge");
    note.note = static_cast<uint8_t>(clampTo(tone, 0, 127));
    if (project.tuning != 0) lost_.note("note tunings");
    if (project.pitched) {
        lost_.note("pitch points drawn on notes (the pitd curve is carried; the synthesizer sings its own glides)");
    }
    if (project.velocity) note.velocity = static_cast<uint8_t>(velocityOfSpeed(static_cast<int32_t>(clampTo(roundToInteger(*project.velocity), 0, 1000))));
    if (project.attack) note.accent = static_cast<uint8_t>(accentOfAttack(static_cast<int32_t>(clampTo(roundToInteger(*project.attack), 0, 1000))));
    if (project.decay) note.decay = static_cast<uint8_t>(decayOfDecay(static_cast<int32_t>(clampTo(roundToInteger(*project.decay), -1000, 1000))));

    // The extender "+" (with its forms "+~", "+*", "+2", and "..." of old
    // projects) holds the vowel of the note before, as a long-vowel mark does.
    std::string lyric = project.lyric;
    // A phonetic hint alone, "[symbols]", sings its symbols.
    const std::optional<ImportedLyric> hinted = lyricOfHint(lyric);
    if ((!lyric.empty() && lyric.front() == '+') || lyric == "...") {
        lyric = kLongVowelMark;
    } else if (!hinted) {
        const size_t hint = lyric.find('[');
        if (hint != std::string::npos) {
            lost_.note("phonetic hints in brackets (the dictionary gives the symbols)");
            lyric.erase(hint);
        }
        lyric = text(lyric);
    }
    const ImportedLyric sung = hinted ? *hinted : lyricOfText(dictionary_, lyric, before, lost_);
    before = sung.symbols;
    note.lyric = song_.lyricIndex(sung);

    if (project.vibratoLength > 0 && project.depth > 0) {
        const VibratoMatch match = vibratoTypeForSound(static_cast<int32_t>(clampTo(roundToInteger(project.period), 0, 100000)),
                                                       static_cast<int32_t>(clampTo(roundToInteger(project.depth), 0, 100000)));
        if (!match.exact) lost_.note("vibrato periods and depths no vibrato type has: the nearest type is taken");
        if (project.fadeIn != 10 || project.fadeOut != 10 || project.shift != 0 || project.drift != 0 ||
            project.volumeLink != 0)
            lost_.note("vibrato fades, shifts, drifts and volume links (every vibrato fades in and out over a tenth)");
        note.vibratoType = static_cast<uint8_t>(match.type);
        note.vibratoLength = static_cast<int32_t>(
            std::max<int64_t>(1, roundToInteger(std::min(project.vibratoLength, 100.0) * note.length / 100)));
    }
    track.notes.push_back(note);
}

bool ProjectSong::addCurve(ImportedTrack& track, const ProjectCurve& curve, double partPosition, int64_t end,
                           PitchLine& pitch, std::string& problem) {
    // Each curve carried: the song's curve it becomes, how a value maps onto
    // it (none for pitd, drawn as a pitch line) and the range of its values.
    struct Carried {
        const char* abbr;
        CommandCode command;
        int32_t (*map)(int32_t);
        int32_t low;
        int32_t high;
    };
    static constexpr Carried kCarried[] = {
        {"dyn", CmdDynamics, dynamicsOfLevel, -240, 120},
        {"pitd", CmdPitchBend, nullptr, -1200, 1200},
        {"brec", CmdBreathiness, breathinessOfBreath, -100, 100},
        {"genc", CmdGenderFactor, genderFactorOfGender, -100, 100},
    };
    const auto carried = std::find_if(std::begin(kCarried), std::end(kCarried),
                                      [&](const Carried& c) { return curve.abbr == c.abbr; });
    if (carried == std::end(kCarried)) {
        lost_.note("curves other than dyn, pitd, brec and genc");
        return true;
    }
    const auto map = carried->map;
    const int32_t low = carried->low;
    const int32_t high = carried->high;
    const CommandCode command = carried->command;
    const size_t count = std::min(curve.xs.size(), curve.ys.size());
    if (count == 0) return true;
    std::vector<ImportedPoint>& points = track.curves[static_cast<size_t>(curveOfCommand(command)->id)];
    const auto tooDense = [&] {
        problem = "the curves hold more points than a file of this size can mean";
        return false;
    };
    // A step, or a straight line from the value there, drawn as the ramp a
    // curve command writes; a mapped curve holds its default before its first
    // point. Points after the part's last note sound nowhere and are not drawn.
    int32_t last = map != nullptr ? map(0) : 0;
    const auto mapped = [&](int32_t value) { return map != nullptr ? map(value) : value; };
    const auto stepTo = [&](int64_t tick, int32_t value) {
        if (map == nullptr) return pitch.hold(tick, value);
        if (mapped(value) == last) return true;
        if (pointsLeft_ == 0) return false;
        --pointsLeft_;
        last = mapped(value);
        points.push_back(pointAt(tick, last));
        return true;
    };
    const auto lineTo = [&](int64_t from, int32_t fromValue, int64_t to, int32_t toValue) {
        if (map == nullptr) return pitch.segment(from, fromValue, to, toValue, LineShape::Straight);
        const int64_t moves = rampPointCount(last, mapped(toValue), from, to);
        if (moves > static_cast<int64_t>(pointsLeft_)) return false;
        pointsLeft_ -= static_cast<size_t>(moves);
        appendRampPoints(points, last, mapped(toValue), from, to);
        last = mapped(toValue);
        return true;
    };
    const auto at = [&](size_t i) { return songTicks(partPosition + curve.xs[i]); };
    const auto valueOf = [&](size_t i) { return static_cast<int32_t>(clampTo(roundToInteger(curve.ys[i]), low, high)); };
    if (at(0) < end && !stepTo(at(0), valueOf(0))) return tooDense();
    for (size_t i = 0; i + 1 < count; ++i) {
        const int64_t x0 = at(i);
        const int64_t x1 = std::min(at(i + 1), end);
        if (x0 >= end) break;
        if (x1 <= x0) continue;
        // OpenUtau draws a step as a rise over its 5-tick grid.
        const bool drawn = x1 - x0 > kStepTicks ? lineTo(x0, valueOf(i), x1, valueOf(i + 1))
                                                : x1 >= end || stepTo(x1, valueOf(i + 1));
        if (!drawn) return tooDense();
    }
    if (at(count - 1) + 1 < end && !stepTo(at(count - 1) + 1, 0)) return tooDense();
    return true;
}

bool ProjectSong::build(std::string& problem) {
    size_t notes = 0;
    for (const ProjectPart& part : events_.parts) notes += part.notes.size();
    if (notes > kMostImportedNotes) {
        problem = "more than " + std::to_string(kMostImportedNotes) + " notes, more than a song may hold";
        return false;
    }
    tempoMap();
    if (events_.waveParts) lost_.note("audio (wave) parts");
    for (const std::string& kind : events_.otherExpressions) lost_.note(kind + " (of OpenUtau's note expressions only velocity, attack and decay are carried)");
    std::map<int64_t, std::vector<const ProjectPart*>> byTrack;
    for (const ProjectPart& part : events_.parts) byTrack[roundToInteger(part.track)].push_back(&part);
    for (auto& [number, parts] : byTrack) {
        std::stable_sort(parts.begin(), parts.end(),
                         [](const ProjectPart* a, const ProjectPart* b) { return a->position < b->position; });
        ImportedTrack& track = song_.tracks.emplace_back();
        std::string name;
        if (number >= 0 && number < static_cast<int64_t>(events_.tracks.size())) {
            const ProjectTrack& project = events_.tracks[static_cast<size_t>(number)];
            name = text(!project.singer.empty() ? project.singer : project.name);
        }
        track.singers.push_back({0, 0, 0, name.empty() ? std::string(kDefaultSingerName) : name});
        // One sensitivity holds the highest pitd of the track.
        int32_t widest = 0;
        for (const ProjectPart* part : parts) {
            for (const ProjectCurve& curve : part->curves) {
                if (curve.abbr != "pitd") continue;
                for (const double y : curve.ys) widest = std::max<int32_t>(widest, static_cast<int32_t>(clampTo(std::llabs(roundToInteger(y)), 0, 1200)));
            }
        }
        PitchLine pitch(widest, pointsLeft_);
        std::string before;
        for (const ProjectPart* part : parts) {
            int64_t end = 0;
            for (const ProjectNote& note : part->notes) {
                addNote(track, note, part->position, before);
                end = std::max(end, track.notes.back().time + track.notes.back().length);
            }
            for (const ProjectCurve& curve : part->curves) {
                if (!addCurve(track, curve, part->position, end, pitch, problem)) return false;
            }
        }
        pitch.writeCurves(track);
    }
    return true;
}

}  // namespace

bool looksLikeUstxFile(std::string_view bytes) {
    size_t at = 0;
    for (size_t line = 0; line < kHeaderLines && at < bytes.size(); ++line) {
        size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos) end = bytes.size();
        if (bytes.substr(at, end - at).find("ustx_version") != std::string_view::npos) return true;
        at = end + 1;
    }
    return false;
}

bool readUstxFile(std::string_view bytes, const SyllableDictionary& dictionary, ImportedSong& song,
                  std::string& problem) {
    ProjectEvents events;
    try {
        ViewBuffer buffer(bytes);
        std::istream in(&buffer);
        YAML::Parser parser(in);
        parser.HandleNextDocument(events);
    } catch (const Refusal& refusal) {
        problem = refusal.why;
        return false;
    } catch (const YAML::DeepRecursion& error) {
        problem = "the YAML nests mappings and lists deeper than " + std::to_string(error.depth()) + " levels";
        return false;
    } catch (const YAML::Exception& error) {
        problem = "the YAML is malformed at line " + std::to_string(error.mark.line + 1) + ": " + error.msg;
        return false;
    }
    if (events.version.empty() && events.parts.empty()) {
        problem = "the YAML holds no OpenUtau project (no ustx_version, no voice_parts)";
        return false;
    }
    // The curves are drawn tick by tick; a file may not make more points of
    // them than a few for each of its bytes.
    return ProjectSong(events, dictionary, song, bytes.size() / 8 + (size_t{1} << 20)).build(problem);
}
