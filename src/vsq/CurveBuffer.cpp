// Reads a curve out of its ranges by sweeping only the ticks where the read-out value can
// change, so that a long stretch costs little whatever its length.
//
// Constants and ramps whose value moves only a few times are followed event by event: their
// starts, ends and the ticks where their rounded value moves. Ramps that move often (such as a
// steep ramp that moves on every tick) are searched instead: between two events the sum of the
// others is fixed, and while the searched ramps all run the same way their sum is monotone, so
// over an interval it lies between its values at the interval's ends; the first tick where the
// clamped sum changes is then found by halving. When searched ramps run both ways, the sweep
// visits each tick where one of them moves.
#include "vsq/CurveBuffer.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <queue>

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

// A followed range waiting for its next event: a move of its value or its end.
struct Pending {
    int64_t tick;
    size_t piece;
    int64_t value;  // what the range adds at the ticks before `tick`
    bool operator>(const Pending& other) const { return tick > other.tick; }
};

class Sweep {
public:
    Sweep(const std::vector<CurvePiece>& pieces, int64_t length, ReadOutRange range)
        : pieces_(pieces), length_(length), range_(range) {}

    void run(std::vector<BreakpointPoint>& out) {
        std::vector<size_t> byBegin(pieces_.size());
        for (size_t i = 0; i < byBegin.size(); ++i) {
            byBegin[i] = i;
        }
        std::stable_sort(byBegin.begin(), byBegin.end(), [this](size_t a, size_t b) {
            return pieces_[a].begin < pieces_[b].begin;
        });

        size_t nextStart = 0;
        int64_t previous = range_.minimum - 1;
        int64_t tick = 0;
        while (tick < length_) {
            while (nextStart < byBegin.size() && pieces_[byBegin[nextStart]].begin == tick) {
                start(byBegin[nextStart++], tick);
            }
            while (!pending_.empty() && pending_.top().tick == tick) {
                const Pending due = pending_.top();
                pending_.pop();
                advance(due, tick);
            }

            const int64_t value = range_.clamp(cellOf(followedSum_ + searchedSum(tick)));
            if (value != previous) {
                out.push_back(
                    BreakpointPoint{static_cast<int32_t>(tick), static_cast<int32_t>(value)});
                previous = value;
            }

            // Until `limit` nothing starts, ends or moves but the searched ramps.
            int64_t limit = length_;
            if (nextStart < byBegin.size()) {
                limit = std::min(limit, pieces_[byBegin[nextStart]].begin);
            }
            if (!pending_.empty()) {
                limit = std::min(limit, pending_.top().tick);
            }
            int64_t next = limit;
            if (!searched_.empty() && tick + 1 < limit) {
                if (rising_ == 0 || falling_ == 0) {
                    next = nextChange(tick + 1, limit - 1, value).value_or(limit);
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
    bool isSearched(size_t index) const { return pieces_[index].ramp.moves() > kFewMoves; }

    int64_t valueAt(size_t index, int64_t tick) const {
        return pieces_[index].ramp.valueAt(tick - pieces_[index].origin);
    }

    int64_t eventAfter(size_t index, int64_t tick) const {
        const CurvePiece& piece = pieces_[index];
        const int64_t step = piece.ramp.nextChange(tick - piece.origin);
        if (step == std::numeric_limits<int64_t>::max()) {
            return piece.end;
        }
        return std::min(piece.origin + step, piece.end);
    }

    void start(size_t index, int64_t tick) {
        if (isSearched(index)) {
            searched_.push_back(index);
            ++(pieces_[index].ramp.change > 0 ? rising_ : falling_);
            pending_.push(Pending{pieces_[index].end, index, 0});
            return;
        }
        const int64_t value = valueAt(index, tick);
        followedSum_ += static_cast<uint64_t>(value);
        pending_.push(Pending{eventAfter(index, tick), index, value});
    }

    void advance(const Pending& due, int64_t tick) {
        if (isSearched(due.piece)) {
            // Only its end is pending.
            const auto found = std::find(searched_.begin(), searched_.end(), due.piece);
            *found = searched_.back();
            searched_.pop_back();
            --(pieces_[due.piece].ramp.change > 0 ? rising_ : falling_);
            return;
        }
        followedSum_ -= static_cast<uint64_t>(due.value);
        if (tick < pieces_[due.piece].end) {
            const int64_t value = valueAt(due.piece, tick);
            followedSum_ += static_cast<uint64_t>(value);
            pending_.push(Pending{eventAfter(due.piece, tick), due.piece, value});
        }
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
    std::priority_queue<Pending, std::vector<Pending>, std::greater<Pending>> pending_;
    uint64_t followedSum_ = 0;
    std::vector<size_t> searched_;
    size_t rising_ = 0;
    size_t falling_ = 0;
};

}  // namespace

void CurveBuffer::readOut(int32_t minimum, int32_t maximum,
                          std::vector<BreakpointPoint>& out) const {
    Sweep(pieces_, length_, ReadOutRange{minimum, maximum}).run(out);
}
