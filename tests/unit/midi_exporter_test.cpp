// The MIDI file's sound read back from its bytes: the levels a song at its
// defaults plays at, the vibrato as pitch bends (their shape, spacing and bound),
// the bend range, the song's time in milliseconds, and UTF-8 lyrics.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "ExportTestSupport.h"
#include "VsqTestSupport.h"
#include "render/Pitch.h"
#include "render/TempoClock.h"
#include "song/Song.h"
#include "song/TempoMap.h"
#include "writers/midi/MidiExporter.h"
#include "writers/midi/MidiLevels.h"
#include "writers/midi/MidiPitch.h"

namespace {

// A channel message or a lyric (status 0xFF, the text in `text`) at its tick.
struct Message {
    int64_t tick;
    int status;
    int first;
    int second;
    std::string text;
};

// The voice track's channel messages and lyrics; the file holds no running status.
std::vector<Message> voiceMessages(const std::string& file, int track) {
    std::vector<Message> messages;
    size_t pos = 14;
    auto byte = [&] { return pos < file.size() ? static_cast<uint8_t>(file[pos++]) : 0; };
    auto variable = [&] {
        uint32_t value = 0;
        for (uint8_t b = 0x80; b & 0x80;) {
            b = byte();
            value = value << 7 | (b & 0x7F);
        }
        return value;
    };
    for (int index = 0; pos + 8 <= file.size(); ++index) {
        pos += 4;
        uint32_t length = 0;
        for (int i = 0; i < 4; ++i) length = length << 8 | byte();
        const size_t end = pos + length;
        int64_t tick = 0;
        while (pos < end) {
            tick += variable();
            const int status = byte();
            if (status == 0xFF) {
                const int type = byte();
                const uint32_t size = variable();
                if (index == track && type == 0x05)
                    messages.push_back({tick, status, 0, 0, file.substr(pos, size)});
                pos += size;
            } else {
                const int kind = status & 0xF0;
                const int first = byte();
                const int second = kind == 0xC0 || kind == 0xD0 ? 0 : byte();
                if (index == track) messages.push_back({tick, status, first, second, {}});
            }
        }
        pos = end;
    }
    return messages;
}

std::vector<Message> withStatus(const std::vector<Message>& messages, int status) {
    std::vector<Message> found;
    for (const Message& message : messages)
        if (message.status == status) found.push_back(message);
    return found;
}

int bendOf(const Message& message) { return message.first | message.second << 7; }

class MidiSoundTest : public ExportTest {
protected:
    NoteEvent& addNote(int32_t time, int32_t length) {
        NoteEvent& note = track.notes.emplace_back();
        note.time = time;
        note.length = length;
        note.note = 60;
        return note;
    }
    void addTempo(int32_t time, int32_t bpm) {
        ControlEvent& tempo = track.controls.emplace_back();
        tempo.time = time;
        tempo.value = TempoChange{bpm};
    }
    // The voice track's messages, or none when the file was not written.
    std::vector<Message> write(MidiLyricText lyrics = MidiLyricText::Cp932) {
        const std::string path = folder.file("s.mid");
        const auto exporter = createMidiExporter(lyrics);
        return ExportTest::write(*exporter, path) ? voiceMessages(readFile(path), 1)
                                                 : std::vector<Message>{};
    }
};

TEST(MidiLevels, FollowTheDocumentedTableAndKeepEveryStepInOrder) {
    const std::pair<int, int> documented[] = {{0, 0},     {16, 25},   {32, 50},
                                              {48, 75},   {56, 88},   {64, 100},
                                              {80, 107},  {96, 114},  {112, 121},
                                              {127, 127}};
    for (const auto& [song, midi] : documented) EXPECT_EQ(midiLevel(song), midi) << song;
    for (int value = 1; value <= 127; ++value) EXPECT_GE(midiLevel(value), midiLevel(value - 1));
    EXPECT_EQ(midiLevel(-5), 0);
    EXPECT_EQ(midiLevel(500), 127);
}

TEST_F(MidiSoundTest, ASongAtItsDefaultsPlaysAtTheNormalLevel) {
    NoteEvent& note = addNote(0, 480);
    note.vibrato.type = 0;
    const std::vector<Message> messages = write();
    ASSERT_FALSE(messages.empty());
    const auto controls = withStatus(messages, 0xB0);
    const auto has = [&](int controller, int value) {
        for (const Message& control : controls)
            if (control.first == controller && control.second == value) return true;
        return false;
    };
    EXPECT_TRUE(has(7, 100));   // channel volume
    EXPECT_TRUE(has(11, 100));  // expression of the dynamics' default 64
    EXPECT_TRUE(has(6, 3));  // bend range: the readers' sensitivity 2 and a semitone for vibrato
    const auto noteOns = withStatus(messages, 0x90);
    ASSERT_EQ(noteOns.size(), 1u);
    EXPECT_EQ(noteOns[0].second, 100);  // velocity of the default 64
    const auto bends = withStatus(messages, 0xE0);
    ASSERT_EQ(bends.size(), 1u);
    EXPECT_EQ(bendOf(bends[0]), 8192);
}

TEST_F(MidiSoundTest, AQuietNoteStaysQuieterAndAVelocityOfZeroStillSounds) {
    addNote(0, 480).velocity = 32;
    addNote(480, 480).velocity = 96;
    addNote(960, 480).velocity = 0;
    const auto noteOns = withStatus(write(), 0x90);
    ASSERT_EQ(noteOns.size(), 3u);
    EXPECT_EQ(noteOns[0].second, 50);
    EXPECT_EQ(noteOns[1].second, 114);
    EXPECT_EQ(noteOns[2].second, 1);
}

TEST_F(MidiSoundTest, VibratoSwingsTheBendAtItsDepthAndReturnsAtTheNoteEnd) {
    // Type 1 at tempo 120: 50 cents every 251 ms, over the last 960 ticks (1 s).
    NoteEvent& note = addNote(0, 1920);
    note.vibrato = Vibrato{1, 64, 50, 960};
    addNote(1920, 480).vibrato.type = 0;
    const std::vector<Message> messages = write();
    const auto bends = withStatus(messages, 0xE0);
    ASSERT_GT(bends.size(), 40u);
    int highest = 0;
    int lowest = 16383;
    for (size_t i = 1; i < bends.size(); ++i) {
        EXPECT_GE(bends[i].tick, 960);
        EXPECT_LE(bends[i].tick, 1920);
        EXPECT_GE(bends[i].tick - bends[i - 1].tick, i == 1 ? 0 : 10);
        highest = std::max(highest, bendOf(bends[i]));
        lowest = std::min(lowest, bendOf(bends[i]));
    }
    // 50 cents of a range of 3 semitones is 1365, sampled near the peaks.
    EXPECT_NEAR(highest - 8192, 1365, 30);
    EXPECT_NEAR(8192 - lowest, 1365, 30);
    EXPECT_LE(highest - 8192, 1366);
    EXPECT_EQ(bendOf(bends.back()), 8192);
    EXPECT_EQ(bends.back().tick, 1920);
    // The pitch is back before the next note sounds.
    const auto noteOns = withStatus(messages, 0x90);
    ASSERT_EQ(noteOns.size(), 2u);
    size_t bendAtEnd = 0;
    size_t secondNote = 0;
    for (size_t i = 0; i < messages.size(); ++i) {
        if (messages[i].status == 0xE0 && messages[i].tick == 1920) bendAtEnd = i;
        if (messages[i].status == 0x90 && messages[i].tick == 1920) secondNote = i;
    }
    EXPECT_LT(bendAtEnd, secondNote);
}

TEST_F(MidiSoundTest, ASplitNoteSingsItsVibratoOnTheSecondPartOnly) {
    NoteEvent& note = addNote(0, 480);
    note.splitOffset = 60;
    track.editSecondLyric(0) = Lyric{"b", "b"};
    note.vibrato = Vibrato{1, 64, 50, 480};
    const auto bends = withStatus(write(), 0xE0);
    ASSERT_GT(bends.size(), 2u);
    EXPECT_EQ(bends[0].tick, 0);
    EXPECT_GE(bends[1].tick, 60);
}

TEST_F(MidiSoundTest, ANoteThatOverlapsAnotherStopsItsVibrato) {
    // The second note starts in the first one's vibrato and has none of its own.
    addNote(0, 1920).vibrato = Vibrato{1, 64, 50, 1920};
    addNote(500, 480).vibrato.type = 0;
    const std::vector<Message> messages = write();
    const auto bends = withStatus(messages, 0xE0);
    ASSERT_GT(bends.size(), 3u);
    EXPECT_EQ(bends.back().tick, 500);
    EXPECT_EQ(bendOf(bends.back()), 8192);
    const auto noteOns = withStatus(messages, 0x90);
    ASSERT_EQ(noteOns.size(), 2u);
    EXPECT_EQ(noteOns[1].tick, 500);
}

TEST_F(MidiSoundTest, AVibratoTooLongToSampleIsRefusedAtOnce) {
    NoteEvent& note = addNote(0, INT32_MAX);
    note.vibrato = Vibrato{1, 64, 50, INT32_MAX};
    EXPECT_TRUE(write().empty());
    EXPECT_EQ(errorsReported, 1);
    EXPECT_TRUE(folder.entries().empty());
}

TEST_F(MidiSoundTest, LyricsAreWrittenInUtf8OnRequest) {
    addNote(0, 480).lyric = Lyric{"\x82\xa0", "a"};  // "あ" in code page 932
    const auto lyrics = withStatus(write(MidiLyricText::Utf8), 0xFF);
    ASSERT_EQ(lyrics.size(), 1u);
    EXPECT_EQ(lyrics[0].text, "\xe3\x81\x82");
    const auto unchanged = withStatus(write(), 0xFF);
    ASSERT_EQ(unchanged.size(), 1u);
    EXPECT_EQ(unchanged[0].text, "\x82\xa0");
}

TEST(MidiPitch, TheRangeLeavesRoomForTheDeepestVibrato) {
    EXPECT_EQ(midiBendRange(0), 1);
    EXPECT_EQ(midiBendRange(1), 2);
    EXPECT_EQ(midiBendRange(23), 24);
    EXPECT_EQ(midiBendRange(24), 24);
    const auto bend = [](int32_t curve, int32_t sensitivity, double vibratoCents) {
        return MidiBendScale(curve, sensitivity).bend(vibratoCents);
    };
    // -4096 at sensitivity 2 is a semitone down: 100 of 300 cents.
    EXPECT_EQ(bend(-4096, 2, 0), -2731);
    const double deepest = vibratoSound(3, 127, 50, 480, 480).depthCents;
    EXPECT_LT(bend(8191, 23, deepest), 8191);
    EXPECT_GT(bend(-8192, 23, -deepest), -8192);
    EXPECT_EQ(bend(8191, 24, deepest), 8191);  // the widest range holds no more
    EXPECT_EQ(bend(0, 0, 100), 8191);
    EXPECT_EQ(bend(0, 0, -101), -8192);
}

// At sensitivity 1 (a range of 2) a curve value b bends by exactly b / 2: the
// odd ones fall half way and round away from zero, as std::round does.
TEST(MidiPitch, HalvesRoundAwayFromZeroAndEveryBendRoundsAsTheLibraryDoes) {
    EXPECT_EQ(MidiBendScale(1, 1).bend(0), 1);
    EXPECT_EQ(MidiBendScale(-1, 1).bend(0), -1);
    EXPECT_EQ(MidiBendScale(3, 1).bend(0), 2);
    EXPECT_EQ(MidiBendScale(-3, 1).bend(0), -2);
    EXPECT_EQ(MidiBendScale(8191, 1).bend(0), 4096);
    EXPECT_EQ(MidiBendScale(-8192, 1).bend(0), -4096);
    for (int32_t sensitivity = 0; sensitivity <= 25; ++sensitivity) {
        const double range = midiBendRange(sensitivity) * kCentsPerSemitone;
        for (int32_t curve = -8192; curve <= 8191; curve += 37) {
            const MidiBendScale scale(curve, sensitivity);
            for (double vibrato = -99; vibrato <= 99; vibrato += 0.73) {
                const double exact = (pitchCents(curve, sensitivity) + vibrato) * 8192.0 / range;
                const auto expected =
                    static_cast<int32_t>(std::clamp(std::round(exact), -8192.0, 8191.0));
                ASSERT_EQ(scale.bend(vibrato), expected) << curve << " " << sensitivity << " " << vibrato;
            }
        }
    }
}

TEST(TempoClock, CountsMillisecondsAcrossTempoChanges) {
    TempoMap map;
    map.tempos = {{0, 120}, {960, 60}};
    const TempoClock clock(map);
    EXPECT_DOUBLE_EQ(clock.msAt(480), 500);
    EXPECT_DOUBLE_EQ(clock.msAt(960), 1000);
    EXPECT_DOUBLE_EQ(clock.msAt(1440), 2000);
    EXPECT_DOUBLE_EQ(clock.msAt(-10), 0);
    EXPECT_EQ(clock.bpmAt(959), 120);
    EXPECT_EQ(clock.bpmAt(960), 60);
}

TEST(VibratoSamples, StepTenMillisecondsButNoCloserThanTenTicks) {
    TempoMap map;
    map.tempos = {{0, 300}, {480, 60}};  // 10 ms is 24 ticks, then 4.8 ticks
    const TempoClock clock(map);
    TempoClock::Cursor time(clock);
    VibratoSines sines;
    VibratoSamples samples(vibratoSound(1, 64, 50, 960, 960), 0, clock);
    std::vector<int64_t> ticks;
    while (samples.pending()) {
        ticks.push_back(samples.nextTick());
        const double offset = samples.take(time, sines);
        if (!samples.pending()) {
            EXPECT_EQ(offset, 0);
        }
    }
    ASSERT_GE(ticks.size(), 3u);
    EXPECT_EQ(ticks[0], 0);
    EXPECT_EQ(ticks[1], 24);
    EXPECT_EQ(ticks.back(), 960);
    EXPECT_EQ(ticks[ticks.size() - 2], 950);
    // 20 steps of 24 ticks to 480, then steps of 10 ticks.
    EXPECT_EQ(ticks.size(), 1 + 20 + 48u);
    EXPECT_LE(static_cast<int64_t>(ticks.size()), VibratoSamples::mostSamples(960));
    EXPECT_FALSE(VibratoSamples(vibratoSound(0, 64, 50, 960, 960), 0, clock).pending());
}

}  // namespace
