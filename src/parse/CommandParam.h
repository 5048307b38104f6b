// One parameter of a command as the parser hands it to the compiler.
#pragma once

#include <cstdint>

struct CommandParam {
    int32_t type = 0;   // 0 number, 1 signed relative number, 2 string id
    int32_t value = 0;
};

enum CommandParamType : int32_t {
    ParamNumber = 0,
    ParamRelative = 1,
    ParamString = 2,
};

// Packs a command's characters big-endian into its code: "@DE" -> 0x404445.
constexpr int32_t commandCode(const char* name) {
    uint32_t code = 0;
    for (const char* p = name; *p != 0; ++p) code = (code << 8) | static_cast<unsigned char>(*p);
    return static_cast<int32_t>(code);
}
