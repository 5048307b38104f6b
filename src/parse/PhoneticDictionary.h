// The table from lyric text to phonetic symbols, loaded from a dictionary file
// and searched for the longest key that starts a lyric position.
#pragma once

#include <memory>

class PhoneticDictionary {
public:
    virtual ~PhoneticDictionary() = default;
    // Loads and sorts the file; false when it cannot be opened or has a bad line.
    virtual bool load(const char* path) = 0;
    // `codes` (character codes) ends with 0. Returns the symbols of the longest
    // key that starts the input and points `rest` just after it, or null
    // leaving `rest` as is.
    virtual const char* lookup(const char16_t* codes, const char16_t** rest) const = 0;
};

std::unique_ptr<PhoneticDictionary> createPhoneticDictionary();
