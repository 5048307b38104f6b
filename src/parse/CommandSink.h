// What the command parser hands on: each command with its parameters and each
// lyric string, the moment it is complete, with where it stands. The compiler
// receives them.
#pragma once

#include <cstdint>

#include "song/SourceLocation.h"

enum CommandParamType : int32_t {
    ParamNumber = 0,
    ParamRelative = 1,  // written with a sign: relative to the current value
    ParamString = 2,    // a string id of the string pool
};

struct CommandParam {
    CommandParamType type = ParamNumber;
    int32_t value = 0;
};

// Where a command or a lyric stands.
struct CommandPlace {
    // Its first token, with the columns up to its last one when they are
    // written on one line; for a command a macro made, in the macro, with the
    // use as its expansion.
    SourceLocation written;
    // The line its reports name on the console: that of the token the parser
    // took last (after a length or a parameter list, the token after the
    // command), unless that token stands in another file (an included file
    // ended or began right after the command): then the command's own line.
    int32_t consoleLine = 0;
};

class CommandSink {
public:
    virtual ~CommandSink() = default;
    // `code` is a CommandCode or a note letter; `params` is null when `count`
    // is 0.
    virtual void command(int code, int count, const CommandParam* params,
                         const CommandPlace& place) = 0;
    // `chars` holds the lyric's character codes and ends with 0.
    virtual void lyrics(const char16_t* chars, const CommandPlace& place) = 0;
};
