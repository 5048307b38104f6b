// A run's outputs written in one lane, or in two at once: the outputs at even
// places of the run's order on this thread, those at odd places on a second
// thread. Each output is written apart from the
// others, into staged files of its own and with its reports recorded; the run
// then hands them over one by one in its order, so that what it shows and
// what it puts in place are those of a run that wrote one output after
// another.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "diag/ReportRecorder.h"
#include "output/OutputBatch.h"
#include "output/StagedSink.h"

class FilesRead;
class OutputSink;

class LaneOutput {
public:
    explicit LaneOutput(const FilesRead* filesRead) : sink_(batch_, filesRead) {}

    // Writes the output through `write`, given this output's sink, with what this thread
    // reports recorded, and what it throws kept.
    void write(const std::function<void(OutputSink&)>& write) noexcept;
    // True when its writing reported an error or threw.
    bool failed() const { return thrown_ != nullptr || reports_.hasErrors(); }
    // Makes its reports through getReporter(), in order, and adds its staged files to
    // `outputs`; then throws what its writing threw, if it did.
    void handOver(OutputBatch& outputs);

private:
    OutputBatch batch_;
    StagedSink sink_;  // stages into batch_
    ReportRecorder reports_;
    std::exception_ptr thrown_;
};

// The lane, of `lanes` (1 or 2), that writes output `index` of the run's order.
constexpr size_t laneOf(size_t index, size_t lanes) { return index % lanes; }

// Writes the outputs 0 to count-1 of a run, output i through write(i, sink), in `lanes`
// lanes (1 or 2; one when no second thread can be started). An output after one that failed
// is not written, as the run gives it up. Destroying an output not handed over gives up its
// files.
std::vector<std::unique_ptr<LaneOutput>> writeInLanes(
    size_t count, size_t lanes, const FilesRead* filesRead,
    const std::function<void(size_t index, OutputSink& sink)>& write);
