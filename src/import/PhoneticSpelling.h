// The phonetic symbols of a lyric as the compiler would give them, for the
// formats that carry only the lyric's text (MIDI files, UTAU sequences,
// OpenUtau projects): each syllable of the text looked up in the dictionary
// the way the compiler's lyric walk does, their symbols joined by blanks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "import/ImportedSong.h"
#include "import/SyllableDictionary.h"

// The vowel a long-vowel mark takes from the note before: what follows the
// last blank of its symbols (all of them when there is no blank).
std::string_view vowelOf(std::string_view symbols);

// The lyric of a note whose text (code page 932) is `text`: a long-vowel mark
// holds the vowel of `before` (the symbols of the note before; empty for the
// first note), any other text gets the dictionary's symbols. A text the
// dictionary cannot convert keeps its text and sings the default syllable's
// symbols, which is noted.
ImportedLyric lyricOfText(const SyllableDictionary& dictionary, std::string_view text, std::string_view before,
                          NotCarried& lost);

// A lyric that is only the editors' phonetic hint "[symbols]" (printable ASCII
// inside, no bracket or double quote, not only blanks) sings those symbols, as
// a note given them in brackets does; none for any other text.
std::optional<ImportedLyric> lyricOfHint(std::string_view text);
