// The table from lyric text to phonetic symbols, loaded from a dictionary file
// and searched for the longest key that starts a lyric position.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "text/TextFile.h"

class PhoneticDictionary {
public:
    virtual ~PhoneticDictionary() = default;
    // Loads and sorts the file, read as `reading` says; false when it cannot be
    // opened or has a bad line.
    virtual bool load(const char* path, const TextReading& reading) = 0;
    // `codes` ends with 0. Returns the symbols of the longest key that starts
    // the input and points `rest` just after it, or null leaving `rest` as is.
    virtual const char* lookup(const char16_t* codes, const char16_t** rest) const = 0;
    // Hands `visit` each key (its code page 932 bytes) with the symbols it
    // gives, in the order of the file; a key defined again later gives the
    // symbols of its first definition, so the later ones are left out.
    virtual void visitInFileOrder(
        const std::function<void(std::string_view key, std::string_view symbols)>& visit) const = 0;
};

std::unique_ptr<PhoneticDictionary> createPhoneticDictionary();
