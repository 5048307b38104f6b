// Tests of the lyric walk: syllables given to notes through a small fake
// dictionary, '&' splits, long-vowel marks, small tsu, bracketed symbols, and the
// exact messages of the walk's failures.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CompileTestSupport.h"
#include "compile/Compiler.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "parse/PhoneticDictionary.h"
#include "song/CommandCode.h"
#include "song/Song.h"
#include "text/StringPool.h"

namespace {

constexpr char16_t kA = 0x82A0;        // あ
constexpr char16_t kKa = 0x82A9;       // か
constexpr char16_t kSa = 0x82B3;       // さ
constexpr char16_t kWi = 0x82EE;       // ゐ, not in the dictionary
constexpr char16_t kTsu = 0x82C1;      // small っ
constexpr char16_t kTsuKata = 0x8362;  // small ッ
constexpr char16_t kBar = 0x815B;      // ー
constexpr char16_t kIdeoSpace = 0x8140;

// Longest-key lookup over a handful of entries.
class FakeDictionary final : public PhoneticDictionary {
public:
    void add(std::u16string key, std::string symbols) {
        entries_.emplace_back(std::move(key), std::move(symbols));
    }
    bool load(const char*, const TextReading&) override { return true; }
    const char* lookup(const char16_t* codes, const char16_t** rest) const override {
        const std::pair<std::u16string, std::string>* best = nullptr;
        for (const auto& entry : entries_) {
            size_t i = 0;
            while (i < entry.first.size() && codes[i] == entry.first[i]) ++i;
            if (i == entry.first.size() && (best == nullptr || i > best->first.size())) {
                best = &entry;
            }
        }
        if (best == nullptr) return nullptr;
        *rest = codes + best->first.size();
        return best->second.c_str();
    }
    void visitInFileOrder(
        const std::function<void(std::string_view, std::string_view)>&) const override {}

private:
    std::vector<std::pair<std::u16string, std::string>> entries_;
};

std::string bytes(std::u16string_view codes) {
    std::string out;
    for (char16_t c : codes) {
        if (c >= 256) out.push_back(static_cast<char>(c >> 8));
        out.push_back(static_cast<char>(c & 0xFF));
    }
    return out;
}

class LyricsTest : public testing::Test {
protected:
    void SetUp() override {
        dictionary_.add(std::u16string{kA}, "a");
        dictionary_.add(std::u16string{kKa}, "k a");
        dictionary_.add(std::u16string{kSa}, "s a");
        dictionary_.add(std::u16string{kKa, kA}, "k a i");  // a two-character key
        compiler_->setSong(song_.get());
        compiler_->setDictionary(&dictionary_);
        compiler_->setStrings(pool_.get());
    }

    void run(const char* name, std::initializer_list<CommandParam> params = {}) {
        compiletest::send(*compiler_, commandCode(name), params, source_);
    }
    void note(int32_t ticks) { run("C", {compiletest::num(0), compiletest::num(ticks)}); }
    void lyric(std::u16string_view text) {
        compiler_->lyrics(std::u16string(text).c_str(), source_.place());
    }
    // Runs the lyric and returns what it printed.
    std::string lyricOutput(std::u16string_view text) {
        return compiletest::printedBy([&] { lyric(text); });
    }
    static std::string report(const char* level, std::string_view message,
                              std::string_view detail = {}) {
        return compiletest::reportLine(level, 7, message, detail);
    }
    std::vector<NoteEvent>& notes(int track = 0) { return song_->track(track).notes; }
    const Track& track(int index = 0) { return song_->track(index); }

    std::unique_ptr<Song> song_ = createSong();
    std::unique_ptr<StringPool> pool_ = createStringPool();
    FakeDictionary dictionary_;
    compiletest::TestSource source_{7};
    std::unique_ptr<Compiler> compiler_ = createCompiler(source_.diagnostics());
};

TEST_F(LyricsTest, SyllablesGoToTheNextNotesInOrderAcrossCalls) {
    for (int i = 0; i < 4; ++i) note(480);
    EXPECT_EQ(lyricOutput(std::u16string{kSa, ' ', kIdeoSpace, '\t', kKa, kA}), "");
    EXPECT_EQ(lyricOutput(std::u16string{kA}), "");

    EXPECT_EQ(notes()[0].lyric.text, bytes(std::u16string{kSa}));
    EXPECT_EQ(notes()[0].lyric.symbols, "s a");
    // The longest key wins and its whole text becomes the note's lyric.
    EXPECT_EQ(notes()[1].lyric.text, bytes(std::u16string{kKa, kA}));
    EXPECT_EQ(notes()[1].lyric.symbols, "k a i");
    EXPECT_EQ(notes()[2].lyric.symbols, "a");
    // A note that never gets a syllable keeps the default.
    EXPECT_EQ(notes()[3].lyric.text, kDefaultLyricText);
    EXPECT_EQ(notes()[3].lyric.symbols, "4 a");
}

TEST_F(LyricsTest, SurplusSyllableStopsTheWalk) {
    note(480);
    const int errorsBefore = getReporter().errorCount();
    EXPECT_EQ(lyricOutput(std::u16string{kKa, kSa, kA}),
              report("ERROR", msg::kMoreLyricsThanNotes));
    EXPECT_EQ(getReporter().errorCount(), errorsBefore + 1);
    EXPECT_EQ(notes()[0].lyric.symbols, "k a");
    note(480);
    // The cursor stayed after the first note.
    lyric(std::u16string{kA});
    EXPECT_EQ(notes()[1].lyric.symbols, "a");
}

TEST_F(LyricsTest, EachSelectedTrackWalksTheTextOnItsOwn) {
    note(480);  // track 1: one note
    run("0", {compiletest::num(2)});
    note(480);
    note(480);  // track 2: two notes
    run("0", {compiletest::num(1), compiletest::num(2)});
    EXPECT_EQ(lyricOutput(std::u16string{kKa, kSa}), report("ERROR", msg::kMoreLyricsThanNotes));
    EXPECT_EQ(notes(0)[0].lyric.symbols, "k a");
    EXPECT_EQ(notes(1)[0].lyric.symbols, "k a");
    EXPECT_EQ(notes(1)[1].lyric.symbols, "s a");
}

TEST_F(LyricsTest, UnknownSyllableIsQuotedInTheDetail) {
    note(480);
    note(480);
    const std::string detail = "'" + bytes(std::u16string{kWi}) + "'";
    EXPECT_EQ(lyricOutput(std::u16string{kKa, kWi, kA}),
              report("ERROR", msg::kLyricNotConvertible, detail));
    EXPECT_EQ(notes()[1].lyric.text, kDefaultLyricText);
}

TEST_F(LyricsTest, LongVowelRepeatsTheVowelAfterTheLastBlank) {
    for (int i = 0; i < 5; ++i) note(480);
    EXPECT_EQ(lyricOutput(std::u16string{kKa, kBar, kKa, kA, '-', 0x817C}), "");
    EXPECT_EQ(notes()[1].lyric.text, bytes(std::u16string{kBar}));
    EXPECT_EQ(notes()[1].lyric.symbols, "a");
    EXPECT_EQ(notes()[2].lyric.symbols, "k a i");
    EXPECT_EQ(notes()[3].lyric.text, "-");
    EXPECT_EQ(notes()[3].lyric.symbols, "i");
    // A mark after a mark repeats the repeated vowel.
    EXPECT_EQ(notes()[4].lyric.text, bytes(std::u16string{0x817C}));
    EXPECT_EQ(notes()[4].lyric.symbols, "i");
}

TEST_F(LyricsTest, LongVowelFailures) {
    note(480);
    EXPECT_EQ(lyricOutput(std::u16string{kBar, kKa}),
              report("ERROR", msg::kLyricStartsWithLongVowel));
    EXPECT_EQ(notes()[0].lyric.text, kDefaultLyricText);
    EXPECT_EQ(lyricOutput(std::u16string{kKa, kBar}), report("ERROR", msg::kMoreLyricsThanNotes));
}

TEST_F(LyricsTest, AmpersandBeforeLongVowelIsDroppedSilently) {
    note(480);
    note(480);
    EXPECT_EQ(lyricOutput(std::u16string{kKa, '&', kBar}), "");
    EXPECT_EQ(notes()[0].splitOffset, 0);
    EXPECT_EQ(notes()[1].lyric.symbols, "a");
}

TEST_F(LyricsTest, SmallTsuCutsThePreviousNoteWithoutTakingANote) {
    note(960);
    note(60);
    note(480);
    EXPECT_EQ(lyricOutput(std::u16string{kKa, kTsu, kSa, kTsuKata, kA}), "");
    EXPECT_EQ(notes()[0].length, 120);
    EXPECT_EQ(notes()[1].length, 60);
    EXPECT_EQ(notes()[1].lyric.symbols, "s a");
    EXPECT_EQ(notes()[2].lyric.symbols, "a");
    EXPECT_EQ(lyricOutput(std::u16string{kTsu}), "");  // cuts the last note
    EXPECT_EQ(notes()[2].length, 120);
}

TEST_F(LyricsTest, SmallTsuAtTheStartIsReported) {
    note(480);
    EXPECT_EQ(lyricOutput(std::u16string{kTsu, kKa}),
              report("ERROR", msg::kLyricStartsWithSmallTsu));
    EXPECT_EQ(notes()[0].length, 480);
    EXPECT_EQ(notes()[0].lyric.text, kDefaultLyricText);
}

TEST_F(LyricsTest, SmallTsuCutsTheNoteButNotItsVibrato) {
    run("@VIB", {compiletest::num(1), compiletest::num(0)});
    note(960);  // vibrato over the whole note
    note(960);
    lyric(std::u16string{kKa, '&', kSa, kTsu});
    EXPECT_EQ(notes()[0].length, 120);
    EXPECT_EQ(notes()[0].vibrato.type, 1);
    EXPECT_EQ(notes()[0].vibrato.length, 900);  // as the split left it
}

TEST_F(LyricsTest, AmpersandSplitsThePreviousNote) {
    run("@VIB", {compiletest::num(1), compiletest::num(0)});
    note(90);
    note(480);
    EXPECT_EQ(lyricOutput(std::u16string{kKa, '&', kSa, kA}), "");
    EXPECT_EQ(notes()[0].splitOffset, 60);
    EXPECT_EQ(notes()[0].lyric.symbols, "k a");
    EXPECT_EQ(track().secondLyric(0).text, bytes(std::u16string{kSa}));
    EXPECT_EQ(track().secondLyric(0).symbols, "s a");
    EXPECT_EQ(notes()[0].vibrato.length, 30);
    EXPECT_EQ(notes()[1].lyric.symbols, "a");
    EXPECT_EQ(notes()[1].splitOffset, 0);
}

TEST_F(LyricsTest, SplitOfAShortNoteIsIgnoredWithAWarning) {
    note(89);
    note(480);
    const int warningsBefore = getReporter().warningCount();
    EXPECT_EQ(lyricOutput(std::u16string{kKa, '&', kSa, kA}),
              report("WARN", msg::kSplitIgnoredShortNote));
    EXPECT_EQ(getReporter().warningCount(), warningsBefore + 1);
    EXPECT_EQ(notes()[0].splitOffset, 0);
    EXPECT_TRUE(track().secondLyric(0).text.empty());
    EXPECT_EQ(notes()[1].lyric.symbols, "a");
}

TEST_F(LyricsTest, AmpersandFailures) {
    note(480);
    note(480);
    EXPECT_EQ(lyricOutput(std::u16string{'&', kKa}),
              report("ERROR", msg::kLyricStartsWithAmpersand));
    EXPECT_EQ(lyricOutput(std::u16string{kKa, '&', kSa, '&', kA}),
              report("ERROR", msg::kOnlyOneSplit));
    EXPECT_EQ(track().secondLyric(0).symbols, "s a");
    EXPECT_EQ(lyricOutput(std::u16string{kKa, '&', '&', kA}),
              report("WARN", msg::kLyricAmpersandRepeated));
    EXPECT_EQ(track().secondLyric(1).symbols, "a");
    note(480);
    EXPECT_EQ(lyricOutput(std::u16string{kKa, '&', ' '}),
              report("ERROR", msg::kNoLyricAfterAmpersand));
    EXPECT_EQ(notes()[2].splitOffset, 0);
}

TEST_F(LyricsTest, BracketGivesSymbolsDirectly) {
    note(480);
    note(480);
    EXPECT_EQ(lyricOutput(u"[k a]&[s a]"), "");
    EXPECT_EQ(notes()[0].lyric.text, "a");
    EXPECT_EQ(notes()[0].lyric.symbols, "k a");
    EXPECT_EQ(track().secondLyric(0).symbols, "s a");
    EXPECT_EQ(notes()[1].lyric.text, kDefaultLyricText);
}

TEST_F(LyricsTest, BracketFailures) {
    note(480);
    EXPECT_EQ(lyricOutput(u"[]"), report("ERROR", msg::kEmptyPhoneticSymbols));
    EXPECT_EQ(lyricOutput(u"[k a"), report("ERROR", msg::kCloseBracketRequired));
    EXPECT_EQ(lyricOutput(std::u16string{'[', 'k', kA, ']'}),
              report("ERROR", msg::kCloseBracketRequired));
    EXPECT_EQ(notes()[0].lyric.text, kDefaultLyricText);
}

}  // namespace

// --- what the walk leaves for the lyric hints ---

TEST_F(LyricsTest, SurplusReportCountsTheWholeLyricAndNamesTheFirstLeftOver) {
    note(480);
    note(480);
    // か&さ splits the first note (no note of its own), ー takes the second,
    // then あ and か find none.
    lyricOutput(std::u16string{kKa, '&', kSa, kBar, kA, kTsu, kKa});
    const LyricReport report = compiler_->lyricReport();
    ASSERT_EQ(report.surpluses.size(), 1u);
    const SurplusLyric& surplus = report.surpluses[0];
    EXPECT_EQ(surplus.place.file, "t.mml");
    EXPECT_EQ(surplus.place.line, 7);
    EXPECT_EQ(surplus.track, 1);
    EXPECT_EQ(surplus.syllables, 4);
    EXPECT_EQ(surplus.waitingNotes, 2);
    EXPECT_EQ(surplus.leftOver, bytes(std::u16string{kA}));
    EXPECT_TRUE(report.unsung.empty());
}

TEST_F(LyricsTest, SurplusReportsBeyondTheFirstFewAreOnlyCounted) {
    for (size_t i = 0; i < kDescribedSurpluses + 5; ++i) lyricOutput(std::u16string{kKa});
    const LyricReport report = compiler_->lyricReport();
    EXPECT_EQ(report.surpluses.size(), kDescribedSurpluses);
    EXPECT_EQ(report.moreSurpluses, 5);
    EXPECT_EQ(report.surpluses[0].waitingNotes, 0);
}

TEST_F(LyricsTest, UnsungNotesAreCountedWithTheirLoopCopies) {
    source_.setLine(3);
    note(480);
    lyric(std::u16string{kKa});
    source_.setLine(4);
    run("/:", {compiletest::num(3)});
    note(480);  // never sung, copied twice
    run(":/");
    source_.setLine(5);
    note(480);
    // A syllable that happens to be the default one still counts as given.
    constexpr char16_t kRa = 0x82E7;  // ら
    dictionary_.add(std::u16string{kRa}, "4 a");
    lyric(std::u16string{kRa});
    const LyricReport report = compiler_->lyricReport();
    ASSERT_EQ(report.unsung.size(), 1u);
    EXPECT_EQ(report.unsung[0].track, 1);
    EXPECT_EQ(report.unsung[0].count, 3);
    EXPECT_EQ(report.unsung[0].first.line, 4);
    EXPECT_EQ(report.unsung[0].first.file, "t.mml");
}

TEST_F(LyricsTest, TrackWithoutAnyLyricIsNotReported) {
    note(480);
    note(480);
    EXPECT_TRUE(compiler_->lyricReport().unsung.empty());
}
