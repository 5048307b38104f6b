// Executes the command stream track by track into the song.
#pragma once

#include <memory>

#include "song/CommandCode.h"

class Song;
class PhoneticDictionary;
class StringPool;

class Compiler {
public:
    virtual ~Compiler() = default;
    virtual void setSong(Song* song) = 0;
    virtual void setDictionary(const PhoneticDictionary* dictionary) = 0;
    virtual void setStrings(const StringPool* strings) = 0;
    // `code` is a CommandCode or a note letter; `params` is null when `count`
    // is 0.
    virtual void command(int code, int count, const CommandParam* params) = 0;
    // `chars` holds the lyric's character codes and ends with 0.
    virtual void lyrics(const int* chars) = 0;
};

std::unique_ptr<Compiler> createCompiler();
