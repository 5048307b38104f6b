// Joins the main source and its included files into one token stream, acting on
// the directives and expanding macro uses on the way.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "source/Token.h"

class SourceReader;
class StringPool;

class Preprocessor {
public:
    // Opens `mainSource` (not owned) as the current file.
    virtual int start(SourceReader* mainSource, StringPool* pool,
                      const std::vector<std::string>* includeDirectories) = 0;
    // Fills `token` with the next token of the stream and returns its kind;
    // TokEnd at the end of the input and on every call after it.
    virtual int nextToken(Token& token) = 0;
    virtual ~Preprocessor() = default;
};

std::unique_ptr<Preprocessor> createPreprocessor();
