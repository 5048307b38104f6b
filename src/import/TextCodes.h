// The texts of imported files as the song keeps them, code page 932 bytes: the
// character codes of such bytes, and UTF-8 text turned into them.
#pragma once

#include <string>
#include <string_view>

// The character codes of code page 932 bytes: a lead byte and the byte after
// it make one code. A lead byte at the end stands alone.
std::u16string characterCodes(std::string_view bytes);

// True when `bytes` are well-formed UTF-8.
bool isUtf8(std::string_view bytes);

// True when `bytes` hold a byte above 0x7F.
bool hasNonAscii(std::string_view bytes);

// UTF-8 text as code page 932 bytes; a character code page 932 does not have,
// or a byte that is not UTF-8, becomes "?" and makes the result false.
bool utf8ToCp932(std::string_view utf8, std::string& out);
