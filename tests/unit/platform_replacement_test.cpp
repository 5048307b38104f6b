// Replacement files take over what the file they replace has besides its
// bytes (owner, group, access rights, extended attributes) as far as the
// process may give them, and their temporary names let a later run clear
// away what a killed run left.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
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

// A replacement for `target` with "new" written and its stream closed.
std::unique_ptr<platform::ReplacementFile> writtenReplacement(const std::string& target) {
    int reason = 0;
    auto replacement = platform::createReplacementFile(target, reason);
    EXPECT_NE(replacement, nullptr) << reason;
    if (replacement == nullptr) return nullptr;
    std::FILE* stream = replacement->openStream(reason);
    EXPECT_NE(stream, nullptr) << reason;
    if (stream == nullptr) return nullptr;
    EXPECT_EQ(std::fputs("new", stream), 1);
    EXPECT_EQ(std::fclose(stream), 0);
    return replacement;
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
// next replacement in the folder removes it, and only it: a temporary that a
// living run holds stays, whatever process number its name carries (a run in
// another container or on another machine has numbers of its own).
TEST(ReplacementFileTest, OnlyTemporariesNobodyHoldsAreRemoved) {
    ScratchFolder folder;
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string left = "tuvo-" + std::to_string(ended) + "-abc123.tmp";
    const std::string unheldOfLiving = "tuvo-" + std::to_string(::getppid()) + "-abc123.tmp";
    const std::string heldOfEnded = "tuvo-" + std::to_string(ended) + "-held00.tmp";
    const std::string fifo = "tuvo-" + std::to_string(ended) + "-fifo00.tmp";
    const std::vector<std::string> notOurs = {"tuvo-abc123.tmp", "tuvo-12-abc.tmp",
                                              "tuvo--abc123.tmp", "tuvo-99x-abc123.tmp"};
    for (const std::string& name : {left, unheldOfLiving, heldOfEnded})
        writeFile(folder.file(name), "complete file");
    for (const std::string& name : notOurs) writeFile(folder.file(name), "user file");
    ASSERT_EQ(::mkfifo(folder.file(fifo).c_str(), 0600), 0);
    const int held = ::open(folder.file(heldOfEnded).c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_TRUE(platform::holdTemporary(held));

    ASSERT_TRUE(replace(folder.file("song.vsq"), "song"));
    std::vector<std::string> expected = notOurs;
    expected.insert(expected.end(), {heldOfEnded, fifo, "song.vsq"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sortedEntries(folder), expected);
    ::close(held);
}

// Another run writing in the same folder meanwhile removes neither the new
// file of a run under way nor the file it replaced, kept aside.
TEST(ReplacementFileTest, ARunUnderWayKeepsItsFilesFromOtherRuns) {
    ScratchFolder folder;
    const std::string target = folder.write("song.vsq", "old");
    int reason = 0;
    auto replacement = writtenReplacement(target);
    ASSERT_NE(replacement, nullptr);
    ASSERT_TRUE(replacement->finish(reason)) << reason;
    ASSERT_TRUE(replace(folder.file("other.vsq"), "other"));  // clears the folder
    ASSERT_EQ(sortedEntries(folder).size(), 3u);
    ASSERT_TRUE(replacement->putInPlace(reason)) << reason;
    ASSERT_TRUE(replace(folder.file("other.vsq"), "other"));
    ASSERT_EQ(sortedEntries(folder).size(), 3u);  // the old file, aside
    ASSERT_TRUE(replacement->putBack(reason)) << reason;
    EXPECT_EQ(readFile(target), "old");
    replacement.reset();
    EXPECT_EQ(sortedEntries(folder), (std::vector<std::string>{"other.vsq", "song.vsq"}));
}

// A file put in place can be put back until the replacement goes: the old
// file returns, or, where there was none, the new one goes.
TEST(ReplacementFileTest, APlacedFileCanBePutBack) {
    ScratchFolder folder;
    const std::string old = folder.write("old.vsq", "old");
    const std::string fresh = folder.file("new.vsq");
    for (const std::string& target : {old, fresh}) {
        int reason = 0;
        auto replacement = writtenReplacement(target);
        ASSERT_NE(replacement, nullptr);
        ASSERT_TRUE(replacement->putInPlace(reason)) << reason;
        EXPECT_EQ(readFile(target), "new");
        EXPECT_TRUE(replacement->putBack(reason)) << reason;
        EXPECT_TRUE(replacement->putBack(reason)) << reason;  // nothing more to undo
        replacement.reset();
    }
    EXPECT_EQ(readFile(old), "old");
    EXPECT_EQ(sortedEntries(folder), std::vector<std::string>{"old.vsq"});
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
