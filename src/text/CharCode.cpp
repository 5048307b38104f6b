// Conversions between character-code strings and code page 932 bytes.
#include "text/CharCode.h"

std::string codesToBytes(std::u16string_view codes) {
    std::string bytes;
    bytes.reserve(codes.size() * 2);
    for (const char16_t code : codes) {
        if (code >= 256) bytes.push_back(static_cast<char>(code >> 8));
        bytes.push_back(static_cast<char>(code & 0xFFu));
    }
    return bytes;
}
