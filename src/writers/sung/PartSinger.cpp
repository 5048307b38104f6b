// The part singer on Rubber Band's real-time stretcher, whose time ratio and
// pitch scale may change between blocks: the ratio is 1 over the consonant
// and the vowel's over the vowel, and the pitch scale takes the syllable's
// spoken pitch to the sung one.
#include "writers/sung/PartSinger.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "writers/sung/SyllableSound.h"

namespace {

using RubberBand::RubberBandStretcher;

// Samples fed to the stretcher at a time, at most.
constexpr size_t kChunk = 256;
// The vowel is stretched up to this ratio; a longer note swings over it.
constexpr double kMostStretch = 3.0;
// A syllable is sung at most that much quicker than spoken.
constexpr double kLeastStretch = 1.0 / 8;
// The vowel's steady middle: without its first and last quarter.
constexpr size_t kSteadyQuarters = 4;
constexpr double kFadeInMs = 3;
constexpr double kFadeOutMs = 15;
// Pitch scales beyond these would be noise rather than a voice.
constexpr double kLowestScale = 1.0 / 16;
constexpr double kHighestScale = 16;

// The stretcher's messages (its warnings of a buffer it had to grow) are
// not the program's to print.
struct SilentLog final : RubberBandStretcher::Logger {
    void log(const char*) override {}
    void log(const char*, double) override {}
    void log(const char*, double, double) override {}
};

class StretchingPartSinger final : public PartSinger {
public:
    explicit StretchingPartSinger(int rate)
        : stretcher_(static_cast<size_t>(rate), 1, std::make_shared<SilentLog>(),
                     RubberBandStretcher::OptionProcessRealTime | RubberBandStretcher::OptionEngineFaster |
                         RubberBandStretcher::OptionPitchHighConsistency),
          fadeIn_(static_cast<size_t>(kFadeInMs * rate / 1000)),
          fadeOut_(static_cast<size_t>(kFadeOutMs * rate / 1000)) {
        stretcher_.setMaxProcessSize(kChunk);
    }

    void start(const SyllableSound& syllable, size_t length) override;
    void sing(std::span<float> out, double cents) override;

private:
    // The input sample at `index` of the stretched syllable's input.
    float inputAt(size_t index) const;
    // Feeds the next chunk, or the end; false when all was fed.
    bool feed();
    // Takes what the stretcher has into `out` from `done`; the new `done`.
    size_t take(std::span<float> out, size_t done);

    RubberBandStretcher stretcher_;
    size_t fadeIn_;
    size_t fadeOut_;
    const SyllableSound* syllable_ = nullptr;
    size_t length_ = 0;        // output samples of the part
    size_t sung_ = 0;          // output samples given so far
    size_t inputLength_ = 0;   // input samples to feed in all (no end for a vowel)
    size_t fed_ = 0;           // input samples fed so far
    size_t consonantEnd_ = 0;  // input samples at the consonant's ratio
    double consonantRatio_ = 1;
    double vowelRatio_ = 1;
    size_t toSkip_ = 0;        // output samples of the stretcher's delay, still to drop
    bool ended_ = false;       // the last input was fed
    size_t steadyFrom_ = 0;    // the vowel's steady middle, swung over
    size_t steadyTo_ = 0;
    std::vector<float> input_ = std::vector<float>(kChunk);
    std::vector<float> scratch_ = std::vector<float>(kChunk);
};

void StretchingPartSinger::start(const SyllableSound& syllable, size_t length) {
    stretcher_.reset();
    syllable_ = &syllable;
    length_ = length;
    sung_ = 0;
    fed_ = 0;
    ended_ = false;
    const size_t size = syllable.samples.size();
    const size_t vowel = size - std::min(syllable.vowelStart, size);
    if (length <= size || vowel == 0) {
        // Shorter than spoken: all of it quicker, or its start only when
        // even that would be too quick.
        consonantRatio_ = std::max(static_cast<double>(length) / static_cast<double>(std::max<size_t>(size, 1)),
                                   kLeastStretch);
        vowelRatio_ = consonantRatio_;
        inputLength_ = std::min(size, static_cast<size_t>(std::ceil(static_cast<double>(length) / kLeastStretch)));
        consonantEnd_ = inputLength_;
    } else {
        consonantEnd_ = syllable.vowelStart;
        consonantRatio_ = 1;
        const double vowelOut = static_cast<double>(length - consonantEnd_);
        vowelRatio_ = std::min(vowelOut / static_cast<double>(vowel), kMostStretch);
        // The vowel is fed on (swung) for as long as the part takes output,
        // never ended: what the stretcher gives after an ended input no
        // longer follows the pitch, which a glide or a vibrato at the
        // part's end needs.
        inputLength_ = std::numeric_limits<size_t>::max();
    }
    steadyFrom_ = consonantEnd_ + vowel / kSteadyQuarters;
    steadyTo_ = size - vowel / kSteadyQuarters;
    stretcher_.setTimeRatio(consonantRatio_);
    // The stretcher starts with silence of its own length fed, and its delay
    // dropped from its output, so that the part starts on time.
    const size_t pad = stretcher_.getPreferredStartPad();
    std::fill(input_.begin(), input_.end(), 0.0F);
    for (size_t left = pad; left > 0;) {
        const size_t part = std::min(left, kChunk);
        const float* channels[] = {input_.data()};
        stretcher_.process(channels, part, false);
        left -= part;
    }
    toSkip_ = stretcher_.getStartDelay();
}

float StretchingPartSinger::inputAt(size_t index) const {
    const std::vector<float>& samples = syllable_->samples;
    if (index < steadyTo_ || steadyTo_ <= steadyFrom_) return samples[std::min(index, samples.size() - 1)];
    // Back from the steady middle's end to its start, forth again, ...
    const size_t span = steadyTo_ - steadyFrom_;
    const size_t phase = (index - steadyTo_) % (2 * span);
    return phase < span ? samples[steadyTo_ - 1 - phase] : samples[steadyFrom_ + (phase - span)];
}

bool StretchingPartSinger::feed() {
    if (ended_) return false;
    size_t count = std::min(kChunk, inputLength_ - fed_);
    if (fed_ < consonantEnd_) count = std::min(count, consonantEnd_ - fed_);
    stretcher_.setTimeRatio(fed_ < consonantEnd_ ? consonantRatio_ : vowelRatio_);
    for (size_t i = 0; i < count; ++i) input_[i] = inputAt(fed_ + i);
    fed_ += count;
    ended_ = fed_ >= inputLength_;
    const float* channels[] = {input_.data()};
    stretcher_.process(channels, count, ended_);
    return true;
}

size_t StretchingPartSinger::take(std::span<float> out, size_t done) {
    for (;;) {
        const int available = stretcher_.available();
        if (available <= 0) return done;
        if (toSkip_ > 0) {
            const size_t count = std::min({static_cast<size_t>(available), toSkip_, kChunk});
            float* channels[] = {scratch_.data()};
            stretcher_.retrieve(channels, count);
            toSkip_ -= count;
            continue;
        }
        if (done == out.size()) return done;
        const size_t count = std::min(static_cast<size_t>(available), out.size() - done);
        float* channels[] = {out.data() + done};
        stretcher_.retrieve(channels, count);
        done += count;
    }
}

void StretchingPartSinger::sing(std::span<float> out, double cents) {
    std::fill(out.begin(), out.end(), 0.0F);
    if (syllable_ == nullptr || sung_ >= length_) return;
    const double scale = std::clamp(std::exp2((cents - syllable_->cents) / 1200.0), kLowestScale, kHighestScale);
    if (scale != stretcher_.getPitchScale()) stretcher_.setPitchScale(scale);
    const std::span<float> wanted = out.first(std::min(out.size(), length_ - sung_));
    size_t done = take(wanted, 0);
    while (done < wanted.size() && feed()) done = take(wanted, done);
    for (size_t i = 0; i < wanted.size(); ++i) {
        const size_t at = sung_ + i;
        float gain = 1;
        if (at < fadeIn_) gain = static_cast<float>(at) / static_cast<float>(fadeIn_);
        if (length_ - at < fadeOut_)
            gain = std::min(gain, static_cast<float>(length_ - at) / static_cast<float>(fadeOut_));
        out[i] *= gain;
    }
    sung_ += wanted.size();
}

}  // namespace

std::unique_ptr<PartSinger> createPartSinger(int rate) {
    return std::make_unique<StretchingPartSinger>(rate);
}
