// Cuts the characters of one source file into tokens. Texts of strings and
// names go into the string pool; the token carries their id.
#pragma once

#include <memory>

#include "source/Token.h"

class SourceReader;
class StringPool;

class Tokenizer {
public:
    virtual ~Tokenizer() = default;
    virtual void attach(SourceReader* source, StringPool* pool) = 0;
    virtual SourceReader* source() = 0;
    // Fills `token` with the next token and returns its kind.
    virtual int read(Token& token) = 0;
};

std::unique_ptr<Tokenizer> createTokenizer();
