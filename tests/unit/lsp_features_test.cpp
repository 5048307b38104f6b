// The server's answers built from a check and the text: hover on a lyric
// string (each syllable's notes, bounded for a huge lyric), on a rest, and on a
// macro defined in an included file, and the definition found there.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "lsp/Features.h"

namespace {

using nlohmann::json;

struct FeaturesTest : ::testing::Test {
    std::string uri = "file:///songs/song.mml";
    std::string path = "/songs/song.mml";
    std::string text;
    CheckResult checked;
    ReferenceTables tables = ReferenceTables::fromTexts("", "", "");
    std::map<std::string, std::string> disk;

    DocumentView view() {
        return {uri, path, text, checked, tables, {"/songs/parts"},
                [this](const std::string& file) -> std::optional<std::string> {
                    const auto found = disk.find(file);
                    if (found == disk.end()) return std::nullopt;
                    return found->second;
                }};
    }
    std::string hoverText(int64_t line, int64_t character) {
        const json hover = hoverAt(view(), line, character);
        return hover.is_null() ? "" : hover["contents"]["value"].get<std::string>();
    }
    void syllable(int32_t column, const std::string& syllable, std::vector<CheckedLanding> landings,
                  int64_t count) {
        // Filled in member by member: g++ 12 at -O3 takes the nested braces' string
        // for uninitialised.
        CheckedSyllable& entry = checked.syllables.emplace_back();
        entry.place = CheckedPlace{path, 1, column, column + 1};
        entry.text = syllable;
        entry.landings = std::move(landings);
        entry.landingCount = count;
    }
};

TEST_F(FeaturesTest, LyricHoverListsEachSyllablesNotesOnce) {
    text = "c d e \"\xE3\x81\x8B\xE3\x81\x95\"";  // c d e "かさ"
    // The second syllable sung by two uses of a macro: one entry, both notes.
    syllable(7, "\xE3\x81\x8B", {{1, 60, 1, 1}}, 1);
    syllable(8, "\xE3\x81\x95", {{1, 62, 1, 2}}, 1);
    syllable(8, "\xE3\x81\x95", {{1, 64, 2, 1}}, 1);
    const std::string hover = hoverText(0, 8);
    EXPECT_NE(hover.find("2 syllables"), std::string::npos) << hover;
    EXPECT_NE(hover.find("`\xE3\x81\x8B` \xE2\x86\x92 C4 at 1:1\n"), std::string::npos) << hover;
    EXPECT_NE(hover.find("`\xE3\x81\x95` \xE2\x86\x92 D4 at 1:2, E4 at 2:1"), std::string::npos) << hover;
    EXPECT_EQ(hover.find("track"), std::string::npos) << hover;  // one track: not named
    // A string no syllable of which reached a note has no hover.
    text = "\"x\" " + text;
    EXPECT_EQ(hoverText(0, 1), "");
}

TEST_F(FeaturesTest, LyricHoverIsBoundedForHugeLyricsAndLoops) {
    text = "\"" + std::string(100, 'a') + "\"";
    for (int32_t column = 1; column <= 100; ++column) {
        std::vector<CheckedLanding> landings(CheckedSyllable::kLandingsKept, {2, 60, 1, 1});
        landings.back().track = 3;
        syllable(column, "a", landings, 50);  // a loop of 50 passes
    }
    const std::string hover = hoverText(0, 40);
    EXPECT_NE(hover.find("100 syllables"), std::string::npos);
    EXPECT_NE(hover.find("\xE2\x80\xA6 and 76 more"), std::string::npos) << hover;
    EXPECT_NE(hover.find("C4 at 1:1 (track 3) \xE2\x80\xA6 and 42 more"), std::string::npos) << hover;
    EXPECT_LT(hover.size(), 8000u);
}

TEST_F(FeaturesTest, RestHoverGivesLengthValueAndStart) {
    text = "c4 r8.";
    checked.rests.push_back({{path, 1, 3, 6}, 1, 360, 1, 2, 0});
    EXPECT_EQ(hoverText(0, 4),
              "**rest**, 360 ticks (note value 8.)\n\ntrack 1, starts at 1:2:0 (bar:beat:tick)");
    EXPECT_EQ(hoverText(0, 1), "");  // the note has no record here: nothing
}

TEST_F(FeaturesTest, MacrosOfIncludedFilesHoverAndLeadThere) {
    text = ".include \"a.mml\"\nc \\riff \\K \\none\n";
    // a.mml beside the song includes b.mml, found in the include folder, and
    // includes itself again (followed once).
    disk["/songs/a.mml"] = ".include \"b.mml\"\n.include \"a.mml\"\n.macro \\riff { c d }\n";
    disk["/songs/parts/b.mml"] = "\n.equ \\K o5\n";
    const std::string riff = hoverText(1, 3);
    EXPECT_NE(riff.find("expands to\n```\n c d \n```"), std::string::npos) << riff;
    EXPECT_NE(riff.find("defined in a.mml, line 3"), std::string::npos) << riff;
    EXPECT_NE(hoverText(1, 9).find("o5"), std::string::npos);
    EXPECT_EQ(hoverText(1, 12), "");
    const json definition = definitionAt(view(), 1, 9);
    EXPECT_EQ(definition["uri"], "file:///songs/parts/b.mml");
    EXPECT_EQ(definition["range"]["start"]["line"], 1);
    EXPECT_EQ(definition["range"]["start"]["character"], 5);
    EXPECT_TRUE(definitionAt(view(), 1, 12).is_null());
    // The names of included files are offered too.
    const json items = completionAt(view(), 1, 2);
    bool offered = false;
    for (const json& item : items) offered = offered || item["label"] == "\\K";
    EXPECT_TRUE(offered);
}

}  // namespace
