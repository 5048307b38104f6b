// What the importer asks of a phonetic dictionary: the longest key that starts
// a text, and its symbols, as the compiler's lyric conversion finds it. The
// readers of formats without phonetic symbols convert their lyrics with it, and
// the MML printer checks that each syllable it writes gives the note's symbols.
// The program gives it the dictionary the printed song will be compiled with.
#pragma once

#include <cstddef>

class SyllableDictionary {
public:
    virtual ~SyllableDictionary() = default;
    // `codes` (character codes) ends with 0. The symbols of the longest key
    // that starts it, with `matched` set to the key's length in codes; null,
    // leaving `matched` as it was, when no key does.
    virtual const char* lookup(const char16_t* codes, size_t& matched) const = 0;
};
