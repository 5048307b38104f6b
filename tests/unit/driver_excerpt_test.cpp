// The source line and marker under a diagnostic: alignment by terminal cells,
// the units of broken and foreign characters, and the cut of long lines.
#include <gtest/gtest.h>

#include <string>

#include "driver/SourceExcerpt.h"
#include "text/Encoding.h"

namespace {

TEST(SourceExcerptTest, SpanPastTheEndOrEmptyIsOneCaret) {
    const SourceExcerpt end = sourceExcerpt("c d", false, 3, 3);
    EXPECT_EQ(end.text, "c d");
    EXPECT_EQ(end.marker, "   ^");
    EXPECT_EQ(sourceExcerpt("c d", false, 2, 2).marker, "  ^");
    EXPECT_EQ(sourceExcerpt("", false, 0, 0).marker, "^");
    EXPECT_EQ(sourceExcerpt("c", false, 9, 12).marker, " ^");
}

TEST(SourceExcerptTest, ControlBytesAreEscapedAndTakeTheirCells) {
    const SourceExcerpt excerpt = sourceExcerpt("\x1B" "c @X", false, 3, 5);
    EXPECT_EQ(excerpt.text, "\\x1Bc @X");
    EXPECT_EQ(excerpt.marker, "      ^~");
}

TEST(SourceExcerptTest, CodePage932LeadByteAloneAtTheEndIsOneCell) {
    const SourceExcerpt excerpt = sourceExcerpt("c\x82", false, 1, 2);
    EXPECT_EQ(excerpt.marker, " ^");
}

TEST(SourceExcerptTest, Utf8BrokenSequenceIsOneUnitAsTheReaderCountsIt) {
    // E3 81 then "c": the two bytes are one broken sequence, one unit and one
    // cell; "@X" starts at unit 3.
    const SourceExcerpt excerpt = sourceExcerpt("\xE3\x81" "c @X", true, 3, 5);
    EXPECT_EQ(excerpt.text, "?c @X");
    EXPECT_EQ(excerpt.marker, "   ^~");
}

TEST(SourceExcerptTest, Utf8CharacterBeyondThePlaneTakesTwoUnits) {
    setUtf8Mode(true);
    // U+1F600 is two units and, on a UTF-8 console, two cells.
    const SourceExcerpt excerpt = sourceExcerpt("\xF0\x9F\x98\x80" "@X", true, 2, 4);
    setUtf8Mode(false);
    EXPECT_EQ(excerpt.text, "\xF0\x9F\x98\x80" "@X");
    EXPECT_EQ(excerpt.marker, "  ^~");
    // On a code page 932 console it is shown as one "?".
    EXPECT_EQ(sourceExcerpt("\xF0\x9F\x98\x80" "@X", true, 2, 4).marker, " ^~");
}

TEST(SourceExcerptTest, LongLinesAreCutAroundTheSpan) {
    const std::string line = std::string(300, 'c') + "@X" + std::string(300, 'd');
    const SourceExcerpt middle = sourceExcerpt(line, false, 300, 302);
    EXPECT_TRUE(middle.text.starts_with("...c"));
    EXPECT_TRUE(middle.text.ends_with("d..."));
    EXPECT_LE(middle.text.size(), static_cast<size_t>(kExcerptWidth));
    EXPECT_EQ(middle.text.find("@X"), middle.marker.find('^'));

    const SourceExcerpt start = sourceExcerpt(line, false, 0, 1);
    EXPECT_TRUE(start.text.starts_with("cc"));
    EXPECT_EQ(start.marker, "^");

    const SourceExcerpt end = sourceExcerpt(line, false, 602, 602);
    EXPECT_TRUE(end.text.starts_with("..."));
    EXPECT_FALSE(end.text.ends_with("..."));
    EXPECT_EQ(end.marker.size(), end.text.size() + 1);
}

TEST(SourceExcerptTest, AHugeSpanOnAHugeLineStaysBounded) {
    const std::string line(1 << 20, '\t');
    const SourceExcerpt excerpt = sourceExcerpt(line, false, 10, 1 << 20);
    EXPECT_LE(excerpt.text.size(), static_cast<size_t>(kExcerptWidth));
    EXPECT_LE(excerpt.marker.size(), static_cast<size_t>(kExcerptWidth));
    EXPECT_NE(excerpt.marker.find('^'), std::string::npos);
}

}  // namespace
