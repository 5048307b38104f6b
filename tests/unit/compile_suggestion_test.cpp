// The command suggested for one the compiler does not know.
#include <gtest/gtest.h>

#include <string>

#include "compile/CommandSuggestion.h"

namespace {

TEST(CommandSuggestionTest, CaseAloneOrOneEditFindsTheCommand) {
    EXPECT_EQ(nearestCommandName("@vib"), "@VIB");
    EXPECT_EQ(nearestCommandName("@VB"), "@VIB");
    EXPECT_EQ(nearestCommandName("@VIBB"), "@VIB");
    EXPECT_EQ(nearestCommandName("@sgr"), "@SGR");
    EXPECT_EQ(nearestCommandName("@m"), "@M");
}

TEST(CommandSuggestionTest, NamesTooFarSuggestNothing) {
    EXPECT_EQ(nearestCommandName("@Q"), "");  // one edit from @M, @T and @Z: a guess
    EXPECT_EQ(nearestCommandName("@XYZ"), "");
    EXPECT_EQ(nearestCommandName(""), "");
    EXPECT_EQ(nearestCommandName(std::string(100000, 'V')), "");
}

}  // namespace
