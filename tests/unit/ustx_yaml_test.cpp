// Double-quoted YAML scalars: what must be escaped, and what passes as it is.
#include <gtest/gtest.h>

#include <string>

#include "writers/ustx/YamlText.h"

namespace {

std::string quoted(std::string_view text) {
    std::string out = "x: ";
    appendYamlQuoted(out, text);
    return out;
}

TEST(YamlTextTest, PlainTextAndKanaPassBetweenQuotes) {
    EXPECT_EQ(quoted(""), "x: \"\"");
    EXPECT_EQ(quoted("a: #b, [c] {d} 'e' &f *g !h |i >j %k @l `m"),
              "x: \"a: #b, [c] {d} 'e' &f *g !h |i >j %k @l `m\"");
    EXPECT_EQ(quoted(" lead and trail "), "x: \" lead and trail \"");
    EXPECT_EQ(quoted("\xE3\x81\x8B\xE3\x83\xBC"), "x: \"\xE3\x81\x8B\xE3\x83\xBC\"");  // kana
}

TEST(YamlTextTest, QuotesBackslashesAndWhatReadersFoldAreEscaped) {
    EXPECT_EQ(quoted("say \"hi\" \\o/"), "x: \"say \\\"hi\\\" \\\\o/\"");
    EXPECT_EQ(quoted("a\tb\rc\nd\x7F"), "x: \"a\\u0009b\\u000Dc\\u000Ad\\u007F\"");
    // NEL, the line and paragraph separators and the byte order mark.
    EXPECT_EQ(quoted("\xC2\x85\xE2\x80\xA8\xE2\x80\xA9\xEF\xBB\xBF"),
              "x: \"\\u0085\\u2028\\u2029\\uFEFF\"");
}

TEST(YamlTextTest, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(quoted("a\xFF"), "x: \"a" + replacement + "\"");
    EXPECT_EQ(quoted("\xE3\x81"), "x: \"" + replacement + replacement + "\"");  // cut short
    EXPECT_EQ(quoted("\xC0\xAF"), "x: \"" + replacement + replacement + "\"");  // overlong
    EXPECT_EQ(quoted("\xED\xA0\x80z"),  // a surrogate
              "x: \"" + replacement + replacement + replacement + "z\"");
}

}  // namespace
