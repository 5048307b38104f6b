// Putting the staged outputs of a run in place, in order.
#include "output/OutputBatch.h"

bool OutputBatch::putAllInPlace() {
    std::vector<std::unique_ptr<PendingOutput>> pending = std::move(pending_);
    pending_.clear();
    // Whatever may fail is done for every output before the first replaces
    // its target, so that only the renames are left between them.
    for (const std::unique_ptr<PendingOutput>& output : pending) {
        if (!output->finish()) return false;
    }
    for (const std::unique_ptr<PendingOutput>& output : pending) {
        if (!output->putInPlace()) return false;
    }
    return true;
}
