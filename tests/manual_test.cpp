// Keeps the documents of doc/ (the manual, the tutorial, the quick reference
// card, the index, troubleshooting) true to the program:
// - every fenced block marked "mml song" is compiled by the real program (with
//   -u, as the documents are UTF-8, and with any options written after "mml
//   song", before the input file) and gives the result stated beside it: the
//   block marked "text result" right after it holds the exact lines printed
//   after the settings report; without one the song must compile cleanly. A
//   block marked "text hints" after those holds the exact standard error;
//   without one the song prints nothing there. Blocks marked "mml file NAME"
//   before a song are written beside it as NAME. Files named by -m and -x exist
//   after a successful run.
// - every message of the catalogue is quoted in the manual and linked from the
//   index;
// - every command the compiler dispatches has a row in a command table of the
//   manual and of the quick reference card, and a link in the index;
// - every link from one document to another leads to an existing heading;
// - the tutorial's steps build on each other: each step's song keeps every line
//   of the song before (as a whole line or a part of one), but in the steps
//   that rewrite it, and every command a step with a song shows compiles
//   exactly that song with exactly its options.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
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

const fs::path kDocs = TUVO_SOURCE_DIR "/doc";

const std::vector<std::string>& documentLines(const std::string& name) {
    static std::map<std::string, std::vector<std::string>> cache;
    auto found = cache.find(name);
    if (found == cache.end()) found = cache.emplace(name, lines(readFile(kDocs / name))).first;
    return found->second;
}

const std::vector<std::string>& manualLines() { return documentLines("manual.md"); }

std::vector<std::string> documentNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kDocs))
        if (entry.path().extension() == ".md") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<Block> fencedBlocks(const std::string& document) {
    std::vector<Block> blocks;
    const auto& all = documentLines(document);
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
    std::string where;  // document and line, for failure reports
    std::vector<std::string> options;
    std::string source;
    std::vector<std::pair<std::string, std::string>> files;  // name, text
    std::string result = kSuccess;
    std::string hints;  // standard error
};

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

// The block right after `blocks[i]` when it carries `info` and only blank lines
// stand between them.
const Block* blockAfter(const std::vector<Block>& blocks, size_t i, const std::string& info) {
    if (i + 1 < blocks.size() && blocks[i + 1].info == info && blocks[i + 1].followsBlock)
        return &blocks[i + 1];
    return nullptr;
}

std::vector<SongExample> songExamples() {
    std::vector<SongExample> songs;
    for (const std::string& document : documentNames()) {
        std::vector<std::pair<std::string, std::string>> files;
        const std::vector<Block> blocks = fencedBlocks(document);
        for (size_t i = 0; i < blocks.size(); ++i) {
            const Block& block = blocks[i];
            if (block.info.rfind("mml file ", 0) == 0) {
                files.emplace_back(block.info.substr(9), block.text);
                continue;
            }
            std::vector<std::string> info = words(block.info);
            if (info.size() < 2 || info[0] != "mml" || info[1] != "song") continue;
            SongExample song{"doc/" + document + " line " + std::to_string(block.line),
                             std::vector<std::string>(info.begin() + 2, info.end()), block.text,
                             std::move(files), kSuccess, ""};
            files.clear();
            size_t last = i;
            if (const Block* result = blockAfter(blocks, last, "text result")) {
                song.result = result->text;
                ++last;
            }
            if (const Block* hints = blockAfter(blocks, last, "text hints")) song.hints = hints->text;
            songs.push_back(std::move(song));
        }
    }
    return songs;
}

// The files that the options name for -m and -x.
std::vector<std::string> exportedFiles(const std::vector<std::string>& options) {
    std::vector<std::string> result;
    for (size_t i = 0; i + 1 < options.size(); ++i)
        if (options[i] == "-m" || options[i] == "-x") result.push_back(options[i + 1]);
    return result;
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
    ASSERT_GE(songs.size(), 30u) << "the documents lost their song examples";
    const fs::path work = fs::temp_directory_path() / ("tuvo-manual-" + std::to_string(getpid()));
    for (const SongExample& song : songs) {
        const ScratchFolder scratch;
        const fs::path& work = scratch.path();
        for (const auto& [name, text] : song.files) std::ofstream(work / name, std::ios::binary) << text;
        std::ofstream(work / "song.mml", std::ios::binary) << song.source;
        std::vector<std::string> args = {"-u"};
        args.insert(args.end(), song.options.begin(), song.options.end());
        args.push_back("song.mml");
        const ProgramRun run = runProgram(TUVO_PROGRAM, work, args);
        EXPECT_EQ(afterSettings(run.output), song.result)
            << "the song at " << song.where << " prints something else";
        EXPECT_EQ(run.errors, song.hints) << "the song at " << song.where << " hints something else";
        const bool succeeded = song.result.ends_with("Successful.\n");
        EXPECT_EQ(run.status, succeeded ? 0 : 1) << song.where;
        EXPECT_EQ(run.status == 0, fs::exists(work / "song.vsq")) << song.where;
        for (const std::string& exported : exportedFiles(song.options))
            EXPECT_EQ(succeeded, fs::exists(work / exported)) << song.where << ": " << exported;
    }
}

bool contains(const std::vector<std::string>& document, const std::string& text) {
    return std::any_of(document.begin(), document.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

bool quotedInManual(const std::string& text) { return contains(manualLines(), "`" + text + "`"); }

bool linkedFromIndex(const std::string& text) {
    return contains(documentLines("index.md"), "[`" + text + "`](");
}

TEST(ManualTest, EveryCatalogueMessageIsDocumented) {
    // Each entry of the catalogue is a comment line with its text, a comment
    // line with its gloss in parentheses, and the constant.
    const std::vector<std::string> header = lines(readFile(TUVO_SOURCE_DIR "/src/diag/Messages.h"));
    const std::regex constant(R"(inline constexpr Message (k\w+)\{)");
    std::string missing;
    std::string unlinked;
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
        if (!linkedFromIndex(message)) unlinked += "  " + match[1].str() + ": `" + message + "`\n";
    }
    EXPECT_GT(found, 50);
    EXPECT_TRUE(missing.empty())
        << "doc/manual.md does not quote these catalogue messages; add each to the messages "
           "section with its English gloss, when it appears and how to fix it:\n"
        << missing;
    EXPECT_TRUE(unlinked.empty())
        << "doc/index.md does not link these catalogue messages to their manual entry:\n"
        << unlinked;
}

// Whether a row of a table in `document` starts with a quoted form of
// `command` (letters compared without case; the form may go on with anything
// but a letter); with `linked`, the first cell must be a link.
bool hasCommandRow(const std::vector<std::string>& document, const std::string& command,
                   bool linked = false) {
    const std::regex quoted("`([^`]+)`");
    for (const std::string& line : document) {
        if (line.rfind(linked ? "| [" : "| ", 0) != 0) continue;
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
    // The command codes the parser sends by name or by character (a curve's
    // command may be named in its row of the curve table alone), and those it
    // reads by tokens of their own: notes, loop brackets and track numbers
    // (whose code '0' stands for any track list).
    const std::string codes = readFile(TUVO_SOURCE_DIR "/src/song/CommandCode.h") +
                              readFile(TUVO_SOURCE_DIR "/src/song/CurveTable.h");
    std::vector<std::string> commands = {"C", "D", "E", "F", "G", "A", "B", "/:", ":/", "1"};
    const std::regex sent(R"re(= '([^0])'|= commandCode\("([^"]+)"\))re");
    for (std::sregex_iterator it(codes.begin(), codes.end(), sent), end; it != end; ++it)
        commands.push_back((*it)[1].matched ? (*it)[1].str() : (*it)[2].str());
    EXPECT_GT(commands.size(), 30u);
    const struct {
        const char* document;
        bool linked;
    } places[] = {{"manual.md", false}, {"card.md", false}, {"index.md", true}};
    for (const auto& place : places) {
        std::string missing;
        for (const std::string& command : commands)
            if (!hasCommandRow(documentLines(place.document), command, place.linked) &&
                missing.find(" " + command + "\n") == std::string::npos)
                missing += "  " + command + "\n";
        EXPECT_TRUE(missing.empty()) << "doc/" << place.document
                                     << " has no command-table row (first cell `form...`"
                                     << (place.linked ? ", linked" : "") << ") for:\n"
                                     << missing;
    }
}

// The anchor a heading gets: lower case, punctuation dropped, blanks made
// hyphens (letters beyond ASCII are kept), and a count added to repeats.
std::vector<std::string> headingAnchors(const std::vector<std::string>& document) {
    std::vector<std::string> anchors;
    std::map<std::string, int> seen;
    bool inFence = false;
    for (const std::string& line : document) {
        if (line.rfind("```", 0) == 0) inFence = !inFence;
        if (inFence || line.empty() || line[0] != '#') continue;
        const size_t text = line.find_first_not_of('#');
        if (text == std::string::npos || line[text] != ' ') continue;
        std::string anchor;
        for (size_t i = text + 1; i < line.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(line[i]);
            if (c >= 0x80 || std::isalnum(c) || c == '-' || c == '_')
                anchor.push_back(static_cast<char>(std::tolower(c)));
            else if (c == ' ')
                anchor.push_back('-');
        }
        const int repeats = seen[anchor]++;
        anchors.push_back(repeats == 0 ? anchor : anchor + "-" + std::to_string(repeats));
    }
    return anchors;
}

TEST(ManualTest, EveryLinkBetweenDocumentsLeadsToAHeading) {
    const std::regex link(R"(\]\(([^)#:]*)(#([^)]*))?\))");
    std::string broken;
    int links = 0;
    for (const std::string& document : documentNames()) {
        for (const std::string& line : documentLines(document)) {
            for (std::sregex_iterator it(line.begin(), line.end(), link), end; it != end; ++it) {
                const std::string target = (*it)[1].str().empty() ? document : (*it)[1].str();
                ++links;
                if (!fs::exists(kDocs / target)) {
                    broken += "  " + document + ": " + it->str() + " (no such file)\n";
                    continue;
                }
                if (!(*it)[2].matched) continue;
                const std::vector<std::string> anchors = headingAnchors(documentLines(target));
                if (std::find(anchors.begin(), anchors.end(), (*it)[3].str()) == anchors.end())
                    broken += "  " + document + ": " + it->str() + " (no such heading)\n";
            }
        }
    }
    EXPECT_GT(links, 100);
    EXPECT_TRUE(broken.empty()) << "broken links in doc/:\n" << broken;
}

// The step (from "## Step N") each line of the tutorial belongs to; 0 before
// the first.
std::vector<int> tutorialSteps(const std::vector<std::string>& tutorial) {
    std::vector<int> steps;
    int step = 0;
    for (const std::string& line : tutorial) {
        if (line.rfind("## Step ", 0) == 0) step = std::atoi(line.c_str() + 8);
        steps.push_back(step);
    }
    return steps;
}

TEST(ManualTest, TutorialStepsBuildOnEachOtherAndShowTheirCommands) {
    // The steps that rewrite lines of the song before instead of adding to
    // them: the loop in place of the repeated bars, and the first track
    // selected on a line of its own.
    const std::vector<int> rewriting = {5, 6};
    const std::vector<std::string>& tutorial = documentLines("tutorial.md");
    const std::vector<int> steps = tutorialSteps(tutorial);
    struct StepSong {
        int step;
        std::vector<std::string> lines;
        std::vector<std::string> options;
    };
    std::vector<StepSong> songs;
    for (const Block& block : fencedBlocks("tutorial.md")) {
        const std::vector<std::string> info = words(block.info);
        if (info.size() < 2 || info[0] != "mml" || info[1] != "song") continue;
        songs.push_back({steps[static_cast<size_t>(block.line - 1)], lines(block.text),
                         std::vector<std::string>(info.begin() + 2, info.end())});
    }
    ASSERT_GE(songs.size(), 9u) << "the tutorial lost its steps";
    for (size_t i = 1; i < songs.size(); ++i) {
        EXPECT_GT(songs[i].step, songs[i - 1].step) << "one song per step";
        if (std::find(rewriting.begin(), rewriting.end(), songs[i].step) != rewriting.end()) continue;
        for (const std::string& kept : songs[i - 1].lines) {
            EXPECT_TRUE(contains(songs[i].lines, kept))
                << "step " << songs[i].step << " drops the line '" << kept << "' of step "
                << songs[i - 1].step;
        }
    }
    // A command shown in a step with a song: "tuvommlc -u", the song's
    // options, "song.mml".
    int commands = 0;
    for (size_t i = 0; i < tutorial.size(); ++i) {
        if (tutorial[i].rfind("    tuvommlc ", 0) != 0) continue;
        const auto song = std::find_if(songs.begin(), songs.end(),
                                       [&](const StepSong& s) { return s.step == steps[i]; });
        if (song == songs.end()) continue;
        std::vector<std::string> expected = {"tuvommlc", "-u"};
        expected.insert(expected.end(), song->options.begin(), song->options.end());
        expected.push_back("song.mml");
        EXPECT_EQ(words(tutorial[i]), expected)
            << "doc/tutorial.md line " << i + 1 << " shows another command than step "
            << song->step << " compiles";
        ++commands;
    }
    EXPECT_GE(commands, 2);
}

}  // namespace
