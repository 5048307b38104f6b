// The command line: options, rejected forms, the default paths, the folder of
// the executable, and the settings and verdict lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "driver/CommandLine.h"
#include "driver/Console.h"
#include "driver/SungPreviewModule.h"

namespace {

const std::string kExeDir = "/opt/tuvo";

std::optional<RunSettings> parse(std::vector<std::string> args) {
    args.insert(args.begin(), "tuvommlc");
    CommandLine commandLine = parseCommandLine(args, kExeDir);
    if (commandLine.request != Request::Run) return std::nullopt;
    return commandLine.settings;
}

TEST(CommandLineTest, InputAloneTakesEveryDefault) {
    const auto settings = parse({"songs/song.mml"});
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->inputPath, "songs/song.mml");
    EXPECT_EQ(settings->outputPath, "songs/song.vsq");
    EXPECT_EQ(settings->dictionaryPath, "/opt/tuvo/phonetic_symbols.dic");
    EXPECT_TRUE(settings->dictionaryIsDefault);
    EXPECT_EQ(settings->includeDirectories, (std::vector<std::string>{"/opt/tuvo/include"}));
}

// The sung preview's option is refused, naming the libraries, when its module
// cannot be loaded: none in the program's folder, or a file there of its name
// that is no module. Either way the program's refusal is a build's without
// the preview.
TEST(CommandLineTest, SungPreviewNeedsItsModule) {
    const std::string refusal = "option '-a': " + std::string(kSungPreviewMissing);
    CommandLine line = parseCommandLine({"tuvommlc", "-a", "song.wav", "in.mml"}, kExeDir);
    EXPECT_EQ(line.request, Request::Usage);
    EXPECT_EQ(line.reason, refusal);
    EXPECT_NE(line.reason.find("libespeak-ng-dev"), std::string::npos) << line.reason;

    const ScratchFolder folder;
    folder.write(TUVO_SUNG_PREVIEW_MODULE, "not a module\n");
    line = parseCommandLine({"tuvommlc", "-a", "song.wav", "in.mml"}, folder.path().string());
    EXPECT_EQ(line.request, Request::Usage);
    EXPECT_EQ(line.reason, refusal);

    // No other option needs the module.
    line = parseCommandLine({"tuvommlc", "-m", "song.mid", "in.mml"}, kExeDir);
    EXPECT_EQ(line.request, Request::Run);
    EXPECT_TRUE(mentionsPreviewOption({"tuvommlc", "-a"}));
    EXPECT_FALSE(mentionsPreviewOption({"tuvommlc", "-m", "a.mid"}));
}

TEST(CommandLineTest, IncludeDirectoriesKeepOrderAndEndWithTheBuiltInOne) {
    const auto settings = parse({"-Iinc", "-Ilib", "-I-odd dir", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->includeDirectories,
              (std::vector<std::string>{"inc", "lib", "-odd dir", "/opt/tuvo/include"}));
    EXPECT_EQ(settings->inputPath, "in.mml");
}

TEST(CommandLineTest, OutputAndDictionaryOptions) {
    auto settings = parse({"-o", "out.vsq", "-p", "my.dic", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->outputPath, "out.vsq");
    EXPECT_EQ(settings->dictionaryPath, "my.dic");
    EXPECT_FALSE(settings->dictionaryIsDefault);

    // A later occurrence replaces an earlier one.
    settings = parse({"-p", "a.dic", "-o", "a.vsq", "-p", "b.dic", "-o", "b.vsq", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->dictionaryPath, "b.dic");
    EXPECT_EQ(settings->outputPath, "b.vsq");

    // The argument after -o is taken even when it starts with "-".
    settings = parse({"-o", "-x", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->outputPath, "-x");
    EXPECT_EQ(settings->inputPath, "in.mml");
}

TEST(CommandLineTest, ExportOptionsNameTheirFilesOnlyWhenGiven) {
    auto settings = parse({"-m", "a.mid", "-x", "a.musicxml", "-m", "b.mid", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_EQ(exportPath(*settings, 'm'), "b.mid");
    EXPECT_EQ(exportPath(*settings, 'x'), "a.musicxml");
    settings = parse({"-m", "", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_EQ(exportPath(*settings, 'm'), "");
    EXPECT_EQ(exportPath(*settings, 'x'), "");

    EXPECT_TRUE(mentionsExportOption({"tuvommlc", "in.mml", "-xs.musicxml"}));
    EXPECT_FALSE(mentionsExportOption({"-m", "-o", "in.mml"}));  // the program name is skipped
}

TEST(CommandLineTest, Utf8LyricsGoWithAMidiFileOnly) {
    auto settings = parse({"-8", "-m", "a.mid", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->midiLyricsInUtf8);
    settings = parse({"-m", "a.mid", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_FALSE(settings->midiLyricsInUtf8);
    // Without a MIDI file, also when -m is given empty, -8 is refused.
    EXPECT_FALSE(parse({"-8", "in.mml"}));
    EXPECT_FALSE(parse({"-8", "-m", "", "in.mml"}));
    EXPECT_TRUE(mentionsExportOption({"tuvommlc", "-8", "in.mml"}));
}

TEST(CommandLineTest, HiraganaLyricsGoWithAProjectOrSequences) {
    for (const char* option : {"-s", "-t"}) {
        const auto settings = parse({"--hiragana-lyrics", option, "a.u", "in.mml"});
        ASSERT_TRUE(settings) << option;
        EXPECT_TRUE(settings->hiraganaLyrics);
    }
    const auto settings = parse({"-s", "a.ustx", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_FALSE(settings->hiraganaLyrics);
    EXPECT_FALSE(parse({"--hiragana-lyrics", "in.mml"}));
    EXPECT_FALSE(parse({"--hiragana-lyrics", "-s", "", "-m", "a.mid", "in.mml"}));
    EXPECT_FALSE(parse({"--hiragana", "-s", "a.ustx", "in.mml"}));
    EXPECT_TRUE(mentionsProjectOption({"tuvommlc", "--hiragana-lyrics", "in.mml"}));
    EXPECT_FALSE(mentionsProjectOption({"tuvommlc"}));
}

TEST(CommandLineTest, ProjectOptionsNameTheirFilesAndTheirOwnUsageLines) {
    auto settings = parse({"-s", "a.ustx", "-t", "a.ust", "-tx", "b.ust", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_EQ(exportPath(*settings, 's'), "a.ustx");
    EXPECT_EQ(exportPath(*settings, 't'), "b.ust");
    EXPECT_EQ(exportPath(*settings, 'm'), "");

    EXPECT_TRUE(mentionsProjectOption({"tuvommlc", "-s"}));
    EXPECT_FALSE(mentionsProjectOption({"tuvommlc", "-m", "a.mid", "-x", "a.musicxml"}));
    EXPECT_FALSE(mentionsExportOption({"tuvommlc", "-s", "a.ustx", "-t", "a.ust"}));
}

TEST(CommandLineTest, EmptyOptionValuesFallBackToDefaults) {
    const auto settings = parse({"-o", "", "-p", "", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->outputPath, "in.vsq");
    EXPECT_EQ(settings->dictionaryPath, "/opt/tuvo/phonetic_symbols.dic");
}

TEST(CommandLineTest, RejectedCommandLines) {
    const std::vector<std::vector<std::string>> rejected = {
        {},                                  // no input
        {"-I", "inc", "in.mml"},             // -I needs the folder in the same argument
        {"-z", "in.mml"},                    // unknown letter
        {"-x", "in.mml"},                    // in.mml is the score: no input remains
        {"in.mml", "-m"},                    // -m without its value
        {"-", "in.mml"},                     // a dash alone
        {"in.mml", "-o"},                    // option after the input
        {"-o"},                              // -o without its value
        {"-p"},                              // -p without its value
        {"-oout.vsq", "in.mml"},             // letters after "o" are ignored: in.mml is the output
        {"in.mml", "-o", "x.vsq"},           // three arguments remain
        {"a.mml", "b.mml"},                  // two inputs
        {"-O", "x.vsq", "in.mml"},           // letters are case sensitive
    };
    for (const auto& args : rejected) {
        std::string shown;
        for (const auto& arg : args) shown += "[" + arg + "]";
        EXPECT_FALSE(parse(args)) << shown;
    }
}

TEST(CommandLineTest, HelpAndVersionAreOptions) {
    const auto request = [](std::vector<std::string> args) {
        args.insert(args.begin(), "tuvommlc");
        return parseCommandLine(args, kExeDir).request;
    };
    EXPECT_EQ(request({"--help"}), Request::Help);
    EXPECT_EQ(request({"-h"}), Request::Help);
    EXPECT_EQ(request({"-Iinc", "--help", "-z"}), Request::Help);  // the rest is not looked at
    EXPECT_EQ(request({"--version"}), Request::Version);
    EXPECT_EQ(request({"--versions", "in.mml"}), Request::Usage);
    EXPECT_EQ(request({"in.mml", "--help"}), Request::Usage);     // after the input
    EXPECT_EQ(request({"-o", "--help", "in.mml"}), Request::Run);  // the value of -o
}

TEST(CommandLineTest, RejectionSaysWhichArgumentAndWhy) {
    const auto reason = [](std::vector<std::string> args) {
        args.insert(args.begin(), "tuvommlc");
        return parseCommandLine(args, kExeDir).reason;
    };
    EXPECT_EQ(reason({"-z", "in.mml"}), "unknown option '-z'");
    EXPECT_EQ(reason({"-p"}), "option '-p' needs a value after it");
    EXPECT_EQ(reason({"-o", "a.vsq", "-m"}), "option '-m' needs a value after it");
    EXPECT_EQ(reason({"-x"}), "option '-x' needs a value after it");
    EXPECT_EQ(reason({"-x", "in.mml"}), "no input file given");
    EXPECT_NE(reason({"-xscore", "in.mml"}).find("'-xscore' took the next argument"),
              std::string::npos);
    EXPECT_EQ(reason({}), "no input file given");
    EXPECT_EQ(reason({"a.mml", "b.mml", "-o"}),
              "option '-o' comes after the input file 'a.mml'; write options before the input file");
    EXPECT_EQ(reason({"a.mml", "b.mml", "c.mml"}), "more than one input file: 'a.mml' and 'b.mml'");
    EXPECT_NE(reason({"-pmy.dic", "in.mml"}).find("'-pmy.dic' took the next argument"),
              std::string::npos);
    EXPECT_EQ(reason({"in.mml"}), "");
}

TEST(CommandLineTest, DefaultOutputPath) {
    EXPECT_EQ(defaultOutputPath("song.mml"), "song.vsq");
    EXPECT_EQ(defaultOutputPath("song"), "song.vsq");
    EXPECT_EQ(defaultOutputPath("a.b.mml"), "a.b.vsq");
    EXPECT_EQ(defaultOutputPath("dir.x\\song"), "dir.x\\song.vsq");
    EXPECT_EQ(defaultOutputPath("dir.x/song"), "dir.x/song.vsq");
    EXPECT_EQ(defaultOutputPath("dir.x/a.b/song.mml"), "dir.x/a.b/song.vsq");
    EXPECT_EQ(defaultOutputPath(".mml"), ".vsq");
    EXPECT_EQ(defaultOutputPath("./song"), "./song.vsq");
    EXPECT_EQ(defaultOutputPath("song."), "song.vsq");
    EXPECT_EQ(defaultOutputPath(""), ".vsq");
}

TEST(CommandLineTest, ExeDirectoryIsTheFolderOfThisProgram) {
    const std::string dir = exeDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(dir, TUVO_BINARY_DIR "/tests"));
    EXPECT_EQ(exeDirectory(), dir);
}

TEST(ConsoleTest, SettingsReport) {
    RunSettings settings;
    settings.inputPath = "in.mml";
    settings.outputPath = "out.vsq";
    settings.dictionaryPath = "/opt/tuvo/phonetic_symbols.dic";
    testing::internal::CaptureStdout();
    printSettings(settings, "/opt/tuvo");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "INPUT:    in.mml\n"
              "OUTPUT:   out.vsq\n"
              "PHONETIC: /opt/tuvo/phonetic_symbols.dic\n"
              "EXEPATH:  /opt/tuvo\n"
              "\n");

    settings.exportPaths['x'] = "out.musicxml";
    testing::internal::CaptureStdout();
    printSettings(settings, "/opt/tuvo");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "INPUT:    in.mml\n"
              "OUTPUT:   out.vsq\n"
              "MUSICXML: out.musicxml\n"
              "PHONETIC: /opt/tuvo/phonetic_symbols.dic\n"
              "EXEPATH:  /opt/tuvo\n"
              "\n");
}

TEST(ConsoleTest, VerdictLines) {
    testing::internal::CaptureStdout();
    printVerdict(0, 3, true);
    printVerdict(12, 0, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "errors: 0\nwarns: 3\nSuccessful.\n"
              "errors: 12\nwarns: 0\nFailed.\n");
}

}  // namespace
