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
#include <string_view>
#include <vector>

#include "compile/Song.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "platform/Platform.h"
#include "text/CharCode.h"
#include "text/StringPool.h"
#include "vsq/BreakpointListBuilder.h"
#include "vsq/ConversionLog.h"
#include "vsq/EventSections.h"
#include "vsq/MetatextSink.h"
#include "vsq/MidiFileWriter.h"
#include "vsq/NumberText.h"
#include "vsq/OutputFailure.h"
#include "vsq/StagedOutputFile.h"
#include "vsq/TextEventChunker.h"
#include "vsq/VoiceTracks.h"

namespace {

constexpr int kMidiFormat = 1;
constexpr int kDivision = 480;
constexpr int64_t kTicksPerWholeNote = 1920;
constexpr int kPreMeasure = 1;

// The control curves in the order of their sections in the file.
struct BreakpointRow {
    int curveId;
    const char* section;
    int defaultValue;
    int minimum;
    int maximum;
};
constexpr BreakpointRow kBreakpointTable[] = {
    {8, "PitchBendBPList", 0, -8192, 8191},
    {9, "PitchBendSensBPList", 1, 0, 24},
    {1, "DynamicsBPList", 64, 0, 127},
    {2, "EpRResidualBPList", 0, 0, 127},
    {3, "EpRESlopeBPList", 64, 0, 127},
    {4, "EpRESlopeDepthBPList", 0, 0, 127},
    {6, "GenderFactorBPList", 64, 0, 127},
    {7, "PortamentoTimingBPList", 64, 0, 127},
    {5, "OpeningBPList", 127, 0, 127},
};

int32_t valueAt(const ControlEvent& control, size_t index) {
    return index < control.values.size() ? control.values[index] : 0;
}

// Among the controls of a subtype in all tracks, the first of the earliest
// (track order, then sequence order), when it lies at time 0.
const ControlEvent* earliestAtStart(const Song& song, int32_t subtype, size_t valueCount) {
    const ControlEvent* earliest = nullptr;
    for (int k = 0; k < song.trackCount(); ++k) {
        for (const ControlEvent& control : song.track(k).controls) {
            if (control.subtype != subtype || control.values.size() < valueCount) continue;
            if (earliest == nullptr || control.time < earliest->time) earliest = &control;
        }
    }
    return earliest != nullptr && earliest->time == 0 ? earliest : nullptr;
}

void applySingerChange(SingerState& singer, const ControlEvent& change,
                       const StringPool& strings) {
    singer.program = valueAt(change, 0);
    singer.language = valueAt(change, 1);
    const std::u16string* name = strings.get(valueAt(change, 2));
    singer.name = name != nullptr ? codesToBytes(*name) : std::string();
}

// Working memory of one write, reused from voice track to voice track: the point list and
// the builder, whose buffers keep their memory from curve to curve.
struct TrackScratch {
    std::vector<BreakpointPoint> points;
    std::unique_ptr<BreakpointListBuilder> builder = createBreakpointListBuilder();
};

// Adds the events of a voice track's event list to `sections` in their order:
// the singer at the start (set by the singer changes among the controls at
// time 0), then notes and later singer changes in time order, a note first at
// equal times. Controls after the last note are left out. Returns endTick.
int64_t addEventList(const Track& track, int64_t offset, const StringPool& strings,
                     EventSections& sections, MetatextSink& sink) {
    SingerState singer;
    const std::vector<ControlEvent>& controls = track.controls;
    size_t next = 0;
    for (; next < controls.size() && controls[next].time == 0; ++next) {
        if (controls[next].subtype == ControlSinger) applySingerChange(singer, controls[next], strings);
    }
    sections.addSinger(0, singer);

    int64_t endTick = 0;
    for (const NoteEvent& note : track.notes) {
        for (; next < controls.size() && controls[next].time < note.time; ++next) {
            const ControlEvent& control = controls[next];
            if (control.subtype != ControlSinger) continue;
            applySingerChange(singer, control, strings);
            sections.addSinger(offset + control.time, singer);
        }
        const int64_t start = offset + note.time;
        endTick = start + note.length;
        sections.addNotePart(start, note, 1);
        if (note.splitOffset > 0) sections.addNotePart(start + note.splitOffset, note, 2);
        sink.emitIfFull();
    }
    return endTick;
}

class SectionVsqWriter final : public VsqWriter {
public:
    bool write(const Song& song, const StringPool& strings, const char* outputPath) override;

private:
    int64_t writeMasterTrack(const Song& song, MidiFileWriter& midi);
    // False when the track cannot be written; the failure is reported.
    bool writeVoiceTrack(const Track& track, int number, int count, int64_t offset,
                         const StringPool& strings, MidiFileWriter& midi, TrackScratch& scratch);

    ConversionLog log_;
};

bool SectionVsqWriter::write(const Song& song, const StringPool& strings,
                             const char* outputPath) {
    const std::string path = outputPath != nullptr ? outputPath : "";
    log_.open();
    log_.line("Convert Start");

    const std::vector<const Track*> voiceTracks = collectVoiceTracks(song);
    if (voiceTracks.empty()) {
        getReporter().error(msg::kNoTrackWithNotes, "");
        return false;
    }

    // The file is written under a temporary name and moved over the output
    // only when complete; the staging object outlives the MIDI writer so that
    // the temporary is closed before it is removed.
    StagedOutputFile output;
    if (!output.prepare(path)) {
        reportOutputFailure(path, output.failureText());
        return false;
    }
    MidiFileWriter midi;
    if (!midi.open(output.path(), kMidiFormat, kDivision)) {
        reportOutputFailure(path, platform::systemErrorText(errno));
        return false;
    }

    const int64_t measureTicks = writeMasterTrack(song, midi);
    const int64_t offset = measureTicks * kPreMeasure;
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
    if (!midi.finish()) {
        reportOutputFailure(path, platform::systemErrorText(errno));
        return false;
    }
    if (!output.commit()) {
        reportOutputFailure(path, output.failureText());
        return false;
    }
    log_.close();
    return true;
}

// Writes the tempo and time signature found at time 0 (or 120 and 4/4) and
// returns the length of one measure in ticks.
int64_t SectionVsqWriter::writeMasterTrack(const Song& song, MidiFileWriter& midi) {
    log_.line("Start Master Track");
    midi.trackName("Master Track");

    // Values the compiler never produces (not positive) keep the defaults, so
    // the measure length is never divided by zero.
    int tempo = 120;
    int numerator = 4;
    int denominator = 4;
    if (const ControlEvent* control = earliestAtStart(song, ControlTempo, 1)) {
        if (control->values[0] > 0) tempo = control->values[0];
    }
    if (const ControlEvent* control = earliestAtStart(song, ControlTimeSignature, 2)) {
        if (control->values[0] > 0 && control->values[1] > 0) {
            numerator = control->values[0];
            denominator = control->values[1];
        }
    }
    midi.tempo(tempo);
    midi.timeSignature(numerator, denominator);

    log_.line("End Master Track");
    return int64_t{numerator} * kTicksPerWholeNote / denominator;
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
    std::vector<BreakpointPoint>& points = scratch.points;

    metatext.append("[Common]\nVersion=DSB301\nName=");
    metatext.append(name);
    metatext.append("\nColor=181,162,123\nDynamicsMode=1\nPlayMode=1\n");

    if (number == 1) {
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

    // The event list in three passes over the same events: their lines, their
    // ID sections, their handle sections.
    metatext.append("[EventList]\n");
    int64_t endTick = 0;
    {
        EventSections lines(EventSections::Pass::EventLines, metatext);
        endTick = addEventList(track, offset, strings, lines, metatext);
    }
    metatext.appendDecimal(endTick);
    metatext.append("=EOS\n");
    for (const EventSections::Pass pass : {EventSections::Pass::Ids, EventSections::Pass::Handles}) {
        EventSections sections(pass, metatext);
        addEventList(track, offset, strings, sections, metatext);
    }

    // The control curves, measured in song ticks up to the end of the last note.
    BreakpointListBuilder& builder = *scratch.builder;
    for (const BreakpointRow& row : kBreakpointTable) {
        points.clear();
        builder.build(row.curveId, row.defaultValue, row.minimum, row.maximum, track.controls,
                       track.envelopes, curveLength(track), points);
        if (points.empty()) continue;
        if (points.size() > kMaxBreakpoints) {
            // The builder gave up on this list: the file would be far too large.
            getReporter().error(msg::kTooManyBreakpoints, row.section);
            return false;
        }
        metatext.append('[');
        metatext.append(row.section);
        metatext.append("]\n");
        for (const BreakpointPoint& point : points) {
            metatext.appendNumberPair(offset + point.tick, point.value);
            metatext.emitIfFull();
        }
    }
    metatext.emit();

    chunker->flush();
    chunker.reset();

    // The end of the track comes endTick ticks after its start; every text
    // event lies at the start.
    const int64_t endDelta = std::min<int64_t>(endTick, std::numeric_limits<uint32_t>::max());
    midi.addDelta(static_cast<uint32_t>(endDelta < 0 ? 0 : endDelta));

    log_.line("");
    log_.line("Track End");
    return true;
}

}  // namespace

std::unique_ptr<VsqWriter> createVsqWriter() { return std::make_unique<SectionVsqWriter>(); }
