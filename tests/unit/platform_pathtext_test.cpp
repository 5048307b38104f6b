// Cutting and joining paths as text: either separator, and no doubled one.
#include <gtest/gtest.h>

#include "platform/PathText.h"

namespace {

TEST(PathText, FileNameStartsAfterTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(platform::fileNameStart("song.mml"), 0u);
    EXPECT_EQ(platform::fileNameStart("inc/a.mml"), 4u);
    EXPECT_EQ(platform::fileNameStart("a/b\\c.mml"), 4u);
    EXPECT_EQ(platform::fileNameStart("a\\b/c"), 4u);
    EXPECT_EQ(platform::fileNameStart("folder/"), 7u);
}

TEST(PathText, JoiningAddsOneSeparatorUnlessTheFolderEndsInOne) {
    EXPECT_EQ(platform::joinPath("inc", "a.mml", '/'), "inc/a.mml");
    EXPECT_EQ(platform::joinPath("inc/", "a.mml", '/'), "inc/a.mml");
    EXPECT_EQ(platform::joinPath("inc\\", "a.mml", '/'), "inc\\a.mml");
    EXPECT_EQ(platform::joinPath("C:\\tuvo", "include", '\\'), "C:\\tuvo\\include");
    // The empty folder is the root.
    EXPECT_EQ(platform::joinPath("", "tuvommlc", '/'), "/tuvommlc");
}

}  // namespace
