// Reading numbers out of imported texts.
#include "import/Numbers.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

constexpr int64_t kLargest = 1000000000000000;  // 10^15

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<int64_t> parseInteger(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    if (value < -kLargest || value > kLargest) return std::nullopt;
    return value;
}

std::optional<double> parseDecimal(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.size() > 64) return std::nullopt;
    std::string copy(text);
    for (char& c : copy) {
        if (c == ',') c = '.';
    }
    double value = 0;
    const auto [end, error] = std::from_chars(copy.data(), copy.data() + copy.size(), value);
    if (error != std::errc() || end != copy.data() + copy.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

int64_t roundToInteger(double value) {
    if (!(value > -static_cast<double>(kLargest))) return -kLargest;
    if (!(value < static_cast<double>(kLargest))) return kLargest;
    return static_cast<int64_t>(std::llround(value));
}
