// Outputs written in two lanes: their reports reach the run only when handed
// over, in the order handed over; outputs after a failed one in its lane are
// not written; what a writer threw comes out at its hand-over; staged files
// are put in place only through the run's batch, and an output not handed
// over leaves nothing behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>

#include "TestFiles.h"
#include "diag/ConsoleReporter.h"
#include "diag/ReportRecorder.h"
#include "diag/Reporter.h"
#include "driver/OutputLanes.h"
#include "output/OutputSink.h"

namespace {

msg::Message text(std::string_view words) { return msg::Message{"test", words}; }

// What the run's thread was told, as console lines.
std::string shown(ReportRecorder& run) {
    auto console = createConsoleReporter([](std::string_view cp932) { return std::string(cp932); });
    testing::internal::CaptureStdout();
    run.replayInto(*console);
    return testing::internal::GetCapturedStdout();
}

TEST(OutputLanesTest, ReportsReachTheRunInTheOrderHandedOver) {
    ReportRecorder run;
    const ReportsRecordedOnThisThread recorded(run);
    auto outputs = writeInLanes(4, 2, nullptr, [](size_t i, OutputSink&) {
        getReporter().warning(text("output"), std::to_string(i));
    });
    EXPECT_EQ(run.warningCount(), 0);
    OutputBatch batch;
    for (size_t i = 0; i < outputs.size(); ++i) outputs[i]->handOver(batch);
    EXPECT_EQ(shown(run), "WARN: output: 0\nWARN: output: 1\nWARN: output: 2\nWARN: output: 3\n");
}

TEST(OutputLanesTest, AFailedOutputStopsItsLaneAndAThrowComesOutAtItsHandOver) {
    ReportRecorder run;
    const ReportsRecordedOnThisThread recorded(run);
    for (const size_t lanes : {1, 2}) {
        std::mutex guard;
        std::set<size_t> written;
        auto outputs = writeInLanes(6, lanes, nullptr, [&](size_t i, OutputSink&) {
            {
                const std::lock_guard<std::mutex> held(guard);
                written.insert(i);
            }
            if (i == 1) getReporter().error(text("cannot"), "1");
            if (i == 4) throw std::runtime_error("4");
        });
        // 0 comes before the failure and is written; 3 and 5 follow it in its lane, and in
        // one lane everything after it does.
        EXPECT_TRUE(written.count(0) == 1 && written.count(1) == 1);
        EXPECT_EQ(written.count(3) + written.count(5), 0u);
        if (lanes == 1) {
            EXPECT_EQ(written.size(), 2u);
        }
        EXPECT_TRUE(outputs[1]->failed());
        EXPECT_FALSE(outputs[0]->failed());
    }

    auto thrower = writeInLanes(1, 2, nullptr, [](size_t, OutputSink&) {
        getReporter().warning(text("before the throw"), "");
        throw std::runtime_error("thrown");
    });
    OutputBatch batch;
    EXPECT_TRUE(thrower[0]->failed());
    EXPECT_THROW(thrower[0]->handOver(batch), std::runtime_error);
    EXPECT_EQ(shown(run), "WARN: before the throw\n");
}

TEST(OutputLanesTest, StagedFilesArePlacedThroughTheRunsBatchOnly) {
    const ScratchFolder folder;
    const auto writeNamed = [&](size_t i, OutputSink& sink) {
        const std::string path = folder.file("out" + std::to_string(i) + ".txt");
        std::FILE* stream = sink.open(path);
        ASSERT_NE(stream, nullptr);
        std::fputs("written", stream);
        ASSERT_EQ(std::fclose(stream), 0);
        sink.keep(path, 0);
    };
    {
        auto outputs = writeInLanes(2, 2, nullptr, writeNamed);
        OutputBatch batch;
        outputs[0]->handOver(batch);
        EXPECT_TRUE(batch.putAllInPlace());
    }
    // The output handed over is in place; the other left nothing.
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out0.txt"});
    EXPECT_EQ(readFile(folder.file("out0.txt")), "written");
}

}  // namespace
