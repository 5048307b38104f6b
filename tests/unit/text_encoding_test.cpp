// The code page 932 <-> Unicode tables against the platform's iconv, character
// by character in both directions, and the conversion of printed text to UTF-8.
#include <gtest/gtest.h>

#include <iconv.h>

#include <optional>
#include <string>
#include <vector>

#include "text/CharCode.h"
#include "text/Encoding.h"

namespace {

// One iconv conversion of a whole byte string; nothing when iconv refuses it.
class Iconv {
public:
    Iconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Iconv() {
        if (valid()) iconv_close(handle_);
    }
    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::string> convert(const std::string& input) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // a fresh start each time
        std::string in = input;
        std::string out(in.size() * 4 + 8, '\0');
        char* inPtr = in.data();
        size_t inLeft = in.size();
        char* outPtr = out.data();
        size_t outLeft = out.size();
        if (iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
            return std::nullopt;
        if (iconv(handle_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1))
            return std::nullopt;
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t handle_;
};

std::string codeBytes(int code) {
    std::string bytes;
    if (code > 0xFF) bytes.push_back(static_cast<char>(code >> 8));
    bytes.push_back(static_cast<char>(code & 0xFF));
    return bytes;
}

std::string utf8Of(char32_t scalar) {
    std::string text;
    appendUtf8(text, scalar);
    return text;
}

// The scalar of a UTF-8 text of exactly one character; -2 otherwise.
int onlyScalar(const std::string& text) {
    static Iconv toUtf32("UTF-32LE", "UTF-8");
    const auto wide = toUtf32.convert(text);
    if (!wide || wide->size() != 4) return -2;
    const auto* b = reinterpret_cast<const unsigned char*>(wide->data());
    return b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24;
}

// Every code a code page 932 reader can form: single bytes, lead + any trail.
std::vector<int> everyCode() {
    std::vector<int> codes;
    for (int code = 0; code <= 0xFFFF; ++code)
        if (code <= 0xFF || isLeadByte(code >> 8)) codes.push_back(code);
    return codes;
}

TEST(Cp932Tables, DecodingAgreesWithIconvForEveryCode) {
    Iconv fromCp932("UTF-8", "CP932");
    ASSERT_TRUE(fromCp932.valid());
    int characters = 0;
    for (const int code : everyCode()) {
        const auto text = fromCp932.convert(codeBytes(code));
        const int expected = text ? onlyScalar(*text) : kNoCharacter;
        ASSERT_NE(expected, -2) << std::hex << code;
        EXPECT_EQ(cp932ToUnicode(code), expected) << std::hex << "code 0x" << code;
        if (expected != kNoCharacter) ++characters;
    }
    // 128 ASCII codes, 63 half-width katakana, and the double-byte characters.
    EXPECT_GT(characters, 7000);
    EXPECT_EQ(cp932ToUnicode(0x10000), kNoCharacter);
    EXPECT_EQ(cp932ToUnicode(-1), kNoCharacter);
}

TEST(Cp932Tables, EncodingAgreesWithIconvForEveryScalar) {
    Iconv toCp932("CP932", "UTF-8");
    ASSERT_TRUE(toCp932.valid());
    for (char32_t scalar = 0; scalar <= 0x10FFFF; ++scalar) {
        if (scalar >= 0xD800 && scalar <= 0xDFFF) continue;
        const auto bytes = toCp932.convert(utf8Of(scalar));
        int expected = kNoCharacter;
        // iconv writes nothing at all for the tag characters (U+E0000..U+E007F);
        // they have no code either.
        if (bytes && !bytes->empty()) {
            ASSERT_TRUE(bytes->size() == 1 || bytes->size() == 2) << std::hex << unsigned(scalar);
            expected = static_cast<unsigned char>((*bytes)[0]);
            if (bytes->size() == 2)
                expected = expected * 256 + static_cast<unsigned char>((*bytes)[1]);
        }
        ASSERT_EQ(unicodeToCp932(scalar), expected) << std::hex << "U+" << unsigned(scalar);
    }
}

// A character read from code page 932 and written back is the same code, except
// for the duplicates, which come back as the one code iconv writes for them.
TEST(Cp932Tables, EveryCharacterSurvivesTheRoundTrip) {
    int duplicates = 0;
    for (const int code : everyCode()) {
        const int scalar = cp932ToUnicode(code);
        if (scalar == kNoCharacter) continue;
        const int back = unicodeToCp932(static_cast<char32_t>(scalar));
        ASSERT_NE(back, kNoCharacter) << std::hex << code;
        EXPECT_EQ(cp932ToUnicode(back), scalar) << std::hex << code;
        if (back != code) ++duplicates;
    }
    EXPECT_GT(duplicates, 300);  // the NEC and IBM rows hold several hundred
    EXPECT_LT(duplicates, 500);
}

TEST(Cp932Tables, DuplicatesResolveAsIconvWritesThem) {
    // The NEC row 13 form wins over the IBM one; an IBM extension wins over its
    // NEC-selected copy.
    EXPECT_EQ(cp932ToUnicode(0x8754), 0x2160);  // Roman numeral one, NEC row 13
    EXPECT_EQ(cp932ToUnicode(0xFA4A), 0x2160);  // the same, IBM extension
    EXPECT_EQ(unicodeToCp932(0x2160), 0x8754);
    EXPECT_EQ(cp932ToUnicode(0xED40), 0x7E8A);  // NEC-selected IBM kanji
    EXPECT_EQ(unicodeToCp932(0x7E8A), 0xFA5C);
    EXPECT_EQ(cp932ToUnicode(0x81CA), 0xFFE2);  // not sign, also at 0xEEF9 and 0xFA54
    EXPECT_EQ(cp932ToUnicode(0xEEF9), 0xFFE2);
    EXPECT_EQ(unicodeToCp932(0xFFE2), 0x81CA);
}

TEST(Cp932Tables, CommonCharacters) {
    EXPECT_EQ(unicodeToCp932(U'\\'), 0x5C);
    EXPECT_EQ(unicodeToCp932(U'あ'), 0x82A0);
    EXPECT_EQ(unicodeToCp932(U'ｱ'), 0xB1);
    EXPECT_EQ(unicodeToCp932(0xE000), 0xF040);  // the first user-defined character
    EXPECT_EQ(unicodeToCp932(0x1F3B5), kNoCharacter);
    EXPECT_EQ(unicodeToCp932(0x110000), kNoCharacter);
    EXPECT_EQ(cp932ToUnicode(0x82), kNoCharacter);  // a lead byte alone
}

TEST(Utf8Text, AppendUtf8AtEveryLengthBoundary) {
    EXPECT_EQ(utf8Of(0x00), std::string(1, '\0'));
    EXPECT_EQ(utf8Of(0x7F), "\x7F");
    EXPECT_EQ(utf8Of(0x80), "\xC2\x80");
    EXPECT_EQ(utf8Of(0x7FF), "\xDF\xBF");
    EXPECT_EQ(utf8Of(0x800), "\xE0\xA0\x80");
    EXPECT_EQ(utf8Of(0xFFFF), "\xEF\xBF\xBF");
    EXPECT_EQ(utf8Of(0x10000), "\xF0\x90\x80\x80");
    EXPECT_EQ(utf8Of(0x10FFFF), "\xF4\x8F\xBF\xBF");
    // Not characters: written as the replacement character.
    EXPECT_EQ(utf8Of(0xD800), "\xEF\xBF\xBD");
    EXPECT_EQ(utf8Of(0x110000), "\xEF\xBF\xBD");
}

TEST(Utf8Text, Cp932BytesToUtf8) {
    EXPECT_EQ(cp932ToUtf8(""), "");
    EXPECT_EQ(cp932ToUtf8("abc \\~"), "abc \\~");
    EXPECT_EQ(cp932ToUtf8("\x82\xA0\xB1x\x8A\xBF"), "あｱx漢");
    // An unassigned pair and a lead byte at the end are not characters.
    EXPECT_EQ(cp932ToUtf8("a\x85\x40" "b\x82"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(cp932ToUtf8("\xA0"), "\xEF\xBF\xBD");
}

class ConsoleTextTest : public testing::Test {
protected:
    void TearDown() override { setUtf8Mode(false); }
};

TEST_F(ConsoleTextTest, ConvertsOnlyInUtf8Mode) {
    const std::string text = "\x82\xA0: x";
    EXPECT_FALSE(utf8Mode());
    EXPECT_EQ(consoleText(text), text);
    setUtf8Mode(true);
    EXPECT_TRUE(utf8Mode());
    EXPECT_EQ(consoleText(text), "あ: x");
}

}  // namespace
