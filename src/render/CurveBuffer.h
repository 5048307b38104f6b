// The summed values of one curve over the ticks 0 to length-1, kept as a list of added ranges
// instead of one cell per tick, so that its memory follows the number of ranges and not the
// track's length. Each tick's value is the 16-bit wrapped sum of what the ranges add there.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "render/BreakpointListBuilder.h"
#include "render/CurveRamp.h"

// One added range, already cut to the buffer: it adds ramp.valueAt(tick - origin) to every
// tick from begin up to end.
struct CurvePiece {
    int64_t begin;   // first tick inside the buffer
    int64_t end;     // one past the last tick inside the buffer
    int64_t origin;  // tick of the range's step 0, which may lie before begin
    CurveRamp ramp;
};

// Makes room for `needed` elements in all. A list that must grow takes a quarter more, so
// that when it is used again for the next curve, often a little longer, that one fits too.
template <typename T>
void reserveWithRoomToSpare(std::vector<T>& list, size_t needed) {
    if (needed > list.capacity()) list.reserve(needed + needed / 4);
}

// Where a read-out puts its points: into `points`, and with a sink, handing them on whenever
// a batch is full, so that only a batch is held at a time. Once more points than a limit were
// put, push() says so. Both checks are made only at the point where one of them falls due,
// counted down from the last: a check of the batch and of the limit at every point took 3% of
// the instructions of a 100 000-note song.
class PointOutput {
public:
    explicit PointOutput(std::vector<BreakpointPoint>& points, BreakpointSink* sink = nullptr)
        : points_(points), sink_(sink) {}

    // Puts a point; false once more than the limit were put.
    bool push(BreakpointPoint point) {
        points_.push_back(point);
        return --beforeCheck_ != 0 || check();
    }
    // How many points were put, handed on or not.
    size_t size() const { return handed_ + points_.size(); }
    // push() says false from the point that makes more than `limit` on.
    void limit(size_t limit) {
        limit_ = limit;
        countDown();
    }
    // Makes room for `count` more points, or for what a batch still takes.
    void reserve(size_t count) {
        if (sink_ != nullptr) count = std::min(count, kBatch - std::min(kBatch, points_.size()));
        reserveWithRoomToSpare(points_, points_.size() + count);
    }
    // Hands on what a sink has not yet had.
    void finish() {
        if (sink_ != nullptr) hand();
    }

private:
    static constexpr size_t kBatch = size_t{1} << 16;

    void hand() {
        sink_->take(points_);
        handed_ += points_.size();
        points_.clear();
    }

    // The checks due at this point: the batch handed on when full, then the limit.
    bool check() {
        if (sink_ != nullptr && points_.size() >= kBatch) hand();
        if (size() > limit_) return false;
        countDown();
        return true;
    }

    // Points to put before the next check: until a batch is full or the limit is passed.
    void countDown() {
        size_t count = limit_ + 1 - std::min(limit_ + 1, size());
        if (sink_ != nullptr) count = std::min(count, kBatch - std::min(kBatch, points_.size()));
        beforeCheck_ = std::max<size_t>(count, 1);
    }

    std::vector<BreakpointPoint>& points_;
    BreakpointSink* sink_;
    size_t handed_ = 0;
    size_t limit_ = SIZE_MAX - 1;
    size_t beforeCheck_ = 1;
};

// A buffer can be emptied and used again for another curve: the memory of its ranges and of
// its read-out is kept, so the curves of a song reuse it instead of taking it afresh.
class StartOrder;
class RampRuns;

class CurveBuffer {
public:
    explicit CurveBuffer(int64_t length);
    ~CurveBuffer();

    // Empties the buffer and gives it a new length, keeping its memory.
    void reset(int64_t length) {
        length_ = length;
        pieces_.clear();
    }
    // Makes room for `count` more ranges at once, so the list does not grow step by step.
    void reserve(size_t count) { reserveWithRoomToSpare(pieces_, pieces_.size() + count); }

    // Adds `count` ticks from `start`: the tick start + j gets first + change * j / count,
    // rounded toward zero. Ticks before 0 or from the length on are left out; a range that
    // starts before 0 still gives the ticks from 0 on the values of the whole range.
    void addRange(int64_t start, int64_t count, int64_t first, int64_t change);
    void addConstant(int64_t start, int64_t count, int64_t value) {
        addRange(start, count, value, 0);
    }

    // Puts a point at tick 0 and at every later tick whose value, clamped to
    // [minimum, maximum], differs from the previous tick's. Stops once `out` was given more
    // than `limit` points.
    void readOut(int32_t minimum, int32_t maximum, size_t limit, PointOutput& out);

private:
    int64_t length_;
    std::vector<CurvePiece> pieces_;
    std::unique_ptr<StartOrder> starts_;  // the read-out's order of the ranges
    std::unique_ptr<RampRuns> runs_;      // ramps the read-outs walked whole
};
