// Reading Standard MIDI Files event by event: running status, lengths checked
// against the bytes there are, jCadencii's empty track chunks, and the MIDI
// reader's voice tracks, lyrics, bends and levels.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "import/MidiReader.h"
#include "import/SongCleanup.h"
#include "import/StandardMidiFile.h"
#include "import/TextCodes.h"

namespace {

std::string bigEndian(uint32_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

std::string file(const std::vector<std::string>& tracks, int division = 480) {
    std::string out = "MThd" + bigEndian(6, 4) + bigEndian(1, 2) + bigEndian(static_cast<uint32_t>(tracks.size()), 2) +
                      bigEndian(static_cast<uint32_t>(division), 2);
    for (const std::string& track : tracks) out += "MTrk" + bigEndian(static_cast<uint32_t>(track.size()), 4) + track;
    return out;
}

const std::string kEnd("\x00\xFF\x2F\x00", 4);

struct Seen final : MidiEventVisitor {
    std::vector<std::pair<int, MidiEvent>> events;
    int track = -1;
    void beginTrack(int number) override { track = number; }
    void event(const MidiEvent& event) override { events.emplace_back(track, event); }
};

TEST(MidiFile, RunningStatusAndAbsoluteTicks) {
    // A note on, a second one by running status 480 ticks later, a note off.
    const std::string track = std::string("\x00\x90\x3C\x40\x83\x60\x3E\x40\x00\x80\x3C\x00", 12) + kEnd;
    Seen seen;
    MidiFileHeader header;
    std::string problem;
    ASSERT_TRUE(readMidiFile(file({track}), header, seen, problem)) << problem;
    ASSERT_EQ(seen.events.size(), 4u);
    EXPECT_EQ(seen.events[1].second.status, 0x90);
    EXPECT_EQ(seen.events[1].second.data1, 0x3E);
    EXPECT_EQ(seen.events[1].second.tick, 480);
    EXPECT_EQ(seen.events[2].second.status, 0x80);
}

TEST(MidiFile, LengthsThatLieAreRefused) {
    Seen seen;
    MidiFileHeader header;
    std::string problem;
    std::string lying = file({kEnd});
    lying.replace(18, 4, bigEndian(1000, 4));
    EXPECT_FALSE(readMidiFile(lying, header, seen, problem));
    EXPECT_NE(problem.find("1000 bytes"), std::string::npos) << problem;
    // A meta event longer than its track.
    EXPECT_FALSE(readMidiFile(file({std::string("\x00\xFF\x01\x7F" "abc", 7)}), header, seen, problem));
    // A delta time of five bytes, a data byte without a status, SMPTE time.
    EXPECT_FALSE(readMidiFile(file({std::string("\xFF\xFF\xFF\xFF\x7F\x90\x40\x40", 8) + kEnd}), header, seen, problem));
    EXPECT_FALSE(readMidiFile(file({std::string("\x00\x40\x40", 3) + kEnd}), header, seen, problem));
    EXPECT_FALSE(readMidiFile(file({kEnd}, 0xE728), header, seen, problem));
    EXPECT_FALSE(readMidiFile("MThd", header, seen, problem));
}

TEST(MidiFile, AnEmptyChunkThatEventsFollowIsReadToItsEnd) {
    // jCadencii leaves the length of a track 0 when its writer gives up half way.
    std::string bytes = file({kEnd});
    bytes += "MTrk" + bigEndian(0, 4) + std::string("\x00\xFF\x01\x03" "abc", 7) + kEnd;
    bytes += "MTrk" + bigEndian(static_cast<uint32_t>(kEnd.size()), 4) + kEnd;
    Seen seen;
    MidiFileHeader header;
    std::string problem;
    ASSERT_TRUE(readMidiFile(bytes, header, seen, problem)) << problem;
    EXPECT_EQ(header.tracks, 3);
    ASSERT_EQ(seen.events.size(), 4u);
    EXPECT_EQ(seen.events[1].second.data, "abc");
}

class Kana final : public SyllableDictionary {
public:
    const char* lookup(const char16_t* codes, size_t& matched) const override {
        std::string ka;
        utf8ToCp932("か", ka);
        if (codes[0] != characterCodes(ka)[0]) return nullptr;
        matched = 1;
        return "k a";
    }
};

std::string meta(int type, const std::string& data, char delta = 0) {
    return std::string(1, delta) + "\xFF" + std::string(1, static_cast<char>(type)) +
           std::string(1, static_cast<char>(data.size())) + data;
}

TEST(MidiReader, ChannelsLyricsBendsAndLevels) {
    std::string ka;
    utf8ToCp932("か", ka);
    // Channel 1: the bend range 4, expression 75, a lyric on a note of
    // velocity 100, a bend down; channel 2: a note without a lyric.
    std::string track = std::string("\x00\xB0\x65\x00\x00\xB0\x64\x00\x00\xB0\x06\x04\x00\xB0\x0B\x4B", 16);
    track += meta(0x05, ka) + std::string("\x00\x90\x48\x64\x00\xE0\x00\x30\x00\x91\x30\x40", 12);
    track += std::string("\x83\x60\x80\x48\x00\x00\x81\x30\x00", 9) + kEnd;
    ImportedSong song;
    std::string problem;
    ASSERT_TRUE(readMidiLyricsFile(file({track}), Kana(), song, problem)) << problem;
    cleanUpImportedSong(song);
    ASSERT_EQ(song.tracks.size(), 2u);
    const ImportedTrack& first = song.tracks[0];
    ASSERT_EQ(first.notes.size(), 1u);
    EXPECT_EQ(first.notes[0].length, 480);
    EXPECT_EQ(first.notes[0].velocity, 64);  // MIDI 100 is the song's normal level
    EXPECT_EQ(song.lyricOf(first.notes[0]).symbols, "k a");
    EXPECT_EQ(first.curves[9].front().value, 4);               // PBS
    EXPECT_EQ(first.curves[8].front().value, 0x30 * 128 - 8192);  // PIT
    EXPECT_EQ(first.curves[1].front().value, 48);              // MIDI 75 is dynamics 48
    EXPECT_EQ(song.lyricOf(song.tracks[1].notes[0]).text, "\x82\xE7");  // the default syllable
}

}  // namespace
