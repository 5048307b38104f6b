// The run's map of files and macro uses: ids from 1, names and include
// directives read back, and the way from a location a macro made out to the
// text as read, which ends whatever ids it is handed.
#include <gtest/gtest.h>

#include "song/SourceMap.h"

namespace {

TEST(SourceMap, FilesTakeIdsFromOneWithTheirNamesAndDirectives) {
    SourceMap map;
    EXPECT_EQ(map.addFile("song.mml"), 1);
    EXPECT_EQ(map.addFile("inc/a.mml", SourceLocation{1, 3, 0, 8}), 2);
    EXPECT_EQ(map.fileCount(), 2);
    EXPECT_EQ(map.fileName(2), "inc/a.mml");
    EXPECT_EQ(map.includedFrom(2).line, 3);
    EXPECT_FALSE(map.includedFrom(1).known());
    // Ids the map does not hold name nothing.
    EXPECT_EQ(map.fileName(0), "");
    EXPECT_EQ(map.fileName(3), "");
    EXPECT_FALSE(map.includedFrom(-1).known());
}

TEST(SourceMap, ExpansionLocationLeadsOutThroughEveryUse) {
    SourceMap map;
    map.addFile("song.mml");
    const int32_t outer = map.addUse(SourceLocation{1, 9, 2, 8});
    const int32_t inner = map.addUse(SourceLocation{1, 2, 18, 24, outer});
    const SourceLocation made{1, 1, 16, 18, inner};
    const SourceLocation read = map.expansionLocation(made);
    EXPECT_EQ(read.line, 9);
    EXPECT_EQ(read.column, 2);
    EXPECT_EQ(read.expansion, 0);
    const SourceLocation written{1, 4, 0, 1};
    EXPECT_EQ(map.expansionLocation(written).line, 4);
}

// A use cannot be made by itself or by a later use: such a link is cut, so
// every chain ends.
TEST(SourceMap, ChainsOfUsesAndDirectivesAlwaysEnd) {
    SourceMap map;
    map.addFile("song.mml");
    const int32_t first = map.addUse(SourceLocation{1, 1, 0, 2, 1});
    const int32_t second = map.addUse(SourceLocation{1, 1, 0, 2, 7});
    EXPECT_EQ(map.use(first).expansion, 0);
    EXPECT_EQ(map.use(second).expansion, 0);
    EXPECT_EQ(map.expansionLocation(SourceLocation{1, 5, 0, 1, 99}).file, 0);
    EXPECT_EQ(map.addFile("self.mml", SourceLocation{2, 1, 0, 8}), 2);
    EXPECT_FALSE(map.includedFrom(2).known());
}

}  // namespace
