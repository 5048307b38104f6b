// Converting a lyric text as the compiler's lyric walk does.
#include "import/PhoneticSpelling.h"

#include "song/Song.h"
#include "import/TextCodes.h"

namespace {

constexpr char16_t kIdeographicSpace = 0x8140;

bool isBlank(char16_t code) { return code == ' ' || code == '\t' || code == '\r' || code == '\n' || code == kIdeographicSpace; }

}  // namespace

std::string_view vowelOf(std::string_view symbols) {
    const size_t blank = symbols.rfind(' ');
    return blank == std::string_view::npos ? symbols : symbols.substr(blank + 1);
}

ImportedLyric lyricOfText(const SyllableDictionary& dictionary, std::string_view text, std::string_view before,
                          NotCarried& lost) {
    ImportedLyric lyric{std::string(text), {}};
    if (isLongVowelLyric(text) && !before.empty()) {
        lyric.symbols = vowelOf(before);
        return lyric;
    }
    const std::u16string codes = characterCodes(text);
    const char16_t* at = codes.c_str();
    while (*at != 0) {
        if (isBlank(*at)) {
            ++at;
            continue;
        }
        size_t matched = 0;
        const char* symbols = dictionary.lookup(at, matched);
        if (symbols == nullptr || matched == 0) {
            lost.note("lyrics the dictionary cannot convert sing the default syllable's symbols (the song "
                      "dictionary beside the MML lists them, to be corrected)");
            lyric.symbols = kDefaultLyricSymbols;
            return lyric;
        }
        if (!lyric.symbols.empty()) lyric.symbols.push_back(' ');
        lyric.symbols.append(symbols);
        at += matched;
    }
    if (lyric.symbols.empty()) {
        lyric.text = kDefaultLyricText;
        lyric.symbols = kDefaultLyricSymbols;
    }
    return lyric;
}

std::optional<ImportedLyric> lyricOfHint(std::string_view text) {
    if (text.size() < 3 || text.front() != '[' || text.back() != ']') return std::nullopt;
    const std::string_view symbols = text.substr(1, text.size() - 2);
    bool sounds = false;
    for (const char c : symbols) {
        if (c < 0x20 || c >= 0x7F || c == '[' || c == ']' || c == '"') return std::nullopt;
        sounds = sounds || c != ' ';
    }
    if (!sounds) return std::nullopt;
    return ImportedLyric{kPhoneticLyricText, std::string(symbols)};
}
