// Joins the main source and its included files into one token stream, acting on
// the directives and expanding macro uses on the way. Every token comes with
// its location; the files are read, found and reported on through the run's
// reading of the main source (SourceReader::reading).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "song/SourceLocation.h"
#include "source/Token.h"

class SourceReader;
class StringPool;

class Preprocessor {
public:
    // Opens `mainSource` (not owned) as the current file.
    virtual int start(SourceReader* mainSource, StringPool* pool,
                      const std::vector<std::string>* includeDirectories) = 0;
    // Fills `token` with the next token of the stream and `location` with
    // where it is written (for a token a macro made: in the macro, with the
    // use as its expansion), and returns its kind; TokEnd at the end of the
    // input and on every call after it.
    virtual int nextToken(Token& token, SourceLocation& location) = 0;
    virtual ~Preprocessor() = default;
};

std::unique_ptr<Preprocessor> createPreprocessor();
