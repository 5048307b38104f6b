// Edit distance over the compiler's known "@" commands.
#include "compile/CommandSuggestion.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "song/CommandCode.h"

namespace {

// Names longer than this are no misspelling of a command of three letters.
constexpr size_t kLongestCompared = 16;

char folded(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// Insertions, deletions and substitutions that turn `a` into `b`.
size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const size_t substitution = diagonal + (folded(a[i - 1]) == folded(b[j - 1]) ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, substitution});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string nearestCommandName(std::string_view name) {
    if (name.size() > kLongestCompared) return {};
    const size_t allowed = name.size() <= 2 ? 0 : name.size() <= 4 ? 1 : 2;
    std::string nearest;
    size_t best = allowed + 1;
    for (const int32_t code : kLetterCommands) {
        const std::string known = commandName(code);
        const size_t distance = editDistance(name, known);
        if (distance < best) {
            best = distance;
            nearest = known;
        }
    }
    return nearest;
}
