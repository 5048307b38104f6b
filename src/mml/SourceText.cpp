// The texts an MML source may hold.
#include "mml/SourceText.h"

#include "song/Song.h"
#include "text/Encoding.h"

namespace {

constexpr char16_t kIdeographicSpace = 0x8140;
constexpr char16_t kCtrlZ = 0x1A;
constexpr char16_t kSmallTsu = 0x82C1;
constexpr char16_t kSmallKatakanaTsu = 0x8362;

}  // namespace

bool fitsInString(std::string_view text) {
    for (const char16_t code : characterCodes(text)) {
        // A line feed ends a string, Ctrl-Z the file, and a zero byte the
        // text as a file holds it.
        if (code == '"' || code == '\n' || code == kCtrlZ || code == 0) return false;
        if (cp932ToUnicode(code) == kNoCharacter) return false;
    }
    return true;
}

bool fitsAsSingerName(std::string_view text) {
    // A carriage return is no trail byte of a double-byte character.
    return fitsInString(text) && text.find('\r') == std::string_view::npos;
}

bool fitsAsSyllable(std::string_view text) {
    if (text.empty() || !fitsInString(text)) return false;
    const std::u16string codes = characterCodes(text);
    for (const char16_t code : codes) {
        if (code == ' ' || code == '\t' || code == '\r' || code == kIdeographicSpace || code == ':' || code == ';' ||
            code == '[' || code == ']')
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
