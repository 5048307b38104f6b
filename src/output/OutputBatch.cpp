// Putting the staged outputs of a run in place, in order, or none of them.
#include "output/OutputBatch.h"

#include <algorithm>

#include "platform/PathIdentity.h"

void OutputBatch::dropOutputsThatGiveWay() {
    const auto givesWay = [&](const Entry& entry) {
        return entry.yielding &&
               std::any_of(pending_.begin(), pending_.end(), [&](const Entry& other) {
                   return !other.yielding &&
                          platform::leadToSameFile(entry.output->place(), other.output->place());
               });
    };
    std::vector<bool> giving;
    for (const Entry& entry : pending_) giving.push_back(givesWay(entry));
    std::vector<Entry> kept;
    for (size_t i = 0; i < pending_.size(); ++i) {
        if (giving[i]) {
            pending_[i].output->giveWay();
        } else {
            kept.push_back(std::move(pending_[i]));
        }
    }
    pending_ = std::move(kept);
}

bool OutputBatch::putAllInPlace() {
    dropOutputsThatGiveWay();
    std::vector<Entry> pending = std::move(pending_);
    pending_.clear();
    // Whatever may fail is done for every output before the first replaces
    // its target, so that only the renames are left between them.
    for (const Entry& entry : pending) {
        if (!entry.output->finish()) return false;
    }
    for (size_t placed = 0; placed < pending.size(); ++placed) {
        if (pending[placed].output->putInPlace()) continue;
        for (size_t earlier = placed; earlier-- > 0;) pending[earlier].output->putBack();
        return false;
    }
    // The outputs go now, and with them the files they replaced.
    return true;
}
