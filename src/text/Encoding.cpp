// The UTF-8 mode and the code page 932 <-> Unicode conversions, by binary search
// in the generated tables.
#include "text/Encoding.h"

#include <algorithm>
#include <cstdint>
#include <span>

#include "text/CharCode.h"
#include "text/Cp932Table.h"

namespace {

bool utf8ModeOn = false;

constexpr char32_t kReplacement = 0xFFFD;

int find(std::span<const CodePair> pairs, std::int64_t key) {
    if (key < 0 || key > 0xFFFF) return kNoCharacter;
    const auto before = [](const CodePair& pair, std::int64_t k) { return pair.from < k; };
    const auto at = std::lower_bound(pairs.begin(), pairs.end(), key, before);
    return at != pairs.end() && at->from == key ? at->to : kNoCharacter;
}

}  // namespace

Utf8Lead utf8Lead(unsigned char lead) {
    if (lead < 0x80) return {0, 0x80, 0xBF, lead};
    if (lead >= 0xC2 && lead <= 0xDF) return {1, 0x80, 0xBF, char32_t{lead} & 0x1F};
    if (lead >= 0xE0 && lead <= 0xEF) {
        return {2, static_cast<unsigned char>(lead == 0xE0 ? 0xA0 : 0x80),
                static_cast<unsigned char>(lead == 0xED ? 0x9F : 0xBF), char32_t{lead} & 0x0F};
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return {3, static_cast<unsigned char>(lead == 0xF0 ? 0x90 : 0x80),
                static_cast<unsigned char>(lead == 0xF4 ? 0x8F : 0xBF), char32_t{lead} & 0x07};
    }
    return {-1, 0, 0, 0};
}

void setUtf8Mode(bool on) { utf8ModeOn = on; }

bool utf8Mode() { return utf8ModeOn; }

int unicodeToCp932(char32_t scalar) {
    return find(unicodeToCp932Pairs(), static_cast<std::int64_t>(scalar));
}

int cp932ToUnicode(int code) { return find(cp932ToUnicodePairs(), code); }

void appendUtf8(std::string& out, char32_t scalar) {
    if (scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) scalar = kReplacement;
    if (scalar < 0x80) {
        out.push_back(static_cast<char>(scalar));
    } else if (scalar < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (scalar >> 6)));
        out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    } else if (scalar < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (scalar >> 12)));
        out.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (scalar >> 18)));
        out.push_back(static_cast<char>(0x80 | ((scalar >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    }
}

std::string cp932ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        int code = static_cast<unsigned char>(bytes[i]);
        if (isLeadByte(code)) {
            if (i + 1 == bytes.size()) {
                appendUtf8(out, kReplacement);
                break;
            }
            code = code * 256 + static_cast<unsigned char>(bytes[++i]);
        }
        const int scalar = cp932ToUnicode(code);
        appendUtf8(out, scalar == kNoCharacter ? kReplacement : static_cast<char32_t>(scalar));
    }
    return out;
}

std::string consoleText(std::string_view cp932) {
    return utf8ModeOn ? cp932ToUtf8(cp932) : std::string(cp932);
}
