// Code page 932 character codes, and UTF-8 turned into code page 932.
#include "import/TextCodes.h"

#include "text/CharCode.h"
#include "text/Encoding.h"

std::u16string characterCodes(std::string_view bytes) {
    std::u16string codes;
    codes.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        int code = static_cast<unsigned char>(bytes[i]);
        if (isLeadByte(code) && i + 1 < bytes.size()) code = code * 256 + static_cast<unsigned char>(bytes[++i]);
        codes.push_back(static_cast<char16_t>(code));
    }
    return codes;
}

namespace {

// The scalar value of the UTF-8 sequence at `at`, moving `at` past it; false
// when no well-formed sequence starts there (`at` then moves one byte).
bool nextScalar(std::string_view bytes, size_t& at, char32_t& scalar) {
    const Utf8Lead lead = utf8Lead(static_cast<unsigned char>(bytes[at]));
    ++at;
    if (lead.following < 0 || bytes.size() - at < static_cast<size_t>(lead.following)) return false;
    scalar = lead.bits;
    for (int i = 0; i < lead.following; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        const unsigned char low = i == 0 ? lead.low : 0x80;
        const unsigned char high = i == 0 ? lead.high : 0xBF;
        if (byte < low || byte > high) return false;
        scalar = (scalar << 6) | (byte & 0x3Fu);
        ++at;
    }
    return true;
}

}  // namespace

bool isUtf8(std::string_view bytes) {
    size_t at = 0;
    char32_t scalar = 0;
    while (at < bytes.size()) {
        if (!nextScalar(bytes, at, scalar)) return false;
    }
    return true;
}

bool hasNonAscii(std::string_view bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    }
    return false;
}

bool utf8ToCp932(std::string_view utf8, std::string& out) {
    out.clear();
    bool whole = true;
    size_t at = 0;
    while (at < utf8.size()) {
        char32_t scalar = 0;
        const int code = nextScalar(utf8, at, scalar) ? unicodeToCp932(scalar) : kNoCharacter;
        if (code == kNoCharacter) {
            out.push_back('?');
            whole = false;
        } else if (code >= 0x100) {
            out.push_back(static_cast<char>(code >> 8));
            out.push_back(static_cast<char>(code & 0xFF));
        } else {
            out.push_back(static_cast<char>(code));
        }
    }
    return whole;
}
