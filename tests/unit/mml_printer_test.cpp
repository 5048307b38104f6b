// What the MML printer writes for songs built by hand: note values and gates,
// octave moves, lyrics in their forms, the song's dictionary, joins, split
// notes, vibrato settings, singers, tempo placement and loops. (The golden
// cases and the round trips compile what it prints.)
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "import/SongCleanup.h"
#include "import/TextCodes.h"
#include "mml/MmlPrinter.h"
#include "text/CharCode.h"
#include "text/Encoding.h"

namespace {

// A dictionary of a few kana, code page 932 keys.
class SmallDictionary final : public SyllableDictionary {
public:
    SmallDictionary() {
        for (const auto& [kana, symbols] : std::map<std::string, std::string>{
                 {"か", "k a"}, {"え", "e"}, {"る", "4 M"}, {"ら", "4 a"}, {"は", "h a"}, {"きゃ", "k' a"}, {"き", "k' i"}, {"ゃ", "j a"}}) {
            std::string cp932;
            utf8ToCp932(kana, cp932);
            entries_[characterCodes(cp932)] = symbols;
        }
    }
    const char* lookup(const char16_t* codes, size_t& matched) const override {
        for (size_t length = 2; length > 0; --length) {
            size_t available = 0;
            while (available < length && codes[available] != 0) ++available;
            if (available < length) continue;
            const auto found = entries_.find(std::u16string(codes, length));
            if (found != entries_.end()) {
                matched = length;
                return found->second.c_str();
            }
        }
        return nullptr;
    }

private:
    std::map<std::u16string, std::string> entries_;
};

std::string cp932(const std::string& utf8) {
    std::string out;
    utf8ToCp932(utf8, out);
    return out;
}

// A song of one track with `notes` (time, length, note number, lyric in
// UTF-8, symbols), at the default settings.
struct GivenNote {
    int64_t time;
    int32_t length;
    int note;
    std::string lyric;
    std::string symbols;
};

ImportedSong songOf(const std::vector<GivenNote>& notes) {
    ImportedSong song;
    ImportedTrack& track = song.tracks.emplace_back();
    for (const GivenNote& given : notes) {
        ImportedNote note;
        note.time = given.time;
        note.length = given.length;
        note.note = static_cast<uint8_t>(given.note);
        note.lyric = song.lyricIndex({cp932(given.lyric), given.symbols});
        track.notes.push_back(note);
    }
    cleanUpImportedSong(song);
    return song;
}

MmlPrintout print(ImportedSong& song) {
    const SmallDictionary dictionary;
    MmlPrintout printout = printMml(song, dictionary, {"in.vsq", "in.mml", "in.dic", false});
    printout.mml = cp932ToUtf8(printout.mml);
    printout.dictionary = cp932ToUtf8(printout.dictionary);
    return printout;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(MmlPrinter, NoteValuesGatesAndOctaves) {
    // Eighths sounding 7/8 of their length, then a note an octave up and a
    // length no note value has.
    ImportedSong song = songOf({{0, 210, 72, "か", "k a"},
                                {240, 210, 74, "え", "e"},
                                {480, 210, 76, "る", "4 M"},
                                {720, 100, 88, "か", "k a"}});
    const std::string mml = print(song).mml;
    EXPECT_TRUE(has(mml, "l8 t120 q7 @VIB0 c d e")) << mml;
    EXPECT_TRUE(has(mml, "> e*")) << mml;
    EXPECT_TRUE(has(mml, "\"かえるか\"  ; bar 1")) << mml;
}

TEST(MmlPrinter, LyricForms) {
    // A long-vowel mark holding the vowel before, symbols given in brackets
    // for the text "a", and a syllable that would run into a longer key.
    ImportedSong song = songOf({{0, 240, 72, "か", "k a"},
                                {240, 240, 72, "ー", "a"},
                                {480, 240, 72, "a", "w a"},
                                {720, 240, 72, "き", "k' i"},
                                {960, 240, 72, "ゃ", "j a"}});
    const MmlPrintout printout = print(song);
    EXPECT_TRUE(has(printout.mml, "\"かー[w a]き ゃ\"")) << printout.mml;
    EXPECT_TRUE(printout.dictionary.empty()) << printout.dictionary;
}

TEST(MmlPrinter, SyllablesNoEntryGivesGoToTheSongsDictionary) {
    ImportedSong song = songOf({{0, 480, 72, "か", "k a"}, {480, 480, 72, "ぬ", "n M"}});
    const MmlPrintout printout = print(song);
    // It lists every syllable the song sings, as it replaces the dictionary.
    EXPECT_TRUE(has(printout.dictionary, "ぬ : [n M]  ; not in the dictionary")) << printout.dictionary;
    EXPECT_TRUE(has(printout.dictionary, "か : [k a]\n")) << printout.dictionary;
    EXPECT_TRUE(has(printout.mml, "compile it with -p in.dic")) << printout.mml;
    EXPECT_TRUE(has(printout.mml, "\"かぬ\"")) << printout.mml;
}

TEST(MmlPrinter, OtherSymbolsForADictionaryText) {
    // は sung as "w a", as a particle is.
    ImportedSong song = songOf({{0, 480, 72, "は", "w a"}});
    const MmlPrintout printout = print(song);
    EXPECT_TRUE(has(printout.dictionary, "は : [w a]  ; the dictionary gives [h a]")) << printout.dictionary;
}

TEST(MmlPrinter, SplitAndJoinedNotes) {
    // 60 ticks of one syllable, then another on the same note; then a note
    // that reaches the next, which slides to it.
    ImportedSong song = songOf({{0, 60, 72, "か", "k a"}, {60, 420, 72, "え", "e"}, {480, 480, 74, "る", "4 M"}});
    song.tracks[0].notes.push_back({});
    ImportedNote& joined = song.tracks[0].notes.back();
    joined.time = 960;
    joined.length = 480;
    joined.note = 76;
    joined.portamentoUse = 1;
    joined.lyric = song.lyricIndex({cp932("か"), "k a"});
    cleanUpImportedSong(song);
    const std::string mml = print(song).mml;
    EXPECT_TRUE(has(mml, "\"か&えるか\"")) << mml;
    EXPECT_TRUE(has(mml, "d & e")) << mml;
}

TEST(MmlPrinter, VibratoSettingsOnlyWhereTheyChange) {
    ImportedSong song = songOf({{0, 480, 72, "か", "k a"}, {480, 480, 72, "か", "k a"}, {960, 240, 72, "か", "k a"}});
    for (size_t i = 0; i < 2; ++i) {
        song.tracks[0].notes[i].vibratoType = 5;
        song.tracks[0].notes[i].vibratoLength = 160;
    }
    const std::string mml = print(song).mml;
    // 480 - 160 = 320 ticks of delay; the short last note has none, and the
    // delay being longer than it, the setting stays.
    EXPECT_TRUE(has(mml, "@VIB5,320 c c c8")) << mml;
}

TEST(MmlPrinter, SingersAndTheirRegistrations) {
    ImportedSong song = songOf({{0, 480, 72, "か", "k a"}, {960, 480, 72, "か", "k a"}});
    song.tracks[0].singers = {{0, 0, 3, "Mei"}, {480, 1, 0, "Mei"}};
    const std::string mml = print(song).mml;
    EXPECT_TRUE(has(mml, "@SGR0,3,\"Mei\"\n")) << mml;
    EXPECT_TRUE(has(mml, "@\"Mei\"")) << mml;
    // The same name with another voice is registered again where it changes.
    EXPECT_TRUE(has(mml, "@SGR1,0,\"Mei\" @\"Mei\"")) << mml;
}

TEST(MmlPrinter, SingerNameCharactersASourceCannotHoldBecomeUnderscores) {
    // A carriage return, which the compiler refuses in a singer's name, a line
    // feed and a double quote; a control character that a string holds stays.
    ImportedSong song = songOf({{0, 480, 72, "か", "k a"}});
    song.tracks[0].singers = {{0, 0, 0, "Mei\r\x03\n\"x"}};
    const std::string mml = print(song).mml;
    EXPECT_TRUE(has(mml, "@SGR0,0,\"Mei_\x03__x\"\n")) << mml;
    EXPECT_TRUE(has(mml, "characters of singer names that a source cannot hold become \"_\"")) << mml;
}

TEST(MmlPrinter, TempoWhereNoNoteSounds) {
    // A tempo change inside the first track's long note goes to the second
    // track, which rests then.
    ImportedSong song = songOf({{0, 3840, 72, "か", "k a"}});
    ImportedTrack& second = song.tracks.emplace_back();
    ImportedNote note;
    note.time = 3840;
    note.length = 480;
    note.note = 60;
    note.lyric = song.lyricIndex({cp932("か"), "k a"});
    second.notes.push_back(note);
    song.tempoMap.tempos = {{0, 100}, {1920, 140}};
    cleanUpImportedSong(song);
    const std::string mml = print(song).mml;
    EXPECT_TRUE(has(mml, "t100 @VIB0 c1.^2")) << mml;
    EXPECT_TRUE(has(mml, "2\nr1  ; bar 1\nt140 r1  ; bar 2")) << mml;
}

TEST(MmlPrinter, RepeatedBarsBecomeALoopWithItsExit) {
    // A bar of its own (it holds the tempo), then bars A B A B A: two passes
    // of A B and a third that ends after A.
    std::vector<GivenNote> notes{{0, 1920, 60, "る", "4 M"}};
    for (int bar = 1; bar < 6; ++bar) {
        const bool a = bar % 2 == 1;
        for (int beat = 0; beat < 4; ++beat)
            notes.push_back({bar * 1920 + beat * 480, 480, a ? 72 : 74, a ? "か" : "え", a ? "k a" : "e"});
    }
    ImportedSong song = songOf(notes);
    const std::string mml = print(song).mml;
    EXPECT_TRUE(has(mml, "/:3\n")) << mml;
    EXPECT_TRUE(has(mml, "\"かかかか\"  ; bar 2\n/\n")) << mml;
    EXPECT_TRUE(has(mml, "\"ええええ\"  ; bar 3\n:/\n")) << mml;
    EXPECT_FALSE(has(mml, "bar 4")) << mml;
}

TEST(MmlPrinter, ATrackWithoutLyricsPrintsNone) {
    ImportedSong song = songOf({{0, 480, 72, "ら", "4 a"}, {480, 480, 72, "ら", "4 a"}});
    EXPECT_FALSE(has(print(song).mml, "\"  ; bar")) << print(song).mml;
}

TEST(MmlPrinter, NegativePitchBendsAreWrittenAsChanges) {
    ImportedSong song = songOf({{0, 960, 72, "か", "k a"}});
    song.tracks[0].curves[8] = {{0, -4096}, {480, -100}, {600, 200}};
    const std::string mml = print(song).mml;
    EXPECT_TRUE(has(mml, "@PIT-4096,0,0,0,+3996,480,0,0,200,120")) << mml;
}

}  // namespace
