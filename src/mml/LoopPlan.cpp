// Finding runs of repeated bars: a bar gets a hash of what happens in it
// (times counted from the bar's start) when it is first compared, equal hashes
// are confirmed item by item, and at each bar the body of one to eight bars
// that covers the most bars is taken. Stretches of bars where nothing starts
// are passed in one step: rests become loops of one bar, and bars a note
// sounds through need nothing.
#include "mml/LoopPlan.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

#include "song/CurveTable.h"

namespace {

constexpr int64_t kLongestBody = 8;
constexpr int64_t kMostPasses = 1000;

// The contents of the bars of one track.
class BarContents {
public:
    BarContents(const ImportedSong& song, const TrackScore& score, const MmlBars& bars)
        : song_(song), score_(score), bars_(bars) {
        int64_t last = 0;
        if (!score.items.empty()) last = score.items.back().time;
        barCount_ = bars.barOf(last) + 1;
    }

    int64_t barCount() const { return barCount_; }
    bool clean(int64_t bar) const { return info(bar).clean; }

    // The first bar from `bar` on where an item or a curve group starts.
    int64_t nextBusyBar(int64_t bar) const {
        const int64_t start = bars_.startOf(bar);
        int64_t next = INT64_MAX;
        const auto item = std::lower_bound(score_.items.begin(), score_.items.end(), start,
                                           [](const TrackItem& i, int64_t t) { return i.time < t; });
        if (item != score_.items.end()) next = item->time;
        for (const CurveInfo& curve : kCurves) {
            const std::vector<CurveGroup>& groups = score_.groups[static_cast<size_t>(curve.id)];
            const size_t group = firstGroupFrom(groups, start);
            if (group < groups.size()) next = std::min(next, groups[group].start);
        }
        return next == INT64_MAX ? barCount_ : std::min(barCount_, bars_.barOf(next));
    }

    bool same(int64_t a, int64_t b) const {
        if (info(a).hash != info(b).hash) return false;
        const int64_t startA = bars_.startOf(a);
        const int64_t startB = bars_.startOf(b);
        if (bars_.startOf(a + 1) - startA != bars_.startOf(b + 1) - startB) return false;
        const auto [firstA, endA] = itemRange(a);
        const auto [firstB, endB] = itemRange(b);
        if (endA - firstA != endB - firstB) return false;
        for (size_t i = 0; i < endA - firstA; ++i) {
            if (!sameItem(score_.items[firstA + i], startA, score_.items[firstB + i], startB)) return false;
        }
        for (const CurveInfo& curve : kCurves) {
            const std::vector<CurveGroup>& groups = score_.groups[static_cast<size_t>(curve.id)];
            const auto [gA, gEndA] = groupRange(groups, a);
            const auto [gB, gEndB] = groupRange(groups, b);
            if (gEndA - gA != gEndB - gB) return false;
            for (size_t i = 0; i < gEndA - gA; ++i) {
                const CurveGroup& x = groups[gA + i];
                const CurveGroup& y = groups[gB + i];
                if (x.start - startA != y.start - startB || x.end - startA != y.end - startB || x.value != y.value ||
                    x.ramp != y.ramp)
                    return false;
            }
            // A ramp starts from the value before it.
            if (gEndA > gA && groups[gA].ramp && valueBefore(groups, gA) != valueBefore(groups, gB)) return false;
        }
        return true;
    }

    // True when no curve group reaches into the bars [first, end) from before
    // them or out of them.
    bool groupsStayInside(int64_t first, int64_t end) const {
        const int64_t start = bars_.startOf(first);
        const int64_t stop = bars_.startOf(end);
        for (const CurveInfo& curve : kCurves) {
            const std::vector<CurveGroup>& groups = score_.groups[static_cast<size_t>(curve.id)];
            const size_t before = firstGroupFrom(groups, start);
            if (before > 0 && groups[before - 1].end > start) return false;
            const size_t inside = firstGroupFrom(groups, stop);
            if (inside > before && groups[inside - 1].end > stop) return false;
        }
        return true;
    }

private:
    std::pair<size_t, size_t> itemRange(int64_t bar) const {
        const auto from = [&](int64_t time) {
            return static_cast<size_t>(
                std::lower_bound(score_.items.begin(), score_.items.end(), time,
                                 [](const TrackItem& item, int64_t t) { return item.time < t; }) -
                score_.items.begin());
        };
        return {from(bars_.startOf(bar)), from(bars_.startOf(bar + 1))};
    }

    static size_t firstGroupFrom(const std::vector<CurveGroup>& groups, int64_t time) {
        return static_cast<size_t>(
            std::lower_bound(groups.begin(), groups.end(), time,
                             [](const CurveGroup& g, int64_t t) { return g.start < t; }) -
            groups.begin());
    }

    std::pair<size_t, size_t> groupRange(const std::vector<CurveGroup>& groups, int64_t bar) const {
        return {firstGroupFrom(groups, bars_.startOf(bar)), firstGroupFrom(groups, bars_.startOf(bar + 1))};
    }

    static int32_t valueBefore(const std::vector<CurveGroup>& groups, size_t index) {
        return index > 0 ? groups[index - 1].value : 0;
    }

    bool sameNote(size_t a, size_t b) const {
        const PrintedNote& x = score_.notes[a];
        const PrintedNote& y = score_.notes[b];
        if (x.split != y.split || x.length != y.length || score_.joined[a] != score_.joined[b]) return false;
        const auto sameParts = [](const ImportedNote& p, const ImportedNote& q) {
            return p.length == q.length && p.lyric == q.lyric && p.vibratoLength == q.vibratoLength &&
                   p.note == q.note && p.velocity == q.velocity && p.bendDepth == q.bendDepth &&
                   p.bendLength == q.bendLength && p.portamentoUse == q.portamentoUse && p.decay == q.decay &&
                   p.accent == q.accent && p.vibratoType == q.vibratoType;
        };
        return sameParts(score_.part(a), score_.part(b)) && (!x.split || sameParts(score_.secondPart(a), score_.secondPart(b)));
    }

    bool sameItem(const TrackItem& x, int64_t startX, const TrackItem& y, int64_t startY) const {
        if (x.kind != y.kind || x.time - startX != y.time - startY) return false;
        switch (x.kind) {
        case ItemKind::Note: return sameNote(x.index, y.index);
        case ItemKind::Singer: return score_.track->singers[x.index] == score_.track->singers[y.index];
        case ItemKind::Tempo: return song_.tempoMap.tempos[x.index].bpm == song_.tempoMap.tempos[y.index].bpm;
        case ItemKind::Metre: {
            const MetreMark& m = song_.tempoMap.metres[x.index];
            const MetreMark& n = song_.tempoMap.metres[y.index];
            return m.numerator == n.numerator && m.denominator == n.denominator;
        }
        }
        return false;
    }

    uint64_t hashOf(int64_t bar) const {
        uint64_t hash = 1469598103934665603ull;
        const auto mix = [&](int64_t value) { hash = (hash ^ static_cast<uint64_t>(value)) * 1099511628211ull; };
        const int64_t start = bars_.startOf(bar);
        mix(bars_.startOf(bar + 1) - start);
        const auto [first, end] = itemRange(bar);
        for (size_t i = first; i < end; ++i) {
            const TrackItem& item = score_.items[i];
            mix(static_cast<int64_t>(item.kind));
            mix(item.time - start);
            if (item.kind == ItemKind::Note) {
                const ImportedNote& part = score_.part(item.index);
                mix(score_.notes[item.index].length);
                mix(part.note);
                mix(part.lyric);
            }
        }
        for (const CurveInfo& curve : kCurves) {
            const std::vector<CurveGroup>& groups = score_.groups[static_cast<size_t>(curve.id)];
            const auto [g, gEnd] = groupRange(groups, bar);
            for (size_t i = g; i < gEnd; ++i) {
                mix(groups[i].start - start);
                mix(groups[i].value);
            }
        }
        return hash;
    }

    struct BarInfo {
        uint64_t hash;
        bool clean;  // no note sounds across its bar lines
    };

    const BarInfo& info(int64_t bar) const {
        const auto [found, added] = infos_.try_emplace(bar, BarInfo{0, false});
        if (added) {
            found->second = {hashOf(bar), isBetweenNotes(score_, bars_.startOf(bar)) &&
                                              isBetweenNotes(score_, bars_.startOf(bar + 1))};
        }
        return found->second;
    }

    const ImportedSong& song_;
    const TrackScore& score_;
    const MmlBars& bars_;
    int64_t barCount_ = 0;
    mutable std::unordered_map<int64_t, BarInfo> infos_;
};

// The best loop starting at `first`: the most bars covered by one body
// printed once; none when no body repeats.
LoopSpan bestLoopAt(const BarContents& contents, int64_t first) {
    LoopSpan best;
    int64_t bestSaved = 0;
    const int64_t count = contents.barCount();
    for (int64_t body = 1; body <= kLongestBody && first + 2 * body <= count + body; ++body) {
        if (first + body > count) break;
        bool clean = true;
        for (int64_t b = first; b < first + body && clean; ++b) clean = contents.clean(b);
        if (!clean) break;
        const auto sameBars = [&](int64_t at, int64_t bars) {
            if (at + bars > count) return false;
            for (int64_t j = 0; j < bars; ++j) {
                if (!contents.clean(at + j) || !contents.same(first + j, at + j)) return false;
            }
            return true;
        };
        int64_t passes = 1;
        while (passes < kMostPasses && sameBars(first + passes * body, body)) ++passes;
        int64_t exitBars = 0;
        if (passes < kMostPasses) {
            for (int64_t j = body - 1; j >= 1; --j) {
                if (sameBars(first + passes * body, j)) {
                    exitBars = j;
                    break;
                }
            }
        }
        // Passes cut at an exit count as the last pass.
        const int64_t allPasses = passes + (exitBars > 0 ? 1 : 0);
        if (allPasses < 2) continue;
        LoopSpan span{first, body, exitBars, allPasses};
        while (span.passes >= 2 && !contents.groupsStayInside(first, first + span.coveredBars())) {
            // A curve group that reaches out of the run ends it a pass earlier.
            if (span.exitBars > 0) {
                span.exitBars = 0;
            }
            --span.passes;
        }
        if (span.passes < 2) continue;
        const int64_t saved = span.coveredBars() - body;
        if (saved > bestSaved) {
            bestSaved = saved;
            best = span;
        }
    }
    return best;
}

}  // namespace

std::vector<LoopSpan> planLoops(const ImportedSong& song, const TrackScore& score, const MmlBars& bars) {
    const BarContents contents(song, score, bars);
    std::vector<LoopSpan> loops;
    int64_t bar = 0;
    while (bar < contents.barCount()) {
        const int64_t busy = contents.nextBusyBar(bar);
        if (busy > bar + 1) {
            // Bars where nothing starts: a note sounds through them, or the
            // track rests, a loop of one bar at a time signature's length.
            const int64_t stretch = std::min(busy, bars.stretchEnd(bar));
            if (!isBetweenNotes(score, bars.startOf(bar))) {
                bar = std::max(bar + 1, bars.barOf(soundingUntil(score, bars.startOf(bar))));
                continue;
            }
            const int64_t passes = std::min(stretch - bar, kMostPasses);
            if (passes >= 2) {
                loops.push_back({bar, 1, 0, passes});
                bar += passes;
                continue;
            }
        }
        const LoopSpan loop = bestLoopAt(contents, bar);
        if (loop.passes >= 2) {
            loops.push_back(loop);
            bar += loop.coveredBars();
        } else {
            ++bar;
        }
    }
    return loops;
}
