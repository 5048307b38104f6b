// The token record handed from the tokenizer through the preprocessor to the
// command parser, the fixed numbers of its kinds, and the token with its
// location as macro bodies and expansions keep it.
#pragma once

#include <cstdint>

#include "song/CommandCode.h"
#include "song/SourceLocation.h"

enum TokenKind : int32_t {
    // No token: one the preprocessor acted on (a directive, a macro use) and
    // so passes on nothing, or an empty lookahead slot. From the tokenizer it
    // is a NUL character, which ends the input with a fatal error.
    TokNone = 0,
    TokEnd = -1,
    // A token that failed; reading stops at it, its error already reported.
    TokInvalid = -2,
    TokNumber = -16,
    TokNumberDot = -17,
    TokString = -20,
    TokDirective = -32,
    TokMacroArg = -33,
    TokMacroRef = -34,
    TokMacroCall = -35,
    TokNewline = 10,
    TokSpace = 32,
    TokLoopBegin = CmdLoopStart,  // "/:"
    TokLoopEnd = CmdLoopEnd,      // ":/"
};

// `line` is the line of the token in the text as read: for a token a macro
// made, the line of the outermost use. Where it is written travels beside it,
// as a SourceLocation.
struct Token {
    int32_t kind = TokNone;
    int32_t value = 0;
    int32_t line = 0;
};

struct LocatedToken {
    Token token;
    SourceLocation location;
};
