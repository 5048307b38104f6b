// Tests of the table of output formats: each row has an option letter of its
// own, found by that letter, and its lines fit the help and usage columns.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "driver/CommandLine.h"
#include "driver/OutputFormats.h"

namespace {

TEST(OutputFormatsTest, EachRowHasALetterOfItsOwn) {
    std::set<char> letters{'o', 'p', 'I', 'u', 'h'};  // the other options
    for (const OutputFormat& format : outputFormats()) {
        EXPECT_TRUE(letters.insert(format.letter).second) << format.letter;
        EXPECT_EQ(outputFormatOf(format.letter), &format);
        EXPECT_EQ(format.usageLine.substr(0, 4), std::string(" -") + format.letter + " ");
        EXPECT_EQ(format.helpLine.substr(0, 4), std::string(" -") + format.letter + " ");
        // The help's descriptions start in one column, after the longest option.
        EXPECT_EQ(format.helpLine.find_first_not_of(' ', format.helpLine.find(' ', 4)), 30u);
        EXPECT_EQ(format.settingsLabel.size(), 10u);
        EXPECT_NE(format.write, nullptr);
    }
    EXPECT_EQ(outputFormatOf('o'), nullptr);
}

// Every row's option takes a path, and the run settings keep it by letter.
TEST(OutputFormatsTest, EveryFormatsOptionTakesItsPath) {
    for (const OutputFormat& format : outputFormats()) {
        const std::string option = std::string("-") + format.letter;
        const CommandLine line =
            parseCommandLine({"tuvommlc", option, "out.file", "in.mml"}, "/opt/tuvo");
        // The sung preview's option is refused without its module, which
        // /opt/tuvo lacks (see the command line's test).
        if (format.letter != 'a') {
            ASSERT_EQ(line.request, Request::Run) << option;
            EXPECT_EQ(exportPath(line.settings, format.letter), "out.file");
        }
        // The usage text lists the row's group to those who gave its option.
        const std::vector<std::string> args{"tuvommlc", option + "x"};
        EXPECT_EQ(mentionsExportOption(args), format.usageGroup == UsageGroup::Exports) << option;
        EXPECT_EQ(mentionsProjectOption(args), format.usageGroup == UsageGroup::Projects) << option;
        EXPECT_EQ(mentionsPreviewOption(args), format.usageGroup == UsageGroup::Preview) << option;
    }
}

}  // namespace
