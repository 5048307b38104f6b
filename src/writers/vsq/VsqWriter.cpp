// The VSQ writer: a format-1 MIDI file with a master track (tempo and time
// signature) and one voice track per song track with notes, each voice track
// carrying its metatext as "DM:" text events. Every piece of metatext is also
// copied to the conversion log. The metatext is formatted straight into blocks
// that go to both, the event list in three passes over the track's events, so
// memory does not grow with the size of the text.
#include "writers/vsq/VsqWriter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <span>
#include <string>
#include <string_view>

#include "output/MidiFileWriter.h"
#include "output/OutputSink.h"
#include "render/RenderedSong.h"
#include "song/BarGrid.h"
#include "song/CurveTable.h"
#include "song/TempoMap.h"
#include "song/Ticks.h"
#include "writers/vsq/ConversionLog.h"
#include "writers/vsq/EventSections.h"
#include "writers/vsq/MetatextSink.h"
#include "writers/vsq/TextEventChunker.h"

namespace {

constexpr int kPreMeasure = 1;

// Adds the events of a voice track's event list to `sections` in their order:
// the singer at the start, then notes and later singer changes in time order,
// a note first at equal times (the timeline ends at the last note's start, so
// every change left after the notes lies at that start). Returns endTick.
int64_t addEventList(const VoiceTrack& voice, int64_t offset, EventSections& sections,
                     MetatextSink& sink) {
    const std::span<const Singer> singers = voice.singers();
    sections.addSinger(0, singers.front());
    size_t next = 1;
    int64_t endTick = 0;
    for (size_t i = 0; i < voice.noteCount(); ++i) {
        const NoteEvent& note = voice.note(i);
        for (; next < singers.size() && singers[next].tick < note.time; ++next) {
            sections.addSinger(offset + singers[next].tick, singers[next]);
        }
        endTick = offset + note.time + note.length;
        for (int p = 1; p <= voice.partCount(i); ++p) {
            const SungPart part = voice.sungPart(i, p);
            sections.addNotePart(offset + part.start, part);
        }
        sink.emitIfFull();
    }
    for (; next < singers.size(); ++next) sections.addSinger(offset + singers[next].tick, singers[next]);
    return endTick;
}

// The track's [Common] section; the first voice track also carries the [Master] and [Mixer]
// sections, with one mixer line of each key for each of the `count` voice tracks.
void writeCommonAndMixer(MetatextSink& metatext, std::string_view name, int number, int count) {
    metatext.append("[Common]\nVersion=DSB301\nName=");
    metatext.append(name);
    metatext.append("\nColor=181,162,123\nDynamicsMode=1\nPlayMode=1\n");
    if (number != 1) return;

    metatext.append("[Master]\nPreMeasure=");
    metatext.appendDecimal(kPreMeasure);
    metatext.append("\n[Mixer]\nMasterFeder=0\nMasterPanpot=0\nMasterMute=0\nOutputMode=0\n");
    metatext.append("Tracks=");
    metatext.appendDecimal(count);
    metatext.append('\n');
    for (int k = 0; k < count; ++k) {
        for (std::string_view key : {"Feder", "Panpot", "Mute", "Solo"}) {
            metatext.append(key);
            metatext.appendDecimal(k);
            metatext.append("=0\n");
        }
    }
}

// The [EventList] section: one line per event, then the end of the track. Returns its tick.
int64_t writeEventList(MetatextSink& metatext, const VoiceTrack& voice, int64_t offset) {
    metatext.append("[EventList]\n");
    EventSections lines(EventSections::Pass::EventLines, metatext);
    const int64_t endTick = addEventList(voice, offset, lines, metatext);
    metatext.appendDecimal(endTick);
    metatext.append("=EOS\n");
    return endTick;
}

// The ID sections of the events, then their handle sections: two more passes over the
// events of the event list.
void writeIdAndHandleSections(MetatextSink& metatext, const VoiceTrack& voice, int64_t offset) {
    for (const EventSections::Pass pass : {EventSections::Pass::Ids, EventSections::Pass::Handles}) {
        EventSections sections(pass, metatext);
        addEventList(voice, offset, sections, metatext);
    }
}

// The text "=value\n" of each value from 0 to 127, what most curves take, with its length.
// Kept for speed: put down whole, it saves 5% of the instructions of a 100 000-note song and
// a tenth of its user time.
struct ValueLine {
    char text[8];
    uint8_t length;
};
constexpr size_t kValueLines = 128;
constexpr std::array<ValueLine, kValueLines> valueLines() {
    std::array<ValueLine, kValueLines> lines{};
    for (size_t value = 0; value < kValueLines; ++value) {
        ValueLine& line = lines[value];
        size_t at = 0;
        line.text[at++] = '=';
        if (value >= 100) line.text[at++] = static_cast<char>('0' + value / 100);
        if (value >= 10) line.text[at++] = static_cast<char>('0' + value / 10 % 10);
        line.text[at++] = static_cast<char>('0' + value % 10);
        line.text[at++] = '\n';
        line.length = static_cast<uint8_t>(at);
    }
    return lines;
}
constexpr std::array<ValueLine, kValueLines> kValueLineTexts = valueLines();

// A curve's section: its header before its first point, then a line a point, moved by the
// pre-measure `offset`. Streamed, the longest curve of a million-note song is never held
// whole: that saves 32 MB of its peak.
class BreakpointSection final : public BreakpointSink {
public:
    BreakpointSection(MetatextSink& metatext, std::string_view section, int64_t offset)
        : metatext_(metatext), section_(section), offset_(offset) {}

    void take(std::span<const BreakpointPoint> points) override {
        if (points.empty()) return;
        if (!begun_) {
            metatext_.append('[');
            metatext_.append(section_);
            metatext_.append("]\n");
            begun_ = true;
        }
        // The points go down a span of kPointsASpan at a time: one check of the room for
        // each span, not for each point.
        vsqtext::KeptThousands ticks = ticks_;  // in locals while the points go down
        while (!points.empty()) {
            const std::span<const BreakpointPoint> some = points.first(std::min(points.size(), kPointsASpan));
            points = points.subspan(some.size());
            MetatextSpan out = metatext_.reserve(kPointsASpan * kMostPointBytes);
            for (const BreakpointPoint& point : some) {
                out.decimal(ticks, offset_ + point.tick);
                if (static_cast<uint32_t>(point.value) < kValueLines) {
                    const ValueLine& line = kValueLineTexts[static_cast<size_t>(point.value)];
                    out.putWord(line.text, line.length);
                } else {
                    out.put('=');
                    out.decimal(point.value);
                    out.put('\n');
                }
            }
            metatext_.commit(out);
            metatext_.emitIfFull();
        }
        ticks_ = ticks;
    }

private:
    static constexpr size_t kMostPointBytes = 2 * vsqtext::kMaxNumberText + 2;
    static constexpr size_t kPointsASpan = MetatextSink::kMostReserved / kMostPointBytes;

    MetatextSink& metatext_;
    std::string_view section_;
    int64_t offset_;
    vsqtext::KeptThousands ticks_;  // the ticks' thousands, kept from one batch to the next
    bool begun_ = false;
};

// One section per curve that has points, in the table's order. False when a list is too
// long to write; that is reported.
bool writeBreakpointLists(MetatextSink& metatext, const RenderedSong& song, size_t voice,
                          int64_t offset) {
    for (const CurveInfo& curve : kCurves) {
        BreakpointSection section(metatext, curve.section, offset);
        if (!song.streamCurve(voice, curve.id, section)) return false;
    }
    return true;
}

class SectionVsqWriter final : public VsqWriter {
public:
    bool write(const RenderedSong& song, const char* outputPath, OutputSink& sink) override;

private:
    // Returns the pre-measure offset of the voice tracks' events.
    int64_t writeMasterTrack(const TempoMap& map, MidiFileWriter& midi);
    // False when the track cannot be written; the failure is reported.
    bool writeVoiceTrack(const RenderedSong& song, size_t voice, int64_t offset,
                         MidiFileWriter& midi);

    ConversionLog log_;
};

bool SectionVsqWriter::write(const RenderedSong& song, const char* outputPath, OutputSink& sink) {
    const std::string path = outputPath != nullptr ? outputPath : "";
    log_.open(sink);
    log_.line("Convert Start");
    if (!hasVoices(song)) return false;

    // The sink's stream outlives nothing of this write: the MIDI writer closes
    // it on every way out, before a file given up is removed.
    std::FILE* stream = sink.open(path);
    if (stream == nullptr) return false;
    MidiFileWriter midi;
    midi.open(stream, kMidiFileFormat, kTicksPerQuarterNote);

    const int64_t offset = writeMasterTrack(song.tempoMap(), midi);
    for (size_t i = 0; i < song.voices().size(); ++i) {
        if (!writeVoiceTrack(song, i, offset, midi)) return false;
    }

    // A write, seek or close that failed leaves an incomplete file: it is
    // reported like a file that cannot be created, and the file is given up.
    const int writeError = midi.finish() ? 0 : errno;
    if (!sink.keep(path, writeError)) return false;
    // The log of a write that failed is given up with the writer.
    log_.finish();
    return true;
}

// Writes the tempo and time signature at time 0, then every later change at its place after
// the pre-measure, in the VSQ file's order at one tick (see TieOrder). The pre-measure is one
// measure of the time signature at time 0.
int64_t SectionVsqWriter::writeMasterTrack(const TempoMap& map, MidiFileWriter& midi) {
    log_.line("Start Master Track");
    midi.trackName(kMasterTrackName);

    const MetreMark& start = map.metres.front();
    const int64_t offset = barLength(start.numerator, start.denominator) * kPreMeasure;

    // The changes at the song's start open the track; the later ones lie after the pre-measure.
    const auto tickOf = [offset](int32_t time) { return time == 0 ? 0 : offset + time; };
    forEachChange(
        map, TieOrder::TempoFirst,
        [&](const TempoMark& mark) {
            midi.moveTo(tickOf(mark.time));
            midi.tempo(mark.bpm);
        },
        [&](const MetreMark& mark) {
            midi.moveTo(tickOf(mark.time));
            midi.timeSignature(mark.numerator, mark.denominator);
        });

    log_.line("End Master Track");
    return offset;
}

bool SectionVsqWriter::writeVoiceTrack(const RenderedSong& song, size_t voice, int64_t offset,
                                       MidiFileWriter& midi) {
    const VoiceTrack& track = song.voices()[voice];
    log_.line("New Track");
    midi.nextTrack();
    midi.trackName(track.name().c_str());

    auto chunker = createTextEventChunker();
    chunker->attach(&midi);
    MetatextSink metatext(log_, *chunker);
    writeCommonAndMixer(metatext, track.name(), track.number(), static_cast<int>(song.voices().size()));
    const int64_t endTick = writeEventList(metatext, track, offset);
    writeIdAndHandleSections(metatext, track, offset);
    if (!writeBreakpointLists(metatext, song, voice, offset)) return false;
    metatext.emit();

    chunker->flush();
    chunker.reset();

    // The end of the track comes endTick ticks after its start; every text
    // event lies at the start.
    midi.moveTo(endTick);

    log_.line("");
    log_.line("Track End");
    return true;
}

}  // namespace

std::unique_ptr<VsqWriter> createVsqWriter() { return std::make_unique<SectionVsqWriter>(); }
