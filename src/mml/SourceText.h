// What a string, a lyric syllable or a dictionary key of an MML source may
// hold, so that the compiler reads it back the same.
#pragma once

#include <string>
#include <string_view>

#include "import/TextCodes.h"

// True when every character of `text` is one code page 932 has (so a source
// holds it in either encoding) and none is a double quote, a line feed, Ctrl-Z
// or a zero byte: the text can stand inside a string as it is.
bool fitsInString(std::string_view text);

// True when `text` can be a singer's name: it fits in a string and holds no
// carriage return, which the compiler refuses in a singer's name.
bool fitsAsSingerName(std::string_view text);

// True when `text` can be a syllable of a lyric looked up in a dictionary:
// it fits in a string, is not empty, holds no blank, tab or carriage return
// (which the lyric walk skips and a dictionary key cannot hold), none of ":;[]"
// and does not start with a
// character the lyric walk gives a meaning of its own ("&", a long-vowel mark,
// a small "tsu").
bool fitsAsSyllable(std::string_view text);

// True when `symbols` can be written between brackets: not empty, every byte
// printable ASCII, and no "]" or double quote.
bool fitsInBrackets(std::string_view symbols);
