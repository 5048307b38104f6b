// Recognising a UTF-8 source without its byte order mark, for the -u hint.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TestFiles.h"
#include "driver/Utf8Hint.h"

namespace {

bool looksLikeUtf8(const std::string& bytes) {
    const ScratchFolder folder;
    return looksLikeUnmarkedUtf8(folder.write("song.mml", bytes));
}

TEST(Utf8HintTest, UnmarkedUtf8WithKanaIsRecognised) {
    EXPECT_TRUE(looksLikeUtf8("c d \"\xE3\x81\x95\xE3\x81\x8F\"\n"));       // さく
    EXPECT_TRUE(looksLikeUtf8("\xC3\xA9 \xF0\x9F\x8E\xB5 \xF4\x8F\xBF\xBF"));  // 2-, 4-byte, U+10FFFF
}

TEST(Utf8HintTest, OtherTextsAreNot) {
    EXPECT_FALSE(looksLikeUtf8("c d e \"sa\"\n"));                         // ASCII only
    EXPECT_FALSE(looksLikeUtf8("\xEF\xBB\xBF\xE3\x81\x95"));                // marked: read as UTF-8 already
    EXPECT_FALSE(looksLikeUtf8("\"\x82\xB3\x82\xAD\""));                   // code page 932 さく
    EXPECT_FALSE(looksLikeUtf8("\xE3\x81"));                                // cut short at the end
    EXPECT_FALSE(looksLikeUtf8("\xC0\xAF"));                                // overlong
    EXPECT_FALSE(looksLikeUtf8("\xED\xA0\x80"));                            // surrogate
    EXPECT_FALSE(looksLikeUtf8("\xF4\x90\x80\x80"));                        // beyond U+10FFFF
    EXPECT_FALSE(looksLikeUnmarkedUtf8("/no/such/file.mml"));
}

}  // namespace
