// The preprocessor's shared steps.
#include "source/PreprocessorSteps.h"

#include "diag/Diagnostics.h"
#include "source/SourceReader.h"
#include "source/Tokenizer.h"

int readOperand(Tokenizer& input, LocatedToken& operand) {
    if (input.read(operand.token, operand.location) == TokSpace)
        input.read(operand.token, operand.location);
    return operand.token.kind;
}

void reportAtToken(Tokenizer& input, LocatedToken& token, const msg::Message& message,
                   std::string_view detail) {
    input.source()->reading().diagnostics.error(message, token.location, token.token.line, detail);
    token.token.kind = TokInvalid;
}

void reportAtCurrent(Tokenizer& input, const SourceLocation& about, const msg::Message& message,
                     std::string_view detail) {
    const SourceReader* source = input.source();
    source->reading().diagnostics.error(message, about, source->line(), detail);
}
