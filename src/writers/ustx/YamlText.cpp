// Double-quoted YAML scalars.
#include "writers/ustx/YamlText.h"

#include "text/Encoding.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The scalar value of the UTF-8 sequence at `at`, which is moved past it; a
// byte that starts no valid sequence is taken alone and gives U+FFFD.
char32_t nextScalar(std::string_view text, size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    const Utf8Lead form = utf8Lead(lead);
    if (form.following < 0) return kReplacement;
    if (text.size() - at < static_cast<size_t>(form.following)) return kReplacement;
    char32_t scalar = form.bits;
    for (int i = 0; i < form.following; ++i) {
        const auto byte = static_cast<unsigned char>(text[at + static_cast<size_t>(i)]);
        const unsigned char low = i == 0 ? form.low : 0x80;
        const unsigned char high = i == 0 ? form.high : 0xBF;
        if (byte < low || byte > high) return kReplacement;
        scalar = (scalar << 6) | (byte & 0x3F);
    }
    at += static_cast<size_t>(form.following);
    return scalar;
}

// Characters a YAML reader does not take literally inside double quotes.
bool needsEscape(char32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           c == 0xFEFF || c == 0xFFFE || c == 0xFFFF;
}

void appendEscape(std::string& out, char32_t c) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out.append("\\u");
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
}

}  // namespace

void appendYamlQuoted(std::string& out, std::string_view utf8) {
    out.push_back('"');
    for (size_t at = 0; at < utf8.size();) {
        const char32_t c = nextScalar(utf8, at);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (needsEscape(c)) {
            appendEscape(out, c);
        } else {
            appendUtf8(out, c);
        }
    }
    out.push_back('"');
}
