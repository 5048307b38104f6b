// Putting the staged outputs of a run in place, in order.
#include "output/OutputBatch.h"

bool OutputBatch::putAllInPlace() {
    std::vector<std::unique_ptr<PendingOutput>> pending = std::move(pending_);
    pending_.clear();
    for (const std::unique_ptr<PendingOutput>& output : pending) {
        if (!output->putInPlace()) return false;
    }
    return true;
}
