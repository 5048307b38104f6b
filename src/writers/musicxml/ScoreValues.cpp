// The note types and how durations are cut into them.
#include "writers/musicxml/ScoreValues.h"

#include "song/Ticks.h"
#include "song/Pitch.h"

namespace {

struct NoteType {
    int64_t ticks;
    const char* name;
};
constexpr NoteType kNoteTypes[] = {
    {7680, "long"}, {3840, "breve"}, {1920, "whole"}, {960, "half"},  {480, "quarter"},
    {240, "eighth"}, {120, "16th"},  {60, "32nd"},    {30, "64th"},   {15, "128th"},
};
constexpr int kMaxDots = 2;

// The value of a type with dots, when it is a whole number of ticks.
int64_t dottedTicks(int64_t ticks, int dots) {
    const int64_t part = ticks >> dots;
    if ((part << dots) != ticks) return 0;
    return (part << (dots + 1)) - part;
}

const NoteType* typeOf(int64_t ticks) {
    for (const NoteType& type : kNoteTypes) {
        if (type.ticks == ticks) return &type;
    }
    return nullptr;
}

}  // namespace

void splitNoteValues(int64_t ticks, int64_t quantum, std::vector<NoteValue>& out) {
    while (ticks >= quantum && quantum > 0) {
        NoteValue best{0, nullptr, 0};
        for (const NoteType& type : kNoteTypes) {
            for (int dots = 0; dots <= kMaxDots; ++dots) {
                const int64_t value = dottedTicks(type.ticks, dots);
                if (value > best.ticks && value <= ticks && value % quantum == 0) {
                    best = {value, type.name, dots};
                }
            }
        }
        if (best.type == nullptr) break;  // quantum is shorter than every type
        out.push_back(best);
        ticks -= best.ticks;
    }
}

void splitAlignedValues(int64_t from, int64_t to, int64_t quantum, std::vector<NoteValue>& out) {
    while (from < to && quantum > 0) {
        int64_t value = quantum;
        while (typeOf(value * 2) != nullptr && from % (value * 2) == 0 && from + value * 2 <= to) {
            value *= 2;
        }
        const NoteType* type = typeOf(value);
        if (type == nullptr || from + value > to) break;
        out.push_back({value, type->name, 0});
        from += value;
    }
}

NoteValue singleValue(int64_t ticks) {
    for (const NoteType& type : kNoteTypes) {
        for (int dots = 0; dots <= 1; ++dots) {
            if (dottedTicks(type.ticks, dots) == ticks) return {ticks, type.name, dots};
        }
    }
    return {ticks, nullptr, 0};
}

bool isFlagged(const NoteValue& value) {
    for (const NoteType& type : kNoteTypes) {
        if (type.name == value.type) return type.ticks < kTicksPerQuarterNote;
    }
    return false;
}
