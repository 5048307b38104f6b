// Where a staged output goes: through links to the file they name, directly
// into a device that can seek, and never into a pipe or terminal, which would
// take a partial file or wait for a reader.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "VsqTestSupport.h"
#include "platform/Platform.h"
#include "output/StagedOutputFile.h"


namespace {

namespace fs = std::filesystem;

// Writes `text` through a staged output for `target`; false at the first step that fails.
bool writeStaged(const std::string& target, const std::string& text) {
    StagedOutputFile output;
    if (!output.prepare(target)) return false;
    std::FILE* stream = output.openStream();
    if (stream == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fclose(stream) == 0 && written && output.commit();
}

std::vector<std::string> sortedEntries(const ScratchFolder& folder) {
    std::vector<std::string> names = folder.entries();
    std::sort(names.begin(), names.end());
    return names;
}

TEST(StagedOutputTest, ALinkIsWrittenThroughToTheFileItNames) {
    ScratchFolder folder;
    fs::create_directory(folder.file("real"));
    // Dangling: the write makes the file the link names, and the link stays.
    fs::create_symlink("real/song.vsq", folder.file("song.vsq"));
    ASSERT_TRUE(writeStaged(folder.file("song.vsq"), "first"));
    EXPECT_TRUE(fs::is_symlink(folder.file("song.vsq")));
    EXPECT_EQ(readFile(folder.file("real/song.vsq")), "first");
    // Now the file exists: it is replaced, the link still stays.
    ASSERT_TRUE(writeStaged(folder.file("song.vsq"), "second"));
    EXPECT_TRUE(fs::is_symlink(folder.file("song.vsq")));
    EXPECT_EQ(readFile(folder.file("real/song.vsq")), "second");
    EXPECT_EQ(sortedEntries(folder), (std::vector<std::string>{"real", "song.vsq"}));
}

TEST(StagedOutputTest, APipeIsRefusedBeforeItsFirstByteAndNeverWaitedFor) {
    ScratchFolder folder;
    const std::string pipe = folder.file("song.vsq");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Nobody reads: refused at once instead of waiting for a reader.
    StagedOutputFile output;
    EXPECT_FALSE(output.prepare(pipe));
    EXPECT_EQ(output.failureText(), platform::systemErrorText(ENXIO));

    // Somebody reads: refused too, since the file could never be put right,
    // and nothing has gone into the pipe.
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_FALSE(output.prepare(pipe));
    EXPECT_EQ(output.failureText(), platform::systemErrorText(ESPIPE));
    char byte = 0;
    EXPECT_EQ(::read(reader, &byte, 1), 0);  // no writer left, nothing written
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(sortedEntries(folder), (std::vector<std::string>{"song.vsq"}));
}

TEST(StagedOutputTest, ADeviceThatCanSeekIsWrittenDirectly) {
    EXPECT_TRUE(writeStaged("/dev/null", "anything"));
}

// What would make the rename at the end fail is known before anything is
// written: a loop of links (which must not be replaced by a file, losing the
// links) and a name too long for its folder, given or reached through a link.
TEST(StagedOutputTest, NamesThatCannotBeLookedUpAreRefusedAtOnce) {
    ScratchFolder folder;
    fs::create_symlink("b.vsq", folder.file("a.vsq"));
    fs::create_symlink("a.vsq", folder.file("b.vsq"));
    const std::string tooLong(256, 'x');
    fs::create_symlink(tooLong, folder.file("long.vsq"));
    const struct {
        std::string target;
        int reason;
    } refused[] = {{folder.file("a.vsq"), ELOOP},
                   {folder.file(tooLong), ENAMETOOLONG},
                   {folder.file("long.vsq"), ENAMETOOLONG}};
    for (const auto& [target, reason] : refused) {
        StagedOutputFile output;
        EXPECT_FALSE(output.prepare(target)) << target;
        EXPECT_EQ(output.failureText(), platform::systemErrorText(reason)) << target;
    }
    EXPECT_TRUE(fs::is_symlink(folder.file("a.vsq")));
    EXPECT_EQ(sortedEntries(folder), (std::vector<std::string>{"a.vsq", "b.vsq", "long.vsq"}));
}

}  // namespace
