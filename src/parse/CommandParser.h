// Reads the preprocessed token stream as MML commands and drives the compiler
// with each command and lyric as soon as it is recognised, each with its place.
#pragma once

#include <memory>

class Diagnostics;
class Preprocessor;
class CommandSink;
class StringPool;

class CommandParser {
public:
    virtual ~CommandParser() = default;
    // Parses the whole input; the result carries no meaning.
    virtual int parse(Preprocessor* preprocessor, CommandSink* compiler, StringPool* pool) = 0;
};

// Its reports go to `diagnostics`, whose map of files places them.
std::unique_ptr<CommandParser> createCommandParser(Diagnostics& diagnostics);
