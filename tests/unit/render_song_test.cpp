// The rendered song as its readers see it: voice tracks and the singer each
// is named after, note parts with their ends and the held-vowel rule, parts in
// time order, bars and positions, the clock, and curves that are rendered once
// and read back alike by every reader.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "VsqTestSupport.h"
#include "diag/Reporter.h"
#include "render/RenderedSong.h"
#include "song/Song.h"
#include "text/StringPool.h"

namespace {

using vsqtest::makeControl;
using vsqtest::makeNote;

constexpr const char* kMark = "\x81\x5B";  // the long-vowel mark in code page 932

class RenderedSongTest : public ::testing::Test {
protected:
    std::unique_ptr<Song> song = createSong();
    std::unique_ptr<StringPool> strings = createStringPool();

    NoteEvent& note(Track& track, int32_t time, int32_t step, int32_t length, const char* lyric) {
        NoteEvent& added = track.notes.emplace_back(makeNote(time, length, 60, lyric));
        added.step = step;
        return added;
    }
};

TEST_F(RenderedSongTest, VoiceTracksAreTheTracksWithNotesNamedAfterTheSingerOfTheirFirstNote) {
    song->appendTrack().controls.push_back(makeControl(0, TempoChange{90}));  // no notes
    Track& sung = song->appendTrack();
    const int32_t alto = strings->add(u"Alto");
    const int32_t bass = strings->add(u"Bass");
    sung.controls.push_back(makeControl(0, SingerChange{1, 2, alto}));
    sung.controls.push_back(makeControl(480, SingerChange{3, 0, bass}));   // at the first note
    sung.controls.push_back(makeControl(960, SingerChange{4, 0, alto}));   // at the last note
    sung.controls.push_back(makeControl(1000, SingerChange{5, 0, bass}));  // after it: sings nothing
    note(sung, 480, 480, 480, "a");
    note(sung, 960, 480, 480, "b");
    song->appendTrack();
    note(song->track(2), 0, 480, 480, "c");

    const RenderedSong rendered(*song, *strings);
    ASSERT_EQ(rendered.voices().size(), 2u);
    const VoiceTrack& first = rendered.voices()[0];
    EXPECT_EQ(first.name(), "Voice1");
    ASSERT_EQ(first.singers().size(), 3u);
    EXPECT_EQ(first.singers()[0].name, "Alto");
    EXPECT_EQ(first.singers()[2].tick, 960);
    EXPECT_EQ(first.namingSinger().name, "Bass");
    EXPECT_EQ(first.namingSinger().program, 3);
    EXPECT_TRUE(first.namingSinger().chosen);

    const VoiceTrack& second = rendered.voices()[1];
    EXPECT_EQ(second.number(), 2);
    EXPECT_EQ(second.namingSinger().name, kDefaultSingerName);
    EXPECT_FALSE(second.namingSinger().chosen);
    EXPECT_EQ(rendered.tempoMap().tempos.front().bpm, 90);
}

TEST_F(RenderedSongTest, APartIsHeldWhenItsMarkFollowsThePartBeforeAsWritten) {
    Track& track = song->appendTrack();
    note(track, 0, 480, 240, "a");        // a gate lets it sound half its step
    note(track, 480, 480, 480, kMark);    // held: the note before ends here as written
    note(track, 1200, 480, 480, kMark);   // after a rest: not held
    NoteEvent& split = note(track, 1680, 480, 480, "k");
    split.splitOffset = 60;
    track.editSecondLyric(3) = {kMark, "a"};
    note(track, 2160, 960, 480, kMark);   // after a split note ending here: held

    const RenderedSong rendered(*song, *strings);
    const VoiceTrack& voice = rendered.voices()[0];
    EXPECT_EQ(voice.writtenEnd(0), 480);
    EXPECT_TRUE(voice.part(1, 1).held);
    EXPECT_FALSE(voice.part(2, 1).held);
    EXPECT_FALSE(voice.part(0, 1).held);

    const NotePart first = voice.part(3, 1);
    const NotePart second = voice.part(3, 2);
    EXPECT_EQ(first.length, 60);
    EXPECT_EQ(first.writtenEnd, 1740);
    EXPECT_EQ(first.vibratoType, 0);
    EXPECT_EQ(second.start, 1740);
    EXPECT_EQ(second.length, 420);
    EXPECT_EQ(second.writtenEnd, 2160);
    EXPECT_TRUE(second.held);
    EXPECT_TRUE(voice.part(4, 1).held);
    EXPECT_EQ(voice.writtenEnd(4), 3120);
}

TEST_F(RenderedSongTest, PartsComeInTimeOrderTheEarlierNoteFirstAtEqualTicks) {
    Track& track = song->appendTrack();
    NoteEvent& split = note(track, 0, 30, 480, "a");  // joined on: it sounds past the next notes
    split.splitOffset = 60;
    track.editSecondLyric(0) = {"b", "b"};
    note(track, 30, 30, 30, "c");
    note(track, 60, 60, 60, "d");  // starts with the split note's second part
    note(track, 120, 60, 0, "e");  // sounds for no tick, still a part

    const RenderedSong rendered(*song, *strings);
    VoiceTrack::PartsInTimeOrder parts = rendered.voices()[0].partsInTimeOrder();
    std::vector<std::string> order;
    for (NotePart part{}; parts.next(part);) order.push_back(std::string(part.lyric->text.view()));
    EXPECT_EQ(order, (std::vector<std::string>{"a", "c", "b", "d", "e"}));
}

TEST_F(RenderedSongTest, BarsFollowTheMetresAndGivePositionsAsBarBeatAndTick) {
    Track& track = song->appendTrack();
    track.controls.push_back(makeControl(0, MetreChange{3, 4}));
    track.controls.push_back(makeControl(2880, MetreChange{6, 8}));
    track.controls.push_back(makeControl(5000, MetreChange{2, 4}));  // off the bar lines
    note(track, 0, 480, 480, "a");
    const RenderedSong rendered(*song, *strings);
    const Bars& bars = rendered.bars();
    EXPECT_EQ(bars.barsBefore(0), 0);
    EXPECT_EQ(bars.barsBefore(2880), 2);
    EXPECT_EQ(bars.barsBefore(5000), 4);  // 6/8 bars at 2880 and 4320, then one cut short

    const BarPosition inSecondBar = bars.positionOf(1440 + 480 + 100);
    EXPECT_EQ(inSecondBar.bar, 2);
    EXPECT_EQ(inSecondBar.beat, 2);
    EXPECT_EQ(inSecondBar.tick, 100);
    const BarPosition eighths = bars.positionOf(2880 + 240 * 4 + 7);
    EXPECT_EQ(eighths.bar, 3);
    EXPECT_EQ(eighths.beat, 5);  // the beat of 6/8 is the eighth
    EXPECT_EQ(eighths.tick, 7);

    const std::vector<Bar> laid = bars.barsUntil(6000, 100);
    ASSERT_EQ(laid.size(), 6u);
    EXPECT_EQ(laid[3].start, 4320);
    EXPECT_EQ(laid[3].end, 5000);
    EXPECT_TRUE(laid[4].metreChanges);
    EXPECT_EQ(laid[4].metre->numerator, 2);
    EXPECT_FALSE(laid[5].metreChanges);
    // A change from the end on cuts no bar.
    EXPECT_EQ(bars.barsUntil(4800, 100).back().end, 5760);
    EXPECT_EQ(bars.barsUntil(60 * 1000 * 1000, 10).size(), 11u);
}

TEST_F(RenderedSongTest, TheClockAndItsCursorAgreeAcrossTempoChanges) {
    Track& track = song->appendTrack();
    track.controls.push_back(makeControl(960, TempoChange{60}));
    track.controls.push_back(makeControl(1920, TempoChange{240}));
    note(track, 0, 480, 480, "a");
    const RenderedSong rendered(*song, *strings);
    const TempoClock& clock = rendered.clock();
    EXPECT_DOUBLE_EQ(clock.msAt(960), 1000);
    EXPECT_DOUBLE_EQ(clock.secondsAt(1920), 3.0);
    EXPECT_DOUBLE_EQ(clock.msAt(2400), 3250);
    // The same to the bit, forwards, backwards, on the stretches' edges and before tick 0.
    TempoClock::Cursor cursor(clock);
    for (int64_t tick : {0, 500, 959, 960, 1500, 1920, 3000, 100, -5, 1919, 2500, -5, 0}) {
        EXPECT_EQ(cursor.msAt(tick), clock.msAt(tick)) << tick;
        EXPECT_EQ(cursor.bpmAt(tick), clock.bpmAt(tick)) << tick;
    }
    EXPECT_EQ(TempoClock::tenthsOfMs(480, 120), 5000);
    EXPECT_EQ(TempoClock::tenthsOfMs(1, 7), 179);   // 178.57 rounds up
    EXPECT_EQ(TempoClock::ticksIn(10, 300), 24);
    EXPECT_EQ(TempoClock::ticksIn(10, 61), 5);     // 4.88 rounds up
}

TEST_F(RenderedSongTest, ACurveReadsTheSameForEveryReaderAndOnlyDeclaredReadersAreServedFromTheStore) {
    Track& track = song->appendTrack();
    const int32_t dynamics = curveOfCommand(CmdDynamics)->id;
    track.controls.push_back(
        makeControl(0, CurveChange{dynamics, {{0, 0, 400, 1}, {127, 0, 300, 1}, {5, 7, -1, 0}}}));
    track.controls.push_back(makeControl(0, CurveChange{curveOfCommand(CmdPitchBend)->id,
                                                        {{-8192, 0, 1000, 1}, {8191, 0, 1000, 1}}}));
    note(track, 0, 4000, 4000, "a");

    CurveReaders readers;
    readers.add(kAllCurveIds);
    readers.add(kAllCurveIds);
    readers.add(kAllCurveIds);
    const RenderedSong rendered(*song, *strings, readers);
    const RenderedSong alone(*song, *strings);
    for (const CurveInfo& curve : kCurves) {
        const CurvePoints once = alone.curve(0, curve.id);
        ASSERT_TRUE(once);
        const std::vector<BreakpointPoint> want = *once;
        for (int reader = 0; reader < 4; ++reader) {  // the fourth is one more than declared
            const CurvePoints read = rendered.curve(0, curve.id);
            ASSERT_TRUE(read);
            EXPECT_EQ(*read, want) << curve.section << " reader " << reader;
        }
    }
    EXPECT_GT(alone.curve(0, dynamics)->size(), 100u);
}

TEST_F(RenderedSongTest, CurvesTooLargeToKeepAreBuiltAgainForEachReader) {
    // Ramps across the whole bend range: some 16 000 points each, over a
    // megabyte packed for the pitch bend, while the dynamics stay small.
    Track& track = song->appendTrack();
    std::vector<CurvePoint> ramps;
    for (int i = 0; i < 48; ++i) ramps.push_back({i % 2 == 0 ? 8191 : -8192, 0, 20000, 1});
    track.controls.push_back(makeControl(0, CurveChange{curveOfCommand(CmdPitchBend)->id, ramps}));
    const int32_t dynamics = curveOfCommand(CmdDynamics)->id;
    track.controls.push_back(makeControl(0, CurveChange{dynamics, {{0, 0, 400, 1}, {127, 0, 300, 1}}}));
    note(track, 0, 48 * 20000, 48 * 20000, "a");

    CurveReaders readers;
    readers.add(kAllCurveIds);
    readers.add(kAllCurveIds);
    const RenderedSong rendered(*song, *strings, readers);
    const RenderedSong alone(*song, *strings);
    const std::vector<BreakpointPoint> bends = *alone.curve(0, curveOfCommand(CmdPitchBend)->id);
    ASSERT_GT(bends.size() * 2, CurveStore::kMostKeptBytes);
    const std::vector<BreakpointPoint> levels = *alone.curve(0, dynamics);
    for (int reader = 0; reader < 3; ++reader) {
        EXPECT_EQ(*rendered.curve(0, curveOfCommand(CmdPitchBend)->id), bends) << reader;
        EXPECT_EQ(*rendered.curve(0, dynamics), levels) << reader;
    }
}

TEST_F(RenderedSongTest, ASongWithoutVoicesIsReportedBeforeAnyFileIsWritten) {
    song->appendTrack().controls.push_back(makeControl(0, TempoChange{100}));
    const RenderedSong rendered(*song, *strings);
    const int before = getReporter().errorCount();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(hasVoices(rendered));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(getReporter().errorCount(), before + 1);
    EXPECT_EQ(rendered.bars().barsUntil(0, 1).size(), 1u);
}

}  // namespace
