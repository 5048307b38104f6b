// Keeps doc/manual.md true to the program:
// - every fenced block marked "mml song" is compiled by the real program (with
//   -u, as the manual is UTF-8) and gives the result stated beside it: the
//   block marked "text result" right after it holds the exact lines printed
//   after the settings report; without one the song must compile cleanly.
//   Blocks marked "mml file NAME" before a song are written beside it as NAME.
// - every message of the catalogue is quoted in the manual;
// - every command the compiler dispatches has a row in a command table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ProgramRun.h"

namespace fs = std::filesystem;

namespace {

const std::string kSuccess = "errors: 0\nwarns: 0\nSuccessful.\n";

struct Block {
    std::string info;  // the words after the opening fence
    std::string text;
    int line = 0;      // line of the opening fence
    bool followsBlock = false;  // only blank lines since the previous block
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

const std::vector<std::string>& manualLines() {
    static const std::vector<std::string> result = lines(readFile(TUVO_SOURCE_DIR "/doc/manual.md"));
    return result;
}

std::vector<Block> fencedBlocks() {
    std::vector<Block> blocks;
    const auto& all = manualLines();
    bool inside = false;
    bool onlyBlanks = false;
    for (size_t i = 0; i < all.size(); ++i) {
        const std::string& line = all[i];
        if (line.rfind("```", 0) == 0) {
            if (inside) {
                inside = false;
                onlyBlanks = true;
            } else {
                inside = true;
                blocks.push_back({line.substr(3), "", static_cast<int>(i + 1), onlyBlanks});
            }
        } else if (inside) {
            blocks.back().text += line + "\n";
        } else if (!line.empty()) {
            onlyBlanks = false;
        }
    }
    return blocks;
}

struct SongExample {
    int line = 0;
    std::string source;
    std::vector<std::pair<std::string, std::string>> files;  // name, text
    std::string result = kSuccess;
};

std::vector<SongExample> songExamples() {
    std::vector<SongExample> songs;
    std::vector<std::pair<std::string, std::string>> files;
    const std::vector<Block> blocks = fencedBlocks();
    for (size_t i = 0; i < blocks.size(); ++i) {
        const Block& block = blocks[i];
        if (block.info.rfind("mml file ", 0) == 0) {
            files.emplace_back(block.info.substr(9), block.text);
        } else if (block.info == "mml song") {
            SongExample song{block.line, block.text, std::move(files), kSuccess};
            files.clear();
            if (i + 1 < blocks.size() && blocks[i + 1].info == "text result" &&
                blocks[i + 1].followsBlock)
                song.result = blocks[i + 1].text;
            songs.push_back(std::move(song));
        }
    }
    return songs;
}

// What the program prints after the banner and the settings report.
std::string afterSettings(const std::string& output) {
    const size_t settings = output.find("\nEXEPATH:");
    if (settings == std::string::npos) return output;
    const size_t end = output.find("\n\n", settings + 1);
    return end == std::string::npos ? output : output.substr(end + 2);
}

TEST(ManualTest, EverySongExampleGivesItsStatedResult) {
    const std::vector<SongExample> songs = songExamples();
    ASSERT_GE(songs.size(), 10u) << "the manual lost its song examples";
    for (const SongExample& song : songs) {
        const ScratchFolder scratch;
        const fs::path& work = scratch.path();
        for (const auto& [name, text] : song.files) std::ofstream(work / name, std::ios::binary) << text;
        std::ofstream(work / "song.mml", std::ios::binary) << song.source;
        const ProgramRun run = runProgram(TUVO_PROGRAM, work, {"-u", "song.mml"});
        EXPECT_EQ(afterSettings(run.output), song.result)
            << "the song at doc/manual.md line " << song.line << " prints something else";
        EXPECT_EQ(run.status, song.result.ends_with("Successful.\n") ? 0 : 1)
            << "doc/manual.md line " << song.line;
        EXPECT_EQ(run.status == 0, fs::exists(work / "song.vsq")) << "doc/manual.md line " << song.line;
    }
}

bool quotedInManual(const std::string& text) {
    const std::string quoted = "`" + text + "`";
    return std::any_of(manualLines().begin(), manualLines().end(),
                       [&](const std::string& line) { return line.find(quoted) != std::string::npos; });
}

TEST(ManualTest, EveryCatalogueMessageIsDocumented) {
    // Each entry of the catalogue is a comment line with its text, a comment
    // line with its gloss in parentheses, and the constant.
    const std::vector<std::string> header = lines(readFile(TUVO_SOURCE_DIR "/src/diag/Messages.h"));
    const std::regex constant(R"(inline constexpr const char (k\w+)\[\])");
    std::string missing;
    int found = 0;
    for (size_t i = 0; i < header.size(); ++i) {
        std::smatch match;
        if (!std::regex_search(header[i], match, constant)) continue;
        size_t text = i;
        while (text > 0 && header[text - 1].rfind("//", 0) == 0) --text;
        ASSERT_LT(text, i) << match[1] << " has no text in a comment above it";
        const std::string message = header[text].substr(3);
        ++found;
        if (!quotedInManual(message)) missing += "  " + match[1].str() + ": `" + message + "`\n";
    }
    EXPECT_GT(found, 50);
    EXPECT_TRUE(missing.empty())
        << "doc/manual.md does not quote these catalogue messages; add each to the messages "
           "section with its English gloss, when it appears and how to fix it:\n"
        << missing;
}

// Whether a row of a command table starts with a quoted form of `command`
// (letters compared without case; the form may go on with anything but a letter).
bool hasCommandRow(const std::string& command) {
    const std::regex quoted("`([^`]+)`");
    for (const std::string& line : manualLines()) {
        if (line.rfind("| ", 0) != 0) continue;
        const std::string firstCell = line.substr(0, line.find(" |", 1));
        for (std::sregex_iterator it(firstCell.begin(), firstCell.end(), quoted), end; it != end; ++it) {
            std::string form = (*it)[1];
            if (form.size() < command.size()) continue;
            std::transform(form.begin(), form.end(), form.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            if (form.compare(0, command.size(), command) != 0) continue;
            if (form.size() == command.size() ||
                !std::isalpha(static_cast<unsigned char>(form[command.size()])))
                return true;
        }
    }
    return false;
}

TEST(ManualTest, EveryCommandHasATableRow) {
    // The command codes the parser sends by name or by character, and those
    // it reads by tokens of their own: notes, loop brackets and track numbers
    // (whose code '0' stands for any track list).
    const std::string codes = readFile(TUVO_SOURCE_DIR "/src/song/CommandCode.h");
    std::vector<std::string> commands = {"C", "D", "E", "F", "G", "A", "B", "/:", ":/", "1"};
    const std::regex sent(R"re(= '([^0])'|= commandCode\("([^"]+)"\))re");
    for (std::sregex_iterator it(codes.begin(), codes.end(), sent), end; it != end; ++it)
        commands.push_back((*it)[1].matched ? (*it)[1].str() : (*it)[2].str());
    std::string missing;
    for (const std::string& command : commands)
        if (!hasCommandRow(command) && missing.find(" " + command + "\n") == std::string::npos)
            missing += "  " + command + "\n";
    EXPECT_GT(commands.size(), 30u);
    EXPECT_TRUE(missing.empty())
        << "doc/manual.md has no command-table row (first cell `form...`) for:\n" << missing;
}

}  // namespace
