// The MIDI export: format 1, 480 ticks per quarter note, song ticks without
// the VSQ file's pre-measure. The first track holds every tempo and time
// signature; each voice track starts with a choir sound, the channel volume,
// the bend range, the bend and the expression, then merges by time the note
// ends, the curves' changes, the vibratos' samples and the note starts, in that
// order at equal ticks, so a note repeated at once is ended before it sounds
// again and starts with its pitch in place.
#include "export/MidiExporter.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>
#include <queue>
#include <span>
#include <vector>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "export/MidiLevels.h"
#include "export/MidiPitch.h"
#include "export/SongClock.h"
#include "export/SungNotes.h"
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
#include "text/Encoding.h"
#include "vsq/BreakpointListBuilder.h"

namespace {

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kController = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kPitchBend = 0xE0;

constexpr uint8_t kDataEntry = 6;
constexpr uint8_t kChannelVolume = 7;
constexpr uint8_t kExpression = 11;
constexpr uint8_t kDataEntryFine = 38;
constexpr uint8_t kRpnFine = 100;
constexpr uint8_t kRpnCoarse = 101;
constexpr uint8_t kNoRpn = 127;
constexpr uint8_t kReleaseVelocity = 64;
constexpr int32_t kBendCentre = 8192;
constexpr int32_t kNothingWritten = -1;

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

// What a voice track's controllers are made of at the current tick, and what
// was last written for them; only a change is written.
struct ChannelState {
    int32_t pitchCurve = 0;
    int32_t sensitivity = 0;
    int32_t dynamics = 0;
    double vibratoCents = 0;
    int32_t writtenRange = kNothingWritten;
    int32_t writtenBend = kNothingWritten;
    int32_t writtenExpression = kNothingWritten;
};

// True when the track's vibratos take no more samples than a curve may have points.
bool vibratoSamplesFit(const Track& track) {
    int64_t samples = 0;
    for (size_t i = 0; i < track.notes.size(); ++i) {
        const NoteEvent& note = track.notes[i];
        for (int part = 1; part <= notePartCount(note); ++part) {
            const VibratoSound sound = partVibrato(note, notePart(track, i, part));
            if (!sound.on) continue;
            samples += VibratoSamples::mostSamples(sound.lengthTicks);
            if (samples > static_cast<int64_t>(kMaxBreakpoints)) return false;
        }
    }
    return true;
}

class StreamMidiExporter final : public MidiExporter {
public:
    explicit StreamMidiExporter(MidiLyricText lyricText) : lyricText_(lyricText) {}
    bool write(const Song& song, const std::string& path, OutputBatch& outputs) override;

private:
    static void writeTempoTrack(const TempoMap& map, MidiFileWriter& midi);
    // False when a curve or the vibratos are too large to write; that is reported.
    bool writeVoiceTrack(const Track& track, int number);
    // Builds each curve's points and takes the value it starts with. False when a
    // curve is too large to write; that is reported.
    bool startCurves(const Track& track, std::span<CurveStream> curves);
    // The notes' parts, the curves' points and the vibratos' samples merged by time.
    void writeNotesAndCurves(const Track& track, std::span<CurveStream> curves);
    void startNotePart(const Track& track, PartQueue& starts, PartQueue& ends,
                       size_t& order);
    void takeCurveValue(const CurveInfo& curve, int32_t value);
    // Writes the bend range, the bend and the expression where they changed.
    void writeChanges();

    MidiLyricText lyricText_;
    std::unique_ptr<BreakpointListBuilder> builder_ = createBreakpointListBuilder();
    MidiFileWriter* midi_ = nullptr;         // the file being written
    std::optional<SongClock> clock_;         // the song's time, for the vibratos
    uint8_t channel_ = 0;                    // the voice track's channel
    ChannelState state_;                     // the voice track's controllers
    VibratoSamples vibrato_;                 // the vibrato of the part sounding last
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
    const TempoMap map = collectTempoMap(song);
    writeTempoTrack(map, midi);
    clock_.emplace(map);
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
void StreamMidiExporter::writeTempoTrack(const TempoMap& map, MidiFileWriter& midi) {
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

void StreamMidiExporter::takeCurveValue(const CurveInfo& curve, int32_t value) {
    switch (curve.command) {
    case CmdPitchBendSensitivity: state_.sensitivity = value; break;
    case CmdPitchBend: state_.pitchCurve = value; break;
    default: state_.dynamics = value; break;
    }
}

// The bend range goes through the registered parameter 0, which is closed again
// afterwards so that no later data entry changes it; it comes before the bend
// made for it.
void StreamMidiExporter::writeChanges() {
    const auto controller = static_cast<uint8_t>(kController | channel_);
    const int32_t range = midiBendRange(state_.sensitivity);
    if (range != state_.writtenRange) {
        midi_->channelEvent(controller, kRpnCoarse, 0);
        midi_->channelEvent(controller, kRpnFine, 0);
        midi_->channelEvent(controller, kDataEntry, dataByte(range));
        midi_->channelEvent(controller, kDataEntryFine, 0);
        midi_->channelEvent(controller, kRpnCoarse, kNoRpn);
        midi_->channelEvent(controller, kRpnFine, kNoRpn);
        state_.writtenRange = range;
    }
    const int32_t bend =
        midiBend(state_.pitchCurve, state_.sensitivity, state_.vibratoCents) + kBendCentre;
    if (bend != state_.writtenBend) {
        midi_->channelEvent(static_cast<uint8_t>(kPitchBend | channel_),
                            static_cast<uint8_t>(bend & 0x7F), static_cast<uint8_t>(bend >> 7));
        state_.writtenBend = bend;
    }
    const int32_t expression = midiLevel(state_.dynamics);
    if (expression != state_.writtenExpression) {
        midi_->channelEvent(controller, kExpression, static_cast<uint8_t>(expression));
        state_.writtenExpression = expression;
    }
}

bool StreamMidiExporter::writeVoiceTrack(const Track& track, int number) {
    midi_->nextTrack();
    midi_->trackName(voiceTrackName(number).c_str());
    midi_->channelEvent(static_cast<uint8_t>(kProgramChange | channel_), kChoirAahs);
    midi_->channelEvent(static_cast<uint8_t>(kController | channel_), kChannelVolume,
                        kMidiChannelVolume);
    CurveStream curves[] = {{curveOfCommand(CmdPitchBendSensitivity), {}},
                            {curveOfCommand(CmdPitchBend), {}},
                            {curveOfCommand(CmdDynamics), {}}};
    state_ = ChannelState{};
    vibrato_ = VibratoSamples{};
    if (!startCurves(track, curves)) return false;
    if (!vibratoSamplesFit(track)) {
        getReporter().error(msg::kTooManyBreakpoints, commandName(CmdVibrato));
        return false;
    }
    writeChanges();
    writeNotesAndCurves(track, curves);
    return true;
}

// Each curve starts at its default unless points at tick 0 set it.
bool StreamMidiExporter::startCurves(const Track& track, std::span<CurveStream> curves) {
    for (CurveStream& stream : curves) {
        const CurveInfo& curve = *stream.curve;
        builder_->build(curve.id, curve.defaultValue, curve.minimum, curve.maximum,
                        track.controls, track.envelopes, curveLength(track), stream.points);
        if (!breakpointsFit(stream.points, commandName(curve.command))) return false;
        takeCurveValue(curve, curve.defaultValue);
        for (; stream.next < stream.points.size() && stream.points[stream.next].tick == 0;
             ++stream.next) {
            takeCurveValue(curve, stream.points[stream.next].value);
        }
    }
    return true;
}

void StreamMidiExporter::writeNotesAndCurves(const Track& track, std::span<CurveStream> curves) {
    const std::vector<NoteEvent>& notes = track.notes;
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
        enum class Next { Nothing, NoteEnd, Curve, Vibrato, NoteStart } next = Next::Nothing;
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
        if (vibrato_.pending() && vibrato_.nextTick() < tick) {
            tick = vibrato_.nextTick();
            next = Next::Vibrato;
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
            takeCurveValue(*curve->curve, curve->points[curve->next++].value);
            writeChanges();
        } else if (next == Next::Vibrato) {
            state_.vibratoCents = vibrato_.take(*clock_);
            writeChanges();
        } else {
            startNotePart(track, starts, ends, order);
        }
    }
}

// Sounds the part at the top of `starts` with its lyric and its vibrato and queues its
// end; the first part of a split note queues the second part's start.
void StreamMidiExporter::startNotePart(const Track& track, PartQueue& starts, PartQueue& ends,
                                       size_t& order) {
    const PendingPart start = starts.top();
    starts.pop();
    const NoteEvent& note = track.notes[start.note];
    if (start.part == 1 && notePartCount(note) == 2) {
        starts.push({notePart(track, start.note, 2).start, order++, start.note, 2});
    }
    const NotePart part = notePart(track, start.note, start.part);
    // A channel has one pitch: the vibrato of a note this one overlaps stops here.
    if (vibrato_.pending()) {
        state_.vibratoCents = 0;
        writeChanges();
    }
    vibrato_ = VibratoSamples(partVibrato(note, part), part.start, *clock_);
    const std::string_view lyric = fileText(part.lyric->text.view());
    if (lyricText_ == MidiLyricText::Utf8) {
        const std::string text = cp932ToUtf8(lyric);
        midi_->lyric(text.data(), text.size());
    } else {
        midi_->lyric(lyric.data(), lyric.size());
    }
    // A velocity of 0 would end the note instead of sounding it.
    midi_->channelEvent(static_cast<uint8_t>(kNoteOn | channel_), dataByte(note.note),
                        std::max<uint8_t>(midiLevel(note.velocity), 1));
    ends.push({part.start + std::max<int64_t>(part.length, 0), start.order, start.note,
               start.part});
}

}  // namespace

std::unique_ptr<MidiExporter> createMidiExporter(MidiLyricText lyricText) {
    return std::make_unique<StreamMidiExporter>(lyricText);
}
