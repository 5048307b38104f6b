// The providers of a run's files: texts held in memory, read as files would
// be, in front of the disk or of nothing.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "TestFiles.h"
#include "text/SourceProvider.h"

namespace {

std::string readAll(OpenedFile& file) {
    std::string bytes;
    for (auto block = file.nextBlock(); !block.empty(); block = file.nextBlock())
        bytes.append(reinterpret_cast<const char*>(block.data()), block.size());
    return bytes;
}

TEST(SourceProvider, HeldTextsAreReadByTheirExactPath) {
    const auto held = createMemorySources();
    held->add("song.mml", "c4\n");
    held->add("song.mml", "d4\n");  // the later text replaces the earlier
    int error = 0;
    const auto file = held->open("song.mml", error);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(readAll(*file), "d4\n");
    EXPECT_FALSE(file->identity().has_value());
    EXPECT_TRUE(held->exists("song.mml"));
    EXPECT_FALSE(held->exists("./song.mml"));
    EXPECT_EQ(held->open("./song.mml", error), nullptr);
    EXPECT_EQ(error, ENOENT);
}

TEST(SourceProvider, OtherPathsGoToTheFallback) {
    ScratchFolder dir;
    const std::string onDisk = dir.write("disk.mml", "e4\n");
    const auto held = createMemorySources(&diskSources());
    held->add(onDisk + ".unsaved", "f4\n");
    int error = 0;
    const auto file = held->open(onDisk, error);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(readAll(*file), "e4\n");
    EXPECT_TRUE(file->identity().has_value());
    EXPECT_TRUE(held->exists(dir.path().string()));  // a folder on disk exists
    EXPECT_EQ(held->open(dir.file("missing.mml"), error), nullptr);
    EXPECT_EQ(error, ENOENT);
}

}  // namespace
