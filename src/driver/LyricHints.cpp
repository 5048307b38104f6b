// Lyric hints, worded like the program's other hints: English, on standard
// error, after "tuvommlc: hint: ". Lyric text is shown in the console's
// encoding, file names as the user typed them.
#include "driver/LyricHints.h"

#include <cstdio>
#include <string>

#include "compile/LyricReport.h"
#include "driver/Console.h"
#include "song/Song.h"
#include "text/Encoding.h"

namespace {

void printHint(const std::string& text) { printNote("hint: " + text); }

// "1 note", "3 notes".
std::string counted(int64_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string placeText(const SourcePlace& place) {
    return place.file + "(" + std::to_string(place.line) + ")";
}

// Where the syllables and the notes part ways, when a note before sang.
std::string partingText(const UnsungNotes& unsung) {
    if (unsung.lastSyllable.empty()) return {};
    return "; syllables and notes part ways after '" + consoleText(unsung.lastSyllable) +
           "', the last syllable sung, of the lyric at " + placeText(unsung.lastLyric);
}

}  // namespace

void printLyricHints(const LyricReport& report, bool errorsReported) {
    for (const SurplusLyric& surplus : report.surpluses) {
        printHint(placeText(surplus.place) + ": the lyric has " +
                  counted(surplus.syllables, "syllable") + " for " +
                  counted(surplus.waitingNotes, "note") + " waiting in track " +
                  std::to_string(surplus.track) + "; '" + consoleText(surplus.leftOver) +
                  "' is the first left over");
    }
    if (report.moreSurpluses > 0) {
        printHint(std::to_string(report.moreSurpluses) +
                  " more lyrics have more syllables than notes waiting for them");
    }
    for (const OpenLoop& loop : report.openLoops) {
        printHint(placeText(loop.opened) + ": the loop opened here in track " +
                  std::to_string(loop.track) +
                  " is never closed (the track is not selected where the source ends); its part "
                  "is played once");
    }
    // After an error a lyric walk may have stopped early, so unsung notes then
    // say nothing of lyrics running out; the errors come first.
    if (errorsReported) return;
    for (const UnsungNotes& unsung : report.unsung) {
        printHint("track " + std::to_string(unsung.track) + ": the lyrics ran out: " +
                  counted(unsung.count, "note") + (unsung.count == 1 ? " sings" : " sing") +
                  " the default '" + consoleText(kDefaultLyricText) + "', the first at " +
                  placeText(unsung.first) + partingText(unsung));
    }
}
