// Text for an XML document: UTF-8 with the markup characters escaped.
#pragma once

#include <string>
#include <string_view>

// Appends UTF-8 text as XML character data: "&", "<" and ">" escaped, and the
// control characters XML cannot carry left out.
void appendXmlText(std::string& out, std::string_view utf8);
