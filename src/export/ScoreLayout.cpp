// Measures, note values and voices of the score.
#include "export/ScoreLayout.h"

#include <algorithm>
#include <functional>
#include <queue>
#include <set>
#include <utility>

#include "song/Ticks.h"

namespace {


struct NoteType {
    int64_t ticks;
    const char* name;
};
constexpr NoteType kNoteTypes[] = {
    {kTicksPerWholeNote * 4, "long"},     {kTicksPerWholeNote * 2, "breve"},
    {kTicksPerWholeNote, "whole"},        {kTicksPerWholeNote / 2, "half"},
    {kTicksPerWholeNote / 4, "quarter"},  {kTicksPerWholeNote / 8, "eighth"},
    {kTicksPerWholeNote / 16, "16th"},    {kTicksPerWholeNote / 32, "32nd"},
    {kTicksPerWholeNote / 64, "64th"},    {kTicksPerWholeNote / 128, "128th"},
};
constexpr int kMaxDots = 2;

// The value of a type with dots, when it is a whole number of ticks.
int64_t dottedTicks(int64_t ticks, int dots) {
    const int64_t part = ticks >> dots;
    if ((part << dots) != ticks) return 0;
    return (part << (dots + 1)) - part;
}

}  // namespace

std::vector<Measure> layMeasures(std::span<const MetreMark> metres, int64_t end, size_t limit) {
    std::vector<Measure> measures;
    size_t metre = 0;
    int64_t start = 0;
    do {
        bool changes = measures.empty();
        while (metre + 1 < metres.size() && metres[metre + 1].time <= start) {
            ++metre;
            changes = true;
        }
        const MetreMark& mark = metres[metre];
        const int64_t length = std::max<int64_t>(
            measureTicks(mark.numerator, std::max(mark.denominator, 1)), 1);
        int64_t measureEnd = start + length;
        if (metre + 1 < metres.size() && metres[metre + 1].time < measureEnd) {
            measureEnd = metres[metre + 1].time;
        }
        measures.push_back({start, measureEnd, &mark, changes});
        start = measureEnd;
    } while (start < end && measures.size() <= limit);
    return measures;
}

void splitIntoNoteValues(int64_t ticks, std::vector<NoteValue>& out) {
    out.clear();
    while (ticks > 0) {
        NoteValue best{ticks, nullptr, 0};
        for (const NoteType& type : kNoteTypes) {
            for (int dots = 0; dots <= kMaxDots; ++dots) {
                const int64_t value = dottedTicks(type.ticks, dots);
                if (value > 0 && value <= ticks && (best.type == nullptr || value > best.ticks)) {
                    best = {value, type.name, dots};
                }
            }
        }
        out.push_back(best);
        ticks -= best.ticks;
    }
}

std::vector<size_t> assignVoices(std::span<const ScoreNote> notes) {
    std::vector<size_t> voices(notes.size());
    std::vector<size_t> order(notes.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return notes[a].start < notes[b].start; });

    using Busy = std::pair<int64_t, size_t>;  // (end, voice)
    std::priority_queue<Busy, std::vector<Busy>, std::greater<>> busy;
    std::set<size_t> free;
    size_t voiceCount = 0;
    for (const size_t i : order) {
        while (!busy.empty() && busy.top().first <= notes[i].start) {
            free.insert(busy.top().second);
            busy.pop();
        }
        size_t voice = voiceCount;
        if (!free.empty()) {
            voice = *free.begin();
            free.erase(free.begin());
        } else {
            ++voiceCount;
        }
        voices[i] = voice;
        busy.push({notes[i].end, voice});
    }
    return voices;
}
