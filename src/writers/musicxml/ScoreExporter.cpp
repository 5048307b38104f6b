// The MusicXML export: a partwise score, 480 divisions a quarter note, song
// ticks without the VSQ file's pre-measure. Every part has the same measures,
// laid from the metre map up to the end of the last note as written. A note is
// written with its step, the time the source gives it up to the next note or
// rest, not the shorter time it sounds; one that sounds for half of that or
// less is marked staccato. Each measure's times are quantised to its grid
// (ScoreLayout), one measure ahead of the writing so that a note reaching
// into the next measure is known to end at its bar line or after it. The
// first part carries the tempo marks, each at its time. The notes are made as
// the writing reaches them and let go once written (WrittenNotes), and the
// text is gathered in a block that goes to the file whenever it fills, so the
// score needs no memory per note of the song.
#include "writers/musicxml/ScoreExporter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "writers/musicxml/ScoreLayout.h"
#include "writers/musicxml/ScoreMeasure.h"
#include "writers/musicxml/ScoreSpelling.h"
#include "writers/musicxml/WrittenNotes.h"
#include "writers/musicxml/XmlText.h"
#include "output/BlockOutput.h"
#include "output/KeptTexts.h"
#include "output/NumberText.h"
#include "output/OutputSink.h"
#include "platform/Platform.h"
#include "render/PlayerVoice.h"
#include "render/RenderedSong.h"
#include "song/Song.h"
#include "song/TempoMap.h"
#include "song/Ticks.h"
#include "text/Encoding.h"

namespace {

constexpr int kMiddleC = 60;
// The most measures in all parts together: empty measures cost some hundred
// bytes each, so this bounds the file a song of long silences can make.
constexpr size_t kMaxMeasureCells = size_t{1} << 20;
// The most characters of a note's or rest's text but its lyric's texts: its
// fixed texts, those of its lyric, and 3 numbers. (Room of 2 KB or more is
// cleared byte by byte.)
constexpr size_t kMostPieceText = 1536;

// The tempo marks as the first part writes them, at their quantised times.
struct PlacedTempo {
    const TempoMark* mark;
    int64_t time;
};

// The quantised times of one part, worked out measure by measure.
class PartPlacement {
public:
    PartPlacement(WrittenNotes& notes, std::vector<PlacedTempo>* tempos)
        : notes_(notes), tempos_(tempos) {}

    // Places the times of the next measure and returns its grid.
    MeasureGrid place(const Measure& measure);
    // The first note with a time still to place.
    size_t firstUnplaced() const { return std::min(nextStart_, nextEnd_); }

private:
    WrittenNotes& notes_;
    std::vector<PlacedTempo>* tempos_;
    size_t nextStart_ = 0;
    size_t nextEnd_ = 0;
    size_t nextTempo_ = 0;
    std::vector<int64_t> times_;
};

// Starts and marks belong to the measure they fall in, ends to the one they
// close (a note ending on a bar line ends in the measure before it).
MeasureGrid PartPlacement::place(const Measure& measure) {
    times_.clear();
    size_t starts = nextStart_;
    for (; starts < notes_.size() && notes_[starts].start < measure.end; ++starts) {
        times_.push_back(notes_[starts].start);
    }
    size_t ends = nextEnd_;
    for (; ends < notes_.size() && notes_[ends].end <= measure.end; ++ends) {
        times_.push_back(notes_[ends].end);
    }
    size_t tempos = nextTempo_;
    for (; tempos_ != nullptr && tempos < tempos_->size() &&
           (*tempos_)[tempos].time < measure.end;
         ++tempos) {
        times_.push_back((*tempos_)[tempos].time);
    }
    std::sort(times_.begin(), times_.end());
    MeasureGrid grid(measure, times_);
    for (; nextStart_ < starts; ++nextStart_) {
        notes_[nextStart_].placedStart = grid.snap(notes_[nextStart_].start);
    }
    for (; nextEnd_ < ends; ++nextEnd_) notes_[nextEnd_].placedEnd = grid.snap(notes_[nextEnd_].end);
    for (; nextTempo_ < tempos; ++nextTempo_) {
        (*tempos_)[nextTempo_].time = grid.snap((*tempos_)[nextTempo_].time);
    }
    return grid;
}

// The metronome mark of a tempo in a metre: the metre's beat where the tempo
// counts it in whole beats a minute, else the quarter note.
struct Metronome {
    const char* unit;
    bool dotted;
    int64_t perMinute;
};
Metronome metronomeOf(int32_t bpm, const MetreMark& metre) {
    const int64_t beat = beatOf(metre);
    if (beat == 3 * kTicksPerQuarterNote / 2 && bpm * 2 % 3 == 0) {
        return {"quarter", true, bpm * 2 / 3};
    }
    if (beat == 2 * kTicksPerQuarterNote && bpm % 2 == 0) return {"half", false, bpm / 2};
    return {"quarter", false, bpm};
}

class MusicXmlWriter {
public:
    MusicXmlWriter(std::FILE* file, std::span<const Measure> measures)
        : out_(file), measures_(measures) {}

    void header(std::span<const std::string> partNames);
    void part(size_t index, const VoiceTrack& voice, std::vector<PlacedTempo>* tempos);
    void footer() { append("</score-partwise>\n"); }
    // Writes what is left and closes `file`, the stream written. Returns the
    // error number of the first write or of the close that failed, 0 when none did.
    int close(std::unique_ptr<std::FILE, platform::FileCloser> file) {
        return out_.close(std::move(file));
    }

private:
    void append(std::string_view text) {
        out_.text().append(text);
        out_.done();
    }
    void appendNumber(int64_t value) { vsqtext::appendDecimal(out_.text(), value); }
    void appendText(std::string_view cp932);
    // The code page 932 text as XML: kept from before, or made in `scratch`
    // once too many are kept.
    std::string_view xmlText(std::string_view cp932, std::string& scratch);
    void instrument(size_t index);
    void attributes(const Measure& measure, bool first, bool bassClef);
    void measure(const Measure& measure, const MeasureGrid& grid,
                 WrittenNotes& notes, size_t& next, std::vector<PlacedTempo>* tempos,
                 size_t& nextTempo, bool lastMeasure);
    void tempoMark(const TempoMark& mark, const MetreMark& metre);
    void piece(const Piece& piece, const WrittenNote* note);
    char* pitch(char* at, const NoteEvent& event);
    // A note's lyric texts as XML.
    struct LyricTexts {
        std::string_view first;
        std::string_view second;
        std::string_view smallTsu;
    };
    char* lyric(char* at, const WrittenNote& note, const LyricTexts& texts);

    BlockOutput out_;
    std::span<const Measure> measures_;
    std::vector<PlacedNote> placed_;
    std::vector<Piece> pieces_;
    std::vector<int64_t> cuts_;
    // The texts written so far as XML by their code page 932 bytes: a song
    // sings the same few syllables again and again. With the pieces and their
    // lyrics put straight into the block, saves 17% of the instructions of the
    // score of a 100k-note song.
    KeptTexts xmlTexts_;
    std::string scratch_[3];  // a note's lyric texts when too many are kept
};

void MusicXmlWriter::appendText(std::string_view cp932) {
    std::string scratch;
    out_.text().append(xmlText(cp932, scratch));
}

std::string_view MusicXmlWriter::xmlText(std::string_view cp932, std::string& scratch) {
    const std::string_view text = fileText(cp932);
    if (text.empty()) return {};  // a note without a small tsu
    return xmlTexts_.of(std::string(text), scratch, [](const std::string& kept) {
        std::string xml;
        appendXmlText(xml, cp932ToUtf8(kept));
        return xml;
    });
}

void MusicXmlWriter::header(std::span<const std::string> partNames) {
    append("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
           "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 Partwise//EN\" "
           "\"http://www.musicxml.org/dtds/partwise.dtd\">\n"
           "<score-partwise version=\"4.0\">\n"
           "  <part-list>\n");
    for (size_t i = 0; i < partNames.size(); ++i) {
        append("    <score-part id=\"P");
        appendNumber(static_cast<int64_t>(i) + 1);
        append("\">\n      <part-name>");
        appendText(partNames[i]);
        append("</part-name>\n");
        instrument(i);
        append("    </score-part>\n");
    }
    append("  </part-list>\n");
}

// The part's one instrument: the sound and channel the MIDI file gives the
// same voice track, so a score editor plays the part as the MIDI file does.
void MusicXmlWriter::instrument(size_t index) {
    const auto id = [&] {
        append("\"P");
        appendNumber(static_cast<int64_t>(index) + 1);
        append("-I1\">\n");
    };
    append("      <score-instrument id=");
    id();
    append("        <instrument-name>");
    append(kChoirAahsName);
    append("</instrument-name>\n      </score-instrument>\n      <midi-instrument id=");
    id();
    append("        <midi-channel>");
    appendNumber(channelOf(index) + 1);
    append("</midi-channel>\n        <midi-program>");
    appendNumber(kChoirAahs + 1);
    append("</midi-program>\n      </midi-instrument>\n");
}

void MusicXmlWriter::part(size_t index, const VoiceTrack& voice, std::vector<PlacedTempo>* tempos) {
    const std::vector<NoteEvent>& events = voice.track().notes;
    const size_t low = static_cast<size_t>(std::count_if(
        events.begin(), events.end(), [](const NoteEvent& n) { return n.note < kMiddleC; }));
    WrittenNotes notes(voice);
    PartPlacement placement(notes, tempos);

    append("  <part id=\"P");
    appendNumber(static_cast<int64_t>(index) + 1);
    append("\">\n");
    size_t next = 0;
    size_t nextTempo = 0;
    MeasureGrid grid = placement.place(measures_[0]);
    for (size_t m = 0; m < measures_.size(); ++m) {
        const bool lastMeasure = m + 1 == measures_.size();
        MeasureGrid following = lastMeasure ? grid : placement.place(measures_[m + 1]);
        append("    <measure number=\"");
        appendNumber(static_cast<int64_t>(m) + 1);
        append("\">\n");
        attributes(measures_[m], m == 0, low * 2 > notes.size());
        measure(measures_[m], grid, notes, next, tempos, nextTempo, lastMeasure);
        append("    </measure>\n");
        notes.letGoBefore(std::min(next, placement.firstUnplaced()));
        grid = std::move(following);
    }
    append("  </part>\n");
}

void MusicXmlWriter::attributes(const Measure& measure, bool first, bool bassClef) {
    if (!measure.metreChanges) return;
    append("      <attributes>\n");
    if (first) {
        append("        <divisions>");
        appendNumber(kTicksPerQuarterNote);
        append("</divisions>\n        <key>\n          <fifths>0</fifths>\n        </key>\n");
    }
    append("        <time>\n          <beats>");
    appendNumber(measure.metre->numerator);
    append("</beats>\n          <beat-type>");
    appendNumber(measure.metre->denominator);
    append("</beat-type>\n        </time>\n");
    if (first) {
        append(bassClef ? "        <clef>\n          <sign>F</sign>\n          <line>4</line>\n"
                        : "        <clef>\n          <sign>G</sign>\n          <line>2</line>\n");
        append("        </clef>\n");
    }
    append("      </attributes>\n");
}

// The notes that start in the measure or reach into it, the tempo marks at
// their times, and the rests between.
void MusicXmlWriter::measure(const Measure& measure, const MeasureGrid& grid,
                             WrittenNotes& notes, size_t& next,
                             std::vector<PlacedTempo>* tempos, size_t& nextTempo,
                             bool lastMeasure) {
    placed_.clear();
    for (size_t i = next; i < notes.size(); ++i) {
        const WrittenNote& note = notes[i];
        const bool graceAtEnd = lastMeasure && note.placedStart == measure.end &&
                                note.placedEnd == measure.end && note.start < measure.end;
        if (note.start >= measure.end || (note.placedStart >= measure.end && !graceAtEnd)) break;
        placed_.push_back({note.placedStart, note.placedEnd, i});
    }
    while (next < notes.size() && notes[next].placedEnd <= measure.end &&
           notes[next].placedStart < measure.end) {
        ++next;
    }
    if (lastMeasure) next = notes.size();

    cuts_.clear();
    size_t tempoEnd = nextTempo;
    while (tempos != nullptr && tempoEnd < tempos->size() &&
           ((*tempos)[tempoEnd].time < measure.end ||
            (lastMeasure && (*tempos)[tempoEnd].time == measure.end))) {
        cuts_.push_back((*tempos)[tempoEnd++].time);
    }
    layMeasurePieces(measure, grid, placed_, cuts_, pieces_);
    for (const Piece& p : pieces_) {
        for (; nextTempo < tempoEnd && (*tempos)[nextTempo].time <= p.start; ++nextTempo) {
            tempoMark(*(*tempos)[nextTempo].mark, *measure.metre);
        }
        piece(p, p.note == kRestPiece ? nullptr : &notes[placed_[p.note].index]);
    }
    for (; nextTempo < tempoEnd; ++nextTempo) tempoMark(*(*tempos)[nextTempo].mark, *measure.metre);
}

void MusicXmlWriter::tempoMark(const TempoMark& mark, const MetreMark& metre) {
    const Metronome metronome = metronomeOf(mark.bpm, metre);
    append("      <direction placement=\"above\">\n        <direction-type>\n"
           "          <metronome>\n            <beat-unit>");
    append(metronome.unit);
    append("</beat-unit>\n");
    if (metronome.dotted) append("            <beat-unit-dot/>\n");
    append("            <per-minute>");
    appendNumber(metronome.perMinute);
    append("</per-minute>\n          </metronome>\n        </direction-type>\n"
           "        <sound tempo=\"");
    appendNumber(mark.bpm);
    append("\"/>\n      </direction>\n");
}

char* MusicXmlWriter::pitch(char* at, const NoteEvent& event) {
    const Spelling spelling =
        spellPitch(std::clamp<int32_t>(event.note, 0, 127), event.writtenLetter, event.writtenAccidental);
    at = putText(at, "        <pitch>\n          <step>");
    *at++ = spelling.step;
    at = putText(at, "</step>\n");
    if (spelling.alter != 0) {
        at = putText(at, "          <alter>");
        at = vsqtext::putDecimal(at, spelling.alter);
        at = putText(at, "</alter>\n");
    }
    at = putText(at, "          <octave>");
    at = vsqtext::putDecimal(at, spelling.octave);
    return putText(at, "</octave>\n        </pitch>\n");
}

// A new syllable, with the second one of a note split by "&" joined to it
// (an elision), and an extension line when notes after it hold its vowel.
char* MusicXmlWriter::lyric(char* at, const WrittenNote& note, const LyricTexts& texts) {
    at = putText(at, "        <lyric number=\"1\">\n          <syllabic>single</syllabic>\n"
                     "          <text>");
    at = putText(at, texts.first);
    if (note.secondLyric == nullptr) at = putText(at, texts.smallTsu);
    at = putText(at, "</text>\n");
    if (note.secondLyric != nullptr) {
        at = putText(at, "          <elision/>\n          <syllabic>single</syllabic>\n          <text>");
        at = putText(at, texts.second);
        at = putText(at, texts.smallTsu);
        at = putText(at, "</text>\n");
    }
    if (note.slurStart) at = putText(at, "          <extend/>\n");
    return putText(at, "        </lyric>\n");
}

void MusicXmlWriter::piece(const Piece& piece, const WrittenNote* note) {
    const bool grace = note != nullptr && piece.duration == 0;
    const bool tieStop = note != nullptr && !piece.first && !grace;
    const bool tieStart = note != nullptr && !piece.last && !grace;
    // The lyric's texts, found before the room for the piece is taken.
    const bool sings = note != nullptr && piece.first && !note->held;
    LyricTexts texts;
    if (sings) {
        texts.first = xmlText(note->event->lyric.text.view(), scratch_[0]);
        if (note->secondLyric != nullptr) texts.second = xmlText(note->secondLyric->text.view(), scratch_[1]);
        texts.smallTsu = xmlText(smallTsuText(note->smallTsu), scratch_[2]);
    }
    char* at = out_.room(kMostPieceText + texts.first.size() + texts.second.size() +
                         texts.smallTsu.size());
    at = putText(at, "      <note>\n");
    if (grace) at = putText(at, "        <grace slash=\"yes\"/>\n");
    if (note == nullptr) {
        at = putText(at, "        <rest/>\n");
    } else {
        at = pitch(at, *note->event);
    }
    if (!grace) {
        at = putText(at, "        <duration>");
        at = vsqtext::putDecimal(at, piece.duration);
        at = putText(at, "</duration>\n");
    }
    if (tieStop) at = putText(at, "        <tie type=\"stop\"/>\n");
    if (tieStart) at = putText(at, "        <tie type=\"start\"/>\n");
    at = putText(at, "        <voice>1</voice>\n        <type>");
    at = putText(at, piece.value.type);
    at = putText(at, "</type>\n");
    for (int d = 0; d < piece.value.dots; ++d) at = putText(at, "        <dot/>\n");
    if (piece.triplet) {
        at = putText(at, "        <time-modification>\n          <actual-notes>3</actual-notes>\n"
                         "          <normal-notes>2</normal-notes>\n        </time-modification>\n");
    }
    if (piece.beam != Beam::None) {
        at = putText(at, "        <beam number=\"1\">");
        at = putText(at, piece.beam == Beam::Begin      ? "begin"
                         : piece.beam == Beam::Continue ? "continue"
                                                        : "end");
        at = putText(at, "</beam>\n");
    }
    const bool slurStart = note != nullptr && piece.first && note->slurStart;
    const bool slurStop = note != nullptr && piece.last && note->slurStop;
    const NoteEvent* event = note != nullptr ? note->event : nullptr;
    const bool staccato = event != nullptr && piece.first && !grace &&
                          int64_t{event->length} * 2 <= note->end - note->start;
    if (tieStop || tieStart || slurStart || slurStop || staccato || piece.tupletStart ||
        piece.tupletStop) {
        at = putText(at, "        <notations>\n");
        if (tieStop) at = putText(at, "          <tied type=\"stop\"/>\n");
        if (tieStart) at = putText(at, "          <tied type=\"start\"/>\n");
        if (slurStop) at = putText(at, "          <slur type=\"stop\" number=\"1\"/>\n");
        if (slurStart) at = putText(at, "          <slur type=\"start\" number=\"1\"/>\n");
        if (piece.tupletStart) at = putText(at, "          <tuplet type=\"start\" bracket=\"yes\"/>\n");
        if (piece.tupletStop) at = putText(at, "          <tuplet type=\"stop\"/>\n");
        if (staccato) {
            at = putText(at, "          <articulations>\n            <staccato/>\n"
                             "          </articulations>\n");
        }
        at = putText(at, "        </notations>\n");
    }
    if (sings) at = lyric(at, *note, texts);
    out_.wrote(putText(at, "      </note>\n"));
}

// The part's name: the singer the track is named after, or "Voice N" when
// that is the default singer, not one the song chose, or has no name.
std::string partName(const VoiceTrack& voice) {
    const Singer& singer = voice.namingSinger();
    if (singer.chosen && !singer.name.empty()) return singer.name;
    return "Voice " + std::to_string(voice.number());
}

class MusicXmlExporter final : public ScoreExporter {
public:
    bool write(const RenderedSong& song, const std::string& path, OutputSink& sink) override;
};

bool MusicXmlExporter::write(const RenderedSong& song, const std::string& path, OutputSink& sink) {
    if (!hasVoices(song)) return false;
    const std::span<const VoiceTrack> voices = song.voices();

    // The score ends with the measure that holds the end of the last note as
    // written.
    int64_t end = 0;
    for (const VoiceTrack& voice : voices) {
        for (const NoteEvent& note : voice.track().notes) {
            end = std::max(end, int64_t{note.time} + std::max(note.step, 0));
        }
    }
    const size_t limit = kMaxMeasureCells / voices.size();
    const std::vector<Measure> measures = song.bars().barsUntil(end, limit);
    if (measures.size() > limit) {
        getReporter().error(msg::kTooManyMeasures, path);
        return false;
    }
    std::vector<std::string> names;
    for (const VoiceTrack& voice : voices) names.push_back(partName(voice));
    std::vector<PlacedTempo> tempos;
    for (const TempoMark& mark : song.tempoMap().tempos) tempos.push_back({&mark, mark.time});

    // Closed here on every way out, also when the memory runs out on the way,
    // and before a file given up is removed.
    std::unique_ptr<std::FILE, platform::FileCloser> file(sink.open(path));
    if (!file) return false;
    MusicXmlWriter writer(file.get(), measures);
    writer.header(names);
    for (size_t i = 0; i < voices.size(); ++i) writer.part(i, voices[i], i == 0 ? &tempos : nullptr);
    writer.footer();
    return sink.keep(path, writer.close(std::move(file)));
}

}  // namespace

std::unique_ptr<ScoreExporter> createScoreExporter() {
    return std::make_unique<MusicXmlExporter>();
}
