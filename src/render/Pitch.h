// The one pitch convention of every file: a pitch-bend value b (-8192..8191)
// under a pitch-bend sensitivity of s semitones sounds b * s * 100 / 8192
// cents, on both sides of 0 alike (8192 bend units to the sensitivity's
// range, as MIDI counts them). The division by a power of two makes the value
// exact in a double, so every file that rounds it rounds the same number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>

#include "render/BreakpointListBuilder.h"

// A semitone, the step between two note numbers, in cents.
inline constexpr double kCentsPerSemitone = 100;

inline double pitchCents(int32_t bend, int32_t sensitivity) {
    return static_cast<double>(bend) * sensitivity * kCentsPerSemitone / 8192.0;
}

// The sensitivity a reader of the VSQ file takes before the file's first
// sensitivity point (or without any): the file lists the curve from the first
// @PBS on only, and every reader then bends by 2 semitones. The projects, the
// sequences and the MIDI preview bend by it there, so that they sound as the
// VSQ file does.
inline constexpr int32_t kReadersSensitivity = 2;

// How many of `points` (in tick order) lie at or before `tick`, when `known`
// of them are known to: searched on from there in steps that double, so a
// reader going through a curve in order pays for how far it moves rather than
// for the curve's length (with the sequences' note points kept in their room,
// saves 6% of the instructions of the sequences of a 100k-note song). A
// `known` past the answer is searched back from.
size_t pointsUpTo(std::span<const BreakpointPoint> points, int64_t tick, size_t known = 0);

// The pitch from a tick on, held to the next step's tick.
struct PitchStep {
    int32_t tick;
    double cents;
};

// The pitch curve of a voice track in cents, from its pitch-bend and
// sensitivity curves: a step at every tick where either changes, the bend at
// its default before its first point and the sensitivity at 2, what readers
// of the VSQ file take there. The steps are worked out from the two lists as
// they are read and take no memory of their own, so a reader that needs them
// more than once (or a note's share of them) goes through them again. The
// lists must outlive the view and its iterators.
class PitchSteps {
public:
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = PitchStep;
        using difference_type = std::ptrdiff_t;
        using pointer = const PitchStep*;
        using reference = const PitchStep&;

        Iterator() = default;
        const PitchStep& operator*() const { return step_; }
        const PitchStep* operator->() const { return &step_; }
        Iterator& operator++();
        bool operator==(const Iterator& other) const {
            return bendsTaken_ == other.bendsTaken_ &&
                   sensitivitiesTaken_ == other.sensitivitiesTaken_ && done_ == other.done_;
        }

    private:
        friend class PitchSteps;
        // At the first step after the points taken so far.
        Iterator(const PitchSteps& steps, size_t bendsTaken, size_t sensitivitiesTaken);

        const PitchSteps* steps_ = nullptr;
        size_t bendsTaken_ = 0;  // the points of each list up to the current step's tick
        size_t sensitivitiesTaken_ = 0;
        int32_t bend_ = 0;
        int32_t sensitivity_ = 0;
        PitchStep step_{};
        bool done_ = false;  // past the last step
    };

    // A tick of the steps, moved on through them in order.
    class Cursor {
    public:
        explicit Cursor(const PitchSteps& steps) : steps_(&steps) {}
        // Moves to `tick`, quickest when it lies at or after the tick before.
        void moveTo(int64_t tick) {
            bendsTaken_ = pointsUpTo(steps_->bends_, tick, bendsTaken_);
            sensitivitiesTaken_ = pointsUpTo(steps_->sensitivities_, tick, sensitivitiesTaken_);
        }
        // The pitch at the tick moved to, as centsAt() gives it.
        double cents() const;
        // The steps after the tick moved to, as after() gives them.
        Iterator after() const { return Iterator(*steps_, bendsTaken_, sensitivitiesTaken_); }
        const PitchSteps& steps() const { return *steps_; }

    private:
        const PitchSteps* steps_;
        size_t bendsTaken_ = 0;
        size_t sensitivitiesTaken_ = 0;
    };

    PitchSteps(std::span<const BreakpointPoint> bends, std::span<const BreakpointPoint> sensitivities)
        : bends_(bends), sensitivities_(sensitivities) {}

    Iterator begin() const { return Iterator(*this, 0, 0); }
    Iterator end() const;
    // The steps from the first one after `tick` on.
    Iterator after(int64_t tick) const;
    // The pitch at `tick`: that of the last step at or before it, and before
    // the first step that of the defaults (0).
    double centsAt(int64_t tick) const;

private:
    std::span<const BreakpointPoint> bends_;
    std::span<const BreakpointPoint> sensitivities_;
};

// Inline, as readers go through millions of steps.
inline PitchSteps::Iterator& PitchSteps::Iterator::operator++() {
    const std::span<const BreakpointPoint> bends = steps_->bends_;
    const std::span<const BreakpointPoint> sensitivities = steps_->sensitivities_;
    size_t& b = bendsTaken_;
    size_t& s = sensitivitiesTaken_;
    if (b == bends.size() && s == sensitivities.size()) {
        done_ = true;
        return *this;
    }
    const bool takeBend =
        s == sensitivities.size() || (b < bends.size() && bends[b].tick <= sensitivities[s].tick);
    const int32_t tick = takeBend ? bends[b].tick : sensitivities[s].tick;
    while (b < bends.size() && bends[b].tick == tick) bend_ = bends[b++].value;
    while (s < sensitivities.size() && sensitivities[s].tick == tick) {
        sensitivity_ = sensitivities[s++].value;
    }
    step_ = {tick, pitchCents(bend_, sensitivity_)};
    return *this;
}

inline PitchSteps::Iterator PitchSteps::end() const {
    Iterator last;
    last.bendsTaken_ = bends_.size();
    last.sensitivitiesTaken_ = sensitivities_.size();
    last.done_ = true;
    return last;
}
