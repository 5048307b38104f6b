// The output files of one run, put in place together: every writer first
// writes its file completely to a staged file beside the target and checks it,
// and hands it here; only when every output of the run is complete, and done
// up to its last step, are they put in place, one after another. Each keeps
// the file it replaced aside until the batch is done, so that when one cannot
// be put in place the ones before it are put back: a run that fails anywhere
// leaves every old file.
#pragma once

#include <memory>
#include <string>
#include <vector>

// An output written completely and waiting to be put in place. Destroying it
// before then gives it up, leaving the target as it was; destroying it after
// lets go of the file it replaced.
class PendingOutput {
public:
    virtual ~PendingOutput() = default;
    // Does all that may still fail before the output is put in place, short
    // of that last step (closing the new file, giving it a name beside its
    // place); false when that failed, which is reported.
    virtual bool finish() = 0;
    // Puts the output at its place, finishing it first if that was not done,
    // and keeps the file it replaces aside; false when that failed, which is
    // reported, with the place as it was.
    virtual bool putInPlace() = 0;
    // Undoes putInPlace after a later output of the run failed: the file that
    // was there is back. A failure to do so is reported.
    virtual void putBack() = 0;
    // The file the output is to become (links followed), for the batch to
    // tell when two outputs lead to one file.
    virtual const std::string& place() const = 0;
    // For an output added with addYielding, when another output of the batch
    // leads to its file: says so; the output is then given up.
    virtual void giveWay() {}
};

class OutputBatch {
public:
    void add(std::unique_ptr<PendingOutput> output) { pending_.push_back({std::move(output), false}); }
    // An output that gives way to any other output of the batch leading to
    // the same file (the log, which is never worth an output the user asked for).
    void addYielding(std::unique_ptr<PendingOutput> output) {
        pending_.push_back({std::move(output), true});
    }
    // Takes the outputs of `other`, after those added here, in their order; `other` is left
    // empty. An output written apart from the others of its run joins the run's batch so.
    void adopt(OutputBatch& other) {
        for (Entry& entry : other.pending_) pending_.push_back(std::move(entry));
        other.pending_.clear();
    }
    // Finishes every output, then puts them in place in the order they were
    // added, after the yielding ones another leads to gave way. False at the
    // first that fails: when it fails to finish, none is
    // put in place; when it fails to be put in place, those before it are put
    // back, the last first. The ones not put in place are given up.
    bool putAllInPlace();

private:
    struct Entry {
        std::unique_ptr<PendingOutput> output;
        bool yielding;
    };
    // Gives up the yielding outputs that another output leads to.
    void dropOutputsThatGiveWay();

    std::vector<Entry> pending_;
};
