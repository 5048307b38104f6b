// Writing a run's outputs in two lanes, and handing each over to the run.
#include "driver/OutputLanes.h"

#include <atomic>
#include <cstdint>
#include <system_error>
#include <thread>

#include "diag/Reporter.h"

void LaneOutput::write(const std::function<void(OutputSink&)>& write) noexcept {
    const ReportsRecordedOnThisThread recorded(reports_);
    try {
        write(sink_);
    } catch (...) {
        thrown_ = std::current_exception();
    }
}

void LaneOutput::handOver(OutputBatch& outputs) {
    reports_.replayInto(getReporter());
    outputs.adopt(batch_);
    if (thrown_ != nullptr) std::rethrow_exception(thrown_);
}

std::vector<std::unique_ptr<LaneOutput>> writeInLanes(
    size_t count, size_t lanes, const FilesRead* filesRead,
    const std::function<void(size_t index, OutputSink& sink)>& write) {
    std::vector<std::unique_ptr<LaneOutput>> outputs;
    for (size_t i = 0; i < count; ++i) outputs.push_back(std::make_unique<LaneOutput>(filesRead));

    // The first output that failed: those after it are not written.
    std::atomic<size_t> firstFailed{SIZE_MAX};
    const auto writeOne = [&](size_t i) noexcept {
        if (firstFailed.load() < i) return;
        outputs[i]->write([&](OutputSink& sink) { write(i, sink); });
        if (!outputs[i]->failed()) return;
        size_t failed = firstFailed.load();
        while (i < failed && !firstFailed.compare_exchange_weak(failed, i)) {
        }
    };
    const auto lane = [&](size_t lane) noexcept {
        for (size_t i = 0; i < count; ++i) {
            if (laneOf(i, 2) == lane) writeOne(i);
        }
    };
    // In one lane, one output after another.
    const auto inOrder = [&]() noexcept {
        for (size_t i = 0; i < count; ++i) writeOne(i);
    };

    if (count < 2 || lanes < 2) {
        inOrder();
        return outputs;
    }
    std::thread second;
    try {
        second = std::thread(lane, size_t{1});
    } catch (const std::system_error&) {
        inOrder();
        return outputs;
    }
    lane(0);
    second.join();
    return outputs;
}
