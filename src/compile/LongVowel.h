// The marks that hold the previous syllable's vowel on a note of its own: the
// hyphen, the long-vowel mark and the full-width minus of code page 932.
#pragma once

#include <string_view>

constexpr bool isLongVowelMark(int code) {
    return code == '-' || code == 0x815B || code == 0x817C;
}

// True when a note's lyric text is one of the marks (its code page 932 bytes).
constexpr bool isLongVowelLyric(std::string_view text) {
    if (text.size() == 1) return isLongVowelMark(static_cast<unsigned char>(text[0]));
    return text.size() == 2 && isLongVowelMark(static_cast<unsigned char>(text[0]) * 256 +
                                               static_cast<unsigned char>(text[1]));
}
