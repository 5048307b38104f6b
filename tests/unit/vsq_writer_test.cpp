// The VSQ writer: master and voice tracks, the metatext of singers, notes,
// split notes and vibratos, the conversion log, and the kinds of output path.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include "VsqTestSupport.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "output/NumberText.h"
#include "output/OutputBatch.h"
#include "output/StagedSink.h"
#include "render/RenderedSong.h"
#include "platform/Platform.h"
#include "song/Song.h"
#include "text/CharCode.h"
#include "text/StringPool.h"
#include "writers/vsq/VsqWriter.h"

using vsqtest::bytes;

namespace {

NoteEvent makeNote(int32_t time, int32_t length, int32_t note = 72) {
    NoteEvent event;
    event.time = time;
    event.length = length;
    event.note = note;
    event.lyric = {kDefaultLyricText, "4 a"};
    return event;
}

using vsqtest::makeControl;

std::string errorLine(std::string_view message, const std::string& detail) {
    return "ERROR: " + std::string(message) + (detail.empty() ? "" : ": " + detail) + "\n";
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Each test writes into its own folder, which is also the working directory
// (the log goes there).
class VsqWriterTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    vsqtest::WorkingDirectory here{folder.path()};
    std::unique_ptr<Song> song = createSong();
    std::unique_ptr<StringPool> strings = createStringPool();
    std::string output = folder.file("out.vsq");
    std::string printed;  // what the reporter printed during the write
    int errorsReported = 0;

    // Runs one writer and destroys it, so the log is closed too.
    bool write(const std::string& path) {
        const int errorsBefore = getReporter().errorCount();
        testing::internal::CaptureStdout();
        OutputBatch outputs;
        bool written = false;
        {
            StagedSink sink(outputs);
            const RenderedSong rendered(*song, *strings);
            written = createVsqWriter()->write(rendered, path.c_str(), sink);
        }
        written = outputs.putAllInPlace() && written;
        printed = testing::internal::GetCapturedStdout();
        errorsReported = getReporter().errorCount() - errorsBefore;
        return written;
    }

    bool write() { return write(output); }

    vsqtest::MidiFile written() { return vsqtest::parseMidi(readFile(output)); }

    // The metatext of every voice track.
    std::vector<std::string> metatexts() {
        std::vector<std::string> texts;
        const auto midi = written();
        for (size_t i = 1; i < midi.tracks.size(); ++i)
            texts.push_back(vsqtest::joinTextEvents(midi.tracks[i]));
        return texts;
    }

    std::string onlyMetatext() {
        auto texts = metatexts();
        EXPECT_EQ(texts.size(), 1u);
        return texts.empty() ? std::string() : texts[0];
    }
};

const std::string kOneNoteMetatext =
    "[Common]\nVersion=DSB301\nName=Voice1\nColor=181,162,123\nDynamicsMode=1\nPlayMode=1\n"
    "[Master]\nPreMeasure=1\n"
    "[Mixer]\nMasterFeder=0\nMasterPanpot=0\nMasterMute=0\nOutputMode=0\nTracks=1\n"
    "Feder0=0\nPanpot0=0\nMute0=0\nSolo0=0\n"
    "[EventList]\n0=ID#0000\n1920=ID#0001\n2400=EOS\n"
    "[ID#0000]\nType=Singer\nIconHandle=h#0000\n"
    "[ID#0001]\nType=Anote\nLength=480\nNote#=72\nDynamics=64\nPMBendDepth=8\nPMBendLength=0\n"
    "PMbPortamentoUse=0\nDEMdecGainRate=50\nDEMaccent=50\nLyricHandle=h#0001\n"
    "[h#0000]\nIconID=$07010000\nIDS=Tuvo\nOriginal=0\nCaption=\nLength=1\nLanguage=0\n"
    "Program=0\n"
    "[h#0001]\nL0=\"" + std::string(kDefaultLyricText) + "\",\"4 a\",1.000000,0,1\n";

TEST_F(VsqWriterTest, OneNoteSongIsWrittenByteForByte) {
    song->appendTrack().notes.push_back(makeNote(0, 480));
    ASSERT_TRUE(write());
    EXPECT_EQ(errorsReported, 0);
    EXPECT_EQ(printed, "");

    ASSERT_EQ(kOneNoteMetatext.size(), 565u);
    std::string voice = bytes({0x00, 0xFF, 0x03, 0x06}) + "Voice1";
    const size_t sizes[] = {127, 127, 127, 127, 97};
    size_t taken = 0;
    for (int i = 0; i < 5; ++i) {
        const size_t payload = sizes[i] - 8;
        voice += bytes({0x00, 0xFF, 0x01, static_cast<int>(sizes[i])}) + "DM:000" +
                 std::to_string(i) + ":" + kOneNoteMetatext.substr(taken, payload);
        taken += payload;
    }
    ASSERT_EQ(taken, kOneNoteMetatext.size());
    voice += bytes({0x92, 0x60, 0xFF, 0x2F, 0x00});
    ASSERT_EQ(voice.size(), 640u);

    const std::string expected =
        bytes({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0x01, 0xE0}) +
        bytes({'M', 'T', 'r', 'k', 0, 0, 0, 35}) + bytes({0x00, 0xFF, 0x03, 0x0C}) +
        "Master Track" + bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}) +
        bytes({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08}) + bytes({0x00, 0xFF, 0x2F, 0x00}) +
        bytes({'M', 'T', 'r', 'k', 0, 0, 0x02, 0x80}) + voice;
    const std::string file = readFile(output);
    EXPECT_EQ(file.size(), 705u);
    EXPECT_EQ(file, expected);

    EXPECT_EQ(readFile(folder.file("vsqconvert.log")),
              "Convert Start\nStart Master Track\nEnd Master Track\nNew Track\n" +
                  kOneNoteMetatext + "\nTrack End\n");
    // Nothing but the output and the log is left in the folder.
    EXPECT_EQ(folder.entries().size(), 2u);
}

TEST_F(VsqWriterTest, TimeSignatureAtTimeZeroSetsTheMeasure) {
    struct Case {
        int32_t time, numerator, denominator;
        const char* firstNote;
        int code;
    };
    const Case cases[] = {
        {0, 3, 4, "1440=ID#0001\n", 2},
        {0, 6, 8, "1440=ID#0001\n", 3},
        {480, 3, 4, "1920=ID#0001\n", 2},
    };
    for (const Case& c : cases) {
        song = createSong();
        Track& track = song->appendTrack();
        track.notes.push_back(makeNote(0, 480));
        track.controls.push_back(makeControl(c.time, MetreChange{c.numerator, c.denominator}));
        ASSERT_TRUE(write());
        const auto midi = written();
        ASSERT_EQ(midi.tracks.size(), 2u);
        const auto& signature = midi.tracks[0][2];
        ASSERT_EQ(signature.type, 0x58);
        const bool atStart = c.time == 0;
        EXPECT_EQ(signature.data[0], atStart ? c.numerator : 4);
        EXPECT_EQ(signature.data[1], atStart ? c.code : 2);
        EXPECT_TRUE(contains(vsqtest::joinTextEvents(midi.tracks[1]), c.firstNote)) << c.numerator;
    }
}

TEST_F(VsqWriterTest, LaterTempoAndMetreChangesFollowInTimeOrder) {
    // In 3/4 the pre-measure is 1440 ticks. Changes come from any track, the first track's
    // first at one time; a tempo comes before a metre at one time; values that are not
    // positive leave the value in force.
    Track& first = song->appendTrack();
    first.notes.push_back(makeNote(0, 480));
    first.controls.push_back(makeControl(0, MetreChange{3, 4}));
    first.controls.push_back(makeControl(960, MetreChange{6, 8}));
    first.controls.push_back(makeControl(960, TempoChange{60}));
    first.controls.push_back(makeControl(960, TempoChange{90}));
    first.controls.push_back(makeControl(1200, TempoChange{0}));
    first.controls.push_back(makeControl(1300, MetreChange{2, 0}));
    Track& second = song->appendTrack();
    second.controls.push_back(makeControl(480, TempoChange{200}));
    second.controls.push_back(makeControl(960, TempoChange{150}));
    second.controls.push_back(makeControl(5000, MetreChange{2, 4}));
    ASSERT_TRUE(write());
    const auto midi = written();
    ASSERT_FALSE(midi.tracks.empty());
    std::vector<std::pair<uint32_t, int>> master;
    for (const auto& event : midi.tracks[0]) master.emplace_back(event.delta, event.type);
    const std::vector<std::pair<uint32_t, int>> expected = {
        {0, 0x03}, {0, 0x51}, {0, 0x58}, {1920, 0x51}, {480, 0x51}, {0, 0x58}, {4040, 0x58},
        {0, 0x2F}};
    EXPECT_EQ(master, expected);
    ASSERT_EQ(midi.tracks[0].size(), expected.size());
    // 60000000 / 200 = 300000 = 0x0493E0; 60000000 / 60 = 1000000 = 0x0F4240.
    EXPECT_EQ(midi.tracks[0][3].data, bytes({0x04, 0x93, 0xE0}));
    EXPECT_EQ(midi.tracks[0][4].data, bytes({0x0F, 0x42, 0x40}));
    EXPECT_EQ(midi.tracks[0][5].data, bytes({6, 3, 24, 8}));
    EXPECT_EQ(midi.tracks[0][6].data, bytes({2, 2, 24, 8}));
    EXPECT_TRUE(contains(onlyMetatext(), "1440=ID#0001\n"));
}

TEST_F(VsqWriterTest, OnlyTracksWithNotesBecomeVoiceTracks) {
    // The earliest tempo counts, the first track's only at equal times.
    Track& first = song->appendTrack();
    first.controls.push_back(makeControl(480, TempoChange{200}));
    song->appendTrack().controls.push_back(makeControl(0, TempoChange{90}));
    song->appendTrack().controls.push_back(makeControl(0, TempoChange{150}));
    song->appendTrack().notes.push_back(makeNote(0, 480));
    ASSERT_TRUE(write());
    const auto midi = written();
    EXPECT_EQ(midi.trackCount, 2);
    ASSERT_EQ(midi.tracks.size(), 2u);
    // 60000000 / 90 = 666666 = 0x0A2C2A.
    EXPECT_EQ(midi.tracks[0][1].data, bytes({0x0A, 0x2C, 0x2A}));
    EXPECT_EQ(midi.tracks[1][0].data, "Voice1");
    const std::string text = vsqtest::joinTextEvents(midi.tracks[1]);
    EXPECT_TRUE(contains(text, "Name=Voice1\n"));
    EXPECT_TRUE(contains(text, "Tracks=1\nFeder0=0\n"));
    EXPECT_FALSE(contains(text, "Feder1"));
}

TEST_F(VsqWriterTest, MixerOfThreeVoiceTracksIsOnTheFirstOnly) {
    for (int i = 0; i < 3; ++i) song->appendTrack().notes.push_back(makeNote(0, 240 * (i + 1)));
    ASSERT_TRUE(write());
    const auto midi = written();
    ASSERT_EQ(midi.tracks.size(), 4u);
    EXPECT_EQ(midi.trackCount, 4);
    const auto texts = metatexts();
    ASSERT_EQ(texts.size(), 3u);
    std::string mixer = "[Mixer]\nMasterFeder=0\nMasterPanpot=0\nMasterMute=0\nOutputMode=0\nTracks=3\n";
    for (int k = 0; k < 3; ++k) {
        const std::string n = std::to_string(k);
        mixer += "Feder" + n + "=0\nPanpot" + n + "=0\nMute" + n + "=0\nSolo" + n + "=0\n";
    }
    EXPECT_TRUE(contains(texts[0], "[Master]\nPreMeasure=1\n" + mixer + "[EventList]\n"));
    for (int i = 1; i < 3; ++i) {
        const std::string name = "Voice" + std::to_string(i + 1);
        EXPECT_EQ(midi.tracks[static_cast<size_t>(i) + 1][0].data, name);
        EXPECT_TRUE(contains(texts[static_cast<size_t>(i)],
                             "Name=" + name + "\nColor=181,162,123\nDynamicsMode=1\nPlayMode=1\n"
                                              "[EventList]\n0=ID#0000\n1920=ID#0001\n"));
        EXPECT_FALSE(contains(texts[static_cast<size_t>(i)], "[Mixer]"));
        // Every track ends its own time: the end event comes at its last note's end.
        EXPECT_EQ(midi.tracks[static_cast<size_t>(i) + 1].back().delta,
                  static_cast<uint32_t>(1920 + 240 * (i + 1)));
    }
}

TEST_F(VsqWriterTest, SplitNoteWithVibratoBecomesTwoParts) {
    NoteEvent note = makeNote(0, 480);
    note.splitOffset = 60;
    note.vibrato.type = 2;
    note.vibrato.length = 200;
    note.vibrato.startDepth = 64;
    note.vibrato.startRate = 50;
    Track& track = song->appendTrack();
    track.notes.push_back(note);
    track.editSecondLyric(0) = {"a", "a"};
    ASSERT_TRUE(write());
    const std::string text = onlyMetatext();
    EXPECT_TRUE(contains(text, "0=ID#0000\n1920=ID#0001\n1980=ID#0002\n2400=EOS\n"));
    EXPECT_TRUE(contains(text, "[ID#0001]\nType=Anote\nLength=60\n"));
    EXPECT_TRUE(contains(text, "LyricHandle=h#0001\n[ID#0002]\nType=Anote\nLength=420\n"));
    EXPECT_TRUE(contains(text, "LyricHandle=h#0002\nVibratoHandle=h#0003\nVibratoDelay=220\n[h#0000]"));
    EXPECT_TRUE(contains(text,
                         "[h#0001]\nL0=\"" + std::string(kDefaultLyricText) +
                             "\",\"4 a\",1.000000,0,1\n[h#0002]\nL0=\"a\",\"a\",1.000000,0,1\n"
                             "[h#0003]\nIconID=$04040002\nIDS=normal\nOriginal=1\nCaption=\n"
                             "Length=200\nStartDepth=64\nDepthBPNum=0\nStartRate=50\nRateBPNum=0\n"));
}

TEST_F(VsqWriterTest, VibratoFamiliesFollowTheType) {
    const std::pair<int, const char*> cases[] = {
        {1, "IconID=$04040001\nIDS=normal\n"},   {8, "IconID=$04040008\nIDS=extreme\n"},
        {10, "IconID=$0404000a\nIDS=fast\n"},    {16, "IconID=$04040010\nIDS=slight\n"},
    };
    for (const auto& [type, lines] : cases) {
        song = createSong();
        NoteEvent note = makeNote(0, 480);
        note.vibrato.type = type;
        note.vibrato.length = 300;
        song->appendTrack().notes.push_back(note);
        ASSERT_TRUE(write());
        const std::string text = onlyMetatext();
        EXPECT_TRUE(contains(text, "[h#0002]\n" + std::string(lines))) << type;
        EXPECT_TRUE(contains(text, "VibratoHandle=h#0002\nVibratoDelay=180\n")) << type;
    }
}

TEST_F(VsqWriterTest, SingerChangesAreListedInTimeOrder) {
    // The pool holds character codes: a double-byte character is one code.
    const int alto = strings->add(std::u16string(u"Alto"));
    const int bass = strings->add(std::u16string{u'B', static_cast<char16_t>(0x82E7)});
    const int last = strings->add(std::u16string(u"Last"));
    const int late = strings->add(std::u16string(u"Late"));
    Track& track = song->appendTrack();
    track.controls.push_back(makeControl(0, TempoChange{100}));
    track.controls.push_back(makeControl(0, SingerChange{3, 1, alto}));
    track.controls.push_back(makeControl(480, SingerChange{5, 2, bass}));
    track.controls.push_back(makeControl(960, SingerChange{7, 0, last}));
    track.controls.push_back(makeControl(961, SingerChange{8, 0, late}));
    track.notes.push_back(makeNote(0, 480));
    track.notes.push_back(makeNote(480, 480));
    track.notes.push_back(makeNote(960, 240));
    ASSERT_TRUE(write());
    const std::string text = onlyMetatext();
    // The change at the last note's start follows that note; the one after it sings nothing.
    EXPECT_TRUE(contains(text,
                         "[EventList]\n0=ID#0000\n1920=ID#0001\n2400=ID#0002\n2400=ID#0003\n"
                         "2880=ID#0004\n2880=ID#0005\n3120=EOS\n"));
    EXPECT_TRUE(contains(text, "[ID#0003]\nType=Singer\nIconHandle=h#0003\n[ID#0004]\nType=Anote"));
    EXPECT_TRUE(contains(text, "[ID#0005]\nType=Singer\nIconHandle=h#0005\n"));
    EXPECT_TRUE(contains(text, "IDS=Last\nOriginal=7\n"));
    EXPECT_TRUE(contains(text,
                         "[h#0000]\nIconID=$07010103\nIDS=Alto\nOriginal=259\nCaption=\nLength=1\n"
                         "Language=1\nProgram=3\n"));
    EXPECT_TRUE(contains(text,
                         "[h#0003]\nIconID=$07010205\nIDS=B\x82\xE7\nOriginal=517\nCaption=\n"
                         "Length=1\nLanguage=2\nProgram=5\n"));
    EXPECT_FALSE(contains(text, "Late"));
    EXPECT_FALSE(contains(text, "Tuvo"));
}

TEST_F(VsqWriterTest, NumbersWidenFromTenThousand) {
    Track& track = song->appendTrack();
    for (int i = 0; i < 10000; ++i) track.notes.push_back(makeNote(i * 10, 10));
    ASSERT_TRUE(write());
    const std::string text = onlyMetatext();
    EXPECT_TRUE(contains(text, "=ID#9999\n101910=ID#00010000\n101920=EOS\n"));
    EXPECT_TRUE(contains(text, "[ID#9999]\n"));
    EXPECT_TRUE(contains(text, "[ID#00010000]\nType=Anote\n"));
    EXPECT_TRUE(contains(text, "LyricHandle=h#00010000\n"));
    EXPECT_TRUE(contains(text, "[h#00010000]\nL0="));
    EXPECT_FALSE(contains(text, "ID#00009999"));
}

TEST(NumberTextTest, DecimalsAcrossTheirDigitGroups) {
    const int64_t cases[] = {0,           7,          42,           999,
                             1000,        9999,       10000,        123456,
                             99999999,    100000000,  2147483647,   999999999999,
                             1000000000000, -1,       -10000,       -2147483648LL,
                             9999999999999999, 10000000000000000, INT64_MAX, INT64_MIN};
    for (const int64_t number : cases) {
        std::string out = "=";
        vsqtext::appendDecimal(out, number);
        EXPECT_EQ(out, "=" + std::to_string(number));
    }
    // Every number up to a million, then a stride through the eight-digit ones, against
    // the library's formatting; the digits are made without division by ten.
    char text[vsqtext::kMaxNumberText];
    for (int64_t number = -1000; number < 100000000; number += number < 1000000 ? 1 : 997) {
        const std::string expected = std::to_string(number);
        ASSERT_EQ(std::string_view(text, vsqtext::putDecimal(text, number)), expected);
    }
}

TEST(NumberTextTest, WidthsStepAtTheirThresholds) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0000"},           {9999, "9999"},         {10000, "00010000"},
        {99999999, "99999999"}, {100000000, "000100000000"}, {123456789012, "123456789012"},
    };
    for (const auto& [number, text] : cases) {
        std::string out = "#";
        vsqtext::appendNumbered(out, number);
        EXPECT_EQ(out, std::string("#") + text) << number;
    }
    std::string hex;
    vsqtext::appendHex8(hex, 0x0404000Au);
    vsqtext::appendHex8(hex, 0xFFFFFFFFu);
    EXPECT_EQ(hex, "0404000affffffff");
}

// Numbers put down with their thousands kept read as those formatted whole: counting up
// through both widths of the IDs, staying within a thousand, going back, jumping far, and
// leaving the ranges whose thousands are kept, from a fresh writer and from a used one.
TEST(NumberTextTest, KeptThousandsReadAsNumbersFormattedWhole) {
    std::vector<int64_t> numbers;
    for (int64_t number = 0; number < 30000; number += 7) numbers.push_back(number);
    for (const int64_t number :
         {int64_t{12345}, int64_t{12345}, int64_t{12344}, int64_t{999}, int64_t{1000},
          int64_t{5}, int64_t{-1}, int64_t{-999}, int64_t{-1000}, int64_t{99999000},
          int64_t{99999999}, int64_t{100000000}, int64_t{99999998999}, int64_t{99999999000},
          int64_t{99999999999}, int64_t{100000000000}, INT64_MIN, INT64_MAX, int64_t{0}}) {
        numbers.push_back(number);
    }
    const auto expectAlike = [](const std::vector<int64_t>& sequence) {
        vsqtext::KeptThousands decimals;
        vsqtext::KeptNumbered numbered;
        char kept[vsqtext::kMaxNumberText];
        char whole[vsqtext::kMaxNumberText];
        for (const int64_t number : sequence) {
            ASSERT_EQ(std::string_view(kept, decimals.put(kept, number)),
                      std::string_view(whole, vsqtext::putDecimal(whole, number)))
                << number;
            ASSERT_EQ(std::string_view(kept, numbered.put(kept, number)),
                      std::string_view(whole, vsqtext::putNumbered(whole, number)))
                << number;
        }
    };
    expectAlike(numbers);
    // The thousands a fresh writer keeps before its first number.
    expectAlike({99999999500, 99999999999, 0, 999});
    expectAlike({100000000000, 99999999500});
    expectAlike({500, 9999, 10000});
}

TEST_F(VsqWriterTest, CurveSectionsFollowTheHandles) {
    Track& track = song->appendTrack();
    track.notes.push_back(makeNote(0, 480));
    track.controls.push_back(makeControl(0, CurveChange{1, {{100, 0, -1, 0}}}));
    ASSERT_TRUE(write());
    const std::string text = onlyMetatext();
    const std::string tail = "[DynamicsBPList]\n1920=100\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST_F(VsqWriterTest, CurveValuesOnBothSidesOfTheirTableAreWrittenAlike) {
    Track& track = song->appendTrack();
    track.notes.push_back(makeNote(0, 480));
    std::vector<CurvePoint> steps;
    for (const int32_t value : {-8192, -1, 0, 9, 10, 99, 100, 127, 128, 8191}) {
        steps.push_back({value, 0, 10, 0});
    }
    track.controls.push_back(makeControl(0, CurveChange{curveOfCommand(CmdPitchBend)->id, steps}));
    ASSERT_TRUE(write());
    EXPECT_TRUE(contains(onlyMetatext(),
                         "[PitchBendBPList]\n1920=-8192\n1930=-1\n1940=0\n1950=9\n1960=10\n"
                         "1970=99\n1980=100\n1990=127\n2000=128\n2010=8191\n"));
}

TEST_F(VsqWriterTest, CurveTicksAcrossTheirThousandsAndDigitCounts) {
    Track& track = song->appendTrack();
    track.notes.push_back(makeNote(0, 1100000));
    std::vector<CurvePoint> steps;
    int32_t value = 0;
    for (const int32_t length : {8079, 1, 1, 89998, 1, 900999, 1, 10}) {
        steps.push_back({value, 0, length, 0});
        value = value == 0 ? 1 : 0;
    }
    track.controls.push_back(makeControl(0, CurveChange{1, steps}));
    ASSERT_TRUE(write());
    EXPECT_TRUE(contains(onlyMetatext(),
                         "[DynamicsBPList]\n1920=0\n9999=1\n10000=0\n10001=1\n99999=0\n"
                         "100000=1\n1000999=0\n1001000=1\n"));
}

TEST_F(VsqWriterTest, TextsAreCutAtAZeroByte) {
    NoteEvent note = makeNote(0, 480);
    note.lyric = {std::string("a\0b", 3), "a"};
    song->appendTrack().notes.push_back(note);
    ASSERT_TRUE(write());
    const std::string text = onlyMetatext();
    EXPECT_TRUE(contains(text, "L0=\"a\",\"a\",1.000000,0,1\n"));
    const std::string head = "Convert Start\nStart Master Track\nEnd Master Track\nNew Track\n";
    EXPECT_EQ(readFile(folder.file("vsqconvert.log")), head + text + "\nTrack End\n");
}

TEST_F(VsqWriterTest, TextsLongerThanTheWritersBlocksArriveWhole) {
    // A lyric and phonetic symbols of hundreds of kilobytes, among enough notes that the
    // metatext is written in many blocks: the text events and the log carry every byte.
    std::string lyric;
    for (int i = 0; i < 300000; ++i) lyric.push_back(static_cast<char>('a' + i % 26));
    Track& track = song->appendTrack();
    for (int i = 0; i < 3000; ++i) track.notes.push_back(makeNote(i * 480, 480));
    track.notes[1500].lyric = {lyric, lyric.substr(1000, 200000)};
    ASSERT_TRUE(write());
    const std::string text = onlyMetatext();
    EXPECT_TRUE(contains(text, "[h#1501]\nL0=\"" + lyric + "\",\"" + lyric.substr(1000, 200000) +
                                   "\",1.000000,0,1\n[h#1502]\n"));
    EXPECT_TRUE(contains(text, "\n1920=ID#0001\n2400=ID#0002\n"));
    const std::string head = "Convert Start\nStart Master Track\nEnd Master Track\nNew Track\n";
    EXPECT_EQ(readFile(folder.file("vsqconvert.log")), head + text + "\nTrack End\n");
}

TEST_F(VsqWriterTest, SongWithoutNotesIsAnErrorAndWritesNothing) {
    song->appendTrack().controls.push_back(makeControl(0, TempoChange{100}));
    song->appendTrack();
    EXPECT_FALSE(write());
    EXPECT_EQ(errorsReported, 1);
    EXPECT_EQ(printed, errorLine(msg::kNoTrackWithNotes, ""));
    EXPECT_EQ(folder.entries().size(), 0u);

    // The log of the last successful write stays as it was.
    writeFile(folder.file("vsqconvert.log"), "previous log");
    EXPECT_FALSE(write());
    EXPECT_EQ(readFile(folder.file("vsqconvert.log")), "previous log");
    EXPECT_EQ(folder.entries().size(), 1u);
}

TEST_F(VsqWriterTest, OutputInAMissingFolderIsReportedAndNothingIsCreated) {
    song->appendTrack().notes.push_back(makeNote(0, 480));
    const std::string path = folder.file("missing/out.vsq");
    EXPECT_FALSE(write(path));
    EXPECT_EQ(errorsReported, 1);
    EXPECT_EQ(printed,
              errorLine(msg::kCannotOpenFile, path + " : " + platform::systemErrorText(ENOENT)));
    EXPECT_EQ(folder.entries().size(), 0u);
}

TEST_F(VsqWriterTest, ExistingOutputIsReplacedOnlyWhenTheWriteSucceeds) {
    writeFile(output, "previous contents");
    song->appendTrack().notes.push_back(makeNote(0, 480));
    ASSERT_TRUE(write());
    EXPECT_EQ(readFile(output).size(), 705u);
    EXPECT_EQ(folder.entries().size(), 2u);
}

TEST_F(VsqWriterTest, LogThatCannotBeCreatedIsAWarningOnly) {
    std::filesystem::create_directory(folder.file("vsqconvert.log"));
    song->appendTrack().notes.push_back(makeNote(0, 480));
    const int warningsBefore = getReporter().warningCount();
    ASSERT_TRUE(write());
    EXPECT_EQ(printed, std::string("WARN: ") + msg::kLogNotWritten + ": vsqconvert.log : " +
                           platform::systemErrorText(EISDIR) + "\n");
    EXPECT_EQ(errorsReported, 0);
    EXPECT_EQ(getReporter().warningCount(), warningsBefore + 1);
    EXPECT_EQ(readFile(output).size(), 705u);
    EXPECT_EQ(folder.entries().size(), 2u);
}

TEST_F(VsqWriterTest, LongestNameIsReplacedThroughAShortTemporary) {
    // 255 bytes: the longest file name, which the output may well have.
    output = folder.file(std::string(251, 'n') + ".vsq");
    writeFile(output, "previous contents");
    song->appendTrack().notes.push_back(makeNote(0, 480));
    ASSERT_TRUE(write());
    EXPECT_EQ(errorsReported, 0);
    EXPECT_EQ(readFile(output).size(), 705u);
    EXPECT_EQ(folder.entries().size(), 2u);
}

#ifndef _WIN32
TEST_F(VsqWriterTest, OutputThroughALinkReplacesTheFileItNames) {
    const std::string real = folder.file("real.vsq");
    writeFile(real, "previous contents");
    std::filesystem::create_symlink(real, output);
    song->appendTrack().notes.push_back(makeNote(0, 480));
    ASSERT_TRUE(write());
    EXPECT_TRUE(std::filesystem::is_symlink(output));
    EXPECT_EQ(readFile(real).size(), 705u);
    EXPECT_EQ(folder.entries().size(), 3u);
}

TEST_F(VsqWriterTest, DeviceOutputIsWrittenInPlace) {
    // A null device of our own, so the system's one is never at stake.
    const std::string device = folder.file("null");
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot create a device node here";
    }
    song->appendTrack().notes.push_back(makeNote(0, 480));
    EXPECT_TRUE(write(device));
    EXPECT_EQ(errorsReported, 0);
    EXPECT_TRUE(std::filesystem::is_character_file(device));
    EXPECT_EQ(folder.entries().size(), 2u);
}
#endif

}  // namespace
