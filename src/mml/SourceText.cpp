// The texts an MML source may hold.
#include "mml/SourceText.h"

#include "song/Song.h"
#include "text/CharCode.h"
#include "text/Encoding.h"

namespace {

constexpr char16_t kIdeographicSpace = 0x8140;
constexpr char16_t kSmallTsu = 0x82C1;
constexpr char16_t kSmallKatakanaTsu = 0x8362;

}  // namespace

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

bool fitsInString(std::string_view text) {
    for (const char16_t code : characterCodes(text)) {
        if (code < 0x20 || code == '"' || code == 0x7F) return false;
        if (cp932ToUnicode(code) == kNoCharacter) return false;
    }
    return true;
}

bool fitsAsSyllable(std::string_view text) {
    if (text.empty() || !fitsInString(text)) return false;
    const std::u16string codes = characterCodes(text);
    for (const char16_t code : codes) {
        if (code == ' ' || code == kIdeographicSpace || code == ':' || code == ';' || code == '[' || code == ']')
            return false;
    }
    const char16_t first = codes.front();
    return first != '&' && !isLongVowelMark(first) && first != kSmallTsu && first != kSmallKatakanaTsu;
}

bool fitsInBrackets(std::string_view symbols) {
    if (symbols.empty()) return false;
    for (const char c : symbols) {
        if (c < 0x20 || c > 0x7E || c == ']' || c == '"') return false;
    }
    return true;
}

std::string_view vowelOf(std::string_view symbols) {
    const size_t blank = symbols.rfind(' ');
    return blank == std::string_view::npos ? symbols : symbols.substr(blank + 1);
}
