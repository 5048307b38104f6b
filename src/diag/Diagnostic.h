// One report as a record: how grave it is, the catalogue entry it gives, where
// it points, its detail, and the way it came there through macro uses and
// include directives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "diag/Message.h"
#include "song/SourceLocation.h"

enum class Severity : uint8_t { Error, Warning };

// A place a report came through, from the one nearest to what it is about
// outward.
struct DiagnosticStep {
    enum class Kind : uint8_t {
        WrittenInMacro,  // where the thing is written in the body of the macro that made it
        MacroUse,        // a use of a macro written in another macro's body, that made it
        IncludedFrom,    // the include directive that brought in the file before it
    };
    Kind kind = Kind::IncludedFrom;
    SourceLocation location;
};

// What a report says beyond its catalogue text, in English: the value given
// and the range allowed, the name that was likely meant, the place that caused
// it. The console prints it on standard error under the report's excerpt, with
// an excerpt of `location` too when that is known.
struct DiagnosticNote {
    std::string text;  // code page 932 text (most of it ASCII); empty: no note
    SourceLocation location;
};

struct Diagnostic {
    Severity severity = Severity::Error;
    const msg::Message* message = nullptr;  // an entry of diag/Messages.h, never null
    // Where it points in the text as read, as the console names its file: for
    // a thing a macro made, the outermost use (the body and the uses between
    // are steps of the chain). Not known() for a report without a position.
    SourceLocation location;
    std::string detail;  // code page 932 text, or a path (message->detail says)
    // The places it came through: where a macro wrote it and the uses
    // between, then the include directives from the innermost file outward.
    std::vector<DiagnosticStep> chain;
    DiagnosticNote note;  // its location, if known, is in the text as read

    std::string_view id() const { return message->id; }
};
