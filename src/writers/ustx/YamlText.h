// Text for a YAML document: any UTF-8 string as a double-quoted scalar that a
// YAML reader gives back exactly, whatever it holds (colons, "#", quotes,
// blanks at either end, kana, control characters).
#pragma once

#include <string>
#include <string_view>

// Appends `utf8` between double quotes: the quote and the backslash escaped,
// and every character a YAML reader would fold, drop or refuse (the control
// characters, the line and paragraph separators, the byte order mark) written
// as an escape. Bytes that are not UTF-8 become U+FFFD.
void appendYamlQuoted(std::string& out, std::string_view utf8);
