// The output files of one run, put in place together: every writer first
// writes its file completely to a staged file beside the target and checks it,
// and hands it here; only when every output of the run is complete are they
// put in place, one after another, so a run that fails anywhere replaces none.
#pragma once

#include <memory>
#include <vector>

// An output written completely and waiting to be put in place. Destroying it
// before then gives it up, leaving the target as it was.
class PendingOutput {
public:
    virtual ~PendingOutput() = default;
    // Puts the output at its place; false when that failed, which is reported.
    virtual bool putInPlace() = 0;
};

class OutputBatch {
public:
    void add(std::unique_ptr<PendingOutput> output) { pending_.push_back(std::move(output)); }
    // Puts the outputs in place in the order they were added. False at the
    // first that fails; the ones after it are given up.
    bool putAllInPlace();

private:
    std::vector<std::unique_ptr<PendingOutput>> pending_;
};
