// The project export: song ticks from 0 without the VSQ file's pre-measure,
// 480 ticks per quarter note. A track is named after the singer of its first
// note and names no voicebank of its own (the user picks one);
// its phonemizer forms Japanese syllables for CV and VCV voicebanks alike. A
// note part that holds the vowel before it becomes the project's extender
// "+", a long-vowel mark elsewhere the kana of its vowel. A note shorter than
// the editor's shortest is lengthened to it, and a note it then runs into
// starts where it ends. Curves are drawn as lines through the VSQ file's steps.
#include "writers/ustx/UstxExporter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "output/BlockOutput.h"
#include "output/KeptTexts.h"
#include "output/NumberText.h"
#include "output/OutputSink.h"
#include "platform/Platform.h"
#include "render/EditorCurves.h"
#include "render/RenderedSong.h"
#include "song/TempoMap.h"
#include "song/Ticks.h"
#include "text/Encoding.h"
#include "writers/ustx/NumberListText.h"
#include "writers/ustx/YamlText.h"

namespace {

constexpr const char* kPhonemizer = "OpenUtau.Plugin.Builtin.JapaneseVCVPhonemizer";
constexpr const char* kExtender = "+";
// The most characters of a note's text but its lyric: its fixed texts and 12 numbers.
constexpr size_t kMostNoteText = 1024;
// Every note's own pitch points: the editor's default glide from the previous
// note, on top of which the pitch curve sounds. The first point's value is the
// one the editor snaps it to: the previous note's, in tens of cents from this
// one, when that note ends where this one starts, else 0.
constexpr std::string_view kNotePitchStart = "{data: [{x: -40, y: ";
constexpr std::string_view kNotePitchEnd =
    ", shape: io}, {x: 40, y: 0, shape: io}], snap_first: true}";
// The editor lengthens every note to at least this many ticks.
constexpr int64_t kShortestNote = 10;
// The vibrato of a note without one: off (length 0), the editor's own defaults otherwise.
constexpr std::string_view kNoVibrato =
    "{length: 0, period: 175, depth: 25, in: 10, out: 10, shift: 0, drift: 0}";
// The neutral values of the note expressions, left unwritten.
constexpr int32_t kNeutralSpeed = 100;
constexpr int32_t kNeutralAttack = 100;
constexpr int32_t kNeutralDecay = 0;

// A note expression on the note's first phoneme, written when not neutral.
struct NoteExpression {
    const char* abbr;
    int32_t value;
    int32_t neutral;
};

std::string quotedText(std::string_view utf8) {
    std::string quoted;
    appendYamlQuoted(quoted, utf8);
    return quoted;
}

std::string fileStem(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

// The curves of one voice track the project carries, as their steps.
struct PartCurves {
    std::span<const BreakpointPoint> dynamics;
    PitchSteps pitch;
    std::span<const BreakpointPoint> breathiness;
    std::span<const BreakpointPoint> genderFactor;
    int32_t end;  // the end of the track's last note
};

// Whether the line through `steps` has a point: it starts at the first step
// that leaves 0.
template <typename Steps, typename ValueOf>
bool lineHasPoints(const Steps& steps, ValueOf valueOf) {
    return std::any_of(steps.begin(), steps.end(),
                       [&valueOf](const auto& step) { return valueOf(step) != 0; });
}

class UstxText {
public:
    UstxText(BlockOutput& out, const RenderedSong& song)
        : out_(out), text_(out.text()), song_(song), numbers_(out) {}

    void header(const std::string& name);
    void tracks(std::span<const VoiceTrack> voices);
    // The voice part of a voice track, with its curves as lines.
    void part(const VoiceTrack& voice, const PartCurves& curves);

private:
    void number(int64_t value) { vsqtext::appendDecimal(text_, value); }
    // The note [start, start + duration) of `part`.
    void note(const NotePart& part, int64_t start, int64_t duration);
    // The lyric of `part` as a quoted scalar.
    std::string_view quotedLyric(const NotePart& part);
    // The curve's line through its steps, each of which `valueOf` gives its value.
    template <typename Steps, typename ValueOf>
    void curve(const Steps& steps, ValueOf valueOf, int32_t end, const char* abbr);

    BlockOutput& out_;
    std::string& text_;
    const RenderedSong& song_;
    NumberListText numbers_;
    // The lyrics quoted so far by their code page 932 text: a song sings the
    // same few syllables again and again. With the notes' texts put straight
    // into the block, saves 13% of the instructions of a 100k-note project.
    KeptTexts quotedLyrics_;
    std::string uncached_;  // a lyric quoted once there are too many to keep
    const std::string quotedExtender_ = quotedText(kExtender);
    int64_t previousEnd_ = -1;  // where the note written before ends, -1 before the first
    int32_t previousTone_ = 0;
};

void UstxText::header(const std::string& name) {
    const TempoMap& map = song_.tempoMap();
    text_.append("name: ");
    appendYamlQuoted(text_, name);
    text_.append("\ncomment: \"\"\noutput_dir: Vocal\ncache_dir: UCache\nustx_version: \"0.6\"\n");
    text_.append("resolution: ");
    number(kTicksPerQuarterNote);
    text_.append("\nbpm: ");
    number(map.tempos.front().bpm);
    text_.append("\nbeat_per_bar: ");
    number(map.metres.front().numerator);
    text_.append("\nbeat_unit: ");
    number(map.metres.front().denominator);
    text_.append("\nexpressions: {}\ntime_signatures:\n");
    // Every change starts a bar (song/BarGrid.h).
    for (const MetreMark& metre : map.metres) {
        text_.append("- {bar_position: ");
        number(song_.bars().barsBefore(metre.time));
        text_.append(", beat_per_bar: ");
        number(metre.numerator);
        text_.append(", beat_unit: ");
        number(metre.denominator);
        text_.append("}\n");
        out_.done();
    }
    text_.append("tempos:\n");
    for (const TempoMark& tempo : map.tempos) {
        text_.append("- {position: ");
        number(tempo.time);
        text_.append(", bpm: ");
        number(tempo.bpm);
        text_.append("}\n");
        out_.done();
    }
}

void UstxText::tracks(std::span<const VoiceTrack> voices) {
    text_.append("tracks:\n");
    for (const VoiceTrack& voice : voices) {
        text_.append("- phonemizer: ");
        text_.append(kPhonemizer);
        text_.append("\n  track_name: ");
        appendYamlQuoted(text_, cp932ToUtf8(fileText(voice.namingSinger().name)));
        text_.push_back('\n');
    }
    text_.append("voice_parts:\n");
}

void UstxText::part(const VoiceTrack& voice, const PartCurves& curves) {
    text_.append("- name: ");
    appendYamlQuoted(text_, voice.name());
    text_.append("\n  comment: \"\"\n  track_no: ");
    number(voice.number() - 1);
    // The part reaches the end of its curves and of its last note to end.
    int64_t duration = voice.curveEnd();
    bool sounding = false;  // a part has a length: the project has notes
    for (size_t i = 0; i < voice.noteCount(); ++i) {
        for (int p = 1; p <= voice.partCount(i); ++p) {
            const NotePart part = voice.part(i, p);
            if (part.length <= 0) continue;
            sounding = true;
            duration = std::max(duration, part.soundingEnd());
        }
    }
    text_.append("\n  position: 0\n  duration: ");
    number(duration);
    text_.append("\n  notes:");
    if (!sounding) text_.append(" []");
    text_.push_back('\n');
    VoiceTrack::PartsInTimeOrder parts = voice.partsInTimeOrder();
    previousEnd_ = -1;
    int64_t lengthenedEnd = 0;  // the end of the last note lengthened, 0 without one
    for (NotePart part{}; parts.next(part);) {
        if (part.length <= 0) continue;
        const int64_t start = std::max(part.start, lengthenedEnd);
        const int64_t end = std::max(part.soundingEnd(), start + kShortestNote);
        lengthenedEnd = end > part.soundingEnd() ? end : 0;
        note(part, start, end - start);
        out_.done();
    }
    text_.append("  curves:");
    const int32_t end = curves.end;
    const bool none = !lineHasPoints(curves.dynamics, levelOf) &&
                      !lineHasPoints(curves.pitch, centsOf) &&
                      !lineHasPoints(curves.breathiness, breathOf) &&
                      !lineHasPoints(curves.genderFactor, genderOf);
    text_.append(none ? " []\n" : "\n");
    curve(curves.dynamics, levelOf, end, "dyn");
    curve(curves.pitch, centsOf, end, "pitd");
    curve(curves.breathiness, breathOf, end, "brec");
    curve(curves.genderFactor, genderOf, end, "genc");
}

void UstxText::note(const NotePart& part, int64_t start, int64_t duration) {
    const NoteEvent& event = *part.event;
    const std::string_view lyric = part.held ? std::string_view(quotedExtender_) : quotedLyric(part);
    char* at = out_.room(kMostNoteText + lyric.size());
    const auto number = [&at](int64_t value) { at = vsqtext::putDecimal(at, value); };
    at = putText(at, "  - position: ");
    number(start);
    at = putText(at, "\n    duration: ");
    number(duration);
    at = putText(at, "\n    tone: ");
    number(event.note);
    at = putText(at, "\n    lyric: ");
    at = putText(at, lyric);
    at = putText(at, "\n    pitch: ");
    at = putText(at, kNotePitchStart);
    number(previousEnd_ == start ? int64_t{previousTone_ - event.note} * 10 : 0);
    at = putText(at, kNotePitchEnd);
    previousEnd_ = start + duration;
    previousTone_ = event.note;
    at = putText(at, "\n    vibrato: ");
    const VibratoSound vibrato = vibratoOf(part);
    if (vibrato.on) {
        // Within the editor's limits of 5..500 ms and 5..200 cents already: the
        // period is held within 64..500 ms, and the presets' depths give 25..99 cents.
        at = putText(at, "{length: ");
        number(vibrato.lengthPercent);
        at = putText(at, ", period: ");
        number(vibrato.periodMs);
        at = putText(at, ", depth: ");
        number(vibrato.depthCents);
        at = putText(at, ", in: ");
        number(kVibratoFadeInPercent);
        at = putText(at, ", out: ");
        number(kVibratoFadeOutPercent);
        at = putText(at, ", shift: 0, drift: 0}");
    } else {
        at = putText(at, kNoVibrato);
    }
    at = putText(at, "\n    phoneme_expressions: [");
    const NoteExpression expressions[] = {
        {"vel", speedFromVelocity(event.velocity), kNeutralSpeed},
        {"atk", attackFromAccent(event.accent), kNeutralAttack},
        {"dec", decayFromDecayGainRate(event.decayGainRate), kNeutralDecay}};
    bool first = true;
    for (const NoteExpression& expression : expressions) {
        if (expression.value == expression.neutral) continue;
        at = putText(at, first ? "{index: 0, abbr: " : ", {index: 0, abbr: ");
        at = putText(at, expression.abbr);
        at = putText(at, ", value: ");
        number(expression.value);
        *at++ = '}';
        first = false;
    }
    at = putText(at, "]\n");
    out_.wrote(at);
}

std::string_view UstxText::quotedLyric(const NotePart& part) {
    return quotedLyrics_.of(song_.editorLyric(part), uncached_,
                            [](const std::string& lyric) { return quotedText(cp932ToUtf8(lyric)); });
}

// The line is gone through twice, for its ticks and for its values, rather
// than held: a curve has millions of points.
template <typename Steps, typename ValueOf>
void UstxText::curve(const Steps& steps, ValueOf valueOf, int32_t end, const char* abbr) {
    if (!lineHasPoints(steps, valueOf)) return;
    text_.append("  - xs: [");
    numbers_.open();
    forEachLinePoint(steps, valueOf, end, [this](int32_t tick, int32_t) { numbers_.putTick(tick); });
    numbers_.close();
    text_.append("]\n    ys: [");
    numbers_.open();
    forEachLinePoint(steps, valueOf, end, [this](int32_t, int32_t value) { numbers_.putValue(value); });
    numbers_.close();
    text_.append("]\n    abbr: ");
    text_.append(abbr);
    text_.push_back('\n');
}

class YamlUstxExporter final : public UstxExporter {
public:
    bool write(const RenderedSong& song, const std::string& path, OutputSink& sink) override;
};

bool YamlUstxExporter::write(const RenderedSong& song, const std::string& path, OutputSink& sink) {
    if (!hasVoices(song)) return false;
    // Closed here on every way out, before a file given up is removed.
    std::unique_ptr<std::FILE, platform::FileCloser> file(sink.open(path));
    if (!file) return false;
    BlockOutput out(file.get());
    UstxText text(out, song);
    text.header(fileStem(path));
    text.tracks(song.voices());
    for (size_t i = 0; i < song.voices().size(); ++i) {
        const VoiceTrack& voice = song.voices()[i];
        const CurvePoints dynamics = song.curve(i, curveOfCommand(CmdDynamics)->id);
        const CurvePoints bends = song.curve(i, curveOfCommand(CmdPitchBend)->id);
        const CurvePoints sensitivities = song.curve(i, curveOfCommand(CmdPitchBendSensitivity)->id);
        const CurvePoints breathiness = song.curve(i, curveOfCommand(CmdBreathiness)->id);
        const CurvePoints gender = song.curve(i, curveOfCommand(CmdGenderFactor)->id);
        if (!dynamics || !bends || !sensitivities || !breathiness || !gender) return false;
        const PartCurves curves = {*dynamics, PitchSteps(*bends, *sensitivities), *breathiness,
                                   *gender, voice.curveEnd()};
        text.part(voice, curves);
    }
    return sink.keep(path, out.close(std::move(file)));
}

}  // namespace

std::unique_ptr<UstxExporter> createUstxExporter() { return std::make_unique<YamlUstxExporter>(); }
