// The Standard MIDI File writer: variable-length numbers, meta events,
// back-patched chunk lengths and header, and its failure results.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "VsqTestSupport.h"
#include "output/MidiFileWriter.h"

using vsqtest::bytes;

namespace {

class MidiFileWriterTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string path = folder.file("out.mid");
    MidiFileWriter midi;

    std::string finishAndRead() {
        EXPECT_TRUE(midi.finish());
        return readFile(path);
    }
};

TEST_F(MidiFileWriterTest, TrackWithOnlyItsEndIsExactlyThatEvent) {
    ASSERT_TRUE(midi.open(path, 1, 480));
    const std::string expected = bytes({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 0x01, 0xE0,
                                        'M', 'T', 'r', 'k', 0, 0, 0, 4, 0x00, 0xFF, 0x2F, 0x00});
    EXPECT_EQ(finishAndRead(), expected);
}

// `count` filler events, each 0x0FFFFFFF ticks after the one before.
std::string longGap(int count) {
    std::string gap;
    for (int i = 0; i < count; ++i) gap += bytes({0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x7F, 0x00});
    return gap;
}

TEST_F(MidiFileWriterTest, DeltaTimesAreVariableLengthNumbers) {
    const std::pair<uint32_t, std::string> cases[] = {
        {0, bytes({0x00})},
        {127, bytes({0x7F})},
        {128, bytes({0x81, 0x00})},
        {480, bytes({0x83, 0x60})},
        {268435455, bytes({0xFF, 0xFF, 0xFF, 0x7F})},
        // Beyond four bytes the gap is carried by empty sequencer-specific
        // events, each a full four-byte delta on.
        {268435456, longGap(1) + bytes({0x01})},
        {0xFFFFFFFFu, longGap(16) + bytes({0x0F})},
    };
    for (const auto& [value, encoded] : cases) {
        MidiFileWriter writer;
        ASSERT_TRUE(writer.open(path, 1, 480));
        writer.moveTo(value);
        writer.textEvent("x");
        ASSERT_TRUE(writer.finish());
        const std::string file = readFile(path);
        EXPECT_EQ(file.substr(22, encoded.size() + 4), encoded + bytes({0xFF, 0x01, 0x01, 'x'}))
            << value;
    }
}

TEST_F(MidiFileWriterTest, MetaEventsCarryTheirData) {
    ASSERT_TRUE(midi.open(path, 1, 480));
    midi.trackName("Master Track");
    midi.tempo(120);
    midi.tempo(7);
    midi.tempo(1);  // too slow for 24 bits: held at the slowest
    midi.timeSignature(3, 8);
    midi.timeSignature(4, 3);
    midi.timeSignature(4, 0);
    midi.timeSignature(4, 200);
    midi.timeSignature(300, 32);
    const std::string text(200, 't');
    midi.textEvent(text.c_str());
    const std::string data = finishAndRead().substr(22);
    const std::string expected =
        bytes({0x00, 0xFF, 0x03, 0x0C}) + "Master Track" +
        bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}) +
        bytes({0x00, 0xFF, 0x51, 0x03, 0x82, 0xCA, 0x24}) +
        bytes({0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF}) +
        bytes({0x00, 0xFF, 0x58, 0x04, 0x03, 0x03, 0x18, 0x08}) +
        bytes({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08}) +
        bytes({0x00, 0xFF, 0x58, 0x04, 0x04, 0x00, 0x18, 0x08}) +
        bytes({0x00, 0xFF, 0x58, 0x04, 0x04, 0x08, 0x18, 0x08}) +
        bytes({0x00, 0xFF, 0x58, 0x04, 300 & 0xFF, 0x05, 0x18, 0x08}) +
        bytes({0x00, 0xFF, 0x01, 0x81, 0x48}) + text + bytes({0x00, 0xFF, 0x2F, 0x00});
    EXPECT_EQ(data, expected);
}

TEST_F(MidiFileWriterTest, LyricsAndChannelMessagesTakeThePendingDelta) {
    ASSERT_TRUE(midi.open(path, 1, 480));
    midi.channelEvent(0xC1, 52);
    midi.moveTo(480);
    midi.lyric("ka\0x", 2);
    midi.channelEvent(0x91, 72, 0xE4);  // data bytes keep their low seven bits
    midi.moveTo(610);
    midi.channelEvent(0xE1, 0x00, 0x40);
    const std::string expected = bytes({0x00, 0xC1, 52, 0x83, 0x60, 0xFF, 0x05, 0x02, 'k', 'a',
                                        0x00, 0x91, 72, 0x64, 0x81, 0x02, 0xE1, 0x00, 0x40,
                                        0x00, 0xFF, 0x2F, 0x00});
    EXPECT_EQ(finishAndRead().substr(22), expected);
}

// Channel messages with deltas of one to four bytes, between text events, through
// buffers too small for one message, just large enough and larger: the same bytes
// each time, the first messages as encoded by hand.
TEST_F(MidiFileWriterTest, ChannelMessagesAreTheSameThroughEveryBufferSize) {
    const auto writeAll = [](MidiFileWriter& writer) {
        int64_t tick = 0;
        for (int i = 0; i < 600; ++i) {
            const int64_t steps[] = {0, 1, 127, 128, 16383, 16384, 2097152, 10};
            tick += steps[i % 8];
            writer.moveTo(tick);
            if (i % 5 == 4) {
                writer.textEvent("t");
            } else {
                writer.channelEvent(static_cast<uint8_t>(0xE0 | i % 16), static_cast<uint8_t>(i),
                                    static_cast<uint8_t>(i >> 7));
            }
        }
    };
    ASSERT_TRUE(midi.open(path, 1, 480));
    writeAll(midi);
    const std::string expected = finishAndRead();
    EXPECT_EQ(expected.substr(22, 12),
              bytes({0x00, 0xE0, 0x00, 0x00, 0x01, 0xE1, 0x01, 0x00, 0x7F, 0xE2, 0x02, 0x00}));
    for (const size_t bufferSize : {size_t{1}, size_t{3}, size_t{4}, size_t{5}, size_t{7}, size_t{64}}) {
        const std::string file = folder.file("channel-" + std::to_string(bufferSize) + ".mid");
        MidiFileWriter small(bufferSize);
        ASSERT_TRUE(small.open(file, 1, 480));
        writeAll(small);
        ASSERT_TRUE(small.finish());
        EXPECT_EQ(readFile(file), expected) << "buffer of " << bufferSize;
    }
    MidiFileWriter closed;  // nothing open: the messages go nowhere
    closed.moveTo(5);
    closed.channelEvent(0x90, 60, 100);
    EXPECT_FALSE(closed.finish());
}

TEST_F(MidiFileWriterTest, ChunksArePatchedAndTicksCountFromEachTrackStart) {
    ASSERT_TRUE(midi.open(path, 1, 480));
    midi.trackName("Master Track");
    midi.moveTo(700);  // the master track's own time, forgotten at the next track
    midi.nextTrack();
    midi.moveTo(10);
    midi.moveTo(15);
    midi.textEvent("a");
    midi.moveTo(3);  // earlier than the last event: stays at its tick
    midi.textEvent("b");
    midi.moveTo(1935);
    midi.nextTrack();
    midi.trackName("Voice2");
    const auto parsed = vsqtest::parseMidi(finishAndRead());
    EXPECT_EQ(parsed.format, 1);
    EXPECT_EQ(parsed.division, 480);
    EXPECT_EQ(parsed.trackCount, 3);
    ASSERT_EQ(parsed.tracks.size(), 3u);
    const auto& events = parsed.tracks[1];
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].delta, 15u);
    EXPECT_EQ(events[1].delta, 0u);
    EXPECT_EQ(events[2].type, 0x2F);
    EXPECT_EQ(events[2].delta, 1920u);
    EXPECT_EQ(parsed.tracks[2][0].data, "Voice2");
}

// Ticks past what 32-bit delta times can sum to are held at that end.
// Far ticks are held at the end of the 32-bit range, and the gap is carried by
// filler events whose delta times each fit in four bytes.
TEST_F(MidiFileWriterTest, TicksBeyondThe32BitRangeAreHeldAtItsEnd) {
    ASSERT_TRUE(midi.open(path, 1, 480));
    midi.moveTo(int64_t{1} << 40);
    midi.textEvent("a");
    midi.moveTo((int64_t{1} << 40) + 5);
    midi.textEvent("b");
    const auto parsed = vsqtest::parseMidi(finishAndRead());
    ASSERT_EQ(parsed.tracks.size(), 1u);
    uint64_t ticks = 0;
    size_t at = 0;
    const auto& events = parsed.tracks[0];
    for (; at < events.size() && events[at].data != "a"; ++at) {
        EXPECT_LE(events[at].delta, 0x0FFFFFFFu);
        ticks += events[at].delta;
    }
    ASSERT_LT(at + 1, events.size());
    EXPECT_EQ(ticks + events[at].delta, 0xFFFFFFFFu);
    EXPECT_EQ(events[at + 1].data, "b");
    EXPECT_EQ(events[at + 1].delta, 0u);
}

TEST_F(MidiFileWriterTest, EventsLargerThanTheBufferKeepTheirPlace) {
    // Small events, an event of 3 MB, and many more small ones: the file holds them in
    // order, with the chunk length patched over all of them.
    std::string big(3 << 20, 'b');
    big[12345] = 'x';
    ASSERT_TRUE(midi.open(path, 1, 480));
    midi.textEvent("before", 6);
    midi.textEvent(big.c_str(), big.size());
    for (int i = 0; i < 20000; ++i) midi.textEvent("after");
    const auto parsed = vsqtest::parseMidi(finishAndRead());
    ASSERT_EQ(parsed.tracks.size(), 1u);
    const auto& events = parsed.tracks[0];
    ASSERT_EQ(events.size(), 20003u);
    EXPECT_EQ(events[0].data, "before");
    EXPECT_EQ(events[1].data, big);
    EXPECT_EQ(events[20001].data, "after");
    EXPECT_EQ(events[20002].type, 0x2F);
}

TEST_F(MidiFileWriterTest, EventsAcrossBufferBoundariesStayWhole) {
    // Events of 0 to 130 bytes through buffers smaller than, near and larger than an event:
    // the buffer fills at every possible place inside an event, and some events pass it by.
    for (const size_t bufferSize : {size_t{1}, size_t{16}, size_t{131}, size_t{135}, size_t{1000}}) {
        const std::string file = folder.file("small-" + std::to_string(bufferSize) + ".mid");
        MidiFileWriter small(bufferSize);
        ASSERT_TRUE(small.open(file, 1, 480));
        std::vector<std::string> texts;
        for (int i = 0; i < 3000; ++i) {
            std::string text(static_cast<size_t>(i * 7 % 131), static_cast<char>('a' + i % 26));
            if (!text.empty()) text.front() = static_cast<char>('0' + i % 10);
            small.textEvent(text.c_str(), text.size());
            texts.push_back(std::move(text));
        }
        ASSERT_TRUE(small.finish());
        const auto parsed = vsqtest::parseMidi(readFile(file));
        ASSERT_EQ(parsed.tracks.size(), 1u);
        const auto& events = parsed.tracks[0];
        ASSERT_EQ(events.size(), texts.size() + 1) << "buffer of " << bufferSize;
        for (size_t i = 0; i < texts.size(); ++i) {
            ASSERT_EQ(events[i].data, texts[i]) << "event " << i << ", buffer of " << bufferSize;
        }
    }
}

TEST_F(MidiFileWriterTest, SecondOpenIsRefusedAndLeavesTheFirstFileAlone) {
    ASSERT_TRUE(midi.open(path, 1, 480));
    const std::string other = folder.file("other.mid");
    EXPECT_FALSE(midi.open(other, 0, 96));
    EXPECT_FALSE(std::filesystem::exists(other));
    midi.trackName("kept");
    const auto parsed = vsqtest::parseMidi(finishAndRead());
    EXPECT_EQ(parsed.format, 1);
    EXPECT_EQ(parsed.division, 480);
    ASSERT_EQ(parsed.tracks.size(), 1u);
    EXPECT_EQ(parsed.tracks[0][0].data, "kept");
}

TEST_F(MidiFileWriterTest, FileThatCannotBeCreatedFailsWithTheReason) {
    errno = 0;
    EXPECT_FALSE(midi.open(folder.file("missing/out.mid"), 1, 480));
    EXPECT_EQ(errno, ENOENT);
    // Without an open file nothing is written and finishing fails.
    midi.textEvent("lost");
    midi.nextTrack();
    EXPECT_FALSE(midi.finish());
    // The writer can still be used for another file.
    EXPECT_TRUE(midi.open(path, 1, 480));
    EXPECT_EQ(finishAndRead().size(), 26u);
}

TEST_F(MidiFileWriterTest, WriteFailureIsReportedByFinish) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(midi.open("/dev/full", 1, 480));
    midi.trackName("Master Track");
    errno = 0;
    EXPECT_FALSE(midi.finish());
    EXPECT_EQ(errno, ENOSPC);
}

}  // namespace
