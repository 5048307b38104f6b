// The song's tempo map: every tempo and time-signature change of all tracks, in time order,
// as the master track of a file carries it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class Song;

struct TempoMark {
    int32_t time;  // song ticks, without the pre-measure
    int32_t bpm;
};

struct MetreMark {
    int32_t time;  // song ticks, without the pre-measure
    int32_t numerator;
    int32_t denominator;
};

struct TempoMap {
    std::vector<TempoMark> tempos;
    std::vector<MetreMark> metres;
};

// Every tempo and metre change of the song in time order, one per time: where several fall on
// one time, the one of the lowest ChangeRank (song/BarGrid.h). The first of each list is at
// time 0 (120 and 4/4 when the song sets none there). A change with a value that is not
// positive (the compiler makes none) leaves the value in force: the default at time 0, the
// change before it later on.
TempoMap collectTempoMap(const Song& song);

// Which of a tempo and a time signature at the same tick a file writes first.
// The changes are the same for every file; only their order inside one tick is
// the file format's own, and each format keeps the order its files have always
// had: the VSQ file's master track lists the tempo first, the time signature
// after it, as the format's master track was laid down, while the Standard
// MIDI File for players lists the time signature first, since it is the one
// that starts the bar the tempo then plays in.
enum class TieOrder { TempoFirst, MetreFirst };

// Every change of the map in time order, each tempo given to `onTempo` and each
// time signature to `onMetre`, at equal times in the order `ties` names.
template <typename OnTempo, typename OnMetre>
void forEachChange(const TempoMap& map, TieOrder ties, OnTempo onTempo, OnMetre onMetre) {
    size_t tempo = 0;
    size_t metre = 0;
    while (tempo < map.tempos.size() || metre < map.metres.size()) {
        bool tempoNext = metre == map.metres.size();
        if (!tempoNext && tempo < map.tempos.size()) {
            const int32_t tempoTime = map.tempos[tempo].time;
            const int32_t metreTime = map.metres[metre].time;
            tempoNext = ties == TieOrder::TempoFirst ? tempoTime <= metreTime : tempoTime < metreTime;
        }
        if (tempoNext) {
            onTempo(map.tempos[tempo++]);
        } else {
            onMetre(map.metres[metre++]);
        }
    }
}
