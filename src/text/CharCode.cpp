// Conversions between character-code strings and code page 932 bytes.
#include "text/CharCode.h"

namespace {

template <typename Codes>
std::string toBytes(const Codes& codes) {
    std::string bytes;
    bytes.reserve(codes.size() * 2);
    for (auto code : codes) {
        const unsigned value = static_cast<unsigned>(code) & 0xFFFFu;
        if (value >= 256) bytes.push_back(static_cast<char>(value >> 8));
        bytes.push_back(static_cast<char>(value & 0xFFu));
    }
    return bytes;
}

}  // namespace

std::string codesToBytes(std::u16string_view codes) { return toBytes(codes); }

std::string codesToBytes(std::span<const int> codes) { return toBytes(codes); }
