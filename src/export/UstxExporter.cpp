// The project export: song ticks from 0 without the VSQ file's pre-measure,
// 480 ticks per quarter note. A track is named after the singer the voice
// track starts with and names no voicebank of its own (the user picks one);
// its phonemizer forms Japanese syllables for CV and VCV voicebanks alike. A
// long-vowel mark right after the previous note becomes the project's
// extender "+". Curves are drawn as lines through the VSQ file's steps.
#include "export/UstxExporter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "song/Song.h"
#include "export/BlockOutput.h"
#include "export/ExpressionCurves.h"
#include "export/SungNotes.h"
#include "export/YamlText.h"
#include "song/Ticks.h"
#include "song/Pitch.h"
#include "platform/Platform.h"
#include "text/Encoding.h"
#include "output/NumberText.h"
#include "output/OutputFailure.h"
#include "vsq/Singers.h"
#include "output/StagedOutputFile.h"
#include "song/TempoMap.h"
#include "output/VoiceTracks.h"

namespace {

constexpr const char* kPhonemizer = "OpenUtau.Plugin.Builtin.JapaneseVCVPhonemizer";
constexpr const char* kExtender = "+";
// Every note's own pitch points: the editor's default glide from the previous
// note, on top of which the pitch curve sounds.
constexpr const char* kNotePitch =
    "{data: [{x: -40, y: 0, shape: io}, {x: 40, y: 0, shape: io}], snap_first: true}";
// The vibrato of a note without one: off (length 0), the editor's own defaults otherwise.
constexpr const char* kNoVibrato =
    "{length: 0, period: 175, depth: 25, in: 10, out: 10, shift: 0, drift: 0}";
// The editor's limits of a vibrato's period and depth.
constexpr int32_t kMinimumPeriodMs = 5;
constexpr int32_t kMaximumPeriodMs = 500;
constexpr int32_t kMinimumDepthCents = 5;
constexpr int32_t kMaximumDepthCents = 200;
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

// A time signature from a bar on.
struct BarMetre {
    int64_t bar;
    int32_t numerator;
    int32_t denominator;
};

// The metre map by bars: a change takes effect at the first bar line at or
// after its time; of several changes reaching one bar line the last counts.
std::vector<BarMetre> metresByBar(std::span<const MetreMark> metres) {
    std::vector<BarMetre> bars;
    int64_t bar = 0;
    int64_t barStart = 0;
    for (const MetreMark& mark : metres) {
        if (!bars.empty()) {
            const int64_t length =
                std::max<int64_t>(1, measureTicks(bars.back().numerator, bars.back().denominator));
            const int64_t count = (mark.time - barStart + length - 1) / length;
            bar += std::max<int64_t>(count, 0);
            barStart += std::max<int64_t>(count, 0) * length;
        }
        if (!bars.empty() && bars.back().bar == bar) bars.pop_back();
        bars.push_back({bar, mark.numerator, mark.denominator});
    }
    return bars;
}

std::string fileStem(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

class UstxText {
public:
    explicit UstxText(BlockOutput& out) : out_(out), text_(out.text()) {}

    void header(const std::string& name, const TempoMap& map);
    void tracks(std::span<const std::string> singers);
    void part(size_t index, const std::vector<SungNote>& notes, const ExpressionCurves& curves,
              int32_t end);

private:
    void number(int64_t value) { vsqtext::appendDecimal(text_, value); }
    void note(const SungNote& sung, bool extends);
    void curve(const LinearCurve& line, const char* abbr);

    BlockOutput& out_;
    std::string& text_;
};

void UstxText::header(const std::string& name, const TempoMap& map) {
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
    for (const BarMetre& metre : metresByBar(map.metres)) {
        text_.append("- {bar_position: ");
        number(metre.bar);
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

void UstxText::tracks(std::span<const std::string> singers) {
    text_.append("tracks:\n");
    for (const std::string& singer : singers) {
        text_.append("- phonemizer: ");
        text_.append(kPhonemizer);
        text_.append("\n  track_name: ");
        appendYamlQuoted(text_, cp932ToUtf8(fileText(singer)));
        text_.push_back('\n');
    }
    text_.append("voice_parts:\n");
}

void UstxText::part(size_t index, const std::vector<SungNote>& notes,
                    const ExpressionCurves& curves, int32_t end) {
    text_.append("- name: ");
    appendYamlQuoted(text_, voiceTrackName(static_cast<int>(index) + 1));
    text_.append("\n  comment: \"\"\n  track_no: ");
    number(static_cast<int64_t>(index));
    // The part reaches the end of its curves and of its last note to end.
    int64_t duration = end;
    for (const SungNote& sung : notes) duration = std::max(duration, sung.start + sung.length);
    text_.append("\n  position: 0\n  duration: ");
    number(duration);
    text_.append("\n  notes:");
    if (notes.empty()) text_.append(" []");
    text_.push_back('\n');
    int64_t previousEnd = -1;
    for (const SungNote& sung : notes) {
        note(sung, sung.start == previousEnd);
        previousEnd = sung.start + sung.length;
        out_.done();
    }
    text_.append("  curves:");
    const std::pair<const LinearCurve*, const char*> lines[] = {
        {&curves.level, "dyn"}, {&curves.cents, "pitd"}, {&curves.breath, "brec"},
        {&curves.gender, "genc"}};
    const bool none = std::all_of(std::begin(lines), std::end(lines),
                                  [](const auto& line) { return line.first->empty(); });
    text_.append(none ? " []\n" : "\n");
    for (const auto& [line, abbr] : lines) curve(*line, abbr);
}

void UstxText::note(const SungNote& sung, bool extends) {
    const NoteEvent& event = *sung.note;
    const std::string_view lyric = fileText(sung.lyric->text.view());
    text_.append("  - position: ");
    number(sung.start);
    text_.append("\n    duration: ");
    number(sung.length);
    text_.append("\n    tone: ");
    number(event.note);
    text_.append("\n    lyric: ");
    appendYamlQuoted(text_, extends && isLongVowelLyric(lyric) ? kExtender : cp932ToUtf8(lyric));
    text_.append("\n    pitch: ");
    text_.append(kNotePitch);
    text_.append("\n    vibrato: ");
    const VibratoSound& vibrato = sung.vibrato;
    if (vibrato.on) {
        text_.append("{length: ");
        number(vibrato.lengthPercent);
        text_.append(", period: ");
        number(std::clamp(vibrato.periodMs, kMinimumPeriodMs, kMaximumPeriodMs));
        text_.append(", depth: ");
        number(std::clamp(vibrato.depthCents, kMinimumDepthCents, kMaximumDepthCents));
        text_.append(", in: ");
        number(kVibratoFadeInPercent);
        text_.append(", out: ");
        number(kVibratoFadeOutPercent);
        text_.append(", shift: 0, drift: 0}");
    } else {
        text_.append(kNoVibrato);
    }
    text_.append("\n    phoneme_expressions: [");
    const NoteExpression expressions[] = {
        {"vel", speedFromVelocity(event.velocity), kNeutralSpeed},
        {"atk", attackFromAccent(event.accent), kNeutralAttack},
        {"dec", decayFromDecayGainRate(event.decayGainRate), kNeutralDecay}};
    bool first = true;
    for (const NoteExpression& expression : expressions) {
        if (expression.value == expression.neutral) continue;
        text_.append(first ? "{index: 0, abbr: " : ", {index: 0, abbr: ");
        text_.append(expression.abbr);
        text_.append(", value: ");
        number(expression.value);
        text_.push_back('}');
        first = false;
    }
    text_.append("]\n");
}

void UstxText::curve(const LinearCurve& line, const char* abbr) {
    if (line.empty()) return;
    text_.append("  - xs: [");
    for (size_t i = 0; i < line.ticks.size(); ++i) {
        if (i > 0) text_.append(", ");
        number(line.ticks[i]);
        out_.done();
    }
    text_.append("]\n    ys: [");
    for (size_t i = 0; i < line.values.size(); ++i) {
        if (i > 0) text_.append(", ");
        number(line.values[i]);
        out_.done();
    }
    text_.append("]\n    abbr: ");
    text_.append(abbr);
    text_.push_back('\n');
}

class YamlUstxExporter final : public UstxExporter {
public:
    bool write(const Song& song, const StringPool& strings, const std::string& path,
               OutputBatch& outputs) override;
};

bool YamlUstxExporter::write(const Song& song, const StringPool& strings,
                             const std::string& path, OutputBatch& outputs) {
    const std::vector<const Track*> tracks = collectVoiceTracks(song);
    if (tracks.empty()) return false;
    std::vector<std::string> singers;
    for (const Track* track : tracks) singers.push_back(initialSinger(*track, strings).name);

    StagedOutputFile output;
    // Closed here on every way out, before the staging object removes a file given up.
    std::unique_ptr<std::FILE, platform::FileCloser> file(openStagedOutput(output, path));
    if (!file) return false;
    BlockOutput out(file.get());
    UstxText text(out);
    text.header(fileStem(path), collectTempoMap(song));
    text.tracks(singers);
    auto builder = createBreakpointListBuilder();
    for (size_t i = 0; i < tracks.size(); ++i) {
        ExpressionCurves curves;
        if (!buildExpressionCurves(*tracks[i], *builder, curves)) return false;
        text.part(i, collectSungNotes(*tracks[i]), curves, curveLength(*tracks[i]));
    }
    return finishStagedOutput(output, path, out.close(std::move(file)), outputs);
}

}  // namespace

std::unique_ptr<UstxExporter> createUstxExporter() { return std::make_unique<YamlUstxExporter>(); }
