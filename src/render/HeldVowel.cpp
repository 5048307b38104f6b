// Held vowels as the kana that sings them.
#include "render/HeldVowel.h"

#include "song/Song.h"

namespace {

struct VowelKana {
    std::string_view symbol;
    std::string_view kana;
};

// The symbols of the shipped dictionary's vowels and moraic nasal.
constexpr VowelKana kVowels[] = {
    {"a", "\x82\xA0"},    // あ
    {"i", "\x82\xA2"},    // い
    {"M", "\x82\xA4"},    // う
    {"e", "\x82\xA6"},    // え
    {"o", "\x82\xA8"},    // お
    {"N\\", "\x82\xF1"},  // ん
};

// The kana of the vowel `symbols` end in; empty for any other symbols.
std::string_view heldVowelKana(std::string_view symbols) {
    const size_t end = symbols.find_last_not_of(' ');
    if (end == std::string_view::npos) return {};
    symbols = symbols.substr(0, end + 1);
    const size_t space = symbols.find_last_of(' ');
    const std::string_view last = space == std::string_view::npos ? symbols : symbols.substr(space + 1);
    for (const VowelKana& vowel : kVowels) {
        if (vowel.symbol == last) return vowel.kana;
    }
    return {};
}

}  // namespace

std::string_view singableLyric(std::string_view text, std::string_view symbols) {
    if (!isLongVowelLyric(text)) return text;
    const std::string_view kana = heldVowelKana(symbols);
    return kana.empty() ? text : kana;
}
