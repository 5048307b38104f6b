// The runs kept: one slot a run, found by a hash of its key, a later run taking the slot of an
// earlier one that hashes alike; their points in one list of bounded size, which starts afresh
// when it is full, so that the runs kept never take more than some 620 KB.
#include "render/RampRuns.h"

namespace {

constexpr size_t kSlotBits = 12;
constexpr size_t kSlots = size_t{1} << kSlotBits;
// The most points kept of every run together (256 KB).
constexpr size_t kMostPoints = size_t{1} << 15;

}  // namespace

struct RampRuns::Slot {
    RampRunKey key;
    bool used = false;
    uint32_t from = 0;  // where its points lie in points_
    uint32_t count = 0;
    int64_t startValue = 0;
    int64_t lastMove = -1;
    int64_t endValue = 0;
};

RampRuns::RampRuns() = default;

RampRuns::~RampRuns() = default;

size_t RampRuns::slotOf(const RampRunKey& key) {
    uint64_t hash = static_cast<uint64_t>(key.first) * 0x9E3779B97F4A7C15u;
    hash ^= static_cast<uint64_t>(key.change) * 0xC2B2AE3D27D4EB4Fu;
    hash ^= static_cast<uint64_t>(key.count) * 0x165667B19E3779F9u;
    hash ^= static_cast<uint64_t>(key.skip) * 0xD6E8FEB86659FD93u;
    hash ^= static_cast<uint64_t>(key.length) * 0xFF51AFD7ED558CCDu;
    hash ^= key.rest;
    hash *= 0x9E3779B97F4A7C15u;
    return static_cast<size_t>(hash >> (64 - kSlotBits));
}

void RampRuns::useRange(int64_t minimum, int64_t maximum) {
    if (minimum == minimum_ && maximum == maximum_) return;
    minimum_ = minimum;
    maximum_ = maximum;
    forget();
}

void RampRuns::forget() {
    if (slots_ != nullptr) {
        for (size_t i = 0; i < kSlots; ++i) slots_[i].used = false;
    }
    points_.clear();
}

bool RampRuns::find(const RampRunKey& key, RampRun& run) const {
    if (slots_ == nullptr) return false;
    const Slot& slot = slots_[slotOf(key)];
    if (!slot.used || !(slot.key == key)) return false;
    run.startValue = slot.startValue;
    run.points = std::span<const RampRunPoint>(points_.data() + slot.from, slot.count);
    run.lastMove = slot.lastMove;
    run.endValue = slot.endValue;
    return true;
}

void RampRuns::keep(const RampRunKey& key, int64_t startValue, int64_t lastMove,
                    int64_t endValue) {
    if (recording_.size() > kMostPoints) {
        recording_.clear();
        return;
    }
    if (points_.size() + recording_.size() > kMostPoints) forget();  // full
    // The slots are taken when the first run is kept: a song of no envelope ramps
    // never touches their 320 KB.
    if (slots_ == nullptr) slots_ = std::make_unique<Slot[]>(kSlots);
    Slot& slot = slots_[slotOf(key)];
    slot.key = key;
    slot.used = true;
    slot.from = static_cast<uint32_t>(points_.size());
    slot.count = static_cast<uint32_t>(recording_.size());
    slot.startValue = startValue;
    slot.lastMove = lastMove;
    slot.endValue = endValue;
    points_.insert(points_.end(), recording_.begin(), recording_.end());
    recording_.clear();
}
