// Replacement files take over what the file they replace has besides its
// bytes (owner, group, access rights, extended attributes) as far as the
// process may give them, and their temporary names let a later run clear
// away what a killed run left.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "platform/ReplacementFile.h"
#include "platform/TemporaryNames.h"


namespace {

constexpr uid_t kOtherUser = 65534;
constexpr gid_t kOtherGroup = 65534;

// Replaces `target` with `text`; false at the first step that fails.
bool replace(const std::string& target, const std::string& text) {
    int reason = 0;
    auto replacement = platform::createReplacementFile(target, reason);
    if (replacement == nullptr) return false;
    std::FILE* stream = replacement->openStream(reason);
    if (stream == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fclose(stream) == 0 && written && replacement->putInPlace(reason);
}

struct stat statusOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}

std::vector<std::string> sortedEntries(const ScratchFolder& folder) {
    std::vector<std::string> names = folder.entries();
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ReplacementFileTest, KeepsOwnerGroupSetIdBitsAndAttributes) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another owner";
    ScratchFolder folder;
    const std::string target = folder.file("tool");
    writeFile(target, "old");
    ASSERT_EQ(::chown(target.c_str(), kOtherUser, kOtherGroup), 0);
    ASSERT_EQ(::chmod(target.c_str(), 04755), 0);
    const bool hasAttributes = ::setxattr(target.c_str(), "user.origin", "kept", 4, 0) == 0;

    ASSERT_TRUE(replace(target, "new"));
    EXPECT_EQ(readFile(target), "new");
    const struct stat info = statusOf(target);
    EXPECT_EQ(info.st_uid, kOtherUser);
    EXPECT_EQ(info.st_gid, kOtherGroup);
    EXPECT_EQ(info.st_mode & 07777, 04755u);
    if (hasAttributes) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(target.c_str(), "user.origin", value, sizeof value), 4);
        EXPECT_EQ(std::string(value), "kept");
    }
    EXPECT_EQ(sortedEntries(folder), (std::vector<std::string>{"tool"}));
}

// An ordinary user may replace another user's file in a folder it may write
// to, but cannot give the new file that owner: the set-ID bits then go.
TEST(ReplacementFileTest, AnOwnerThatCannotBeKeptTakesTheSetIdBitsAlong) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to set up two owners";
    ScratchFolder folder;
    ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
    const std::string target = folder.file("tool");
    writeFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 06777), 0);  // root's, set-ID, writable by all

    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        const bool asOther = ::setgid(kOtherGroup) == 0 && ::setuid(kOtherUser) == 0;
        ::_exit(asOther && replace(target, "new") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readFile(target), "new");
    const struct stat info = statusOf(target);
    EXPECT_EQ(info.st_uid, kOtherUser);
    EXPECT_EQ(info.st_mode & 07777, 0777u);
}

// A run killed between naming its file and renaming it leaves that file; the
// next replacement in the folder removes it, and only it.
TEST(ReplacementFileTest, TemporariesOfEndedRunsAreRemoved) {
    ScratchFolder folder;
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string left = "tuvo-" + std::to_string(ended) + "-abc123.tmp";
    const std::string living = "tuvo-" + std::to_string(::getppid()) + "-abc123.tmp";
    const std::string ours = platform::temporaryName("");
    const std::vector<std::string> notOurs = {"tuvo-abc123.tmp", "tuvo-12-abc.tmp",
                                              "tuvo--abc123.tmp", "tuvo-99x-abc123.tmp"};
    for (const std::string& name : std::vector<std::string>{left, living, ours})
        writeFile(folder.file(name), "complete file");
    for (const std::string& name : notOurs) writeFile(folder.file(name), "user file");

    ASSERT_TRUE(replace(folder.file("song.vsq"), "song"));
    std::vector<std::string> expected = notOurs;
    expected.insert(expected.end(), {living, ours, "song.vsq"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sortedEntries(folder), expected);
}

// A finished file waits beside its target under one temporary name, with the
// target untouched, until it is put in place or given up.
TEST(ReplacementFileTest, FinishedFileWaitsBesideTheTarget) {
    ScratchFolder folder;
    const std::string target = folder.write("song.vsq", "old");
    const std::string start = "tuvo-" + std::to_string(::getpid()) + "-";
    for (const bool placed : {false, true}) {
        int reason = 0;
        auto replacement = platform::createReplacementFile(target, reason);
        ASSERT_NE(replacement, nullptr) << reason;
        std::FILE* stream = replacement->openStream(reason);
        ASSERT_NE(stream, nullptr) << reason;
        ASSERT_EQ(std::fputs("new", stream), 1);
        ASSERT_EQ(std::fclose(stream), 0);
        ASSERT_TRUE(replacement->finish(reason)) << reason;
        ASSERT_TRUE(replacement->finish(reason)) << reason;  // finishing twice is harmless
        const std::vector<std::string> waiting = sortedEntries(folder);
        ASSERT_EQ(waiting.size(), 2u);
        EXPECT_EQ(waiting[0], "song.vsq");
        EXPECT_EQ(waiting[1].rfind(start, 0), 0u) << waiting[1];
        EXPECT_EQ(readFile(folder.file(waiting[1])), "new");
        EXPECT_EQ(readFile(target), "old");
        if (placed) {
            EXPECT_TRUE(replacement->putInPlace(reason)) << reason;
        }
        replacement.reset();
        EXPECT_EQ(sortedEntries(folder), std::vector<std::string>{"song.vsq"});
        EXPECT_EQ(readFile(target), placed ? "new" : "old");
    }
}

TEST(ReplacementFileTest, TemporaryNamesCarryTheProcessNumber) {
    const std::string name = platform::temporaryName("dir/");
    const std::string start = "dir/tuvo-" + std::to_string(::getpid()) + "-";
    EXPECT_EQ(name.rfind(start, 0), 0u) << name;
    EXPECT_EQ(name.size(), start.size() + 6 + 4) << name;
    EXPECT_TRUE(name.ends_with(".tmp")) << name;
}

}  // namespace
