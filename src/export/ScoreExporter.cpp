// The MusicXML export: a partwise score, 480 divisions a quarter note, song
// ticks without the VSQ file's pre-measure. Every part has the same measures,
// laid from the metre map up to the end of the song's last note. In each part
// the note parts go to voices (overlapping ones to further voices); every
// voice's notes and the gaps between them are cut at bar lines and split into
// note values joined by ties. The first part carries the tempo marks. The text
// is gathered in a block that goes to the file whenever it fills.
#include "export/ScoreExporter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "export/ScoreLayout.h"
#include "export/VoiceSound.h"
#include "export/XmlText.h"
#include "output/NumberText.h"
#include "output/OutputFailure.h"
#include "output/StagedOutputFile.h"
#include "output/VoiceTracks.h"
#include "platform/Platform.h"
#include "song/Pitch.h"
#include "song/Song.h"
#include "song/TempoMap.h"
#include "song/Ticks.h"
#include "text/Encoding.h"

namespace {

constexpr int kMiddleC = 60;
// The most measures in all parts together: empty measures cost some hundred
// bytes each, so this bounds the file a song of long silences can make.
constexpr size_t kMaxMeasureCells = size_t{1} << 20;
constexpr size_t kBlockSize = size_t{1} << 16;

// A note part as the score writes it.
struct PartNote {
    ScoreNote span;
    int32_t pitch;
    const Lyric* lyric;
    bool slurStart;  // begins a run of notes joined by "&"
    bool slurStop;   // ends one
};

// The note parts of a track with a length, in track order. A split note's two
// parts, and notes joined by "&", are sung as one: they are slurred.
std::vector<PartNote> collectPartNotes(const Track& track) {
    std::vector<PartNote> notes;
    const std::vector<NoteEvent>& events = track.notes;
    for (size_t i = 0; i < events.size(); ++i) {
        const NoteEvent& note = events[i];
        const int count = notePartCount(note);
        for (int p = 1; p <= count; ++p) {
            const NotePart part = notePart(note, p);
            if (part.length <= 0) continue;
            const bool fromPrevious = p == 2 || note.joined;
            const bool toNext = p < count || (i + 1 < events.size() && events[i + 1].joined);
            notes.push_back({{part.start, part.start + part.length}, note.note, part.lyric,
                             toNext && !fromPrevious, fromPrevious && !toNext});
        }
    }
    return notes;
}

class MusicXmlWriter {
public:
    MusicXmlWriter(std::FILE* file, const TempoMap& map, std::span<const Measure> measures)
        : file_(file), map_(map), measures_(measures) {}

    void header(std::span<const Track* const> tracks);
    void part(size_t index, const Track& track);
    void instrument(size_t index);
    void footer() { append("</score-partwise>\n"); }
    // Writes what is left. Returns the error number of the first write that
    // failed, 0 when none did.
    int flush();

private:
    void append(std::string_view text) {
        out_.append(text);
        if (out_.size() >= kBlockSize) flush();
    }
    void appendNumber(int64_t value) { vsqtext::appendDecimal(out_, value); }
    void attributes(const Measure& measure, bool first, bool bassClef);
    void tempoMarks(const Measure& measure);
    // The voice's notes and rests from the measure's start to its end.
    void voice(size_t voiceNumber, std::span<const PartNote* const> notes, size_t& next,
               const Measure& measure);
    void segment(const PartNote* note, size_t voiceNumber, int64_t from, int64_t to);

    std::FILE* file_;
    const TempoMap& map_;
    std::span<const Measure> measures_;
    std::string out_;
    std::vector<NoteValue> values_;
    size_t nextTempo_ = 0;  // the first tempo mark not yet written
    int writeError_ = 0;
};

int MusicXmlWriter::flush() {
    if (!out_.empty() && std::fwrite(out_.data(), 1, out_.size(), file_) != out_.size() &&
        writeError_ == 0) {
        writeError_ = platform::failureErrorNumber(errno);
    }
    out_.clear();
    return writeError_;
}

void MusicXmlWriter::header(std::span<const Track* const> tracks) {
    append("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
           "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 Partwise//EN\" "
           "\"http://www.musicxml.org/dtds/partwise.dtd\">\n"
           "<score-partwise version=\"4.0\">\n"
           "  <part-list>\n");
    for (size_t i = 0; i < tracks.size(); ++i) {
        append("    <score-part id=\"P");
        appendNumber(static_cast<int64_t>(i) + 1);
        append("\">\n      <part-name>");
        append(voiceTrackName(static_cast<int>(i) + 1));
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

void MusicXmlWriter::part(size_t index, const Track& track) {
    const std::vector<PartNote> notes = collectPartNotes(track);
    std::vector<ScoreNote> spans;
    spans.reserve(notes.size());
    size_t low = 0;
    for (const PartNote& note : notes) {
        spans.push_back(note.span);
        if (note.pitch < kMiddleC) ++low;
    }
    const std::vector<size_t> voiceOf = assignVoices(spans);
    std::vector<std::vector<const PartNote*>> voices(1);
    for (size_t i = 0; i < notes.size(); ++i) {
        if (voiceOf[i] >= voices.size()) voices.resize(voiceOf[i] + 1);
        voices[voiceOf[i]].push_back(&notes[i]);
    }
    // Each voice's notes in time order; they never overlap within a voice.
    for (std::vector<const PartNote*>& list : voices) {
        std::stable_sort(list.begin(), list.end(), [](const PartNote* a, const PartNote* b) {
            return a->span.start < b->span.start;
        });
    }
    std::vector<size_t> next(voices.size(), 0);

    append("  <part id=\"P");
    appendNumber(static_cast<int64_t>(index) + 1);
    append("\">\n");
    for (size_t m = 0; m < measures_.size(); ++m) {
        const Measure& measure = measures_[m];
        append("    <measure number=\"");
        appendNumber(static_cast<int64_t>(m) + 1);
        append("\">\n");
        attributes(measure, m == 0, low * 2 > notes.size());
        if (index == 0) tempoMarks(measure);
        voice(1, voices[0], next[0], measure);
        // Further voices appear only in measures where they hold a note.
        for (size_t v = 1; v < voices.size(); ++v) {
            if (next[v] >= voices[v].size() || voices[v][next[v]]->span.start >= measure.end) {
                continue;
            }
            append("      <backup>\n        <duration>");
            appendNumber(measure.end - measure.start);
            append("</duration>\n      </backup>\n");
            voice(v + 1, voices[v], next[v], measure);
        }
        append("    </measure>\n");
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

// A metronome mark and the tempo it sets, at each tempo mark inside the
// measure; the measures come in order, and so do the marks.
void MusicXmlWriter::tempoMarks(const Measure& measure) {
    for (; nextTempo_ < map_.tempos.size() && map_.tempos[nextTempo_].time < measure.end;
         ++nextTempo_) {
        const TempoMark& mark = map_.tempos[nextTempo_];
        append("      <direction placement=\"above\">\n        <direction-type>\n"
               "          <metronome>\n            <beat-unit>quarter</beat-unit>\n"
               "            <per-minute>");
        appendNumber(mark.bpm);
        append("</per-minute>\n          </metronome>\n        </direction-type>\n");
        if (mark.time > measure.start) {
            append("        <offset sound=\"yes\">");
            appendNumber(mark.time - measure.start);
            append("</offset>\n");
        }
        append("        <sound tempo=\"");
        appendNumber(mark.bpm);
        append("\"/>\n      </direction>\n");
    }
}

void MusicXmlWriter::voice(size_t voiceNumber, std::span<const PartNote* const> notes,
                           size_t& next, const Measure& measure) {
    int64_t tick = measure.start;
    while (tick < measure.end) {
        if (next < notes.size() && notes[next]->span.start <= tick) {
            const PartNote* note = notes[next];
            const int64_t to = std::min(note->span.end, measure.end);
            segment(note, voiceNumber, tick, to);
            tick = to;
            if (tick == note->span.end) ++next;
        } else {
            const int64_t to =
                next < notes.size() ? std::min(notes[next]->span.start, measure.end) : measure.end;
            segment(nullptr, voiceNumber, tick, to);
            tick = to;
        }
    }
}

// The piece of a note (or, without one, of a rest) from `from` to `to`, as
// note values; a note's pieces are tied to each other and to its pieces in
// other measures.
void MusicXmlWriter::segment(const PartNote* note, size_t voiceNumber, int64_t from, int64_t to) {
    splitIntoNoteValues(to - from, values_);
    for (size_t k = 0; k < values_.size(); ++k) {
        const NoteValue& value = values_[k];
        const bool firstPiece = note != nullptr && k == 0 && from == note->span.start;
        const bool lastPiece = note != nullptr && k + 1 == values_.size() && to == note->span.end;
        const bool tieStop = note != nullptr && !firstPiece;
        const bool tieStart = note != nullptr && !lastPiece;
        append("      <note>\n");
        if (note == nullptr) {
            append("        <rest/>\n");
        } else {
            const int32_t pitch = std::clamp(note->pitch, 0, 127);
            const Spelling spelling = spellingOf(pitch % 12);
            append("        <pitch>\n          <step>");
            out_.push_back(spelling.step);
            append("</step>\n");
            if (spelling.sharp) append("          <alter>1</alter>\n");
            append("          <octave>");
            // Octaves below 0 do not exist in the notation: the lowest C is shown in octave 0.
            appendNumber(std::max(pitch / 12 - 1, 0));
            append("</octave>\n        </pitch>\n");
        }
        append("        <duration>");
        appendNumber(value.ticks);
        append("</duration>\n");
        if (tieStop) append("        <tie type=\"stop\"/>\n");
        if (tieStart) append("        <tie type=\"start\"/>\n");
        append("        <voice>");
        appendNumber(static_cast<int64_t>(voiceNumber));
        append("</voice>\n");
        if (value.type != nullptr) {
            append("        <type>");
            append(value.type);
            append("</type>\n");
            for (int d = 0; d < value.dots; ++d) append("        <dot/>\n");
        }
        const bool slurStart = firstPiece && note->slurStart;
        const bool slurStop = lastPiece && note->slurStop;
        if (tieStop || tieStart || slurStart || slurStop) {
            append("        <notations>\n");
            if (tieStop) append("          <tied type=\"stop\"/>\n");
            if (tieStart) append("          <tied type=\"start\"/>\n");
            if (slurStart) append("          <slur type=\"start\" number=\"1\"/>\n");
            if (slurStop) append("          <slur type=\"stop\" number=\"1\"/>\n");
            append("        </notations>\n");
        }
        if (firstPiece) {
            append("        <lyric number=\"1\">\n          <syllabic>single</syllabic>\n"
                   "          <text>");
            appendXmlText(out_, cp932ToUtf8(fileText(note->lyric->text.view())));
            append("</text>\n        </lyric>\n");
        }
        append("      </note>\n");
    }
}

class MusicXmlExporter final : public ScoreExporter {
public:
    bool write(const Song& song, const std::string& path, OutputBatch& outputs) override;
};

bool MusicXmlExporter::write(const Song& song, const std::string& path, OutputBatch& outputs) {
    const std::vector<const Track*> tracks = collectVoiceTracks(song);
    if (tracks.empty()) return false;

    // The score ends with the measure that holds the end of the last note.
    int64_t end = 0;
    for (const Track* track : tracks) {
        for (const NoteEvent& note : track->notes) {
            end = std::max(end, int64_t{note.time} + note.length);
        }
    }
    const TempoMap map = collectTempoMap(song);
    const size_t limit = kMaxMeasureCells / tracks.size();
    const std::vector<Measure> measures = layMeasures(map.metres, end, limit);
    if (measures.size() > limit) {
        getReporter().error(msg::kTooManyMeasures, path);
        return false;
    }

    // Written as a new file and put in place only when complete.
    StagedOutputFile output;
    // Closed here on every way out, also when the memory runs out on the way,
    // and before the staging object removes a file given up.
    std::unique_ptr<std::FILE, platform::FileCloser> file(openStagedOutput(output, path));
    if (!file) return false;
    MusicXmlWriter writer(file.get(), map, measures);
    writer.header(tracks);
    for (size_t i = 0; i < tracks.size(); ++i) writer.part(i, *tracks[i]);
    writer.footer();
    int error = writer.flush();
    if (std::fclose(file.release()) != 0 && error == 0) error = platform::failureErrorNumber(errno);
    return finishStagedOutput(output, path, error, outputs);
}

}  // namespace

std::unique_ptr<ScoreExporter> createScoreExporter() {
    return std::make_unique<MusicXmlExporter>();
}
