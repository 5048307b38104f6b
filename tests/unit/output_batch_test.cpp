// Tests of putting a run's outputs in place together: every one finished before
// the first is put in place, in the order they were handed over, none after the
// first that fails and those before it put back, none at all when one fails to
// finish or the batch is given up; an output that yields gives way to another
// leading to its file; a batch adopted joins at the end.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "output/OutputBatch.h"

namespace {

// Which step of an output fails.
enum class Failing { None, Finish, Place };

class RecordedOutput final : public PendingOutput {
public:
    RecordedOutput(std::string name, Failing failing, std::vector<std::string>& log,
                   std::string place = {})
        : name_(std::move(name)), failing_(failing), log_(log),
          place_(place.empty() ? "/nowhere/" + name_ : std::move(place)) {}
    ~RecordedOutput() override { log_.push_back("drop " + name_); }
    bool finish() override {
        log_.push_back("finish " + name_);
        return failing_ != Failing::Finish;
    }
    bool putInPlace() override {
        log_.push_back("place " + name_);
        return failing_ != Failing::Place;
    }
    void putBack() override { log_.push_back("back " + name_); }
    const std::string& place() const override { return place_; }
    void giveWay() override { log_.push_back("gives way " + name_); }

private:
    std::string name_;
    Failing failing_;
    std::vector<std::string>& log_;
    std::string place_;
};

TEST(OutputBatchTest, OutputsAreFinishedThenPlacedInTheOrderHandedOver) {
    std::vector<std::string> log;
    OutputBatch batch;
    batch.add(std::make_unique<RecordedOutput>("vsq", Failing::None, log));
    batch.add(std::make_unique<RecordedOutput>("log", Failing::None, log));
    batch.add(std::make_unique<RecordedOutput>("mid", Failing::None, log));
    EXPECT_TRUE(batch.putAllInPlace());
    EXPECT_EQ(log, (std::vector<std::string>{"finish vsq", "finish log", "finish mid",
                                             "place vsq", "place log", "place mid", "drop vsq",
                                             "drop log", "drop mid"}));
    log.clear();
    EXPECT_TRUE(batch.putAllInPlace());  // each output is placed once
    EXPECT_TRUE(log.empty());
}

TEST(OutputBatchTest, AFailureToPlacePutsBackThoseBeforeAndGivesUpThoseAfter) {
    std::vector<std::string> log;
    OutputBatch batch;
    batch.add(std::make_unique<RecordedOutput>("vsq", Failing::None, log));
    batch.add(std::make_unique<RecordedOutput>("log", Failing::None, log));
    batch.add(std::make_unique<RecordedOutput>("mid", Failing::Place, log));
    batch.add(std::make_unique<RecordedOutput>("xml", Failing::None, log));
    EXPECT_FALSE(batch.putAllInPlace());
    EXPECT_EQ(log, (std::vector<std::string>{"finish vsq", "finish log", "finish mid", "finish xml",
                                             "place vsq", "place log", "place mid", "back log",
                                             "back vsq", "drop vsq", "drop log", "drop mid",
                                             "drop xml"}));
}

TEST(OutputBatchTest, AYieldingOutputGivesWayToAnotherAtItsFile) {
    std::vector<std::string> log;
    OutputBatch batch;
    batch.add(std::make_unique<RecordedOutput>("vsq", Failing::None, log, "/w/song.vsq"));
    batch.addYielding(std::make_unique<RecordedOutput>("log", Failing::None, log, "/w/x.log"));
    batch.add(std::make_unique<RecordedOutput>("mid", Failing::None, log, "/w/x.log"));
    EXPECT_TRUE(batch.putAllInPlace());
    EXPECT_EQ(log, (std::vector<std::string>{"gives way log", "drop log", "finish vsq", "finish mid",
                                             "place vsq", "place mid", "drop vsq", "drop mid"}));

    // Elsewhere it is placed like any other.
    log.clear();
    batch.addYielding(std::make_unique<RecordedOutput>("log", Failing::None, log, "/w/x.log"));
    batch.add(std::make_unique<RecordedOutput>("mid", Failing::None, log, "/w/song.mid"));
    EXPECT_TRUE(batch.putAllInPlace());
    EXPECT_EQ(log, (std::vector<std::string>{"finish log", "finish mid", "place log", "place mid",
                                             "drop log", "drop mid"}));
}

TEST(OutputBatchTest, AFailureToFinishPlacesNone) {
    // The last output failing to finish still keeps the first from its place.
    std::vector<std::string> log;
    OutputBatch batch;
    batch.add(std::make_unique<RecordedOutput>("vsq", Failing::None, log));
    batch.add(std::make_unique<RecordedOutput>("mid", Failing::Finish, log));
    EXPECT_FALSE(batch.putAllInPlace());
    EXPECT_EQ(log, (std::vector<std::string>{"finish vsq", "finish mid", "drop vsq", "drop mid"}));
}

TEST(OutputBatchTest, AnAdoptedBatchFollowsInItsOrderAndIsLeftEmpty) {
    std::vector<std::string> log;
    OutputBatch run;
    OutputBatch apart;
    run.add(std::make_unique<RecordedOutput>("vsq", Failing::None, log));
    apart.add(std::make_unique<RecordedOutput>("mid", Failing::None, log));
    apart.add(std::make_unique<RecordedOutput>("xml", Failing::None, log));
    run.adopt(apart);
    EXPECT_TRUE(apart.putAllInPlace());
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(run.putAllInPlace());
    EXPECT_EQ(log, (std::vector<std::string>{"finish vsq", "finish mid", "finish xml", "place vsq",
                                             "place mid", "place xml", "drop vsq", "drop mid",
                                             "drop xml"}));
}

TEST(OutputBatchTest, ABatchGivenUpPlacesNothing) {
    std::vector<std::string> log;
    {
        OutputBatch batch;
        batch.add(std::make_unique<RecordedOutput>("vsq", Failing::None, log));
    }
    EXPECT_EQ(log, (std::vector<std::string>{"drop vsq"}));
}

}  // namespace
