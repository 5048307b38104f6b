// The syllable an editor's voicebank sings for a held vowel: it has no sound
// for a long-vowel mark, so a note holding a vowel sings that vowel's kana.
#pragma once

#include <string_view>

// The lyric a sequence or project sings for a part whose lyric is `text` with
// the phonetic symbols `symbols`: for a long-vowel mark, the kana (code page
// 932 bytes) of the vowel the symbols end in, "a" あ, "i" い, "M" う, "e" え,
// "o" お or the moraic nasal ん; otherwise, or for other symbols, `text`.
std::string_view singableLyric(std::string_view text, std::string_view symbols);
