// Making an imported song one the compiler could have written.
#include "import/SongCleanup.h"

#include <algorithm>
#include <iterator>

#include "song/CurveTable.h"
#include "song/Limits.h"
#include "song/Ticks.h"

namespace {

void cleanUpNotes(std::vector<ImportedNote>& notes, NotCarried& lost) {
    std::stable_sort(notes.begin(), notes.end(),
                     [](const ImportedNote& a, const ImportedNote& b) { return a.time < b.time; });
    std::vector<ImportedNote> kept;
    kept.reserve(notes.size());
    for (ImportedNote note : notes) {
        if (note.time < 0 || note.time > kLastImportedTick) {
            lost.note("notes before the song's start or past the longest time a track can reach are left out");
            continue;
        }
        if (note.length < 0) note.length = 0;
        if (note.time + note.length > kLastImportedTick)
            note.length = static_cast<int32_t>(kLastImportedTick - note.time);
        if (!kept.empty() && kept.back().time == note.time) {
            lost.note("notes that start together in one track (chords): only the first is kept");
            continue;
        }
        if (!kept.empty() && kept.back().time + kept.back().length > note.time) {
            lost.note("overlapping notes: a note is cut where the next one starts");
            kept.back().length = static_cast<int32_t>(note.time - kept.back().time);
        }
        if (note.vibratoType == 0) note.vibratoLength = 0;
        kept.push_back(note);
    }
    notes.swap(kept);
}

void cleanUpSingers(ImportedTrack& track) {
    std::vector<ImportedSinger>& singers = track.singers;
    for (ImportedSinger& singer : singers) singer.time = std::max<int64_t>(singer.time, 0);
    std::stable_sort(singers.begin(), singers.end(),
                     [](const ImportedSinger& a, const ImportedSinger& b) { return a.time < b.time; });
    // The singer at the start is the last change at time 0, or the default.
    ImportedSinger first{0, 0, 0, std::string(kDefaultSingerName)};
    size_t next = 0;
    for (; next < singers.size() && singers[next].time == 0; ++next) first = singers[next];
    // A change after the last note's start sings nothing.
    const int64_t lastStart = track.notes.empty() ? 0 : track.notes.back().time;
    std::vector<ImportedSinger> kept{first};
    for (; next < singers.size() && singers[next].time <= lastStart; ++next) kept.push_back(singers[next]);
    singers.swap(kept);
}

void cleanUpCurves(ImportedTrack& track, NotCarried& lost) {
    const int64_t end = track.notes.empty() ? 0 : track.notes.back().time + track.notes.back().length;
    for (const CurveInfo& curve : kCurves) {
        std::vector<ImportedPoint>& points = track.curves[static_cast<size_t>(curve.id)];
        std::stable_sort(points.begin(), points.end(),
                         [](const ImportedPoint& a, const ImportedPoint& b) { return a.tick < b.tick; });
        std::vector<ImportedPoint> kept;
        kept.reserve(points.size());
        for (ImportedPoint point : points) {
            if (point.tick < 0) {
                // The value the curve has reached when the song starts.
                lost.note("curve points before the song's start: the value they reach is given at its start");
                point.tick = 0;
                if (!kept.empty()) {
                    kept.back().value = point.value;
                    continue;
                }
            }
            if (point.tick >= end) {
                lost.note("curve points after the end of a track's last note");
                continue;
            }
            if (point.value < curve.minimum || point.value > curve.maximum) {
                lost.note("curve values outside their range are held at its edge");
                point.value = std::clamp(point.value, curve.minimum, curve.maximum);
            }
            if (!kept.empty() && kept.back().tick == point.tick) {
                kept.back() = point;
            } else {
                kept.push_back(point);
            }
        }
        points.swap(kept);
    }
}

// Sorts `marks` by time and keeps the last of each time, with one at time 0
// (`start` unless the song gives its own).
template <typename Mark>
void oneMarkPerTime(std::vector<Mark>& marks, Mark start) {
    std::stable_sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.time < b.time; });
    std::vector<Mark> kept{start};
    for (const Mark& mark : marks) {
        if (mark.time < 0) continue;
        if (kept.back().time == mark.time) {
            kept.back() = mark;
        } else {
            kept.push_back(mark);
        }
    }
    marks.swap(kept);
}

bool validMetre(const MetreMark& mark) {
    static constexpr int32_t kDenominators[] = {1, 2, 4, 8, 16, 32};
    return mark.numerator >= 1 && mark.numerator <= 255 &&
           std::find(std::begin(kDenominators), std::end(kDenominators), mark.denominator) !=
               std::end(kDenominators);
}

void cleanUpTempoMap(TempoMap& map, NotCarried& lost) {
    for (TempoMark& mark : map.tempos) {
        if (mark.bpm < kTempoRange.minimum || mark.bpm > kTempoRange.maximum) {
            lost.note("tempos outside 20 to 300 beats a minute are held at the nearer end");
            mark.bpm = std::clamp(mark.bpm, kTempoRange.minimum, kTempoRange.maximum);
        }
    }
    oneMarkPerTime(map.tempos, TempoMark{0, kDefaultTempo});

    std::erase_if(map.metres, [&](const MetreMark& mark) {
        if (validMetre(mark)) return false;
        lost.note("time signatures the language cannot write (a numerator above 255, a denominator "
                  "other than 1, 2, 4, 8, 16 or 32) are left out");
        return true;
    });
    oneMarkPerTime(map.metres, MetreMark{0, kDefaultMetreNumerator, kDefaultMetreDenominator});
    // A change inside a bar takes effect at the next bar line.
    std::vector<MetreMark> placed{map.metres.front()};
    for (size_t i = 1; i < map.metres.size(); ++i) {
        MetreMark mark = map.metres[i];
        const MetreMark& before = placed.back();
        const int64_t bar = measureTicks(before.numerator, before.denominator);
        const int64_t into = (mark.time - before.time) % bar;
        if (into != 0) {
            lost.note("time signatures inside a bar take effect at the next bar line");
            mark.time = static_cast<int32_t>(std::min<int64_t>(mark.time + bar - into, INT32_MAX));
        }
        if (placed.back().time == mark.time) {
            placed.back() = mark;
        } else {
            placed.push_back(mark);
        }
    }
    map.metres.swap(placed);
}

}  // namespace

void cleanUpImportedSong(ImportedSong& song) {
    NotCarried& lost = song.notCarried;
    for (ImportedTrack& track : song.tracks) cleanUpNotes(track.notes, lost);
    std::erase_if(song.tracks, [&](const ImportedTrack& track) {
        if (!track.notes.empty()) return false;
        lost.note("voice tracks without notes are left out");
        return true;
    });
    if (song.tracks.size() > static_cast<size_t>(kMaxTracks)) {
        lost.note("voice tracks after the 32nd are left out");
        song.tracks.resize(static_cast<size_t>(kMaxTracks));
    }
    for (ImportedTrack& track : song.tracks) {
        cleanUpSingers(track);
        cleanUpCurves(track, lost);
    }
    cleanUpTempoMap(song.tempoMap, lost);
}
