// The lyrics the editors sing: phonetic notes spelled in kana or left as a
// hint, and katakana turned into hiragana across the code page's gap.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "render/EditorLyrics.h"
#include "song/Song.h"

namespace {

constexpr char kKi[] = "\x82\xAB";         // き
constexpr char kHeldMark[] = "\x81\x5B";   // ー

NotePart partSinging(const NoteEvent& event, const Lyric& lyric) {
    return NotePart{{&event, 0, 1, 0, 480, &lyric, 0}, 480, false, 0};
}

// A song of one track whose notes sing `lyrics`.
std::unique_ptr<Song> songOf(std::initializer_list<Lyric> lyrics) {
    auto song = createSong();
    Track& track = song->appendTrack();
    for (const Lyric& lyric : lyrics) {
        track.notes.emplace_back();
        track.notes.back().lyric = lyric;
    }
    return song;
}

TEST(EditorLyricsTest, PhoneticNotesAreSpelledOrHinted) {
    const auto song = songOf({{kPhoneticLyricText, "k' i"}, {kPhoneticLyricText, "  x   y "},
                              {kKi, "k' i"}});
    PhoneticSpellings spellings(*song);
    ASSERT_TRUE(spellings.wantsAny());
    spellings.offer("k'  i", kKi);        // blanks do not count
    spellings.offer("k' i", "\x83\x4C");  // キ: the first spelling stays
    EXPECT_TRUE(spellings.wantsAny());    // "x y" has none
    spellings.offer("s a", "\x82\xB3");   // not wanted
    const EditorLyrics lyrics(std::move(spellings), false);

    const NoteEvent event;
    const Lyric spelled{kPhoneticLyricText, " k' i"};
    const Lyric unknown{kPhoneticLyricText, "  x   y "};
    const Lyric blank{kPhoneticLyricText, " "};
    const Lyric held{kHeldMark, "k' i"};
    EXPECT_EQ(lyrics.of(partSinging(event, spelled)), kKi);
    EXPECT_EQ(lyrics.of(partSinging(event, unknown)), "[x y]");
    EXPECT_EQ(lyrics.of(partSinging(event, blank)), "a");
    EXPECT_EQ(lyrics.of(partSinging(event, held)), "\x82\xA2");  // い
}

TEST(EditorLyricsTest, SongWithoutPhoneticNotesWantsNothing) {
    const auto song = songOf({{kKi, "k' i"}, {kDefaultLyricText, kDefaultLyricSymbols}});
    EXPECT_FALSE(PhoneticSpellings(*song).wantsAny());
    const NoteEvent event;
    const Lyric phonetic{kPhoneticLyricText, "k' i"};
    EXPECT_EQ(EditorLyrics().of(partSinging(event, phonetic)), "[k' i]");
}

TEST(EditorLyricsTest, KatakanaBecomeHiragana) {
    EXPECT_EQ(katakanaAsHiragana("\x83\x40\x83\x41"), "\x82\x9F\x82\xA0");  // ァア -> ぁあ
    EXPECT_EQ(katakanaAsHiragana("\x83\x7E\x83\x80"), "\x82\xDD\x82\xDE");  // ミム -> みむ
    EXPECT_EQ(katakanaAsHiragana("\x83\x93"), "\x82\xF1");                  // ン -> ん
    EXPECT_EQ(katakanaAsHiragana("\x83\x56\x83\x87"), "\x82\xB5\x82\xE5");  // ショ -> しょ
    // Marks, hiragana, ASCII and a cut character stay as they are.
    EXPECT_EQ(katakanaAsHiragana("\x81\x5B\x82\xA0[a]\x83"), "\x81\x5B\x82\xA0[a]\x83");
    // ヴァ and ヶ have no hiragana: the whole syllable stays.
    EXPECT_EQ(katakanaAsHiragana("\x83\x94\x83\x40"), "\x83\x94\x83\x40");
    EXPECT_EQ(katakanaAsHiragana("\x83\x96"), "\x83\x96");

    const NoteEvent event;
    const Lyric katakana{"\x83\x4C", "k' i"};  // キ
    EXPECT_EQ(EditorLyrics({}, true).of(partSinging(event, katakana)), kKi);
    EXPECT_EQ(EditorLyrics({}, false).of(partSinging(event, katakana)), "\x83\x4C");
}

}  // namespace
