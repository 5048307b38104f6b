// Finding the split notes among a track's note parts.
#include "mml/PrintedNotes.h"

#include "song/Song.h"

namespace {

// The shortest note the compiler splits is 90 ticks.
constexpr int64_t kShortestSplitNote = 90;

bool sameSound(const ImportedNote& a, const ImportedNote& b) {
    return a.note == b.note && a.velocity == b.velocity && a.bendDepth == b.bendDepth &&
           a.bendLength == b.bendLength && a.portamentoUse == b.portamentoUse && a.decay == b.decay &&
           a.accent == b.accent;
}

// True when parts `first` and the one after it are the two parts of one split note.
bool splitParts(const ImportedSong& song, const ImportedNote& first, const ImportedNote& second) {
    return first.length == kSplitOffset && first.vibratoType == 0 && second.time == first.time + kSplitOffset &&
           kSplitOffset + second.length >= kShortestSplitNote && sameSound(first, second) &&
           // The split holds the vibrato within the second part.
           (second.vibratoType == 0 || second.vibratoLength <= second.length) &&
           // A long-vowel mark after "&" would drop the split.
           !isLongVowelLyric(song.lyricOf(second).text);
}

}  // namespace

std::vector<PrintedNote> printedNotes(const ImportedSong& song, const ImportedTrack& track) {
    std::vector<PrintedNote> printed;
    printed.reserve(track.notes.size());
    for (size_t i = 0; i < track.notes.size(); ++i) {
        const ImportedNote& note = track.notes[i];
        if (i + 1 < track.notes.size() && splitParts(song, note, track.notes[i + 1])) {
            printed.push_back({note.time, static_cast<int32_t>(kSplitOffset + track.notes[i + 1].length),
                               static_cast<uint32_t>(i), 1});
            ++i;
        } else {
            printed.push_back({note.time, note.length, static_cast<uint32_t>(i), 0});
        }
    }
    return printed;
}
