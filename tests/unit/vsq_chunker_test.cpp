// Cutting metatext into numbered "DM:" text events of at most 127 bytes.
#include <gtest/gtest.h>

#include "VsqTestSupport.h"
#include "output/MidiFileWriter.h"
#include "writers/vsq/TextEventChunker.h"

namespace {

// Runs a chunker over one track of a fresh MIDI file and reads the track back.
class ChunkerTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string path = folder.file("chunks.mid");
    MidiFileWriter midi;
    std::unique_ptr<TextEventChunker> chunker = createTextEventChunker();

    void SetUp() override {
        ASSERT_TRUE(midi.open(path, 1, 480));
        chunker->attach(&midi);
    }

    std::vector<vsqtest::MetaEvent> finishTrack() {
        EXPECT_TRUE(midi.finish());
        auto parsed = vsqtest::parseMidi(readFile(path));
        EXPECT_EQ(parsed.tracks.size(), 1u);
        return parsed.tracks.empty() ? std::vector<vsqtest::MetaEvent>{} : parsed.tracks[0];
    }

    static std::vector<vsqtest::MetaEvent> textEvents(const std::vector<vsqtest::MetaEvent>& all) {
        std::vector<vsqtest::MetaEvent> texts;
        for (const auto& event : all)
            if (event.type == 0x01) texts.push_back(event);
        return texts;
    }
};

std::string pattern(size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) text.push_back(static_cast<char>('!' + i % 90));
    return text;
}

TEST_F(ChunkerTest, TextIsCutInto127ByteEventsWhateverThePieces) {
    const std::string text = pattern(300);
    // Pieces of uneven sizes, so that events begin and end inside pieces.
    for (size_t at = 0, size = 1; at < text.size(); at += size, size = size * 2 + 1)
        chunker->append(text.substr(at, size).c_str());
    chunker->flush();
    const auto events = textEvents(finishTrack());
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].data, "DM:0000:" + text.substr(0, 119));
    EXPECT_EQ(events[1].data, "DM:0001:" + text.substr(119, 119));
    EXPECT_EQ(events[2].data, "DM:0002:" + text.substr(238));
    for (const auto& event : events) EXPECT_EQ(event.delta, 0u);
}

TEST_F(ChunkerTest, FullEventIsWrittenAtOnceAndFlushAddsNothing) {
    chunker->append(pattern(119).c_str());
    // A time moved to now lands on whatever event comes next: if flush wrote
    // the full event only now, the text event would carry it.
    midi.moveTo(5);
    chunker->flush();
    const auto events = finishTrack();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].data, "DM:0000:" + pattern(119));
    EXPECT_EQ(events[0].delta, 0u);
    EXPECT_EQ(events[1].type, 0x2F);
    EXPECT_EQ(events[1].delta, 5u);
}

TEST_F(ChunkerTest, EmptyTextStartsNoEvent) {
    chunker->append("");
    midi.textEvent("marker");
    chunker->append("a");
    chunker->flush();
    const auto events = textEvents(finishTrack());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].data, "marker");
    EXPECT_EQ(events[1].data, "DM:0000:a");
}

TEST_F(ChunkerTest, DoubleByteCharacterMaySpanTwoEvents) {
    const std::string text = std::string(118, 'a') + "\x82\xE7" + "b";
    chunker->append(text.c_str());
    chunker->flush();
    const auto events = textEvents(finishTrack());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].data.back(), '\x82');
    EXPECT_EQ(events[1].data, "DM:0001:\xE7" "b");
}

TEST_F(ChunkerTest, PrefixWidensAtEvent10000) {
    const std::string full = pattern(119);
    for (int i = 0; i < 10000; ++i) chunker->append(full.c_str());
    const std::string rest = pattern(200);
    chunker->append(rest.c_str());
    chunker->flush();
    const auto events = textEvents(finishTrack());
    ASSERT_EQ(events.size(), 10002u);
    EXPECT_EQ(events[9999].data, "DM:9999:" + full);
    EXPECT_EQ(events[10000].data, "DM:00010000:" + rest.substr(0, 115));
    EXPECT_EQ(events[10001].data, "DM:00010001:" + rest.substr(115));
}

// One text that crosses the widening, through a MIDI buffer too small for some events to fit
// where they fall: the events are the same.
TEST(ChunkerWidening, OneLongTextWidensMidwayWhateverTheBuffer) {
    for (const size_t bufferSize : {size_t{200}, MidiFileWriter::kDefaultBufferSize}) {
        ScratchFolder folder;
        const std::string path = folder.file("long.mid");
        MidiFileWriter midi(bufferSize);
        ASSERT_TRUE(midi.open(path, 1, 480));
        auto chunker = createTextEventChunker();
        chunker->attach(&midi);
        const std::string text = pattern(119 * 10000 + 200);
        chunker->append(text);
        chunker->flush();
        ASSERT_TRUE(midi.finish());
        const auto parsed = vsqtest::parseMidi(readFile(path));
        ASSERT_EQ(parsed.tracks.size(), 1u);
        const auto& events = parsed.tracks[0];
        ASSERT_EQ(events.size(), 10003u);  // the end of the track included
        EXPECT_EQ(events[1].data, "DM:0001:" + text.substr(119, 119));
        EXPECT_EQ(events[9999].data, "DM:9999:" + text.substr(119 * 9999, 119));
        EXPECT_EQ(events[10000].data, "DM:00010000:" + text.substr(119 * 10000, 115));
        EXPECT_EQ(events[10001].data, "DM:00010001:" + text.substr(119 * 10000 + 115));
    }
}

TEST(ChunkerLifetime, EachChunkerNumbersFromZeroAndUnflushedTextIsDropped) {
    ScratchFolder folder;
    const std::string path = folder.file("two.mid");
    MidiFileWriter midi;
    ASSERT_TRUE(midi.open(path, 1, 480));
    for (const char* text : {"first", "second"}) {
        auto chunker = createTextEventChunker();
        chunker->attach(&midi);
        chunker->append(text);
        chunker->flush();
        // After flush the chunker is detached: further text goes nowhere.
        chunker->append(std::string(300, 'x').c_str());
        chunker->flush();
        midi.nextTrack();
    }
    {
        auto chunker = createTextEventChunker();
        chunker->attach(&midi);
        chunker->append("lost");
    }
    ASSERT_TRUE(midi.finish());
    const auto parsed = vsqtest::parseMidi(readFile(path));
    ASSERT_EQ(parsed.tracks.size(), 3u);
    EXPECT_EQ(parsed.tracks[0][0].data, "DM:0000:first");
    EXPECT_EQ(parsed.tracks[0].size(), 2u);
    EXPECT_EQ(parsed.tracks[1][0].data, "DM:0000:second");
    EXPECT_EQ(parsed.tracks[2].size(), 1u);
}

}  // namespace
