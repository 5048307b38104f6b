// What the command parser hands on: each command with its parameters and each
// lyric string, the moment it is complete. The compiler receives them.
#pragma once

#include <cstdint>

enum CommandParamType : int32_t {
    ParamNumber = 0,
    ParamRelative = 1,  // written with a sign: relative to the current value
    ParamString = 2,    // a string id of the string pool
};

struct CommandParam {
    CommandParamType type = ParamNumber;
    int32_t value = 0;
};

class CommandSink {
public:
    virtual ~CommandSink() = default;
    // `code` is a CommandCode or a note letter; `params` is null when `count`
    // is 0.
    virtual void command(int code, int count, const CommandParam* params) = 0;
    // `chars` holds the lyric's character codes and ends with 0.
    virtual void lyrics(const char16_t* chars) = 0;
};
