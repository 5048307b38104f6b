// Tests of putting a run's outputs in place together: in the order they were
// handed over, none after the first that fails, and none at all when the batch
// is given up.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "output/OutputBatch.h"

namespace {

class RecordedOutput final : public PendingOutput {
public:
    RecordedOutput(std::string name, bool succeeds, std::vector<std::string>& log)
        : name_(std::move(name)), succeeds_(succeeds), log_(log) {}
    ~RecordedOutput() override { log_.push_back("drop " + name_); }
    bool putInPlace() override {
        log_.push_back("place " + name_);
        return succeeds_;
    }

private:
    std::string name_;
    bool succeeds_;
    std::vector<std::string>& log_;
};

TEST(OutputBatchTest, OutputsArePlacedInTheOrderHandedOver) {
    std::vector<std::string> log;
    OutputBatch batch;
    batch.add(std::make_unique<RecordedOutput>("vsq", true, log));
    batch.add(std::make_unique<RecordedOutput>("log", true, log));
    batch.add(std::make_unique<RecordedOutput>("mid", true, log));
    EXPECT_TRUE(batch.putAllInPlace());
    EXPECT_EQ(log, (std::vector<std::string>{"place vsq", "place log", "place mid", "drop vsq",
                                             "drop log", "drop mid"}));
    log.clear();
    EXPECT_TRUE(batch.putAllInPlace());  // each output is placed once
    EXPECT_TRUE(log.empty());
}

TEST(OutputBatchTest, AFailureGivesUpTheOutputsAfterIt) {
    std::vector<std::string> log;
    OutputBatch batch;
    batch.add(std::make_unique<RecordedOutput>("vsq", false, log));
    batch.add(std::make_unique<RecordedOutput>("mid", true, log));
    EXPECT_FALSE(batch.putAllInPlace());
    EXPECT_EQ(log, (std::vector<std::string>{"place vsq", "drop vsq", "drop mid"}));
}

TEST(OutputBatchTest, ABatchGivenUpPlacesNothing) {
    std::vector<std::string> log;
    {
        OutputBatch batch;
        batch.add(std::make_unique<RecordedOutput>("vsq", true, log));
    }
    EXPECT_EQ(log, (std::vector<std::string>{"drop vsq"}));
}

}  // namespace
