// Reads a curve out of its ranges by sweeping only the ticks where the read-out value can
// change, so that a long stretch costs little whatever its length.
//
// Constants and ramps whose value moves only a few times are followed event by event: their
// starts, ends and the ticks where their rounded value moves. Ramps that move often (such as a
// steep ramp that moves on every tick) are searched instead: between two events the sum of the
// others is fixed, and while the searched ramps all run the same way their sum is monotone, so
// over an interval it lies between its values at the interval's ends; the first tick where the
// clamped sum changes is then found by halving. When searched ramps run both ways, the sweep
// visits each tick where one of them moves. A followed ramp that runs whole with nothing else
// happening gives the points of a ramp that ran just the same before, kept in RampRuns.
#include "render/CurveBuffer.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "render/RampRuns.h"

CurveBuffer::CurveBuffer(int64_t length)
    : length_(length),
      starts_(std::make_unique<StartOrder>()),
      runs_(std::make_unique<RampRuns>()) {}

CurveBuffer::~CurveBuffer() = default;

void CurveBuffer::addRange(int64_t start, int64_t count, int64_t first, int64_t change) {
    if (start >= length_ || count <= 0) {
        return;
    }
    const int64_t end = std::min(start + count, length_);
    if (end <= 0) {
        return;
    }
    pieces_.push_back(
        CurvePiece{std::max<int64_t>(start, 0), end, start, CurveRamp{first, change, count}});
}

namespace {

// Ramps that move more often than this are searched rather than followed move by move.
constexpr int64_t kFewMoves = 256;
constexpr int64_t kCellCount = 65536;

// The cell value of a sum: its low 16 bits as a signed number.
int64_t cellOf(uint64_t sum) {
    return static_cast<int16_t>(static_cast<uint16_t>(sum & 0xFFFFu));
}

struct ReadOutRange {
    int64_t minimum;
    int64_t maximum;

    int64_t clamp(int64_t cell) const {
        return cell < minimum ? minimum : (cell > maximum ? maximum : cell);
    }

    // True when every sum from `low` to `low + width` reads out as `value`. The cells they
    // cover form one or two runs of increasing cells, and clamping is monotone, so checking
    // the ends of each run is enough.
    bool readsAs(uint64_t low, uint64_t width, int64_t value) const {
        auto runReadsAs = [&](int64_t first, int64_t last) {
            return clamp(first) == value && clamp(last) == value;
        };
        const int64_t first = cellOf(low);
        if (width >= kCellCount - 1) {
            return runReadsAs(-kCellCount / 2, kCellCount / 2 - 1);
        }
        const int64_t last = first + static_cast<int64_t>(width);
        if (last < kCellCount / 2) {
            return runReadsAs(first, last);
        }
        return runReadsAs(first, kCellCount / 2 - 1) &&
               runReadsAs(-kCellCount / 2, last - kCellCount);
    }
};

constexpr int64_t kNever = CurveRamp::kNever;

// A followed range while it runs: its walk in ticks and the tick where it ends.
class Follower {
public:
    Follower(const CurvePiece& piece, int64_t tick)
        : walk_(piece.ramp, piece.origin, tick), end_(piece.end) {}
    // A range whose moves were all taken: it holds `value` to its end.
    Follower(int64_t value, const CurvePiece& piece)
        : walk_(value), end_(piece.end) {}

    int64_t value() const { return walk_.value(); }
    int64_t end() const { return end_; }
    int64_t nextMove() const { return walk_.nextMove(); }
    // The tick of its next event: a move, or its end.
    int64_t due() const { return std::min(walk_.nextMove(), end_); }
    // Takes the move due at this tick.
    void move() { walk_.move(); }

private:
    CurveRamp::Walk walk_;
    int64_t end_;
};

// The next event of a range: a followed range's move or end, or a searched range's end.
struct Due {
    int64_t tick;
    size_t slot;  // the follower's slot, or the searched range's piece
    bool searched;
};

// The events waiting, the earliest first, as a standard binary heap.
class DueQueue {
public:
    bool empty() const { return heap_.empty(); }
    const Due& top() const { return heap_.front(); }

    void push(Due due) {
        heap_.push_back(due);
        std::push_heap(heap_.begin(), heap_.end(), later);
    }

    void pop() {
        std::pop_heap(heap_.begin(), heap_.end(), later);
        heap_.pop_back();
    }

    // The tick of the earliest event after the top one; kNever when there is none. The
    // children of the top are the elements 1 and 2 of the heap.
    int64_t secondTick() const {
        if (heap_.size() < 2) {
            return kNever;
        }
        return heap_.size() == 2 ? heap_[1].tick : std::min(heap_[1].tick, heap_[2].tick);
    }

    // Gives the top event a later tick.
    void delayTop(int64_t tick) {
        std::pop_heap(heap_.begin(), heap_.end(), later);
        heap_.back().tick = tick;
        std::push_heap(heap_.begin(), heap_.end(), later);
    }

private:
    static bool later(const Due& a, const Due& b) { return a.tick > b.tick; }

    std::vector<Due> heap_;
};

}  // namespace

// The ranges in the order of their first ticks. They are added a few sorted runs at a time
// (a curve's note envelopes in time order, then its parameter envelopes, then its steps), so
// the runs are merged as they are read, which needs no memory per range; only a list of many
// runs is sorted through an index of its own. Merging the runs saves 16 bytes a range, 6 MB
// of the peak at a million notes (which keeps it under 161 MB), and 3% of the instructions
// of a 100 000-note song.
class StartOrder {
public:
    void prepare(const std::vector<CurvePiece>& pieces) {
        pieces_ = &pieces;
        runs_.clear();
        sorted_.clear();
        next_ = 0;
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (i == 0 || pieces[i].begin < pieces[i - 1].begin) {
                if (runs_.size() == kMostMergedRuns) {
                    sortAll();
                    return;
                }
                runs_.push_back(Run{i, i});
            }
            runs_.back().end = i + 1;
        }
        findEarliest();
    }

    // The first tick of the next range to start; kNever when every range has started.
    int64_t nextTick() const { return nextTick_; }

    // The index of the next range to start, left to be taken.
    size_t peek() const {
        return !sorted_.empty() ? sorted_[next_].second : runs_[earliestRun_].next;
    }

    // The index of the next range to start, which starts at nextTick().
    size_t take() {
        if (!sorted_.empty()) {
            const size_t index = sorted_[next_++].second;
            nextTick_ = next_ < sorted_.size() ? sorted_[next_].first : kNever;
            return index;
        }
        const size_t index = runs_[earliestRun_].next++;
        findEarliest();
        return index;
    }

private:
    static constexpr size_t kMostMergedRuns = 16;

    struct Run {
        size_t next;
        size_t end;
    };

    void sortAll() {
        runs_.clear();
        sorted_.resize(pieces_->size());
        for (size_t i = 0; i < sorted_.size(); ++i) sorted_[i] = {(*pieces_)[i].begin, i};
        std::sort(sorted_.begin(), sorted_.end());
        nextTick_ = sorted_.empty() ? kNever : sorted_.front().first;
    }

    void findEarliest() {
        nextTick_ = kNever;
        for (size_t r = 0; r < runs_.size(); ++r) {
            const Run& run = runs_[r];
            if (run.next < run.end && (*pieces_)[run.next].begin < nextTick_) {
                nextTick_ = (*pieces_)[run.next].begin;
                earliestRun_ = r;
            }
        }
    }

    const std::vector<CurvePiece>* pieces_ = nullptr;
    std::vector<Run> runs_;
    size_t earliestRun_ = 0;
    int64_t nextTick_ = kNever;
    std::vector<std::pair<int64_t, size_t>> sorted_;
    size_t next_ = 0;
};

namespace {

class Sweep {
public:
    Sweep(const std::vector<CurvePiece>& pieces, int64_t length, ReadOutRange range,
          RampRuns& runs)
        : pieces_(pieces), length_(length), range_(range), runs_(runs) {}

    // `starts` is working memory for the order in which the ranges start.
    void run(size_t pointLimit, StartOrder& starts, PointOutput& out) {
        reserveRoom(pointLimit, out);
        out.limit(pointLimit);
        starts.prepare(pieces_);

        int64_t previous = range_.minimum - 1;
        int64_t tick = 0;
        while (tick < length_) {
            while (starts.nextTick() == tick) {
                start(starts.take(), tick);
            }
            while (!due_.empty() && due_.top().tick == tick) {
                advance(tick);
            }

            const int64_t value = range_.clamp(cellOf(followedSum_ + searchedSum(tick)));
            if (value != previous) {
                previous = value;
                if (!out.push(BreakpointPoint{static_cast<int32_t>(tick), static_cast<int32_t>(value)})) {
                    return;
                }
            }

            if (!followAlone(starts, tick, previous, out)) {
                return;
            }
            const int64_t nextStartTick = std::min(starts.nextTick(), length_);

            // Until `until` nothing starts, ends or moves but the searched ramps.
            int64_t until = std::min(length_, nextStartTick);
            if (!due_.empty()) {
                until = std::min(until, due_.top().tick);
            }
            int64_t next = until;
            if (!searched_.empty() && tick + 1 < until) {
                if (rising_ == 0 || falling_ == 0) {
                    next = nextChange(tick + 1, until - 1, value).value_or(until);
                } else {
                    for (size_t index : searched_) {
                        next = std::min(next, eventAfter(index, tick));
                    }
                }
            }
            tick = next;
        }
    }

private:
    // While the earliest event is the move of a followed range and nothing else happens before
    // its next move, takes its moves one after another without going through the queue (the
    // common case of one envelope ramp running while the other ranges hold); when it ends just
    // where the next range starts and nothing else happens there, that range takes its place
    // and is followed the same way (the ramps of note envelopes laid end to end). Kept for
    // speed: without it a 100 000-note song takes 42% more instructions. Leaves `tick` and
    // `previous` at the last tick taken; false when the list passed the point limit.
    bool followAlone(StartOrder& starts, int64_t& tick, int64_t& previous, PointOutput& out) {
        if (!searched_.empty() || due_.empty() || due_.top().searched) {
            return true;
        }
        const size_t slot = due_.top().slot;
        Follower& follower = followers_[slot];
        // The sum of the other ranges stays fixed while this one runs alone.
        Shown shown{followedSum_ - static_cast<uint64_t>(follower.value()), tick, previous};
        const int64_t othersDue = due_.secondTick();
        bool kept = true;
        bool moved = false;
        for (;;) {
            const int64_t others = std::min({starts.nextTick(), length_, othersDue, follower.end()});
            while (kept && follower.nextMove() < others) {
                moved = true;
                const int64_t at = follower.nextMove();
                follower.move();
                kept = show(shown, at, follower.value(), out);
            }
            if (!kept) break;
            const int64_t end = follower.end();
            if (end != others || starts.nextTick() != end || end >= othersDue || end >= length_) {
                break;
            }
            if (isSearched(starts.peek())) break;
            const CurvePiece& piece = pieces_[starts.take()];
            moved = true;
            if (starts.nextTick() == end) {
                // More ranges start here: the sweep takes the others and the point at `end`.
                follower = Follower(piece, end);
                break;
            }
            if (std::min({starts.nextTick(), length_, othersDue}) >= piece.end) {
                kept = runWhole(piece, follower, shown, out);
            } else {
                follower = Follower(piece, end);
                kept = show(shown, end, follower.value(), out);
            }
            if (!kept) break;
        }
        tick = shown.last;
        previous = shown.value;
        followedSum_ = shown.rest + static_cast<uint64_t>(follower.value());
        if (!kept) return false;
        if (moved) due_.delayTop(followers_[slot].due());
        return true;
    }

    // What a range running alone has shown: over `rest`, the fixed sum of the other ranges,
    // the value shown last and the tick of the last move or start taken.
    struct Shown {
        uint64_t rest;
        int64_t last;
        int64_t value;
    };

    // Takes the value `moved` of the range running alone at `at`, a point when it reads out
    // otherwise than the value shown; false when the list passed the point limit.
    bool show(Shown& shown, int64_t at, int64_t moved, PointOutput& out) const {
        shown.last = at;
        const int64_t value = range_.clamp(cellOf(shown.rest + static_cast<uint64_t>(moved)));
        if (value == shown.value) return true;
        shown.value = value;
        return out.push(BreakpointPoint{static_cast<int32_t>(at), static_cast<int32_t>(value)});
    }

    // Takes `piece`, which starts where the range running alone ends, and every move of it:
    // nothing else starts, ends or moves before its end. The points come from the run kept
    // when a ramp ran just so before, or it is walked and kept. Leaves `follower` following it
    // to its end with no move left; false when the list passed the point limit. Kept for
    // speed: the runs of note envelopes come back, and copied instead of walked they save 8.7%
    // of the instructions of a 100 000-note song (573 million to 523) and 5.5% of its user time.
    bool runWhole(const CurvePiece& piece, Follower& follower, Shown& shown, PointOutput& out) {
        const RampRunKey key{piece.ramp.first, piece.ramp.change, piece.ramp.count,
                             piece.begin - piece.origin, piece.end - piece.begin,
                             static_cast<uint16_t>(shown.rest)};
        RampRun run;
        if (runs_.find(key, run)) {
            if (!show(shown, piece.begin, run.startValue, out)) return false;
            for (const RampRunPoint& point : run.points) {
                const auto at = static_cast<int32_t>(piece.begin + point.offset);
                if (!out.push(BreakpointPoint{at, point.value})) return false;
            }
            if (!run.points.empty()) shown.value = run.points.back().value;
            if (run.lastMove >= 0) shown.last = piece.begin + run.lastMove;
            follower = Follower(run.endValue, piece);
            return true;
        }
        follower = Follower(piece, piece.begin);
        const int64_t startValue = follower.value();
        if (!show(shown, piece.begin, startValue, out)) return false;
        int64_t lastMove = -1;
        while (follower.nextMove() < piece.end) {
            const int64_t at = follower.nextMove();
            follower.move();
            lastMove = at - piece.begin;
            const int64_t before = shown.value;
            if (!show(shown, at, follower.value(), out)) {
                runs_.drop();
                return false;
            }
            if (shown.value != before) {
                runs_.add(RampRunPoint{static_cast<int32_t>(lastMove),
                                       static_cast<int32_t>(shown.value)});
            }
        }
        runs_.keep(key, startValue, lastMove, follower.value());
        return true;
    }

    // Room in `out` for every point the curve can have: a point needs a tick where a range
    // starts, ends or moves, or tick 0. The list then never moves while it grows, and the
    // room beyond what is filled is never touched.
    void reserveRoom(size_t limit, PointOutput& out) const {
        const size_t wanted = limit - std::min(limit, out.size()) + 1;
        size_t most = 1;
        for (const CurvePiece& piece : pieces_) {
            most += 2 + static_cast<size_t>(piece.ramp.moves());
            if (most >= wanted) {
                most = wanted;
                break;
            }
        }
        out.reserve(most);
    }

    bool isSearched(size_t index) const { return pieces_[index].ramp.moves() > kFewMoves; }

    int64_t valueAt(size_t index, int64_t tick) const {
        return pieces_[index].ramp.valueAt(tick - pieces_[index].origin);
    }

    int64_t eventAfter(size_t index, int64_t tick) const {
        const CurvePiece& piece = pieces_[index];
        const int64_t step = piece.ramp.nextChange(tick - piece.origin);
        if (step == kNever) {
            return piece.end;
        }
        return std::min(piece.origin + step, piece.end);
    }

    void start(size_t index, int64_t tick) {
        if (isSearched(index)) {
            searched_.push_back(index);
            ++(pieces_[index].ramp.change > 0 ? rising_ : falling_);
            due_.push(Due{pieces_[index].end, index, true});
            return;
        }
        size_t slot = followers_.size();
        if (freeSlots_.empty()) {
            followers_.emplace_back(pieces_[index], tick);
        } else {
            slot = freeSlots_.back();
            freeSlots_.pop_back();
            followers_[slot] = Follower(pieces_[index], tick);
        }
        const Follower& follower = followers_[slot];
        followedSum_ += static_cast<uint64_t>(follower.value());
        due_.push(Due{follower.due(), slot, false});
    }

    // Takes the earliest event, which is due at `tick`.
    void advance(int64_t tick) {
        const Due due = due_.top();
        if (due.searched) {
            const auto found = std::find(searched_.begin(), searched_.end(), due.slot);
            *found = searched_.back();
            searched_.pop_back();
            --(pieces_[due.slot].ramp.change > 0 ? rising_ : falling_);
            due_.pop();
            return;
        }
        Follower& follower = followers_[due.slot];
        followedSum_ -= static_cast<uint64_t>(follower.value());
        if (tick >= follower.end()) {
            freeSlots_.push_back(due.slot);
            due_.pop();
            return;
        }
        follower.move();
        followedSum_ += static_cast<uint64_t>(follower.value());
        due_.delayTop(follower.due());
    }

    // Sums wrap in 64 bits without overflow; only their low 16 bits are read.
    uint64_t searchedSum(int64_t tick) const {
        uint64_t sum = 0;
        for (size_t index : searched_) {
            sum += static_cast<uint64_t>(valueAt(index, tick));
        }
        return sum;
    }

    // The first tick of [low, high] whose read-out differs from `value`, while the followed
    // sum stays fixed over the interval. Intervals of growing size are tried from `low`, so
    // that a change close by is found quickly even in a long interval.
    std::optional<int64_t> nextChange(int64_t low, int64_t high, int64_t value) const {
        int64_t size = 1;
        while (low <= high) {
            const int64_t last = std::min(high, low + size - 1);
            // A ramp may jump over cells, so a window that fails the check may still hold
            // no change.
            if (const std::optional<int64_t> found = firstChange(low, last, value)) {
                return found;
            }
            low = last + 1;
            size *= 2;
        }
        return std::nullopt;
    }

    // The first tick of [low, high] whose read-out differs from `value`, found by halving.
    std::optional<int64_t> firstChange(int64_t low, int64_t high, int64_t value) const {
        if (readsAs(low, high, value)) {
            return std::nullopt;
        }
        if (low == high) {
            return low;
        }
        const int64_t middle = low + (high - low) / 2;
        if (const std::optional<int64_t> found = firstChange(low, middle, value)) {
            return found;
        }
        return firstChange(middle + 1, high, value);
    }

    // True when every tick of [low, high] surely reads out as `value`: each searched ramp lies
    // between its values at low and high there.
    bool readsAs(int64_t low, int64_t high, int64_t value) const {
        uint64_t least = followedSum_;
        uint64_t width = 0;
        for (size_t index : searched_) {
            const int64_t atLow = valueAt(index, low);
            const int64_t atHigh = valueAt(index, high);
            least += static_cast<uint64_t>(std::min(atLow, atHigh));
            width = std::min<uint64_t>(
                width + static_cast<uint64_t>(std::max(atLow, atHigh) - std::min(atLow, atHigh)),
                kCellCount);
        }
        return range_.readsAs(least, width, value);
    }

    const std::vector<CurvePiece>& pieces_;
    int64_t length_;
    ReadOutRange range_;
    RampRuns& runs_;
    DueQueue due_;
    std::vector<Follower> followers_;
    std::vector<size_t> freeSlots_;
    uint64_t followedSum_ = 0;
    std::vector<size_t> searched_;
    size_t rising_ = 0;
    size_t falling_ = 0;
};

}  // namespace

void CurveBuffer::readOut(int32_t minimum, int32_t maximum, size_t limit,
                          PointOutput& out) {
    runs_->useRange(minimum, maximum);
    Sweep(pieces_, length_, ReadOutRange{minimum, maximum}, *runs_).run(limit, *starts_, out);
}
