// The phonetic dictionary as the importer asks it: the longest key that
// starts a text, with its length.
#pragma once

#include "import/SyllableDictionary.h"
#include "parse/PhoneticDictionary.h"

class DictionaryLookup final : public SyllableDictionary {
public:
    explicit DictionaryLookup(const PhoneticDictionary& dictionary) : dictionary_(dictionary) {}
    const char* lookup(const char16_t* codes, size_t& matched) const override {
        const char16_t* rest = codes;
        const char* symbols = dictionary_.lookup(codes, &rest);
        if (symbols != nullptr) matched = static_cast<size_t>(rest - codes);
        return symbols;
    }

private:
    const PhoneticDictionary& dictionary_;
};
