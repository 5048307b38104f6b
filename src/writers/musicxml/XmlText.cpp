// Escaping of XML character data.
#include "writers/musicxml/XmlText.h"

void appendXmlText(std::string& out, std::string_view utf8) {
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '&') {
            out.append("&amp;");
        } else if (c == '<') {
            out.append("&lt;");
        } else if (c == '>') {
            out.append("&gt;");
        } else if (byte >= 0x20 || c == '\t' || c == '\n' || c == '\r') {
            out.push_back(c);
        }
    }
}
