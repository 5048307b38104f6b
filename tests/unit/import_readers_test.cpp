// The VSQ, UTAU and OpenUtau readers on small files written here, and the
// clean-up every reader ends with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/ExpressionUnits.h"
#include "import/SongCleanup.h"
#include "import/TextCodes.h"
#include "import/UstReader.h"
#include "import/UstxReader.h"
#include "import/VsqReader.h"

namespace {

std::string bigEndian(uint32_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

std::string chunk(const std::string& events) {
    return "MTrk" + bigEndian(static_cast<uint32_t>(events.size()), 4) + events;
}

std::string textEvent(const std::string& text) {
    return std::string("\x00\xFF\x01", 3) + static_cast<char>(text.size()) + text;
}

// A VSQ file of one voice track whose metatext is cut into `pieces` given in
// the order `order`; 4/4 at 120 unless `metre` says otherwise.
std::string vsq(const std::string& metatext, const std::vector<int>& order = {}, const std::string& metre = "\x04\x02") {
    std::vector<std::string> pieces;
    for (size_t at = 0; at < metatext.size(); at += 100) pieces.push_back(metatext.substr(at, 100));
    std::string voice;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const size_t n = order.empty() ? i : static_cast<size_t>(order[i]);
        voice += textEvent("DM:" + std::string(4 - std::to_string(n).size(), '0') + std::to_string(n) + ":" + pieces[n]);
    }
    const std::string end("\x00\xFF\x2F\x00", 4);
    const std::string master = std::string("\x00\xFF\x51\x03\x07\xA1\x20\x00\xFF\x58\x04", 11) + metre + "\x18\x08" + end;
    return "MThd" + bigEndian(6, 4) + bigEndian(1, 2) + bigEndian(2, 2) + bigEndian(480, 2) + chunk(master) +
           chunk(voice + end);
}

const char* kMetatext =
    "[Common]\nVersion=DSB301\nName=Voice1\nColor=181,162,123\nDynamicsMode=1\nPlayMode=1\n"
    "[EventList]\n0=ID#0000\n1920=ID#0001\n2400=ID#0002,ID#0003\n2880=EOS\n"
    "[ID#0000]\nType=Singer\nIconHandle=h#0000\n"
    "[ID#0001]\nType=Anote\nLength=480\nNote#=72\nDynamics=80\nPMBendDepth=8\nPMBendLength=0\n"
    "PMbPortamentoUse=0\nDEMdecGainRate=50\nDEMaccent=50\nLyricHandle=h#0001\n"
    "VibratoHandle=h#0003\nVibratoDelay=280\n"
    "[ID#0002]\nType=Singer\nIconHandle=h#0004\n"
    "[ID#0003]\nType=Anote\nLength=240\nNote#=300\nDynamics=64\nLyricHandle=h#0002\n"
    "[h#0000]\nIconID=$07010000\nIDS=Miku\nOriginal=0\nCaption=\nLength=1\nLanguage=0\nProgram=0\n"
    "[h#0001]\nL0=\"a\",\"a\",1.000000,0,1\n"
    "[h#0002]\nL0=\"b\",\"b a\",1.000000,0,1\n"
    "[h#0003]\nIconID=$0404000b\nIDS=fast\nOriginal=1\nCaption=\nLength=200\nStartDepth=80\nDepthBPNum=0\n"
    "StartRate=70\nRateBPNum=0\n"
    "[h#0004]\nIconID=$07010103\nIDS=Luka\nOriginal=259\nCaption=\nLength=1\nLanguage=1\nProgram=3\n"
    "[DynamicsBPList]\n1000=30\n1920=100\n2600=90\n3000=10\n";

TEST(VsqReader, SingersNotesVibratosAndCurves) {
    ImportedSong song;
    std::string problem;
    ASSERT_TRUE(readVsqFile(vsq(kMetatext), song, problem)) << problem;
    cleanUpImportedSong(song);
    ASSERT_EQ(song.tracks.size(), 1u);
    const ImportedTrack& track = song.tracks[0];
    ASSERT_EQ(track.singers.size(), 2u);
    EXPECT_EQ(track.singers[0].name, "Miku");
    EXPECT_EQ(track.singers[1].time, 480);
    EXPECT_EQ(track.singers[1].language, 1);
    EXPECT_EQ(track.singers[1].program, 3);
    ASSERT_EQ(track.notes.size(), 2u);
    EXPECT_EQ(track.notes[0].time, 0);
    EXPECT_EQ(track.notes[0].velocity, 80);
    EXPECT_EQ(track.notes[0].vibratoType, 11);  // the type of the icon, whose preset it has
    EXPECT_EQ(track.notes[0].vibratoLength, 200);
    EXPECT_EQ(track.notes[1].note, 127);  // held at the edge
    EXPECT_EQ(song.lyricOf(track.notes[1]).symbols, "b a");
    // The point inside the pre-measure gives the value at the start; the one
    // after the last note's end goes.
    const std::vector<ImportedPoint>& dynamics = track.curves[1];
    ASSERT_EQ(dynamics.size(), 2u);
    EXPECT_EQ(dynamics[0].tick, 0);
    EXPECT_EQ(dynamics[0].value, 100);
    EXPECT_EQ(dynamics[1].tick, 680);
    const std::vector<std::string>& lost = song.notCarried.kinds();
    EXPECT_NE(std::find(lost.begin(), lost.end(), "curve points after the end of a track's last note"), lost.end());
}

TEST(VsqReader, TextEventsOutOfOrderAreJoinedByTheirNumbers) {
    const std::string text = kMetatext;
    const size_t pieces = (text.size() + 99) / 100;
    std::vector<int> reversed;
    for (size_t i = pieces; i-- > 0;) reversed.push_back(static_cast<int>(i));
    ImportedSong inOrder;
    ImportedSong shuffled;
    std::string problem;
    ASSERT_TRUE(readVsqFile(vsq(text), inOrder, problem)) << problem;
    ASSERT_TRUE(readVsqFile(vsq(text, reversed), shuffled, problem)) << problem;
    EXPECT_EQ(shuffled.tracks[0].notes.size(), inOrder.tracks[0].notes.size());
    // A number missing, or given twice, is refused.
    std::vector<int> gap = reversed;
    gap.front() = gap.back();
    EXPECT_FALSE(readVsqFile(vsq(text, gap), shuffled, problem));
}

TEST(VsqReader, BrokenMetatextsAreRefused) {
    ImportedSong song;
    std::string problem;
    EXPECT_FALSE(readVsqFile(vsq("no sections\n"), song, problem));
    EXPECT_NE(problem.find("[EventList]"), std::string::npos);
    std::string missing = kMetatext;
    missing.replace(missing.find("[ID#0003]"), 9, "[ID#0009]");
    EXPECT_FALSE(readVsqFile(vsq(missing), song, problem));
    EXPECT_NE(problem.find("ID#3"), std::string::npos) << problem;
    std::string noLength = kMetatext;
    noLength.replace(noLength.find("Length=240"), 10, "Lengt=240");
    EXPECT_FALSE(readVsqFile(vsq(noLength), song, problem));
}

TEST(VsqReader, NotesInsideThePreMeasureMoveTheSongLater) {
    std::string early = kMetatext;
    early.replace(early.find("1920=ID#0001"), 12, "480=ID#0001");
    ImportedSong song;
    std::string problem;
    ASSERT_TRUE(readVsqFile(vsq(early), song, problem)) << problem;
    cleanUpImportedSong(song);
    // A bar later: the note at tick 480 is at song tick 480, its tick again
    // once the compiler puts its one bar in front.
    EXPECT_EQ(song.tracks[0].notes[0].time, 480);
    EXPECT_EQ(song.notCarried.kinds().front(), "notes inside the pre-measure: the song is moved 1 bar later");
}

class Syllables final : public SyllableDictionary {
public:
    const char* lookup(const char16_t*, size_t& matched) const override {
        matched = 1;
        return "s a";
    }
};

std::string sequence(const std::vector<std::string>& sections, const std::string& version = "[#VERSION]\r\nUST Version1.2\r\n") {
    std::string text = version + "[#SETTING]\r\nTempo=150.00\r\nTracks=1\r\nProjectName=Teto\r\nMode2=True\r\n";
    for (const std::string& section : sections) text += section + "\r\n";
    return text + "[#TRACKEND]\r\n";
}

TEST(UstReader, NotesRestsTempoAndLevels) {
    const std::string text = sequence({"[#0000]\r\nLength=480\r\nLyric=R\r\nNoteNum=60",
                                       "[#0001]\r\nLength=480\r\nLyric=?a \x82\xB3\r\nNoteNum=67\r\nVelocity=150\r\nIntensity=60",
                                       "[#0002]\r\nLength=960\r\nLyric=\x82\xB3\r\nNoteNum=69\r\nTempo=90\r\nVBR=50,180,63,10,10,0,0,0"});
    ASSERT_TRUE(looksLikeUstFile(text));
    ImportedSong song;
    std::string problem;
    ASSERT_TRUE(readUstFile(text, Syllables(), song, problem)) << problem;
    cleanUpImportedSong(song);
    const ImportedTrack& track = song.tracks[0];
    ASSERT_EQ(track.notes.size(), 2u);
    EXPECT_EQ(track.notes[0].time, 480);
    EXPECT_EQ(track.notes[0].velocity, velocityOfSpeed(150));
    EXPECT_EQ(song.lyricOf(track.notes[0]).text, "\x82\xB3");  // "?" and the VCV vowel go
    EXPECT_EQ(track.notes[1].vibratoType, 11);
    EXPECT_EQ(track.notes[1].vibratoLength, 480);
    EXPECT_EQ(track.curves[1].front().value, dynamicsOfVolume(60));
    ASSERT_EQ(song.tempoMap.tempos.size(), 2u);
    EXPECT_EQ(song.tempoMap.tempos[1].time, 960);
    EXPECT_EQ(song.tempoMap.tempos[1].bpm, 90);
    EXPECT_EQ(track.singers[0].name, "Teto");
}

TEST(UstReader, Utf8ShortSectionNamesAndMissingLengths) {
    const std::string utf8 = sequence({"[#0]\nLength=480\nLyric=さ\nNoteNum=60"}, "[#VERSION]\nUST Version2.0\nCharset=UTF-8\n");
    ImportedSong song;
    std::string problem;
    ASSERT_TRUE(readUstFile(utf8, Syllables(), song, problem)) << problem;
    EXPECT_EQ(song.lyricOf(song.tracks[0].notes[0]).text, "\x82\xB3");
    EXPECT_FALSE(readUstFile(sequence({"[#0000]\r\nLyric=a\r\nNoteNum=60"}), Syllables(), song, problem));
    EXPECT_NE(problem.find("no Length"), std::string::npos);
}

TEST(UstReader, StraightPitchLinesBecomeRamps) {
    // Down a semitone over 120 ms at 150 beats a minute (144 ticks), then back.
    const std::string text = sequence({"[#0000]\r\nLength=960\r\nLyric=a\r\nNoteNum=60\r\nPBS=0;0\r\nPBW=120,200\r\nPBY=-10,0\r\nPBM=s,s"});
    ImportedSong song;
    std::string problem;
    ASSERT_TRUE(readUstFile(text, Syllables(), song, problem)) << problem;
    const std::vector<ImportedPoint>& bends = song.tracks[0].curves[8];
    ASSERT_FALSE(bends.empty());
    EXPECT_EQ(bends[143].tick, 143);
    EXPECT_EQ(bends[143].value, -8192);
    EXPECT_EQ(bends.back().value, 0);
}

std::string project(const std::string& version, const std::string& extra = "") {
    return "name: x\nustx_version: \"" + version + "\"\nbpm: 100\n" + extra +
           "tracks:\n- track_name: Teto\nvoice_parts:\n- track_no: 0\n  position: 1920\n  notes:\n"
           "  - {position: 0, duration: 480, tone: 60, lyric: a, phoneme_expressions: [{index: 0, abbr: vel, value: 150}]}\n"
           "  - {position: 480, duration: 480, tone: 62, lyric: +~,\n"
           "     vibrato: {length: 50, period: 180, depth: 63, in: 10, out: 10, shift: 0, drift: 0}}\n"
           "  curves:\n  - {xs: [0, 480], ys: [0, -240], abbr: dyn}\n";
}

TEST(UstxReader, NotesExtendersVibratoAndCurves) {
    const std::string text = project("0.6", "tempos:\n- {position: 0, bpm: 130}\ntime_signatures:\n- {bar_position: 0, beat_per_bar: 3, beat_unit: 4}\n");
    ASSERT_TRUE(looksLikeUstxFile(text));
    ImportedSong song;
    std::string problem;
    ASSERT_TRUE(readUstxFile(text, Syllables(), song, problem)) << problem;
    cleanUpImportedSong(song);
    EXPECT_EQ(song.tempoMap.tempos[0].bpm, 130);
    EXPECT_EQ(song.tempoMap.metres[0].numerator, 3);
    const ImportedTrack& track = song.tracks[0];
    ASSERT_EQ(track.notes.size(), 2u);
    EXPECT_EQ(track.notes[0].time, 1920);
    EXPECT_EQ(track.notes[0].velocity, velocityOfSpeed(150));
    EXPECT_EQ(song.lyricOf(track.notes[1]).text, "\x81[");  // the extender is a long-vowel mark
    EXPECT_EQ(song.lyricOf(track.notes[1]).symbols, "a");
    EXPECT_EQ(track.notes[1].vibratoType, 11);
    EXPECT_EQ(track.notes[1].vibratoLength, 240);
    // dyn falls from 0 dB to silence over the first note, and is back at its
    // default after its last point.
    const std::vector<ImportedPoint>& dynamics = track.curves[1];
    ASSERT_GE(dynamics.size(), 2u);
    EXPECT_EQ(dynamics[dynamics.size() - 2].tick, 2399);
    EXPECT_EQ(dynamics[dynamics.size() - 2].value, 0);
    EXPECT_EQ(dynamics.back().tick, 2401);
    EXPECT_EQ(dynamics.back().value, 64);
    EXPECT_EQ(track.singers[0].name, "Teto");
}

// The hint the exports give symbols no kana spells sings those symbols again;
// a hint after a lyric, or one a bracket note could not hold, does not.
TEST(ProjectReaders, APhoneticHintAloneSingsItsSymbols) {
    const std::string text = sequence({"[#0000]\r\nLength=480\r\nLyric=[ch i]\r\nNoteNum=60",
                                       "[#0001]\r\nLength=480\r\nLyric=\x81[\r\nNoteNum=60",
                                       "[#0002]\r\nLength=480\r\nLyric=[ \"]\r\nNoteNum=60"});
    ImportedSong sequenceSong;
    std::string problem;
    ASSERT_TRUE(readUstFile(text, Syllables(), sequenceSong, problem)) << problem;
    const ImportedTrack& sung = sequenceSong.tracks[0];
    ASSERT_EQ(sung.notes.size(), 3u);
    EXPECT_EQ(sequenceSong.lyricOf(sung.notes[0]), (ImportedLyric{"a", "ch i"}));
    EXPECT_EQ(sequenceSong.lyricOf(sung.notes[1]).symbols, "i");  // the held vowel after it
    EXPECT_NE(sequenceSong.lyricOf(sung.notes[2]).text, "a");

    const std::string yaml = "name: x\nustx_version: \"0.6\"\nbpm: 100\ntracks:\n- track_name: T\n"
                             "voice_parts:\n- track_no: 0\n  position: 0\n  notes:\n"
                             "  - {position: 0, duration: 480, tone: 60, lyric: \"[ch i]\"}\n"
                             "  - {position: 480, duration: 480, tone: 60, lyric: \"a[ch i]\"}\n";
    ImportedSong projectSong;
    ASSERT_TRUE(readUstxFile(yaml, Syllables(), projectSong, problem)) << problem;
    const ImportedTrack& track = projectSong.tracks[0];
    ASSERT_EQ(track.notes.size(), 2u);
    EXPECT_EQ(projectSong.lyricOf(track.notes[0]), (ImportedLyric{"a", "ch i"}));
    EXPECT_EQ(projectSong.lyricOf(track.notes[1]), (ImportedLyric{"a", "s a"}));  // its lyric, looked up
}

TEST(UstxReader, OldVersionsAndHostileYaml) {
    ImportedSong song;
    std::string problem;
    // Before 0.6 the single bpm counts, whatever a list says.
    ASSERT_TRUE(readUstxFile(project("0.5", "tempos:\n- {position: 0, bpm: 130}\n"), Syllables(), song, problem));
    EXPECT_EQ(song.tempoMap.tempos[0].bpm, 100);
    ImportedSong bomb;
    EXPECT_FALSE(readUstxFile("ustx_version: \"0.6\"\na: &a [1, 2]\nvoice_parts: [*a, *a]\n", Syllables(), bomb, problem));
    EXPECT_NE(problem.find("alias"), std::string::npos);
    EXPECT_FALSE(readUstxFile("ustx_version: \"0.6\"\nvoice_parts: [{notes: [\n", Syllables(), bomb, problem));
    EXPECT_FALSE(readUstxFile("ustx_version: \"0.6\"\nvoice_parts: " + std::string(5000, '[') + "\n", Syllables(), bomb,
                              problem));
}

TEST(SongCleanup, ChordsOverlapsMetresAndTempos) {
    ImportedSong song;
    ImportedTrack& track = song.tracks.emplace_back();
    for (const auto& [time, length] : std::vector<std::pair<int64_t, int32_t>>{{0, 480}, {0, 240}, {240, 480}, {960, 10}}) {
        ImportedNote note;
        note.time = time;
        note.length = length;
        track.notes.push_back(note);
    }
    song.tempoMap.tempos = {{0, 10}, {480, 400}};
    song.tempoMap.metres = {{0, 3, 4}, {1000, 4, 4}, {2880, 5, 64}};
    cleanUpImportedSong(song);
    ASSERT_EQ(track.notes.size(), 3u);  // the chord's second note goes
    EXPECT_EQ(track.notes[0].length, 240);  // cut where the next starts
    EXPECT_EQ(song.tempoMap.tempos[0].bpm, 20);
    EXPECT_EQ(song.tempoMap.tempos[1].bpm, 300);
    ASSERT_EQ(song.tempoMap.metres.size(), 2u);  // 5/64 cannot be written
    EXPECT_EQ(song.tempoMap.metres[1].time, 1440);  // the next bar line of 3/4
    EXPECT_EQ(track.singers.front().name, "Tuvo");
    EXPECT_EQ(song.notCarried.kinds().size(), 5u);
}

TEST(ExpressionUnits, InverseOfTheExportsMappings) {
    // The values the manual gives for the exports come back.
    EXPECT_EQ(songLevelOfMidiLevel(100), 64);
    EXPECT_EQ(songLevelOfMidiLevel(127), 127);
    EXPECT_EQ(songLevelOfMidiLevel(25), 16);
    EXPECT_EQ(dynamicsOfLevel(0), 64);
    EXPECT_EQ(dynamicsOfLevel(-240), 0);
    EXPECT_EQ(dynamicsOfLevel(120), 127);
    EXPECT_EQ(velocityOfSpeed(100), 64);
    EXPECT_EQ(accentOfAttack(100), 50);
    EXPECT_EQ(decayOfDecay(0), 50);
    EXPECT_EQ(dynamicsOfVolume(100), 64);
    EXPECT_EQ(dynamicsOfVolume(0), 0);
    // One semitone down under a sensitivity of 2 is a quarter of the range,
    // and a bend of no cents is no bend.
    EXPECT_EQ(pitchBendOfCents(-100, 2), -4096);
    EXPECT_EQ(pitchBendOfCents(0, 1), 0);
    EXPECT_EQ(sensitivityFor(-250), 3);
}

}  // namespace
