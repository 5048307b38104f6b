// The phonetic dictionary: the line format and its bad lines, longest-match
// lookup, the first-character index against a plain scan, and the shipped
// dictionary's coverage of the kana syllables.
#include <gtest/gtest.h>

#include "ReadTestSupport.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"
#include "diag/Messages.h"
#include "parse/PhoneticDictionary.h"

namespace fs = std::filesystem;

namespace {

// Code page 932 code of an ASCII, hiragana or katakana character. Both kana
// blocks are laid out in Unicode order; katakana skip the trail byte 0x7F.
int kanaCode(char16_t c) {
    if (c < 0x80) return c;
    if (c >= 0x3041 && c <= 0x3093) return 0x829F + (c - 0x3041);
    if (c >= 0x30A1 && c <= 0x30F6) {
        const int code = 0x8340 + (c - 0x30A1);
        return code >= 0x837F ? code + 1 : code;
    }
    ADD_FAILURE() << "no code for U+" << std::hex << int(c);
    return '?';
}

// The character codes of `text`, ended by 0 as lookup expects.
std::u16string codes(std::u16string_view text) {
    std::u16string result;
    for (char16_t c : text) result.push_back(static_cast<char16_t>(kanaCode(c)));
    result.push_back(0);
    return result;
}

std::string cp932(std::u16string_view text) {
    std::string bytes;
    for (char16_t c : text) {
        const int code = kanaCode(c);
        if (code >= 256) bytes.push_back(static_cast<char>(code >> 8));
        bytes.push_back(static_cast<char>(code & 0xFF));
    }
    return bytes;
}

std::u16string toKatakana(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= 0x3041 && c <= 0x3096) c = static_cast<char16_t>(c + 0x60);
    }
    return text;
}

struct Match {
    std::string symbols;
    size_t consumed;
    bool operator==(const Match&) const = default;
};

// Looks up character codes ended by 0.
std::optional<Match> findCodes(const PhoneticDictionary& dictionary, const std::u16string& input) {
    const char16_t* rest = nullptr;
    const char* symbols = dictionary.lookup(input.data(), &rest);
    if (symbols == nullptr) return std::nullopt;
    return Match{symbols, static_cast<size_t>(rest - input.data())};
}

std::optional<Match> find(const PhoneticDictionary& dictionary, std::u16string_view text) {
    return findCodes(dictionary, codes(text));
}

class DictionaryTest : public testing::Test {
protected:

    std::string write(const std::string& bytes) {
        const fs::path path = dir_ / ("d" + std::to_string(++files_) + ".dic");
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path.string();
    }

    // Loads `bytes` into `dictionary_`, keeping what the load printed in `output_`.
    bool load(const std::string& bytes) {
        path_ = write(bytes);
        testing::internal::CaptureStdout();
        TestReading read;
        const bool loaded = dictionary_->load(path_.c_str(), read.reading);
        output_ = testing::internal::GetCapturedStdout();
        return loaded;
    }

    std::string badLine(int line) const {
        return "ERROR: " + path_ + "(" + std::to_string(line) + ") BAD Line\n";
    }

    std::unique_ptr<PhoneticDictionary> dictionary_ = createPhoneticDictionary();
    std::string path_;
    std::string output_;
    ScratchFolder scratch_;
    const fs::path dir_ = scratch_.path();
    int files_ = 0;
};

TEST_F(DictionaryTest, ReadsEveryLineForm) {
    ASSERT_TRUE(load(cp932(u"; comment\n"
                           u"  \t; indented comment\n"
                           u" \t \n"
                           u"あ い : [a] [i]\n"
                           u"\tか:[k a]   ; trailing comment\n"
                           u"ら:[4 a];comment right after the group\n"
                           u"ab c\t:\t[x y] [ z ]\r\n"
                           u"ka\r:[k[a]\n"
                           u"del:[a\x7f]\n"
                           u"last:[end]")));
    EXPECT_EQ(output_, "");
    EXPECT_EQ(find(*dictionary_, u"あ"), (Match{"a", 1}));
    EXPECT_EQ(find(*dictionary_, u"い"), (Match{"i", 1}));
    EXPECT_EQ(find(*dictionary_, u"か"), (Match{"k a", 1}));
    EXPECT_EQ(find(*dictionary_, u"ら"), (Match{"4 a", 1}));
    EXPECT_EQ(find(*dictionary_, u"ab"), (Match{"x y", 2}));
    EXPECT_EQ(find(*dictionary_, u"c"), (Match{" z ", 1}));
    EXPECT_EQ(find(*dictionary_, u"ka"), (Match{"k[a", 2}));
    EXPECT_EQ(find(*dictionary_, u"del"), (Match{"a\x7f", 3}));
    EXPECT_EQ(find(*dictionary_, u"last"), (Match{"end", 4}));
    EXPECT_EQ(find(*dictionary_, u";"), std::nullopt);
}

TEST_F(DictionaryTest, ReportsTheFirstBadLineWithItsNumber) {
    const std::pair<std::u16string, int> cases[] = {
        {u"あ:[a]\nか\n", 2},          // a key without a colon
        {u"あ い\n", 1},               // keys, blank, then the line ends
        {u"あ [a]\n", 1},              // a group without a colon
        {u"あ い:[a]\n", 1},           // two keys, one group
        {u"\n\nあ:[a] [i]\n", 3},      // one key, two groups
        {u"あ:\n", 1},                 // no group at all
        {u"あ:[]\n", 1},               // empty group
        {u"あ:[a\tb]\n", 1},           // tab inside a group
        {u"あ:[aい]\n", 1},            // double-byte character inside a group
        {u"あ:[a\n", 1},               // group cut by the line end
        {u"あ:[a\x01]\n", 1},          // control code inside a group
        {u"あ:[a", 1},                 // group cut by the end of the file
        {u"あ", 1},                    // key cut by the end of the file
        {u";\n:[a]\n", 2},             // colon at the line start
        {u" [a]\n", 1},                // bracket at the line start
        {u"]\n", 1},                   // closing bracket at the line start
        {u"あ]:[a]\n", 1},             // bracket inside a key
        {u"あ;:[a]\n", 1},             // comment inside a key
        {u"あ ;\n", 1},                // comment after a key
        {u"あ:a\n", 1},                // symbols without brackets
        {u"あ:[a]x\n", 1},             // text after the last group
        {u"あ:[a]\nい:[i] [u]\nう\n", 2},  // only the first of two bad lines
    };
    for (const auto& [text, line] : cases) {
        SCOPED_TRACE(cp932(text));
        EXPECT_FALSE(load(cp932(text)));
        EXPECT_EQ(output_, badLine(line));
    }
}

TEST_F(DictionaryTest, BadLineKeepsEarlierEntriesInFileOrder) {
    EXPECT_FALSE(load(cp932(u"か:[k a]\nかあ:[k a a]\n[bad]\nさ:[s a]\n")));
    EXPECT_EQ(output_, badLine(3));
    // Unsorted, so the shorter key defined first still wins.
    EXPECT_EQ(find(*dictionary_, u"かあ"), (Match{"k a", 1}));
    EXPECT_EQ(find(*dictionary_, u"さ"), std::nullopt);
}

TEST_F(DictionaryTest, LongestKeyWins) {
    ASSERT_TRUE(load(cp932(u"か:[k a]\nかあ:[k a a]\nかあい:[k a a i]\nい:[i]\n")));
    EXPECT_EQ(find(*dictionary_, u"かあう"), (Match{"k a a", 2}));
    EXPECT_EQ(find(*dictionary_, u"かい"), (Match{"k a", 1}));
    EXPECT_EQ(find(*dictionary_, u"かあい"), (Match{"k a a i", 3}));
    // A key longer than what is left of the input never matches past its end.
    EXPECT_EQ(find(*dictionary_, u"か"), (Match{"k a", 1}));
}

TEST_F(DictionaryTest, NoMatchLeavesRestAlone) {
    ASSERT_TRUE(load(cp932(u"か:[k a]\n")));
    const std::u16string input = codes(u"さか");
    const char16_t* rest = input.data() + 1;
    EXPECT_EQ(dictionary_->lookup(input.data(), &rest), nullptr);
    EXPECT_EQ(rest, input.data() + 1);
    EXPECT_EQ(find(*dictionary_, u""), std::nullopt);
}

TEST_F(DictionaryTest, FilesWithoutDefinitionsLoadEmpty) {
    for (const std::string& bytes : {std::string(), std::string("; only a comment\n\n  \n;x")}) {
        EXPECT_TRUE(load(bytes));
        EXPECT_EQ(output_, "");
        EXPECT_EQ(find(*dictionary_, u"あ"), std::nullopt);
        EXPECT_EQ(find(*dictionary_, u"x"), std::nullopt);
    }
}

TEST_F(DictionaryTest, LeadByteAtTheEndEndsTheFile) {
    for (const std::u16string_view text : {u"か:[k a]\n", u"か:[k a]"}) {
        EXPECT_TRUE(load(cp932(text) + "\x82"));
        EXPECT_EQ(output_, "");
        EXPECT_EQ(find(*dictionary_, u"か"), (Match{"k a", 1}));
    }
}

TEST_F(DictionaryTest, ReloadReplacesTheEntries) {
    ASSERT_TRUE(load(cp932(u"か:[k a]\n")));
    ASSERT_TRUE(load(cp932(u"さ:[s a]\n")));
    EXPECT_EQ(find(*dictionary_, u"か"), std::nullopt);
    EXPECT_EQ(find(*dictionary_, u"さ"), (Match{"s a", 1}));
}

// The reverse spellings take the keys in file order, longer or shorter, and a
// key defined twice only as it is looked up: with its first symbols.
TEST_F(DictionaryTest, VisitsTheKeysInFileOrderOnceEach) {
    ASSERT_TRUE(load(cp932(u"ん:[N\\]\nきゃ あ:[k' a] [a]\nぁ ん:[a] [n]\nab:[x]\n")));
    std::vector<std::pair<std::string, std::string>> seen;
    dictionary_->visitInFileOrder([&seen](std::string_view key, std::string_view symbols) {
        seen.emplace_back(key, symbols);
    });
    const std::vector<std::pair<std::string, std::string>> expected = {
        {cp932(u"ん"), "N\\"}, {cp932(u"きゃ"), "k' a"}, {cp932(u"あ"), "a"},
        {cp932(u"ぁ"), "a"}, {"ab", "x"}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(find(*dictionary_, u"ん"), (Match{"N\\", 1}));
}

TEST_F(DictionaryTest, MissingFileFailsWithTheOpenError) {
    testing::internal::CaptureStdout();
    TestReading read;
    EXPECT_FALSE(dictionary_->load((dir_ / "missing.dic").c_str(), read.reading));
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output.rfind(std::string("ERROR: ") + msg::kCannotOpenFile + ": ", 0), 0u) << output;
}

// Random keys over a small alphabet, so that keys share first characters and
// prefixes; every lookup must agree with a scan over the entries in the order
// the dictionary keeps them (sorted after a good load, file order after a bad one).
TEST_F(DictionaryTest, IndexAgreesWithPlainScan) {
    const std::vector<int> alphabet = {0x82A0, 0x82A9, 0x8340, 0x8396, 'a', 'b', 0xA6};
    std::mt19937 random(20240611);
    auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    using Entry = std::pair<std::vector<int>, std::string>;
    for (const bool endsBadly : {false, true}) {
        std::vector<Entry> entries;
        std::string file;
        while (entries.size() < 300) {
            std::vector<int> key(static_cast<size_t>(pick(1, 4)));
            for (int& code : key) code = alphabet[static_cast<size_t>(pick(0, 6))];
            if (std::any_of(entries.begin(), entries.end(),
                            [&](const Entry& e) { return e.first == key; })) {
                continue;
            }
            std::string keyBytes;
            for (int code : key) {
                if (code >= 256) keyBytes.push_back(static_cast<char>(code >> 8));
                keyBytes.push_back(static_cast<char>(code & 0xFF));
            }
            entries.emplace_back(key, "s" + std::to_string(entries.size()));
            file += keyBytes + " :[" + entries.back().second + "]\n";
        }
        if (endsBadly) {
            file += "broken\n";
        } else {
            std::stable_sort(entries.begin(), entries.end(), [](const Entry& l, const Entry& r) {
                if (l.first.size() != r.first.size()) return l.first.size() > r.first.size();
                return l.first < r.first;
            });
        }
        EXPECT_EQ(load(file), !endsBadly);
        for (int round = 0; round < 5000; ++round) {
            std::vector<int> input(static_cast<size_t>(pick(0, 6)));
            // Besides the keys' codes: one between them, one below and one above them all.
            const int strangers[] = {0x82A2, 'A', 0x889F};
            for (int& code : input) {
                const int at = pick(0, 9);
                code = at < 7 ? alphabet[size_t(at)] : strangers[at - 7];
            }
            input.push_back(0);
            std::optional<Match> expected;
            for (const Entry& entry : entries) {
                if (entry.first.size() < input.size() &&
                    std::equal(entry.first.begin(), entry.first.end(), input.begin())) {
                    expected = Match{entry.second, entry.first.size()};
                    break;
                }
            }
            ASSERT_EQ(findCodes(*dictionary_, std::u16string(input.begin(), input.end())), expected)
                << "round " << round;
        }
    }
}

// The shipped dictionary.
class ShippedDictionaryTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dictionary_ = createPhoneticDictionary().release();
        testing::internal::CaptureStdout();
        TestReading read;
        loaded_ = dictionary_->load(TUVO_SOURCE_DIR "/data/phonetic_symbols.dic", read.reading);
        output_ = testing::internal::GetCapturedStdout();
    }
    static void TearDownTestSuite() { delete dictionary_; }

    static inline PhoneticDictionary* dictionary_ = nullptr;
    static inline bool loaded_ = false;
    static inline std::string output_;
};

TEST_F(ShippedDictionaryTest, LoadsWithoutMessages) {
    EXPECT_TRUE(loaded_);
    EXPECT_EQ(output_, "");
}

TEST_F(ShippedDictionaryTest, SampleSyllablesHaveTheirSymbols) {
    const std::pair<std::u16string, std::string> samples[] = {
        {u"あ", "a"}, {u"い", "i"}, {u"う", "M"}, {u"え", "e"}, {u"お", "o"},
        {u"か", "k a"}, {u"き", "k' i"}, {u"く", "k M"}, {u"が", "g a"}, {u"ぎ", "g' i"},
        {u"ぐ", "g M"}, {u"げ", "g e"}, {u"さ", "s a"}, {u"し", "S i"}, {u"す", "s M"},
        {u"ざ", "dz a"}, {u"じ", "dZ i"}, {u"ず", "dz M"}, {u"た", "t a"}, {u"ち", "tS i"},
        {u"つ", "ts M"}, {u"て", "t e"}, {u"だ", "d a"}, {u"ぢ", "dZ i"}, {u"づ", "dz M"},
        {u"で", "d e"}, {u"ど", "d o"}, {u"な", "n a"}, {u"に", "J i"}, {u"ぬ", "n M"},
        {u"は", "h a"}, {u"ひ", "C i"}, {u"ふ", "p\\ M"}, {u"へ", "h e"}, {u"ば", "b a"},
        {u"び", "b' i"}, {u"ぱ", "p a"}, {u"ぴ", "p' i"}, {u"ま", "m a"}, {u"み", "m' i"},
        {u"や", "j a"}, {u"ゆ", "j M"}, {u"よ", "j o"}, {u"ら", "4 a"}, {u"り", "4' i"},
        {u"る", "4 M"}, {u"わ", "w a"}, {u"を", "o"}, {u"ん", "N\\"}, {u"ゎ", "w a"},
        {u"きゃ", "k' a"}, {u"しゃ", "S a"}, {u"ちゃ", "tS a"}, {u"にゃ", "J a"},
        {u"ひゃ", "C a"}, {u"りゃ", "4' a"}, {u"じゅ", "dZ M"}, {u"びょ", "b' o"},
        {u"ぴゃ", "p' a"}, {u"みょ", "m' o"}, {u"ぎゃ", "g' a"}, {u"ふぁ", "p\\ a"},
        {u"ふぃ", "p\\' i"}, {u"てぃ", "t' i"}, {u"でぃ", "d' i"}, {u"とぅ", "t M"},
        {u"うぃ", "w i"}, {u"つぁ", "ts a"}, {u"いぇ", "j e"}, {u"しぇ", "S e"},
        {u"ヴァ", "v a"}, {u"ヴ", "v M"}, {u"ぁ", "a"}, {u"ぉ", "o"},
    };
    for (const auto& [text, symbols] : samples) {
        SCOPED_TRACE(cp932(text));
        EXPECT_EQ(find(*dictionary_, text), (Match{symbols, text.size()}));
        EXPECT_EQ(find(*dictionary_, toKatakana(text)), (Match{symbols, text.size()}));
    }
}

TEST_F(ShippedDictionaryTest, EveryKanaSyllableResolvesWhole) {
    std::vector<std::u16string> syllables;
    // Every hiragana letter but the small tsu, which the lyric walk handles
    // itself, and the archaic ゐ and ゑ.
    for (char16_t c = u'ぁ'; c <= u'ん'; ++c) {
        if (c != u'っ' && c != u'ゐ' && c != u'ゑ') syllables.emplace_back(1, c);
    }
    for (const char16_t* row : {u"きぎしじちぢにひびぴみり"}) {
        for (const char16_t* c = row; *c != 0; ++c) {
            for (char16_t small : {u'ゃ', u'ゅ', u'ょ'}) syllables.push_back({*c, small});
        }
    }
    for (const char16_t* extended :
         {u"ふぁ", u"ふぃ", u"ふぇ", u"ふぉ", u"てぃ", u"でぃ", u"とぅ", u"どぅ", u"うぃ",
          u"うぇ", u"うぉ", u"つぁ", u"ちぇ", u"しぇ", u"じぇ", u"いぇ"}) {
        syllables.emplace_back(extended);
    }
    const size_t hiragana = syllables.size();
    for (size_t i = 0; i < hiragana; ++i) syllables.push_back(toKatakana(syllables[i]));
    for (const char16_t* v : {u"ヴァ", u"ヴィ", u"ヴ", u"ヴェ", u"ヴォ"}) syllables.emplace_back(v);

    for (const std::u16string& syllable : syllables) {
        SCOPED_TRACE(cp932(syllable));
        const std::optional<Match> match = find(*dictionary_, syllable);
        ASSERT_TRUE(match.has_value());
        EXPECT_EQ(match->consumed, syllable.size());
        if (syllable.size() == 2) {
            // A two-kana syllable is sung as one, not as its first kana.
            EXPECT_NE(match->symbols, find(*dictionary_, syllable.substr(0, 1))->symbols);
        }
    }
}

}  // namespace
