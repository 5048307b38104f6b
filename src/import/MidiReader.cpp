// The MIDI reader: one pass to learn how the lyrics are encoded, one to gather
// each MIDI track's notes and controllers by channel, each track turned into
// voice tracks as soon as it ends.
#include "import/MidiReader.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "import/ExpressionUnits.h"
#include "import/FileTicks.h"
#include "import/PhoneticSpelling.h"
#include "import/StandardMidiFile.h"
#include "import/TextCodes.h"
#include "import/Numbers.h"
#include "song/CurveTable.h"
#include "song/Limits.h"
#include "song/Song.h"

namespace {

constexpr int kChannels = 16;
constexpr int kDrumChannel = 9;
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kController = 0xB0;
constexpr uint8_t kPitchBend = 0xE0;
constexpr uint8_t kDataEntry = 6;
constexpr uint8_t kChannelVolume = 7;
constexpr uint8_t kExpression = 11;
constexpr uint8_t kDataEntryFine = 38;
constexpr uint8_t kRpnFine = 100;
constexpr uint8_t kRpnCoarse = 101;
constexpr int32_t kGeneralMidiBendRange = 2;


bool isLyricText(const MidiEvent& event) {
    return event.status == kMidiMetaEvent && (event.metaType == kMidiMetaLyric || event.metaType == kMidiMetaText);
}

// Whether the file's lyrics are UTF-8: all of them are, and one at least is
// not plain ASCII.
class LyricEncoding final : public MidiEventVisitor {
public:
    bool utf8 = true;
    bool wide = false;
    void beginTrack(int) override {}
    void event(const MidiEvent& event) override {
        if (!isLyricText(event)) return;
        utf8 = utf8 && isUtf8(event.data);
        wide = wide || hasNonAscii(event.data);
    }
};

// A note as it is read: 16 bytes, as a file may hold millions.
struct RawNote {
    int64_t start;
    int32_t length;  // -1 while it sounds
    uint8_t key;
    uint8_t velocity;
};

struct Channel {
    std::vector<RawNote> notes;
    std::array<int64_t, 128> sounding;  // index into notes, -1 when the key is silent
    std::vector<ImportedPoint> bends;
    std::vector<ImportedPoint> ranges;
    std::vector<ImportedPoint> expressions;
    std::vector<ImportedPoint> volumes;
    uint8_t rpnCoarse = 127;
    uint8_t rpnFine = 127;
    Channel() { sounding.fill(-1); }
};

struct TimedLyric {
    int64_t tick;
    uint32_t text;  // index into the texts read
    bool sung = false;  // given to a note of an earlier channel
};

class MidiTracks final : public MidiEventVisitor {
public:
    MidiTracks(bool utf8, const FileTicks& ticks, const SyllableDictionary& dictionary, ImportedSong& song)
        : utf8_(utf8), ticks_(ticks), dictionary_(dictionary), song_(song), lost_(song.notCarried) {}

    void beginTrack(int) override {
        finishTrack();
        channels_ = std::make_unique<std::array<Channel, kChannels>>();
    }

    void event(const MidiEvent& event) override {
        lastTick_ = std::max(lastTick_, event.tick);
        if (event.status == kMidiMetaEvent) {
            meta(event);
        } else if (event.status < 0xF0) {
            channelMessage(event);
        } else {
            lost_.note("system exclusive messages");
        }
    }

    // Turns the track read last into voice tracks.
    void finishTrack();
    bool tooManyNotes = false;

private:
    void meta(const MidiEvent& event);
    void channelMessage(const MidiEvent& event);
    void controller(Channel& channel, const MidiEvent& event);
    std::string lyricText(std::string_view bytes) const;
    void addVoiceTrack(int number, Channel& channel, std::vector<TimedLyric>& lyrics);
    // The text of the lyric events at `tick`, added to the texts read so far.
    void addLyric(std::vector<TimedLyric>& lyrics, int64_t tick, std::string text);

    bool utf8_;
    const FileTicks& ticks_;
    const SyllableDictionary& dictionary_;
    ImportedSong& song_;
    NotCarried& lost_;
    std::unique_ptr<std::array<Channel, kChannels>> channels_;
    // Lyric and text events by time; each text is kept once.
    std::vector<TimedLyric> lyricEvents_;
    std::vector<TimedLyric> textEvents_;
    std::vector<std::string> texts_;
    std::map<std::string, uint32_t, std::less<>> textIndices_;
    int64_t lastTick_ = 0;
    size_t notes_ = 0;
};

std::string MidiTracks::lyricText(std::string_view bytes) const {
    bytes = bytes.substr(0, bytes.find('\0'));
    if (!utf8_) return std::string(bytes);
    std::string text;
    if (!utf8ToCp932(bytes, text)) lost_.note("lyric characters code page 932 does not have become \"?\"");
    return text;
}

void MidiTracks::meta(const MidiEvent& event) {
    const auto* data = reinterpret_cast<const unsigned char*>(event.data.data());
    const int64_t tick = ticks_.toSong(event.tick);
    switch (event.metaType) {
    case kMidiMetaTempo:
        if (event.data.size() == 3) {
            const uint32_t microseconds = (uint32_t{data[0]} << 16) | (uint32_t{data[1]} << 8) | data[2];
            const double exact = microseconds > 0 ? 60000000.0 / microseconds : kTempoRange.maximum;
            const int64_t bpm = clampTo(roundToInteger(exact), 1, INT32_MAX);
            if (60000000 / bpm != microseconds) {
                lost_.note("tempos that are not a whole number of beats a minute are rounded");
            }
            song_.tempoMap.tempos.push_back(
                {static_cast<int32_t>(clampTo(tick, 0, INT32_MAX)), static_cast<int32_t>(bpm)});
        }
        break;
    case kMidiMetaTimeSignature:
        if (event.data.size() >= 2) {
            song_.tempoMap.metres.push_back({static_cast<int32_t>(clampTo(tick, 0, INT32_MAX)), data[0],
                                             data[1] < 8 ? int32_t{1} << data[1] : 0});
        }
        break;
    case kMidiMetaLyric:
        addLyric(lyricEvents_, tick, lyricText(event.data));
        break;
    case kMidiMetaText: {
        // Karaoke files mark lines with "/" and "\\" and give titles after "@".
        std::string text = lyricText(event.data);
        if (!text.empty() && text.front() == '@') break;
        while (!text.empty() && (text.front() == '/' || text.front() == '\\')) text.erase(0, 1);
        addLyric(textEvents_, tick, std::move(text));
        break;
    }
    case kMidiMetaEndOfTrack:
        break;
    case kMidiMetaSequencerSpecific:
        if (!event.data.empty()) lost_.note("MIDI meta events other than tempo, time signature and lyrics");
        break;
    default:
        lost_.note("MIDI meta events other than tempo, time signature and lyrics");
        break;
    }
}

void MidiTracks::addLyric(std::vector<TimedLyric>& lyrics, int64_t tick, std::string text) {
    if (text.empty()) return;
    // Several events at one time make one lyric.
    if (!lyrics.empty() && lyrics.back().tick == tick) text = texts_[lyrics.back().text] + text;
    const auto [found, added] = textIndices_.try_emplace(text, static_cast<uint32_t>(texts_.size()));
    if (added) texts_.push_back(std::move(text));
    if (!lyrics.empty() && lyrics.back().tick == tick) {
        lyrics.back().text = found->second;
    } else {
        lyrics.push_back({tick, found->second, false});
    }
}

void MidiTracks::channelMessage(const MidiEvent& event) {
    Channel& channel = (*channels_)[event.status & 0x0Fu];
    const uint8_t kind = event.status & 0xF0u;
    const int64_t tick = ticks_.toSong(event.tick);
    const auto endNote = [&](uint8_t key) {
        int64_t& sounding = channel.sounding[key];
        if (sounding >= 0) {
            RawNote& note = channel.notes[static_cast<size_t>(sounding)];
            note.length = static_cast<int32_t>(clampTo(tick - note.start, 0, INT32_MAX));
        }
        sounding = -1;
    };
    if (kind == kNoteOn && event.data2 > 0) {
        endNote(event.data1);
        if (++notes_ > kMostImportedNotes) {
            tooManyNotes = true;
            return;
        }
        channel.sounding[event.data1] = static_cast<int64_t>(channel.notes.size());
        channel.notes.push_back({tick, -1, event.data1, event.data2});
    } else if (kind == kNoteOff || kind == kNoteOn) {
        endNote(event.data1);
    } else if (kind == kPitchBend) {
        channel.bends.push_back(pointAt(tick, ((int32_t{event.data2} << 7) | event.data1) - 8192));
    } else if (kind == kController) {
        controller(channel, event);
    } else {
        lost_.note("MIDI programs, key and channel pressure");
    }
}

void MidiTracks::controller(Channel& channel, const MidiEvent& event) {
    const int64_t tick = ticks_.toSong(event.tick);
    switch (event.data1) {
    case kRpnCoarse: channel.rpnCoarse = event.data2; break;
    case kRpnFine: channel.rpnFine = event.data2; break;
    case kDataEntry:
        // Registered parameter 0 is the bend range in semitones.
        if (channel.rpnCoarse == 0 && channel.rpnFine == 0)
            channel.ranges.push_back(pointAt(tick, std::min<int32_t>(event.data2, 24)));
        break;
    case kDataEntryFine:
        if (channel.rpnCoarse == 0 && channel.rpnFine == 0 && event.data2 != 0) {
            lost_.note("bend ranges finer than a semitone");
        }
        break;
    case kExpression: channel.expressions.push_back(pointAt(tick, songLevelOfMidiLevel(event.data2))); break;
    case kChannelVolume: channel.volumes.push_back(pointAt(tick, event.data2)); break;
    default: lost_.note("MIDI controllers other than expression, volume and the bend range"); break;
    }
}

// A lyric goes to the note that starts with it on the first channel that has one.
void MidiTracks::addVoiceTrack(int number, Channel& channel, std::vector<TimedLyric>& lyrics) {
    if (number == kDrumChannel) {
        lost_.note("notes on the drum channel (channel 10)");
        return;
    }
    ImportedTrack& track = song_.tracks.emplace_back();
    track.notes.reserve(channel.notes.size());
    std::string before;
    auto lyric = lyrics.begin();
    for (const RawNote& raw : channel.notes) {
        ImportedNote note;
        note.time = raw.start;
        note.length = raw.length >= 0 ? raw.length
                                      : static_cast<int32_t>(clampTo(ticks_.toSong(lastTick_) - raw.start, 0, INT32_MAX));
        note.note = raw.key;
        note.velocity = static_cast<uint8_t>(songLevelOfMidiLevel(raw.velocity));
        while (lyric != lyrics.end() && lyric->tick < raw.start) ++lyric;
        ImportedLyric sung{kDefaultLyricText, kDefaultLyricSymbols};
        if (lyric != lyrics.end() && lyric->tick == raw.start && !lyric->sung && !texts_[lyric->text].empty()) {
            sung = lyricOfText(dictionary_, texts_[lyric->text], before, lost_);
            lyric->sung = true;
        } else if (!lyrics.empty()) {
            lost_.note("notes without a lyric at their start sing the default syllable");
        }
        before = sung.symbols;
        note.lyric = song_.lyricIndex(sung);
        track.notes.push_back(note);
    }
    std::vector<RawNote>().swap(channel.notes);
    std::vector<ImportedPoint>& ranges = channel.ranges;
    if (!channel.bends.empty() && (ranges.empty() || ranges.front().tick > channel.bends.front().tick))
        ranges.insert(ranges.begin(), ImportedPoint{0, kGeneralMidiBendRange});
    track.curves[static_cast<size_t>(curveOfCommand(CmdPitchBend)->id)] = std::move(channel.bends);
    track.curves[static_cast<size_t>(curveOfCommand(CmdPitchBendSensitivity)->id)] = std::move(ranges);
    const bool volumeMoves = std::any_of(channel.volumes.begin(), channel.volumes.end(),
                                         [](const ImportedPoint& v) { return v.value != 100; });
    std::vector<ImportedPoint>& dynamics = track.curves[static_cast<size_t>(curveOfCommand(CmdDynamics)->id)];
    if (!channel.expressions.empty()) {
        if (volumeMoves) lost_.note("the channel volume where the channel has expression, which is taken as dynamics");
        dynamics = std::move(channel.expressions);
    } else if (volumeMoves) {
        for (ImportedPoint& point : channel.volumes) point.value = songLevelOfMidiLevel(point.value);
        dynamics = std::move(channel.volumes);
    }
}

void MidiTracks::finishTrack() {
    if (!channels_) return;
    // Lyric events where the track has any, text events otherwise.
    std::vector<TimedLyric>& lyrics = !lyricEvents_.empty() ? lyricEvents_ : textEvents_;
    std::stable_sort(lyrics.begin(), lyrics.end(), [](const TimedLyric& a, const TimedLyric& b) { return a.tick < b.tick; });
    for (int number = 0; number < kChannels; ++number) {
        Channel& channel = (*channels_)[static_cast<size_t>(number)];
        if (!channel.notes.empty()) addVoiceTrack(number, channel, lyrics);
    }
    channels_.reset();
    lyricEvents_.clear();
    textEvents_.clear();
    lastTick_ = 0;
}

}  // namespace

bool readMidiLyricsFile(std::string_view bytes, const SyllableDictionary& dictionary, ImportedSong& song,
                        std::string& problem) {
    MidiFileHeader header;
    LyricEncoding encoding;
    if (!readMidiFile(bytes, header, encoding, problem)) return false;
    const FileTicks ticks(header.division);
    if (!ticks.exact()) song.notCarried.note("times finer than the song's 480 ticks a quarter note are rounded");
    MidiTracks tracks(encoding.utf8 && encoding.wide, ticks, dictionary, song);
    if (!readMidiFile(bytes, header, tracks, problem)) return false;
    if (tracks.tooManyNotes) {
        problem = "more than " + std::to_string(kMostImportedNotes) + " notes, more than a song may hold";
        return false;
    }
    tracks.finishTrack();
    return true;
}
