// The preprocessor's shared steps.
#include "source/PreprocessorSteps.h"

#include "diag/Reporter.h"
#include "source/SourceReader.h"
#include "source/Tokenizer.h"

int readOperand(Tokenizer& input, Token& token) {
    if (input.read(token) == TokSpace) input.read(token);
    return token.kind;
}

void reportAtToken(Token& token, std::string_view message, std::string_view detail) {
    getReporter().error(token.line, message, detail);
    token.kind = TokInvalid;
}

void reportAtCurrent(Tokenizer* input, std::string_view message, std::string_view detail) {
    const SourceReader* source = input != nullptr ? input->source() : nullptr;
    getReporter().error(source != nullptr ? source->line() : 0, message, detail);
}
