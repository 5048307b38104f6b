// The MIDI export: format 1, 480 ticks per quarter note, song ticks without
// the VSQ file's pre-measure. The first track holds every tempo and time
// signature; each voice track starts with a choir sound, the bend range, the
// bend and the expression, then merges four time-ordered streams: note ends,
// curve changes and note starts, in that order at equal ticks, so a note
// repeated at once is ended before it sounds again.
#include "export/MidiExporter.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <queue>
#include <span>
#include <vector>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "export/VoiceSound.h"
#include "output/MidiFileWriter.h"
#include "output/OutputFailure.h"
#include "output/StagedOutputFile.h"
#include "output/VoiceTracks.h"
#include "song/CommandCode.h"
#include "song/CurveTable.h"
#include "song/Song.h"
#include "song/TempoMap.h"
#include "song/Ticks.h"
#include "vsq/BreakpointListBuilder.h"

namespace {

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kController = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kPitchBend = 0xE0;

constexpr uint8_t kDataEntry = 6;
constexpr uint8_t kExpression = 11;
constexpr uint8_t kDataEntryFine = 38;
constexpr uint8_t kRpnFine = 100;
constexpr uint8_t kRpnCoarse = 101;
constexpr uint8_t kNoRpn = 127;
constexpr uint8_t kReleaseVelocity = 64;

uint8_t dataByte(int64_t value) { return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 127)); }

// One curve's changes in time order: the value it starts with at tick 0, then its points.
struct CurveStream {
    const CurveInfo* curve;
    std::vector<BreakpointPoint> points;
    size_t next = 0;
};

// A note part waiting to start, or a sounding one waiting to end; ties go to
// the part of the earlier note.
struct PendingPart {
    int64_t tick;
    size_t order;
    size_t note;
    int part;
    bool operator>(const PendingPart& other) const {
        return tick != other.tick ? tick > other.tick : order > other.order;
    }
};
using PartQueue = std::priority_queue<PendingPart, std::vector<PendingPart>, std::greater<>>;

class StreamMidiExporter final : public MidiExporter {
public:
    bool write(const Song& song, const std::string& path, OutputBatch& outputs) override;

private:
    static void writeTempoTrack(const Song& song, MidiFileWriter& midi);
    // False when a curve is too large to write; that is reported.
    bool writeVoiceTrack(const Track& track, int number);
    // Builds each curve's points and writes the value it starts with. False when a curve
    // is too large to write; that is reported.
    bool startCurves(const Track& track, std::span<CurveStream> curves);
    // The notes' parts and the curves' points merged by time.
    void writeNotesAndCurves(std::span<const NoteEvent> notes, std::span<CurveStream> curves);
    void startNotePart(std::span<const NoteEvent> notes, PartQueue& starts, PartQueue& ends,
                       size_t& order);
    void writeCurveValue(const CurveInfo& curve, int32_t value);

    std::unique_ptr<BreakpointListBuilder> builder_ = createBreakpointListBuilder();
    MidiFileWriter* midi_ = nullptr;  // the file being written
    uint8_t channel_ = 0;             // the voice track's channel
};

bool StreamMidiExporter::write(const Song& song, const std::string& path, OutputBatch& outputs) {
    const std::vector<const Track*> voiceTracks = collectVoiceTracks(song);
    if (voiceTracks.empty()) return false;

    // Written as a new file and put in place only when complete; the staging
    // object outlives the MIDI writer, whose stream is closed before a file
    // given up is removed.
    StagedOutputFile output;
    std::FILE* stream = openStagedOutput(output, path);
    if (stream == nullptr) return false;
    MidiFileWriter midi;
    midi.open(stream, kMidiFileFormat, kTicksPerQuarterNote);
    writeTempoTrack(song, midi);
    midi_ = &midi;
    for (size_t i = 0; i < voiceTracks.size(); ++i) {
        channel_ = channelOf(i);
        if (!writeVoiceTrack(*voiceTracks[i], static_cast<int>(i) + 1)) return false;
    }
    midi_ = nullptr;
    const int writeError = midi.finish() ? 0 : errno;
    return finishStagedOutput(output, path, writeError, outputs);
}

// Time signatures and tempos merged by time, a time signature first at equal times.
void StreamMidiExporter::writeTempoTrack(const Song& song, MidiFileWriter& midi) {
    const TempoMap map = collectTempoMap(song);
    midi.trackName(kMasterTrackName);
    forEachChange(
        map, TieOrder::MetreFirst,
        [&](const TempoMark& mark) {
            midi.moveTo(mark.time);
            midi.tempo(mark.bpm);
        },
        [&](const MetreMark& mark) {
            midi.moveTo(mark.time);
            midi.timeSignature(mark.numerator, mark.denominator);
        });
}

// The bend range goes through the registered parameter 0, which is closed again
// afterwards so that no later data entry changes it.
void StreamMidiExporter::writeCurveValue(const CurveInfo& curve, int32_t value) {
    const auto controller = static_cast<uint8_t>(kController | channel_);
    switch (curve.command) {
    case CmdPitchBendSensitivity:
        midi_->channelEvent(controller, kRpnCoarse, 0);
        midi_->channelEvent(controller, kRpnFine, 0);
        midi_->channelEvent(controller, kDataEntry, dataByte(value));
        midi_->channelEvent(controller, kDataEntryFine, 0);
        midi_->channelEvent(controller, kRpnCoarse, kNoRpn);
        midi_->channelEvent(controller, kRpnFine, kNoRpn);
        break;
    case CmdPitchBend: {
        const auto bend = static_cast<uint32_t>(std::clamp(value + 8192, 0, 16383));
        midi_->channelEvent(static_cast<uint8_t>(kPitchBend | channel_),
                            static_cast<uint8_t>(bend & 0x7F), static_cast<uint8_t>(bend >> 7));
        break;
    }
    default:
        midi_->channelEvent(controller, kExpression, dataByte(value));
        break;
    }
}

bool StreamMidiExporter::writeVoiceTrack(const Track& track, int number) {
    midi_->nextTrack();
    midi_->trackName(voiceTrackName(number).c_str());
    midi_->channelEvent(static_cast<uint8_t>(kProgramChange | channel_), kChoirAahs);
    CurveStream curves[] = {{curveOfCommand(CmdPitchBendSensitivity), {}},
                            {curveOfCommand(CmdPitchBend), {}},
                            {curveOfCommand(CmdDynamics), {}}};
    if (!startCurves(track, curves)) return false;
    writeNotesAndCurves(track.notes, curves);
    return true;
}

// Each curve starts at its default unless a point at tick 0 sets it.
bool StreamMidiExporter::startCurves(const Track& track, std::span<CurveStream> curves) {
    for (CurveStream& stream : curves) {
        const CurveInfo& curve = *stream.curve;
        builder_->build(curve.id, curve.defaultValue, curve.minimum, curve.maximum,
                        track.controls, track.envelopes, curveLength(track), stream.points);
        if (!breakpointsFit(stream.points, commandName(curve.command))) return false;
        if (stream.points.empty() || stream.points.front().tick != 0) {
            writeCurveValue(curve, curve.defaultValue);
        }
    }
    return true;
}

void StreamMidiExporter::writeNotesAndCurves(std::span<const NoteEvent> notes,
                                             std::span<CurveStream> curves) {
    MidiFileWriter& midi = *midi_;
    PartQueue starts;
    PartQueue ends;
    size_t nextNote = 0;
    size_t order = 0;
    for (;;) {
        if (nextNote < notes.size() &&
            (starts.empty() || notes[nextNote].time <= starts.top().tick)) {
            starts.push({notes[nextNote].time, order++, nextNote, 1});
            ++nextNote;
        }
        // The earliest of the streams; at equal ticks the first in this order.
        int64_t tick = std::numeric_limits<int64_t>::max();
        CurveStream* curve = nullptr;
        enum class Next { Nothing, NoteEnd, Curve, NoteStart } next = Next::Nothing;
        if (!ends.empty()) {
            tick = ends.top().tick;
            next = Next::NoteEnd;
        }
        for (CurveStream& candidate : curves) {
            if (candidate.next < candidate.points.size() &&
                candidate.points[candidate.next].tick < tick) {
                tick = candidate.points[candidate.next].tick;
                curve = &candidate;
                next = Next::Curve;
            }
        }
        if (!starts.empty() && starts.top().tick < tick) {
            tick = starts.top().tick;
            next = Next::NoteStart;
        }
        if (next == Next::Nothing) break;

        midi.moveTo(tick);
        if (next == Next::NoteEnd) {
            const PendingPart end = ends.top();
            ends.pop();
            midi.channelEvent(static_cast<uint8_t>(kNoteOff | channel_),
                              dataByte(notes[end.note].note), kReleaseVelocity);
        } else if (next == Next::Curve) {
            writeCurveValue(*curve->curve, curve->points[curve->next++].value);
        } else {
            startNotePart(notes, starts, ends, order);
        }
    }
}

// Sounds the part at the top of `starts` with its lyric and queues its end; the first part
// of a split note queues the second part's start.
void StreamMidiExporter::startNotePart(std::span<const NoteEvent> notes, PartQueue& starts,
                                       PartQueue& ends, size_t& order) {
    const PendingPart start = starts.top();
    starts.pop();
    const NoteEvent& note = notes[start.note];
    if (start.part == 1 && notePartCount(note) == 2) {
        starts.push({notePart(note, 2).start, order++, start.note, 2});
    }
    const NotePart part = notePart(note, start.part);
    const std::string_view lyric = fileText(part.lyric->text.view());
    midi_->lyric(lyric.data(), lyric.size());
    // A velocity of 0 would end the note instead of sounding it.
    midi_->channelEvent(static_cast<uint8_t>(kNoteOn | channel_), dataByte(note.note),
                        std::max<uint8_t>(dataByte(note.velocity), 1));
    ends.push({part.start + std::max<int64_t>(part.length, 0), start.order, start.note,
               start.part});
}

}  // namespace

std::unique_ptr<MidiExporter> createMidiExporter() { return std::make_unique<StreamMidiExporter>(); }
