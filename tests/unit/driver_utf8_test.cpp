// Option -u: it turns the UTF-8 mode on, it adds its line to the usage text only
// for those who gave it, and the settings report keeps the typed paths as they are.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "driver/CommandLine.h"
#include "driver/Console.h"
#include "text/Encoding.h"

namespace {

const std::string kUsage =
    "tuvommlc [options] [-o outputfile] inputfile\n"
    "\n"
    "option:\n"
    " -p phonetic-symbol-filename\n"
    " -I<include-dir>\n";
const std::string kUtf8Line = " -u  read sources as UTF-8 and print in UTF-8\n";

class Utf8OptionTest : public testing::Test {
protected:
    void SetUp() override { setUtf8Mode(false); }
    void TearDown() override { setUtf8Mode(false); }

    static CommandLine read(std::vector<std::string> args) {
        args.insert(args.begin(), "tuvommlc");
        return parseCommandLine(args, "/opt/tuvo");
    }
    static std::optional<RunSettings> parse(std::vector<std::string> args) {
        CommandLine commandLine = read(std::move(args));
        if (commandLine.request != Request::Run) return std::nullopt;
        return commandLine.settings;
    }

    static std::string usage() {
        testing::internal::CaptureStdout();
        printUsage(false);
        return testing::internal::GetCapturedStdout();
    }
};

// Reading the command line switches nothing: the settings say UTF-8.
TEST_F(Utf8OptionTest, OptionAsksForUtf8AndLeavesTheOtherSettings) {
    const auto plain = parse({"-o", "x.vsq", "in.mml"});
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->utf8);
    const auto settings = parse({"-u", "-o", "x.vsq", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->utf8);
    EXPECT_FALSE(utf8Mode());
    EXPECT_EQ(settings->inputPath, plain->inputPath);
    EXPECT_EQ(settings->outputPath, plain->outputPath);
    EXPECT_EQ(settings->includeDirectories, plain->includeDirectories);
}

TEST_F(Utf8OptionTest, LettersAfterTheOptionAreIgnored) {
    const auto settings = parse({"-utf8", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->utf8);
}

TEST_F(Utf8OptionTest, ValueOfAnotherOptionIsNotTheOption) {
    const auto settings = parse({"-o", "-u", "in.mml"});
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->outputPath, "-u");
    EXPECT_FALSE(settings->utf8);
}

TEST_F(Utf8OptionTest, UsageTextIsUnchangedWithoutTheOption) {
    EXPECT_FALSE(parse({"-z", "in.mml"}));
    EXPECT_EQ(usage(), kUsage + "\n");
}

TEST_F(Utf8OptionTest, UsageShowsTheOptionToThoseWhoGaveIt) {
    const std::vector<std::vector<std::string>> rejected = {
        {"-u"},                       // no input
        {"-u", "-z", "in.mml"},       // a bad option after it
        {"-z", "-u", "in.mml"},       // a bad option before it
        {"in.mml", "-u"},             // written after the input
        {"-u", "a.mml", "b.mml"},     // two inputs
    };
    for (const auto& args : rejected) {
        const CommandLine commandLine = read(args);
        EXPECT_EQ(commandLine.request, Request::Usage) << args[0];
        setUtf8Mode(commandLine.settings.utf8);  // as the program does
        EXPECT_EQ(usage(), kUsage + kUtf8Line + "\n") << args[0];
    }
    EXPECT_FALSE(read({"-o", "-u"}).settings.utf8);  // a value, and no input
}

TEST_F(Utf8OptionTest, SettingsKeepTypedPathsInUtf8Mode) {
    RunSettings settings;
    settings.inputPath = "\xE6\x9B\xB2.mml";     // typed on a UTF-8 terminal
    settings.outputPath = "\x8B\xC8.vsq";        // any bytes: printed as they are
    settings.dictionaryPath = "d.dic";
    setUtf8Mode(true);
    testing::internal::CaptureStdout();
    printSettings(settings, "/opt/\xE6\x9B\xB2");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "INPUT:    \xE6\x9B\xB2.mml\n"
              "OUTPUT:   \x8B\xC8.vsq\n"
              "PHONETIC: d.dic\n"
              "EXEPATH:  /opt/\xE6\x9B\xB2\n"
              "\n");
}

}  // namespace
