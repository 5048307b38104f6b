// The token record handed from the tokenizer through the preprocessor to the
// command parser, and the fixed numbers of its kinds.
#pragma once

#include <cstdint>

struct Token {
    int32_t kind = 0;
    int32_t value = 0;
    int32_t line = 0;
};

enum TokenKind : int32_t {
    TokEnd = -1,
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
    TokLoopBegin = 0x2F3A,
    TokLoopEnd = 0x3A2F,
};
