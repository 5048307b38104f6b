// Small steps shared by the directive handling and the macro handling of the
// preprocessor: reading a directive's operand and the two ways of reporting.
#pragma once

#include <string_view>

#include "source/Token.h"

class Tokenizer;

// One raw token from `input`, a second one when the first is a blank.
// Returns the kind of the token read.
int readOperand(Tokenizer& input, Token& token);

// Reports an error on the token's line and turns the token invalid.
void reportAtToken(Token& token, std::string_view message, std::string_view detail = {});

// Reports an error on the current line of `input` (line 0 without an input).
void reportAtCurrent(Tokenizer* input, std::string_view message, std::string_view detail = {});
