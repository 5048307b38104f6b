// The printer's order: singer names made fit for a source, the tracks laid
// out (their notes, curve groups, singer changes, and the tempo map's changes
// each in the first track where nothing sounds at its time), the lyrics
// planned, loops found, the tracks printed, and the header put in front.
#include "mml/MmlPrinter.h"

#include <algorithm>
#include <vector>

#include "mml/Bars.h"
#include "mml/LoopPlan.h"
#include "mml/LyricPlan.h"
#include "mml/PrintedNotes.h"
#include "mml/SourceText.h"
#include "mml/TrackPrinter.h"
#include "mml/TrackScore.h"
#include "song/CurveTable.h"
#include "song/Limits.h"

namespace {

// Singer names that a source cannot hold get "_" for each character it
// cannot; languages and programs are numbers of 0 or more.
void fitSingers(ImportedSong& song) {
    for (ImportedTrack& track : song.tracks) {
        for (ImportedSinger& singer : track.singers) {
            if (!fitsAsSingerName(singer.name)) {
                std::string fitted;
                for (const char16_t code : characterCodes(singer.name)) {
                    std::string character;
                    if (code >= 0x100) character.push_back(static_cast<char>(code >> 8));
                    character.push_back(static_cast<char>(code & 0xFF));
                    fitted.append(fitsAsSingerName(character) ? character : "_");
                }
                singer.name = fitted;
                song.notCarried.note("characters of singer names that a source cannot hold become \"_\"");
            }
            if (singer.language < 0 || singer.program < 0) {
                song.notCarried.note("negative singer languages and programs become 0");
                singer.language = std::max(singer.language, 0);
                singer.program = std::max(singer.program, 0);
            }
        }
    }
}

bool itemBefore(const TrackItem& a, const TrackItem& b) {
    return a.time != b.time ? a.time < b.time : a.kind < b.kind;
}

TrackScore layOutTrack(const ImportedSong& song, const ImportedTrack& track, int number) {
    TrackScore score;
    score.track = &track;
    score.number = number;
    score.notes = printedNotes(song, track);
    score.joined.assign(score.notes.size(), 0);
    for (size_t i = 1; i < score.notes.size(); ++i) {
        const PrintedNote& before = score.notes[i - 1];
        score.joined[i] = (score.part(i).portamentoUse & 1) != 0 && before.time + before.length == score.notes[i].time;
    }
    for (const CurveInfo& curve : kCurves) {
        const auto id = static_cast<size_t>(curve.id);
        score.groups[id] = fitCurve(track.curves[id]);
    }
    const ImportedSinger start{0, 0, 0, std::string(kDefaultSingerName)};
    for (size_t i = 0; i < track.singers.size(); ++i) {
        if (i == 0 && track.singers[0] == start) continue;
        score.items.push_back({track.singers[i].time, static_cast<uint32_t>(i), ItemKind::Singer});
    }
    score.items.reserve(score.items.size() + score.notes.size());
    for (size_t i = 0; i < score.notes.size(); ++i)
        score.items.push_back({score.notes[i].time, static_cast<uint32_t>(i), ItemKind::Note});
    return score;
}

// Gives each change of the tempo map to the first track where it can stand;
// a track of its own, after the voice tracks, takes those no voice track can.
void placeTempoMap(const ImportedSong& song, std::vector<TrackScore>& scores, const ImportedTrack& conductor,
                   NotCarried& lost) {
    const auto place = [&](int64_t time, ItemKind kind, size_t number) {
        const TrackItem item{time, static_cast<uint32_t>(number), kind};
        if (time == 0 && !scores.empty()) {
            scores.front().items.push_back(item);
            return;
        }
        for (TrackScore& score : scores) {
            if (isBetweenNotes(score, time)) {
                score.items.push_back(item);
                return;
            }
        }
        if (scores.size() >= static_cast<size_t>(kMaxTracks)) {
            lost.note("tempo and time-signature changes while a note sounds in each of 32 voice tracks");
            return;
        }
        TrackScore own;
        own.track = &conductor;
        own.number = static_cast<int>(scores.size()) + 1;
        own.items.push_back(item);
        scores.push_back(std::move(own));
    };
    const TempoMap& map = song.tempoMap;
    for (size_t i = 0; i < map.metres.size(); ++i) {
        const MetreMark& metre = map.metres[i];
        const bool defaultStart = i == 0 && metre.numerator == kDefaultMetreNumerator &&
                                  metre.denominator == kDefaultMetreDenominator;
        if (!defaultStart) place(metre.time, ItemKind::Metre, i);
    }
    for (size_t i = 0; i < map.tempos.size(); ++i) place(map.tempos[i].time, ItemKind::Tempo, i);
    for (TrackScore& score : scores) std::stable_sort(score.items.begin(), score.items.end(), itemBefore);
}

// Each singer's first registration, in the order the song first names them.
std::string registrations(const ImportedSong& song, SingerRegistry& singers) {
    std::string text;
    for (const ImportedTrack& track : song.tracks) {
        for (const ImportedSinger& singer : track.singers) {
            if (singers.contains(singer.name)) continue;
            singers[singer.name] = {singer.language, singer.program};
            text.append(singerRegistration(singer)).append("\n");
        }
    }
    return text;
}

std::string header(const ImportedSong& song, const MmlNames& names, bool withDictionary) {
    std::string text = "; " + names.source + ", imported by tuvommlc. One line per bar.\n";
    if (names.utf8) text.append("; This file is UTF-8: compile it with -u.\n");
    if (withDictionary) {
        text.append("; The phonetic symbols of its syllables are in ")
            .append(names.dictionary)
            .append(": compile it with -p ")
            .append(names.dictionary)
            .append(".\n");
    }
    const std::vector<std::string>& lost = song.notCarried.kinds();
    if (!lost.empty()) {
        text.append(";\n; Not carried from the file:\n");
        for (const std::string& kind : lost) text.append(";  - ").append(kind).append("\n");
    }
    return text;
}

}  // namespace

MmlPrintout printMml(ImportedSong& song, const SyllableDictionary& dictionary, const MmlNames& names) {
    fitSingers(song);
    std::vector<TrackScore> scores;
    for (size_t k = 0; k < song.tracks.size(); ++k)
        scores.push_back(layOutTrack(song, song.tracks[k], static_cast<int>(k) + 1));
    const ImportedTrack conductor;
    placeTempoMap(song, scores, conductor, song.notCarried);

    const LyricPlan lyrics(song, scores, dictionary);

    const MmlBars bars(song.tempoMap.metres);
    SingerRegistry singers;
    std::string body = registrations(song, singers);
    for (size_t k = 0; k < scores.size(); ++k) {
        const std::vector<LoopSpan> loops = planLoops(song, scores[k], bars);
        printTrack(song, scores[k], k, lyrics, bars, loops, singers, body);
    }
    MmlPrintout printout;
    const bool withDictionary = !lyrics.songDictionary().empty();
    printout.mml = header(song, names, withDictionary) + body;
    if (withDictionary) printout.dictionary = lyrics.songDictionary().fileText(names.mml);
    return printout;
}
