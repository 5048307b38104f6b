// Every text cut out of the source is kept here and named by its 1-based id,
// so that tokens, command parameters and song events can carry plain ints.
#pragma once

#include <memory>
#include <string>

class StringPool {
public:
    // Appends `text` (moved in, when the caller gives it up) and returns its id
    // (the number of strings held).
    virtual int add(std::u16string text) = 0;
    // The string with that id, or null when there is none.
    virtual const std::u16string* get(int id) const = 0;
    virtual ~StringPool() = default;
};

std::unique_ptr<StringPool> createStringPool();
