// Lengths as note values, and note names.
#include "mml/NoteValues.h"

#include <array>

#include "song/Ticks.h"

namespace {

// The single note values, longest first: each plain value is followed by its
// dotted form.
struct NoteValue {
    int64_t ticks;
    const char* text;
};
constexpr std::array<NoteValue, 14> kNoteValues = {{
    {1920 + 960, "1."}, {1920, "1"}, {960 + 480, "2."}, {960, "2"}, {480 + 240, "4."}, {480, "4"},
    {240 + 120, "8."}, {240, "8"},   {120 + 60, "16."}, {120, "16"}, {60 + 30, "32."}, {60, "32"},
    {30 + 15, "64."},  {30, "64"},
}};
static_assert(kNoteValues[1].ticks == kTicksPerWholeNote);

// The longest and shortest single values; every value is a multiple of the
// dotted sixty-fourth's half.
constexpr int64_t kLongestValue = kNoteValues.front().ticks;
constexpr int64_t kValueGrain = 15;

const char* singleValueText(int64_t ticks) {
    for (const NoteValue& value : kNoteValues) {
        if (value.ticks == ticks) return value.text;
    }
    return nullptr;
}

// The note values that add up to `ticks` in the fewest parts, at most three,
// longest first; empty when none do.
std::string fewestTiedValues(int64_t ticks) {
    if (ticks <= 0 || ticks % kValueGrain != 0 || ticks > 3 * kLongestValue) return {};
    if (const char* one = singleValueText(ticks)) return one;
    for (const NoteValue& first : kNoteValues) {
        if (first.ticks >= ticks) continue;
        if (const char* second = singleValueText(ticks - first.ticks))
            return std::string(first.text) + "^" + second;
    }
    for (const NoteValue& first : kNoteValues) {
        for (const NoteValue& second : kNoteValues) {
            if (second.ticks > first.ticks || first.ticks + second.ticks >= ticks) continue;
            if (const char* third = singleValueText(ticks - first.ticks - second.ticks))
                return std::string(first.text) + "^" + second.text + "^" + third;
        }
    }
    return {};
}

}  // namespace

std::string singleNoteValue(int64_t ticks) {
    const char* text = singleValueText(ticks);
    return text != nullptr ? text : std::string();
}

std::string lengthText(int64_t ticks, int64_t defaultLength) {
    if (ticks == defaultLength) return {};
    std::string text = fewestTiedValues(ticks);
    if (!text.empty()) return text;
    return "*" + std::to_string(ticks);
}

bool isNoteValueLength(int64_t ticks) { return !fewestTiedValues(ticks).empty(); }

int32_t octaveOf(int32_t note) { return (note - 24 + 240) / 12 - 20; }

const char* noteName(int32_t note) {
    static constexpr const char* kNames[] = {"c", "c+", "d", "d+", "e", "f", "f+", "g", "g+", "a", "a+", "b"};
    return kNames[(note - 24 + 240) % 12];
}
