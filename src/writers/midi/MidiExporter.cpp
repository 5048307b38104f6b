// The MIDI export: format 1, 480 ticks per quarter note, song ticks without
// the VSQ file's pre-measure. The first track holds every tempo and time
// signature; each voice track starts with a choir sound, the channel volume,
// the bend range, the bend and the expression, then merges by time the note
// ends, the curves' changes, the vibratos' samples and the note starts, in that
// order at equal ticks, so a note repeated at once is ended before it sounds
// again and starts with its pitch in place.
#include "writers/midi/MidiExporter.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>
#include <queue>
#include <span>
#include <utility>
#include <vector>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "writers/midi/MidiLevels.h"
#include "writers/midi/MidiPitch.h"
#include "output/MidiFileWriter.h"
#include "output/OutputSink.h"
#include "render/Pitch.h"
#include "render/PlayerVoice.h"
#include "render/RenderedSong.h"
#include "song/CommandCode.h"
#include "song/Song.h"
#include "song/TempoMap.h"
#include "song/Ticks.h"
#include "text/Encoding.h"

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
    static constexpr int64_t kDone = std::numeric_limits<int64_t>::max();

    const CurveInfo* curve;
    CurvePoints points;
    const BreakpointPoint* next = nullptr;  // the first point not yet taken
    const BreakpointPoint* end = nullptr;
    // That of `next`, kDone when every point is taken: saves 7% of a 100k-note -m run.
    int64_t nextTick = kDone;

    // Starts on the points of `list`, which the stream then holds.
    void begin(CurvePoints list) {
        points = std::move(list);
        next = points->data();
        end = next + points->size();
        nextTick = next != end ? next->tick : kDone;
    }
    // The value of the next point; moves on to the one after it.
    int32_t take() {
        const int32_t value = (next++)->value;
        nextTick = next != end ? next->tick : kDone;
        return value;
    }
};

// A sounding note part waiting to end; of ends at one tick, the part that
// started first ends first.
struct PendingEnd {
    int64_t tick;
    size_t order;  // the part's place among the track's parts in time order
    int8_t note;
    bool operator>(const PendingEnd& other) const {
        return tick != other.tick ? tick > other.tick : order > other.order;
    }
};
using EndQueue = std::priority_queue<PendingEnd, std::vector<PendingEnd>, std::greater<>>;

// What a voice track's controllers are made of at the current tick, and what
// was last written for them; only a change is written. Only a change of the
// sensitivity, the curve or the vibrato changes the bend range and the bend,
// and only one of the dynamics the expression, so each is looked at after its
// own changes alone.
struct ChannelState {
    int32_t pitchCurve = 0;
    int32_t sensitivity = 0;
    int32_t dynamics = 0;
    double vibratoCents = 0;
    MidiBendScale bendScale{0, 0};  // of pitchCurve at sensitivity
    int32_t writtenRange = kNothingWritten;
    int32_t writtenBend = kNothingWritten;
    int32_t writtenExpression = kNothingWritten;
};

// True when the track's vibratos take no more samples than a curve may have points.
bool vibratoSamplesFit(const VoiceTrack& voice) {
    int64_t samples = 0;
    for (size_t i = 0; i < voice.noteCount(); ++i) {
        for (int part = 1; part <= voice.partCount(i); ++part) {
            const VibratoSound sound = vibratoOf(voice.part(i, part));
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
    bool write(const RenderedSong& song, const std::string& path, OutputSink& sink) override;

private:
    static void writeTempoTrack(const TempoMap& map, MidiFileWriter& midi);
    // False when a curve or the vibratos are too large to write; that is reported.
    bool writeVoiceTrack(const RenderedSong& song, size_t voice);
    // Takes each curve's points and the value it starts with. False when a
    // curve is too large to write; that is reported.
    bool startCurves(const RenderedSong& song, size_t voice, std::span<CurveStream> curves);
    // The notes' parts, the curves' points and the vibratos' samples merged by time.
    void writeNotesAndCurves(const VoiceTrack& voice, std::span<CurveStream> curves);
    void startNotePart(const NotePart& part, size_t order, EndQueue& ends);
    // Takes `value` for `curve`; with `write`, writes what it changed.
    void takeCurveValue(const CurveInfo& curve, int32_t value, bool write);
    // The bend range and the bend, where they changed.
    void writePitch();
    // The bend, where the vibrato changed it.
    void writeBend();
    void writeExpression();

    MidiLyricText lyricText_;
    MidiFileWriter* midi_ = nullptr;          // the file being written
    const TempoClock* clock_ = nullptr;       // the song's time, for the vibratos
    std::optional<TempoClock::Cursor> time_;  // the clock read in order along the track
    uint8_t channel_ = 0;                     // the voice track's channel
    ChannelState state_;                      // the voice track's controllers
    VibratoSamples vibrato_;                  // the vibrato of the part sounding last
    VibratoSines sines_;                      // the sines of every vibrato of the file
};

bool StreamMidiExporter::write(const RenderedSong& song, const std::string& path, OutputSink& sink) {
    if (!hasVoices(song)) return false;

    // The MIDI writer closes the stream on every way out, before a file given
    // up is removed.
    std::FILE* stream = sink.open(path);
    if (stream == nullptr) return false;
    MidiFileWriter midi;
    midi.open(stream, kMidiFileFormat, kTicksPerQuarterNote);
    writeTempoTrack(song.tempoMap(), midi);
    clock_ = &song.clock();
    midi_ = &midi;
    for (size_t i = 0; i < song.voices().size(); ++i) {
        channel_ = channelOf(i);
        if (!writeVoiceTrack(song, i)) return false;
    }
    midi_ = nullptr;
    const int writeError = midi.finish() ? 0 : errno;
    return sink.keep(path, writeError);
}

// Time signatures and tempos merged by time, in this file's order at one tick (see TieOrder).
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

void StreamMidiExporter::takeCurveValue(const CurveInfo& curve, int32_t value, bool write) {
    switch (curve.command) {
    case CmdPitchBendSensitivity: state_.sensitivity = value; break;
    case CmdPitchBend: state_.pitchCurve = value; break;
    default:
        state_.dynamics = value;
        if (write) writeExpression();
        return;
    }
    state_.bendScale = MidiBendScale(state_.pitchCurve, state_.sensitivity);
    if (write) writePitch();
}

void StreamMidiExporter::writeExpression() {
    const int32_t expression = midiLevel(state_.dynamics);
    if (expression != state_.writtenExpression) {
        midi_->channelEvent(static_cast<uint8_t>(kController | channel_), kExpression,
                            static_cast<uint8_t>(expression));
        state_.writtenExpression = expression;
    }
}

// The bend range goes through the registered parameter 0, which is closed again
// afterwards so that no later data entry changes it; it comes before the bend
// made for it.
void StreamMidiExporter::writePitch() {
    const int32_t range = midiBendRange(state_.sensitivity);
    if (range != state_.writtenRange) {
        const auto controller = static_cast<uint8_t>(kController | channel_);
        midi_->channelEvent(controller, kRpnCoarse, 0);
        midi_->channelEvent(controller, kRpnFine, 0);
        midi_->channelEvent(controller, kDataEntry, dataByte(range));
        midi_->channelEvent(controller, kDataEntryFine, 0);
        midi_->channelEvent(controller, kRpnCoarse, kNoRpn);
        midi_->channelEvent(controller, kRpnFine, kNoRpn);
        state_.writtenRange = range;
    }
    writeBend();
}

void StreamMidiExporter::writeBend() {
    const int32_t bend = state_.bendScale.bend(state_.vibratoCents) + kBendCentre;
    if (bend != state_.writtenBend) {
        midi_->channelEvent(static_cast<uint8_t>(kPitchBend | channel_),
                            static_cast<uint8_t>(bend & 0x7F), static_cast<uint8_t>(bend >> 7));
        state_.writtenBend = bend;
    }
}

bool StreamMidiExporter::writeVoiceTrack(const RenderedSong& song, size_t voice) {
    const VoiceTrack& track = song.voices()[voice];
    midi_->nextTrack();
    midi_->trackName(track.name().c_str());
    midi_->channelEvent(static_cast<uint8_t>(kProgramChange | channel_), kChoirAahs);
    midi_->channelEvent(static_cast<uint8_t>(kController | channel_), kChannelVolume,
                        kMidiChannelVolume);
    CurveStream curves[] = {{curveOfCommand(CmdPitchBendSensitivity), {}},
                            {curveOfCommand(CmdPitchBend), {}},
                            {curveOfCommand(CmdDynamics), {}}};
    state_ = ChannelState{};
    vibrato_ = VibratoSamples{};
    if (!startCurves(song, voice, curves)) return false;
    if (!vibratoSamplesFit(track)) {
        getReporter().error(msg::kTooManyBreakpoints, commandName(CmdVibrato));
        return false;
    }
    writePitch();
    writeExpression();
    time_.emplace(*clock_);
    writeNotesAndCurves(track, curves);
    return true;
}

// Each curve starts at its default (the sensitivity at the readers' one)
// unless points at tick 0 set it.
bool StreamMidiExporter::startCurves(const RenderedSong& song, size_t voice,
                                     std::span<CurveStream> curves) {
    for (CurveStream& stream : curves) {
        const CurveInfo& curve = *stream.curve;
        CurvePoints points = song.curve(voice, curve.id);
        if (!points) return false;
        stream.begin(std::move(points));
        // The VSQ file lists no sensitivity before its first point, and its
        // readers bend by their own 2 semitones there: the preview does too.
        const bool sensitivity = curve.command == CmdPitchBendSensitivity;
        takeCurveValue(curve, sensitivity ? kReadersSensitivity : curve.defaultValue, false);
        while (stream.nextTick == 0) takeCurveValue(curve, stream.take(), false);
    }
    return true;
}

// The curve whose next point comes first, the first of them at equal ticks.
CurveStream& earliestCurve(std::span<CurveStream> curves) {
    CurveStream* earliest = &curves.front();
    for (CurveStream& curve : curves.subspan(1)) {
        if (curve.nextTick < earliest->nextTick) earliest = &curve;
    }
    return *earliest;
}

void StreamMidiExporter::writeNotesAndCurves(const VoiceTrack& voice, std::span<CurveStream> curves) {
    MidiFileWriter& midi = *midi_;
    VoiceTrack::PartsInTimeOrder parts = voice.partsInTimeOrder();
    NotePart start{};
    bool starting = parts.next(start);
    size_t order = 0;
    EndQueue ends;
    for (;;) {
        // The earliest of the streams; at equal ticks the first in this order.
        int64_t tick = std::numeric_limits<int64_t>::max();
        enum class Next { Nothing, NoteEnd, Curve, Vibrato, NoteStart } next = Next::Nothing;
        if (!ends.empty()) {
            tick = ends.top().tick;
            next = Next::NoteEnd;
        }
        CurveStream& curve = earliestCurve(curves);
        if (curve.nextTick < tick) {
            tick = curve.nextTick;
            next = Next::Curve;
        }
        if (vibrato_.pending() && vibrato_.nextTick() < tick) {
            tick = vibrato_.nextTick();
            next = Next::Vibrato;
        }
        if (starting && start.start < tick) {
            tick = start.start;
            next = Next::NoteStart;
        }
        if (next == Next::Nothing) break;

        midi.moveTo(tick);
        if (next == Next::NoteEnd) {
            const PendingEnd end = ends.top();
            ends.pop();
            midi.channelEvent(static_cast<uint8_t>(kNoteOff | channel_), dataByte(end.note),
                              kReleaseVelocity);
        } else if (next == Next::Curve) {
            takeCurveValue(*curve.curve, curve.take(), true);
        } else if (next == Next::Vibrato) {
            state_.vibratoCents = vibrato_.take(*time_, sines_);
            writeBend();
        } else {
            startNotePart(start, order++, ends);
            starting = parts.next(start);
        }
    }
}

// Sounds the part with its lyric and its vibrato and queues its end.
void StreamMidiExporter::startNotePart(const NotePart& part, size_t order, EndQueue& ends) {
    const NoteEvent& note = *part.event;
    // A channel has one pitch: the vibrato of a note this one overlaps stops here.
    if (vibrato_.pending()) {
        state_.vibratoCents = 0;
        writeBend();
    }
    vibrato_ = VibratoSamples(vibratoOf(part), part.start, *clock_);
    std::string lyric(fileText(part.lyric->text.view()));
    lyric += smallTsuText(part.smallTsu);
    if (lyricText_ == MidiLyricText::Utf8) {
        const std::string text = cp932ToUtf8(lyric);
        midi_->lyric(text.data(), text.size());
    } else {
        midi_->lyric(lyric.data(), lyric.size());
    }
    // A velocity of 0 would end the note instead of sounding it.
    midi_->channelEvent(static_cast<uint8_t>(kNoteOn | channel_), dataByte(note.note),
                        std::max<uint8_t>(midiLevel(note.velocity), 1));
    ends.push({part.start + std::max<int64_t>(part.length, 0), order, note.note});
}

}  // namespace

std::unique_ptr<MidiExporter> createMidiExporter(MidiLyricText lyricText) {
    return std::make_unique<StreamMidiExporter>(lyricText);
}
