// Reads the preprocessed token stream as MML commands and drives the compiler
// with each command and lyric as soon as it is recognised.
#pragma once

#include <memory>

class Preprocessor;
class CommandSink;
class StringPool;

class CommandParser {
public:
    virtual ~CommandParser() = default;
    // Parses the whole input; the result carries no meaning.
    virtual int parse(Preprocessor* preprocessor, CommandSink* compiler, StringPool* pool) = 0;
};

std::unique_ptr<CommandParser> createCommandParser();
