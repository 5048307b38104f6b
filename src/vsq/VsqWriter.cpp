// The VSQ writer: a format-1 MIDI file with a master track (tempo and time
// signature) and one voice track per song track with notes, each voice track
// carrying its metatext as "DM:" text events. Every piece of metatext is also
// copied to the conversion log. The metatext is formatted straight into blocks
// that go to both, the event list in three passes over the track's events, so
// memory does not grow with the size of the text.
#include "vsq/VsqWriter.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "output/MidiFileWriter.h"
#include "output/NumberText.h"
#include "output/OutputFailure.h"
#include "output/StagedOutputFile.h"
#include "output/VoiceTracks.h"
#include "song/CurveTable.h"
#include "song/Song.h"
#include "song/TempoMap.h"
#include "song/Ticks.h"
#include "text/CharCode.h"
#include "text/StringPool.h"
#include "vsq/BreakpointListBuilder.h"
#include "vsq/ConversionLog.h"
#include "vsq/EventSections.h"
#include "vsq/MetatextSink.h"
#include "vsq/Singers.h"
#include "vsq/TextEventChunker.h"

namespace {

constexpr int kPreMeasure = 1;

// Working memory of one write, reused from voice track to voice track: the point list and
// the builder, whose buffers keep their memory from curve to curve.
struct TrackScratch {
    std::vector<BreakpointPoint> points;
    std::unique_ptr<BreakpointListBuilder> builder = createBreakpointListBuilder();
};

// Adds the singer changes among the controls from `next` on that come before
// `end` and returns where they stop.
size_t addSingerChangesBefore(int64_t end, std::span<const ControlEvent> controls, size_t next,
                              int64_t offset, const StringPool& strings, SingerState& singer,
                              EventSections& sections) {
    for (; next < controls.size() && controls[next].time < end; ++next) {
        const ControlEvent& control = controls[next];
        const SingerChange* change = control.as<SingerChange>();
        if (!change) continue;
        applySingerChange(singer, *change, strings);
        sections.addSinger(offset + control.time, singer);
    }
    return next;
}

// Adds the events of a voice track's event list to `sections` in their order:
// the singer at the start (set by the singer changes among the controls at
// time 0), then notes and later singer changes in time order, a note first at
// equal times. Singer changes after the start of the last note sing nothing and
// are left out. Returns endTick.
int64_t addEventList(const Track& track, int64_t offset, const StringPool& strings,
                     EventSections& sections, MetatextSink& sink) {
    SingerState singer = initialSinger(track, strings);
    const std::vector<ControlEvent>& controls = track.controls;
    size_t next = 0;
    while (next < controls.size() && controls[next].time == 0) ++next;
    sections.addSinger(0, singer);

    int64_t endTick = 0;
    for (size_t i = 0; i < track.notes.size(); ++i) {
        const NoteEvent& note = track.notes[i];
        next = addSingerChangesBefore(note.time, controls, next, offset, strings, singer, sections);
        endTick = offset + note.time + note.length;
        for (int p = 1; p <= notePartCount(note); ++p) {
            const NotePart part = notePart(track, i, p);
            sections.addNotePart(offset + part.start, note, part);
        }
        sink.emitIfFull();
    }
    if (!track.notes.empty()) {
        // The changes at the last note's start follow it.
        addSingerChangesBefore(int64_t{track.notes.back().time} + 1, controls, next, offset,
                               strings, singer, sections);
    }
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
int64_t writeEventList(MetatextSink& metatext, const Track& track, int64_t offset,
                       const StringPool& strings) {
    metatext.append("[EventList]\n");
    EventSections lines(EventSections::Pass::EventLines, metatext);
    const int64_t endTick = addEventList(track, offset, strings, lines, metatext);
    metatext.appendDecimal(endTick);
    metatext.append("=EOS\n");
    return endTick;
}

// The ID sections of the events, then their handle sections: two more passes over the
// events of the event list.
void writeIdAndHandleSections(MetatextSink& metatext, const Track& track, int64_t offset,
                              const StringPool& strings) {
    for (const EventSections::Pass pass : {EventSections::Pass::Ids, EventSections::Pass::Handles}) {
        EventSections sections(pass, metatext);
        addEventList(track, offset, strings, sections, metatext);
    }
}

// One section per curve that has points, in the table's order, its points moved by the
// pre-measure `offset`; the curves are measured in song ticks up to `length`, the end of the
// last note. False when a list is too long to write; that is reported.
bool writeBreakpointLists(MetatextSink& metatext, const Track& track, int64_t offset,
                          int32_t length, TrackScratch& scratch) {
    std::vector<BreakpointPoint>& points = scratch.points;
    for (const CurveInfo& curve : kCurves) {
        points.clear();
        scratch.builder->build(curve.id, curve.defaultValue, curve.minimum, curve.maximum,
                               track.controls, track.envelopes, length, points);
        if (points.empty()) continue;
        if (!breakpointsFit(points, curve.section)) return false;
        metatext.append('[');
        metatext.append(curve.section);
        metatext.append("]\n");
        for (const BreakpointPoint& point : points) {
            metatext.appendNumberPair(offset + point.tick, point.value);
            metatext.emitIfFull();
        }
    }
    return true;
}

class SectionVsqWriter final : public VsqWriter {
public:
    bool write(const Song& song, const StringPool& strings, const char* outputPath,
               OutputBatch& outputs, const FilesRead* filesRead) override;

private:
    // Returns the pre-measure offset of the voice tracks' events.
    int64_t writeMasterTrack(const Song& song, MidiFileWriter& midi);
    // False when the track cannot be written; the failure is reported.
    bool writeVoiceTrack(const Track& track, int number, int count, int64_t offset,
                         const StringPool& strings, MidiFileWriter& midi, TrackScratch& scratch);

    ConversionLog log_;
};

bool SectionVsqWriter::write(const Song& song, const StringPool& strings, const char* outputPath,
                             OutputBatch& outputs, const FilesRead* filesRead) {
    const std::string path = outputPath != nullptr ? outputPath : "";
    log_.open();
    log_.line("Convert Start");

    const std::vector<const Track*> voiceTracks = collectVoiceTracks(song);
    if (voiceTracks.empty()) {
        getReporter().error(msg::kNoTrackWithNotes, "");
        return false;
    }

    // The file is written as a new file beside the output and put over it
    // only when complete; the staging object outlives the MIDI writer so that
    // the new file's stream is closed before the file is removed.
    StagedOutputFile output;
    std::FILE* stream = openStagedOutput(output, path);
    if (stream == nullptr) return false;
    MidiFileWriter midi;
    midi.open(stream, kMidiFileFormat, kTicksPerQuarterNote);

    const int64_t offset = writeMasterTrack(song, midi);
    const int count = static_cast<int>(voiceTracks.size());
    TrackScratch scratch;
    for (int i = 0; i < count; ++i) {
        if (!writeVoiceTrack(*voiceTracks[static_cast<size_t>(i)], i + 1, count, offset, strings,
                             midi, scratch)) {
            // The staging object removes the incomplete file.
            return false;
        }
    }

    // A write, seek or close that failed leaves an incomplete file: it is
    // reported like a file that cannot be created, and the temporary goes.
    const int writeError = midi.finish() ? 0 : errno;
    if (!finishStagedOutput(output, path, writeError, outputs)) return false;
    // The log of a write that failed is given up with the writer.
    log_.finish(path, outputs, filesRead);
    return true;
}

// Writes the tempo and time signature at time 0, then every later change at its place after
// the pre-measure, a tempo before a time signature at one time. The pre-measure is one measure
// of the time signature at time 0.
int64_t SectionVsqWriter::writeMasterTrack(const Song& song, MidiFileWriter& midi) {
    log_.line("Start Master Track");
    midi.trackName(kMasterTrackName);

    const TempoMap map = collectTempoMap(song);
    const MetreMark& start = map.metres.front();
    const int64_t offset = measureTicks(start.numerator, start.denominator) * kPreMeasure;

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

bool SectionVsqWriter::writeVoiceTrack(const Track& track, int number, int count, int64_t offset,
                                       const StringPool& strings, MidiFileWriter& midi,
                                       TrackScratch& scratch) {
    log_.line("New Track");
    const std::string name = voiceTrackName(number);
    midi.nextTrack();
    midi.trackName(name.c_str());

    auto chunker = createTextEventChunker();
    chunker->attach(&midi);
    MetatextSink metatext(log_, *chunker);
    writeCommonAndMixer(metatext, name, number, count);
    const int64_t endTick = writeEventList(metatext, track, offset, strings);
    writeIdAndHandleSections(metatext, track, offset, strings);
    if (!writeBreakpointLists(metatext, track, offset, curveLength(track), scratch)) return false;
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
