// Character codes: one int per source character, a byte 0..255 or a double-byte
// code page 932 character as lead * 256 + trail; -1 ends the input. Texts inside
// the program are sequences of these codes; these helpers turn them into the
// code page 932 bytes they were read from and back.
#pragma once

#include <string>
#include <string_view>

inline constexpr int kEndOfInput = -1;

// True for a byte that starts a double-byte character (0x80..0x9F, 0xE0..0xFF).
constexpr bool isLeadByte(int byte) {
    return (byte >= 0x80 && byte <= 0x9F) || byte >= 0xE0;
}

// Each code of 256 or more becomes two bytes, high byte first; every other code
// one byte.
std::string codesToBytes(std::u16string_view codes);
