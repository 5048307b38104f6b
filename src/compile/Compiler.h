// Executes the command stream track by track into the song.
#pragma once

#include <memory>

#include "compile/LyricReport.h"
#include "parse/CommandSink.h"

class Diagnostics;
class Song;
class PhoneticDictionary;
class StringPool;
struct SourceTrace;

// The compiler receives the parser's commands and lyrics (CommandSink).
class Compiler : public CommandSink {
public:
    virtual void setSong(Song* song) = 0;
    virtual void setDictionary(const PhoneticDictionary* dictionary) = 0;
    virtual void setStrings(const StringPool* strings) = 0;
    // Where each syllable and rest was written goes to `trace` when one is
    // given (an editor's run); by default nothing is kept.
    virtual void setSourceTrace(SourceTrace* trace) = 0;
    // What the lyrics left for the hints, once the source has ended.
    virtual LyricReport lyricReport() const = 0;
};

// Its reports go to `diagnostics`, each about the command or lyric it concerns.
std::unique_ptr<Compiler> createCompiler(Diagnostics& diagnostics);
