// Small steps shared by the directive handling and the macro handling of the
// preprocessor: reading a directive's operand and the two ways of reporting.
#pragma once

#include "diag/Message.h"
#include "song/SourceLocation.h"
#include "source/Token.h"

#include <string_view>

class Tokenizer;

// One raw token from `input`, a second one when the first is a blank.
// Returns the kind of the token read.
int readOperand(Tokenizer& input, LocatedToken& operand);

// Reports an error about `token` on its line and turns it invalid.
void reportAtToken(Tokenizer& input, LocatedToken& token, const msg::Message& message,
                   std::string_view detail = {});

// Reports an error about the thing at `about` that the console shows on the
// line `input` is read at: the line a use ends on, or after a one-line
// definition the line after it.
void reportAtCurrent(Tokenizer& input, const SourceLocation& about, const msg::Message& message,
                     std::string_view detail = {});
