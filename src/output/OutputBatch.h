// The output files of one run, put in place together: every writer first
// writes its file completely to a staged file beside the target and checks it,
// and hands it here; only when every output of the run is complete, and done
// up to its last step, are they put in place, one after another, so a run that
// fails anywhere before that replaces none.
#pragma once

#include <memory>
#include <vector>

// An output written completely and waiting to be put in place. Destroying it
// before then gives it up, leaving the target as it was.
class PendingOutput {
public:
    virtual ~PendingOutput() = default;
    // Does all that may still fail before the output is put in place, short
    // of that last step (closing the new file, giving it a name beside its
    // place); false when that failed, which is reported.
    virtual bool finish() = 0;
    // Puts the output at its place, finishing it first if that was not done;
    // false when that failed, which is reported.
    virtual bool putInPlace() = 0;
};

class OutputBatch {
public:
    void add(std::unique_ptr<PendingOutput> output) { pending_.push_back(std::move(output)); }
    // Finishes every output, then puts them in place in the order they were
    // added. False at the first that fails: when it fails to finish, none is
    // put in place; when it fails to be put in place, those before it are
    // already there. The ones not put in place are given up.
    bool putAllInPlace();

private:
    std::vector<std::unique_ptr<PendingOutput>> pending_;
};
