// A voice track sung part by part. What a part sings: its lyric, or for a
// held part the vowel of its note's phonetic symbols; who sings it: the voice
// variant of the singer at its start, moved on by the track's number, so that
// two tracks of one singer sound apart too.
#include "writers/sung/TrackSinger.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "render/Pitch.h"
#include "render/Singers.h"
#include "render/TempoClock.h"
#include "song/CurveTable.h"
#include "text/Encoding.h"
#include "writers/sung/PartSinger.h"
#include "writers/sung/SyllableCache.h"

namespace {

// Samples sung at one pitch and one loudness.
constexpr size_t kStep = 128;
constexpr double kLevels = 127;
constexpr int64_t kShortestPartMs = 20;

// The kana of the vowel that phonetic symbols end with ("k a" gives あ);
// empty for none.
std::string_view vowelKana(std::string_view symbols) {
    const size_t last = symbols.find_last_not_of(' ');
    if (last == std::string_view::npos) return {};
    const size_t start = symbols.find_last_of(' ', last);
    const std::string_view symbol = symbols.substr(start == std::string_view::npos ? 0 : start + 1);
    switch (symbol.front()) {
    case 'a': return "\xE3\x81\x82";  // あ
    case 'i': return "\xE3\x81\x84";  // い
    case 'M': return "\xE3\x81\x86";  // う
    case 'e': return "\xE3\x81\x88";  // え
    case 'o': return "\xE3\x81\x8A";  // お
    case 'N': return "\xE3\x82\x93";  // ん
    default: return {};
    }
}

// The value of a curve at `tick`: its last point at or before it, or
// `defaultValue` before its first.
int32_t valueAt(const std::vector<BreakpointPoint>& points, int64_t tick, int32_t defaultValue) {
    const auto point = std::upper_bound(points.begin(), points.end(), tick,
                                        [](int64_t at, const BreakpointPoint& p) { return at < p.tick; });
    return point == points.begin() ? defaultValue : std::prev(point)->value;
}

}  // namespace

TrackSinger::TrackSinger(const VoiceTrack& voice, TrackCurves curves, const TempoClock& clock,
                         SyllableCache& syllables, int rate)
    : voice_(&voice),
      curves_(std::move(curves)),
      clock_(&clock),
      syllables_(&syllables),
      rate_(rate),
      singer_(createPartSinger(rate)),
      parts_(voice),
      block_(kStep),
      breath_(static_cast<uint32_t>(voice.number())) {
    takeNext();
}

TrackSinger::~TrackSinger() = default;
TrackSinger::TrackSinger(TrackSinger&&) noexcept = default;

int64_t TrackSinger::sampleAt(int64_t tick) const {
    return std::llround(clock_->msAt(tick) * rate_ / 1000.0);
}

void TrackSinger::takeNext() {
    haveNext_ = parts_.next(next_);
    if (haveNext_) nextStart_ = sampleAt(next_.start);
}

int64_t TrackSinger::tickAt(int64_t sample) const {
    const double ms = static_cast<double>(sample) * 1000.0 / rate_;
    // The last tick at or before `ms`, between the part's start and its end.
    int64_t low = part_.start, high = std::max(part_.start, part_.soundingEnd());
    while (low < high) {
        const int64_t middle = low + (high - low + 1) / 2;
        if (clock_->msAt(middle) <= ms) low = middle; else high = middle - 1;
    }
    return low;
}

void TrackSinger::startPart(const NotePart& part) {
    const NotePart before = part_;
    const bool hadBefore = started_;
    part_ = part;
    started_ = true;
    partEnd_ = sampleAt(part.soundingEnd());
    const int64_t start = sampleAt(part.start);
    singing_ = false;
    // Too short a part to hear a syllable in is not sung.
    if (partEnd_ - start < kShortestPartMs * rate_ / 1000) return;
    const std::string_view lyric = fileText(part.lyric->text.view());
    const std::string text = part.held ? std::string(vowelKana(fileText(part.lyric->symbols.view())))
                                       : cp932ToUtf8(lyric);
    const Singer& singer = singerAt(voice_->singers(), part.start);
    vibrato_ = VibratoSound{};
    glides_ = PartGlides{};
    syllable_ = syllables_->syllable(text, singer.program + voice_->number() - 1,
                                     centsAt(start, part.start));
    if (!syllable_) return;
    singer_->start(*syllable_, static_cast<size_t>(partEnd_ - start));
    glides_ = glidesOf(hadBefore ? &before : nullptr, part, haveNext_ ? &next_ : nullptr, *clock_);
    vibrato_ = vibratoOf(part);
    if (vibrato_.on) {
        const int64_t from = part.start + vibrato_.startTick;
        vibratoStartMs_ = clock_->msAt(from);
        vibratoMs_ = clock_->msAt(from + vibrato_.lengthTicks) - vibratoStartMs_;
    }
    singing_ = true;
}

double TrackSinger::centsAt(int64_t sample, int64_t tick) const {
    double cents = part_.event->note * kCentsPerSemitone;
    cents += PitchSteps(*curves_.bends, *curves_.sensitivities).centsAt(tick);
    const double ms = static_cast<double>(sample) * 1000.0 / rate_;
    cents += glides_.offsetAt(ms);
    if (vibrato_.on && ms >= vibratoStartMs_) {
        cents += vibratoOffsetCents(vibrato_, ms - vibratoStartMs_, vibratoMs_, sines_);
    }
    return cents;
}

double TrackSinger::gainAt(int64_t tick) const {
    const int32_t dynamics = valueAt(*curves_.dynamics, tick, curveOfCommand(CmdDynamics)->defaultValue);
    return std::clamp(dynamics / kLevels, 0.0, 1.0) * std::clamp(part_.event->velocity / kLevels, 0.0, 1.0);
}

double TrackSinger::breathAt(int64_t tick) const {
    const int32_t breathiness =
        valueAt(*curves_.breathiness, tick, curveOfCommand(CmdBreathiness)->defaultValue);
    return std::clamp(breathiness / kLevels, 0.0, 1.0);
}

void TrackSinger::addTo(std::span<float> mix, int64_t first) {
    const int64_t end = first + static_cast<int64_t>(mix.size());
    int64_t at = first;
    while (at < end) {
        // A part that starts ends the one before: a voice sings one syllable.
        while (haveNext_ && nextStart_ <= at) {
            const NotePart part = next_;
            takeNext();
            startPart(part);
        }
        int64_t until = end;
        if (haveNext_) until = std::min(until, nextStart_);
        if (!singing_ || at >= partEnd_) {
            singing_ = false;
            at = until;
            continue;
        }
        until = std::min({until, partEnd_, at + static_cast<int64_t>(kStep)});
        const auto count = static_cast<size_t>(until - at);
        const std::span<float> out = std::span<float>(block_).first(count);
        const int64_t tick = tickAt(at);
        singer_->sing(out, centsAt(at, tick));
        breath_.addTo(out, breathAt(tick));
        const auto gain = static_cast<float>(gainAt(tick));
        float* target = mix.data() + (at - first);
        for (size_t i = 0; i < count; ++i) target[i] += gain * out[i];
        at = until;
    }
}
