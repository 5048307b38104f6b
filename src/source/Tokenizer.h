// Cuts the characters of one source file into tokens. Texts of strings and
// names go into the string pool; the token carries their id. Each token comes
// with its location: the file, its line and the columns from its first
// character to just after its last (a line end, also one that ends a comment,
// ends on its own line).
#pragma once

#include <memory>

#include "song/SourceLocation.h"
#include "source/Token.h"

class SourceReader;
class StringPool;

class Tokenizer {
public:
    virtual ~Tokenizer() = default;
    virtual void attach(SourceReader* source, StringPool* pool) = 0;
    virtual SourceReader* source() = 0;
    // Fills `token` with the next token and `location` with where it stands,
    // and returns its kind.
    virtual int read(Token& token, SourceLocation& location) = 0;
};

std::unique_ptr<Tokenizer> createTokenizer();
