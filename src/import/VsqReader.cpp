// The VSQ reader: the MIDI file's events gathered (tempo and time signatures
// from any track, the numbered text events of the voice tracks), then each
// voice track's metatext read section by section.
#include "import/VsqReader.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "import/FileTicks.h"
#include "import/IniText.h"
#include "import/Numbers.h"
#include "import/StandardMidiFile.h"
#include "import/Vibratos.h"
#include "song/CurveTable.h"
#include "song/Limits.h"

namespace {

constexpr std::string_view kPiecePrefix = "DM:";

struct TextPiece {
    int track;
    uint64_t number;
    std::string_view text;
};

struct FileTempo {
    int64_t tick;
    uint32_t microseconds;
};

struct FileMetre {
    int64_t tick;
    int32_t numerator;
    int32_t denominator;
};

// Gathers what the reader needs from the MIDI file's events.
class VsqEvents final : public MidiEventVisitor {
public:
    std::vector<TextPiece> pieces;
    std::vector<FileTempo> tempos;
    std::vector<FileMetre> metres;
    bool channelMessages = false;
    bool otherEvents = false;
    int tracks = 0;

    void beginTrack(int track) override {
        track_ = track;
        tracks = track + 1;
    }

    void event(const MidiEvent& event) override {
        if (event.status != kMidiMetaEvent) {
            if (event.status < 0xF0) {
                channelMessages = true;
            } else {
                otherEvents = true;
            }
            return;
        }
        switch (event.metaType) {
        case kMidiMetaTempo:
            if (event.data.size() == 3) {
                const auto* d = reinterpret_cast<const unsigned char*>(event.data.data());
                tempos.push_back({event.tick, (uint32_t{d[0]} << 16) | (uint32_t{d[1]} << 8) | d[2]});
            }
            break;
        case kMidiMetaTimeSignature:
            if (event.data.size() >= 2) {
                const int code = static_cast<unsigned char>(event.data[1]);
                metres.push_back({event.tick, static_cast<unsigned char>(event.data[0]),
                                  code < 8 ? int32_t{1} << code : 0});
            }
            break;
        case kMidiMetaText:
            if (track_ > 0 && piece(event.data)) break;
            otherEvents = true;
            break;
        case kMidiMetaTrackName:
        case kMidiMetaEndOfTrack:
            break;
        case kMidiMetaSequencerSpecific:
            // The filler that carries a long gap is empty.
            if (!event.data.empty()) otherEvents = true;
            break;
        default:
            otherEvents = true;
            break;
        }
    }

private:
    // A "DM:nnnn:" piece of a voice track's metatext.
    bool piece(std::string_view text) {
        if (text.substr(0, kPiecePrefix.size()) != kPiecePrefix) return false;
        const size_t colon = text.find(':', kPiecePrefix.size());
        if (colon == std::string_view::npos || colon == kPiecePrefix.size() || colon > kPiecePrefix.size() + 12)
            return false;
        uint64_t number = 0;
        for (size_t i = kPiecePrefix.size(); i < colon; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            number = number * 10 + static_cast<uint64_t>(text[i] - '0');
        }
        pieces.push_back({track_, number, text.substr(colon + 1)});
        return true;
    }

    int track_ = 0;
};

// A section named with a prefix and a number, such as "ID#0012" or "h#0003".
struct NumberedSection {
    uint64_t number;
    std::string_view body;
};

std::optional<uint64_t> sectionNumber(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return std::nullopt;
    const std::optional<int64_t> number = parseInteger(name.substr(prefix.size()));
    if (!number || *number < 0) return std::nullopt;
    return static_cast<uint64_t>(*number);
}

const NumberedSection* findSection(const std::vector<NumberedSection>& sections, uint64_t number) {
    const auto found = std::lower_bound(
        sections.begin(), sections.end(), number,
        [](const NumberedSection& section, uint64_t n) { return section.number < n; });
    return found != sections.end() && found->number == number ? &*found : nullptr;
}

// Cuts a text at its first zero byte, as the compiler's files do.
std::string fileText(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

// The reading of one voice track's metatext.
class VoiceTrackReader {
public:
    VoiceTrackReader(ImportedSong& song, ImportedTrack& track, int number, int64_t offset,
                     const FileTicks& ticks)
        : song_(song), track_(track), number_(number), offset_(offset), ticks_(ticks), lost_(song.notCarried) {}

    bool read(std::string_view text, std::string& problem);

private:
    bool indexSections(std::string_view text, std::string& problem);
    bool readEventList(std::string& problem);
    bool readEvent(int64_t tick, uint64_t id, std::string& problem);
    bool readSinger(int64_t tick, std::string_view body, std::string& problem);
    bool readNote(int64_t tick, std::string_view body, std::string& problem);
    bool readLyric(uint64_t handle, ImportedLyric& lyric, std::string& problem);
    void readVibrato(uint64_t handle, ImportedNote& note);
    void readCurve(const CurveInfo& curve, std::string_view body);
    void checkCommon(std::string_view body);
    void checkMixer(std::string_view body);
    std::optional<uint64_t> handleNumber(std::string_view value) const { return sectionNumber(value, "h#"); }
    // Song ticks of a file tick after the pre-measure, or none before it.
    int64_t songTick(int64_t fileTick) const { return ticks_.toSong(fileTick) - offset_; }

    ImportedSong& song_;
    ImportedTrack& track_;
    int number_;
    int64_t offset_;
    const FileTicks& ticks_;
    NotCarried& lost_;
    std::vector<NumberedSection> ids_;
    std::vector<NumberedSection> handles_;
    std::optional<std::string_view> eventList_;
};

bool VoiceTrackReader::read(std::string_view text, std::string& problem) {
    if (!indexSections(text, problem)) return false;
    if (!eventList_) {
        problem = "voice track " + std::to_string(number_) + "'s metatext has no [EventList] section";
        return false;
    }
    return readEventList(problem);
}

bool VoiceTrackReader::indexSections(std::string_view text, std::string& problem) {
    for (const IniSection& section : iniSections(text)) {
        if (const auto id = sectionNumber(section.name, "ID#")) {
            ids_.push_back({*id, section.body});
        } else if (const auto handle = sectionNumber(section.name, "h#")) {
            handles_.push_back({*handle, section.body});
        } else if (section.name == "EventList") {
            eventList_ = section.body;
        } else if (section.name == "Common") {
            checkCommon(section.body);
        } else if (section.name == "Mixer") {
            checkMixer(section.body);
        } else if (section.name == "Master") {
            // The pre-measure is taken from the master track's time signature.
        } else {
            const auto curve = std::find_if(kCurves.begin(), kCurves.end(), [&](const CurveInfo& c) {
                return section.name == c.section;
            });
            if (curve != kCurves.end()) {
                readCurve(*curve, section.body);
            } else {
                lost_.note("sections of the metatext the language has no command for (such as "
                           "resonance and harmonics curves)");
            }
        }
    }
    for (std::vector<NumberedSection>* sections : {&ids_, &handles_}) {
        std::stable_sort(sections->begin(), sections->end(),
                         [](const NumberedSection& a, const NumberedSection& b) { return a.number < b.number; });
        for (size_t i = 1; i < sections->size(); ++i) {
            if ((*sections)[i].number == (*sections)[i - 1].number) {
                problem = "voice track " + std::to_string(number_) + " has two sections numbered " +
                          std::to_string((*sections)[i].number);
                return false;
            }
        }
    }
    return true;
}

void VoiceTrackReader::checkCommon(std::string_view body) {
    forEachIniLine(body, [&](std::string_view key, std::string_view value, bool) {
        if (key == "Name" && value != "Voice" + std::to_string(number_)) {
            lost_.note("track names (the compiler names the voice tracks Voice1, Voice2, ...)");
        } else if (key == "Color" && value != "181,162,123") {
            lost_.note("track colours");
        } else if ((key == "DynamicsMode" || key == "PlayMode") && value != "1") {
            lost_.note("the tracks' dynamics and play modes");
        }
    });
}

void VoiceTrackReader::checkMixer(std::string_view body) {
    forEachIniLine(body, [&](std::string_view key, std::string_view value, bool) {
        if (key != "Tracks" && value != "0") lost_.note("the mixer's levels, panning, mute and solo settings");
    });
}

bool VoiceTrackReader::readEventList(std::string& problem) {
    bool ok = true;
    forEachIniLine(*eventList_, [&](std::string_view key, std::string_view value, bool hasValue) {
        if (!ok) return;
        const std::optional<int64_t> tick = parseInteger(key);
        if (!hasValue || !tick || *tick < 0) {
            problem = "voice track " + std::to_string(number_) + "'s event list has a line that is no event";
            ok = false;
            return;
        }
        // One line may list several events: "1920=ID#0001,ID#0002".
        size_t at = 0;
        while (ok && at <= value.size()) {
            size_t comma = value.find(',', at);
            if (comma == std::string_view::npos) comma = value.size();
            const std::string_view item = value.substr(at, comma - at);
            at = comma + 1;
            if (item == "EOS") continue;
            const std::optional<uint64_t> id = sectionNumber(item, "ID#");
            if (!id) {
                problem = "voice track " + std::to_string(number_) + "'s event list names no event: " +
                          std::string(item.substr(0, 40));
                ok = false;
            } else {
                ok = readEvent(*tick, *id, problem);
            }
        }
    });
    return ok;
}

bool VoiceTrackReader::readEvent(int64_t tick, uint64_t id, std::string& problem) {
    const NumberedSection* section = findSection(ids_, id);
    if (section == nullptr) {
        problem = "voice track " + std::to_string(number_) + "'s event list names ID#" + std::to_string(id) +
                  ", which has no section";
        return false;
    }
    const std::string_view type = iniValue(section->body, "Type");
    if (type == "Singer") return readSinger(tick, section->body, problem);
    if (type == "Anote") return readNote(tick, section->body, problem);
    lost_.note("events other than notes and singers (such as crescendo and decrescendo marks)");
    return true;
}

bool VoiceTrackReader::readSinger(int64_t tick, std::string_view body, std::string& problem) {
    const std::optional<uint64_t> handleId = handleNumber(iniValue(body, "IconHandle"));
    const NumberedSection* handle = handleId ? findSection(handles_, *handleId) : nullptr;
    if (handle == nullptr) {
        problem = "voice track " + std::to_string(number_) + " has a singer without its handle section";
        return false;
    }
    ImportedSinger singer;
    // The singer at tick 0 is the one the track starts with; a change is listed after the pre-measure.
    singer.time = tick == 0 ? 0 : std::max<int64_t>(songTick(tick), 0);
    forEachIniLine(handle->body, [&](std::string_view key, std::string_view value, bool) {
        if (key == "IDS") {
            singer.name = fileText(value);
        } else if (key == "Language" || key == "Program") {
            const int32_t number = static_cast<int32_t>(clampTo(parseInteger(value).value_or(0), INT32_MIN, INT32_MAX));
            (key == "Language" ? singer.language : singer.program) = number;
        } else if (key == "Caption" && !value.empty()) {
            lost_.note("singer captions");
        }
    });
    track_.singers.push_back(std::move(singer));
    return true;
}

// A note parameter of the ID section, held within its range.
uint8_t noteValue(std::string_view text, int32_t fallback, int32_t low, int32_t high, NotCarried& lost) {
    const std::optional<int64_t> value = parseInteger(text);
    if (!value) return static_cast<uint8_t>(fallback);
    if (*value < low || *value > high) lost.note("note parameters outside their ranges are held at the edge");
    return static_cast<uint8_t>(clampTo(*value, low, high));
}

bool VoiceTrackReader::readNote(int64_t tick, std::string_view body, std::string& problem) {
    ImportedNote note;
    note.time = songTick(tick);
    std::optional<int64_t> length;
    std::optional<uint64_t> lyricHandle;
    std::optional<uint64_t> vibratoHandle;
    bool hasPitch = false;
    forEachIniLine(body, [&](std::string_view key, std::string_view value, bool) {
        if (key == "Length") {
            length = parseInteger(value);
        } else if (key == "Note#") {
            hasPitch = parseInteger(value).has_value();
            note.note = noteValue(value, 72, 0, 127, lost_);
        } else if (key == "Dynamics") {
            note.velocity = noteValue(value, kDefaultVelocity, kVelocityRange.minimum, kVelocityRange.maximum, lost_);
        } else if (key == "PMBendDepth" || key == "PMBendLength" || key == "PMbPortamentoUse" ||
                   key == "DEMdecGainRate" || key == "DEMaccent") {
            static constexpr std::string_view kKeys[] = {"PMBendDepth", "PMBendLength", "PMbPortamentoUse",
                                                         "DEMdecGainRate", "DEMaccent"};
            const size_t index = static_cast<size_t>(std::find(std::begin(kKeys), std::end(kKeys), key) - kKeys);
            const NoteParameter& parameter = kNoteParameters[index];
            uint8_t* const fields[] = {&note.bendDepth, &note.bendLength, &note.portamentoUse, &note.decay,
                                       &note.accent};
            *fields[index] = noteValue(value, parameter.defaultValue, parameter.range.minimum,
                                       parameter.range.maximum, lost_);
        } else if (key == "LyricHandle") {
            lyricHandle = handleNumber(value);
        } else if (key == "VibratoHandle") {
            vibratoHandle = handleNumber(value);
        } else if (key == "NoteHeadHandle") {
            lost_.note("note attacks (NoteHeadHandle)");
        } else if (key == "pMeanOnsetFirstNote" || key == "vMeanNoteTransition" || key == "d4mean" ||
                   key == "pMeanEndingNote") {
            lost_.note("the older synthesizer's per-note timing values (pMeanOnsetFirstNote and others)");
        }
    });
    if (!length || *length < 0 || !hasPitch) {
        problem = "voice track " + std::to_string(number_) + " has a note without a length or a note number";
        return false;
    }
    note.length = static_cast<int32_t>(clampTo(ticks_.toSong(*length), 0, INT32_MAX));
    ImportedLyric lyric{"\x82\xE7", "4 a"};
    if (lyricHandle) {
        if (!readLyric(*lyricHandle, lyric, problem)) return false;
    } else {
        lost_.note("notes without a lyric sing the default syllable");
    }
    note.lyric = song_.lyricIndex(lyric);
    if (vibratoHandle) readVibrato(*vibratoHandle, note);
    track_.notes.push_back(note);
    return true;
}

// The next double-quoted text of `value` from `at`; none when there is none.
std::optional<std::string_view> quoted(std::string_view value, size_t& at) {
    const size_t open = value.find('"', at);
    if (open == std::string_view::npos) return std::nullopt;
    const size_t close = value.find('"', open + 1);
    if (close == std::string_view::npos) return std::nullopt;
    at = close + 1;
    return value.substr(open + 1, close - open - 1);
}

bool VoiceTrackReader::readLyric(uint64_t handle, ImportedLyric& lyric, std::string& problem) {
    const NumberedSection* section = findSection(handles_, handle);
    const std::string_view line = section != nullptr ? iniValue(section->body, "L0") : std::string_view();
    size_t at = 0;
    const auto text = quoted(line, at);
    const auto symbols = text ? quoted(line, at) : std::nullopt;
    if (!symbols) {
        problem = "voice track " + std::to_string(number_) + " has a note whose lyric handle h#" +
                  std::to_string(handle) + " gives no lyric";
        return false;
    }
    lyric.text = fileText(*text);
    lyric.symbols = fileText(*symbols);
    if (line.substr(at) != ",1.000000,0,1") {
        lost_.note("the lyrics' consonant adjustments and phonetic-symbol protection flags");
    }
    if (!iniValue(section->body, "L1").empty()) lost_.note("lyric handles with more than one lyric");
    return true;
}

void VoiceTrackReader::readVibrato(uint64_t handle, ImportedNote& note) {
    const NumberedSection* section = findSection(handles_, handle);
    if (section == nullptr) {
        lost_.note("vibratos whose handle section is missing");
        return;
    }
    int64_t length = 0;
    int32_t depth = 0;
    int32_t rate = 0;
    int32_t iconType = 0;
    forEachIniLine(section->body, [&](std::string_view key, std::string_view value, bool) {
        const int64_t number = parseInteger(value).value_or(0);
        if (key == "Length") {
            length = number;
        } else if (key == "StartDepth") {
            depth = static_cast<int32_t>(clampTo(number, 0, 127));
        } else if (key == "StartRate") {
            rate = static_cast<int32_t>(clampTo(number, 0, 127));
        } else if ((key == "DepthBPNum" || key == "RateBPNum") && number != 0) {
            lost_.note("vibrato depth and rate curves (each vibrato keeps its starting depth and rate)");
        } else if (key == "IconID" && value.size() == 9 && value.substr(0, 5) == "$0404") {
            const std::optional<int64_t> type = [&]() -> std::optional<int64_t> {
                int64_t v = 0;
                for (char c : value.substr(5)) {
                    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
                    if (digit < 0) return std::nullopt;
                    v = v * 16 + digit;
                }
                return v;
            }();
            if (type && *type >= 1 && *type <= kMaxVibratoType) iconType = static_cast<int32_t>(*type);
        }
    });
    length = ticks_.toSong(length);
    if (length <= 0) return;
    const auto [presetDepth, presetRate] = kVibratoPresets[static_cast<size_t>(iconType)];
    if (iconType != 0 && presetDepth == depth && presetRate == rate) {
        note.vibratoType = static_cast<uint8_t>(iconType);
    } else {
        const VibratoMatch match = vibratoTypeForPreset(depth, rate);
        if (!match.exact) {
            lost_.note("vibrato depths and rates no vibrato type has: the nearest type is taken");
        } else if (iconType != 0) {
            lost_.note("vibrato types whose depth and rate are another type's: the type with them is taken");
        }
        note.vibratoType = static_cast<uint8_t>(match.type);
    }
    note.vibratoLength = static_cast<int32_t>(clampTo(length, 1, INT32_MAX));
}

void VoiceTrackReader::readCurve(const CurveInfo& curve, std::string_view body) {
    std::vector<ImportedPoint>& points = track_.curves[static_cast<size_t>(curve.id)];
    forEachIniLine(body, [&](std::string_view key, std::string_view value, bool) {
        const std::optional<int64_t> tick = parseInteger(key);
        const std::optional<int64_t> number = parseInteger(value);
        if (!tick || !number) {
            lost_.note("breakpoint lines that are not two numbers");
            return;
        }
        points.push_back(pointAt(songTick(*tick), static_cast<int32_t>(clampTo(*number, INT32_MIN, INT32_MAX))));
    });
}

// The earliest tick a note of the metatext is listed at; none without notes.
std::optional<int64_t> earliestNoteTick(std::string_view text) {
    std::vector<uint64_t> notes;
    std::string_view eventList;
    for (const IniSection& section : iniSections(text)) {
        if (section.name == "EventList") eventList = section.body;
        const auto id = sectionNumber(section.name, "ID#");
        if (id && iniValue(section.body, "Type") == "Anote") notes.push_back(*id);
    }
    std::sort(notes.begin(), notes.end());
    std::optional<int64_t> earliest;
    forEachIniLine(eventList, [&](std::string_view key, std::string_view value, bool) {
        const std::optional<int64_t> tick = parseInteger(key);
        if (!tick || (earliest && *earliest <= *tick)) return;
        size_t at = 0;
        while (at <= value.size()) {
            size_t comma = value.find(',', at);
            if (comma == std::string_view::npos) comma = value.size();
            const auto id = sectionNumber(value.substr(at, comma - at), "ID#");
            if (id && std::binary_search(notes.begin(), notes.end(), *id)) earliest = *tick;
            at = comma + 1;
        }
    });
    return earliest;
}

// The pieces of each voice track in the order of their numbers, joined; false
// when a track's numbers repeat or leave a gap.
bool joinMetatexts(std::vector<TextPiece>& pieces, int tracks, std::vector<std::string>& texts,
                   std::string& problem) {
    std::stable_sort(pieces.begin(), pieces.end(), [](const TextPiece& a, const TextPiece& b) {
        return a.track != b.track ? a.track < b.track : a.number < b.number;
    });
    texts.assign(static_cast<size_t>(std::max(tracks, 1)), std::string());
    uint64_t expected = 0;
    int track = -1;
    for (const TextPiece& piece : pieces) {
        if (piece.track != track) {
            track = piece.track;
            expected = 0;
        }
        if (piece.number != expected) {
            problem = "the metatext of MIDI track " + std::to_string(piece.track + 1) +
                      (piece.number < expected ? " has two text events numbered " : " has no text event numbered ") +
                      std::to_string(piece.number < expected ? piece.number : expected);
            return false;
        }
        ++expected;
        texts[static_cast<size_t>(piece.track)].append(piece.text);
    }
    return true;
}

// Beats a minute from a tempo event's microseconds per quarter note.
TempoMark tempoMark(int64_t time, uint32_t microseconds, NotCarried& lost) {
    const double exact = microseconds > 0 ? 60000000.0 / microseconds : kTempoRange.maximum;
    const int64_t bpm = clampTo(roundToInteger(exact), 1, INT32_MAX);
    if (60000000 / bpm != microseconds) lost.note("tempos that are not a whole number of beats a minute are rounded");
    return {static_cast<int32_t>(clampTo(time, 0, INT32_MAX)), static_cast<int32_t>(bpm)};
}

}  // namespace

bool looksLikeVsqFile(std::string_view bytes) {
    return looksLikeMidiFile(bytes) && bytes.find("DM:0000:") != std::string_view::npos;
}

bool readVsqFile(std::string_view bytes, ImportedSong& song, std::string& problem) {
    VsqEvents events;
    MidiFileHeader header;
    if (!readMidiFile(bytes, header, events, problem)) return false;
    const FileTicks ticks(header.division);
    if (!ticks.exact()) song.notCarried.note("times finer than the song's 480 ticks a quarter note are rounded");
    if (events.channelMessages) {
        song.notCarried.note("the synthesizer's control messages in the voice tracks (the compiler writes none)");
    }
    if (events.otherEvents) song.notCarried.note("MIDI events other than tempo, time signature and metatext");

    std::vector<std::string> texts;
    if (!joinMetatexts(events.pieces, events.tracks, texts, problem)) return false;
    events.pieces.clear();
    events.pieces.shrink_to_fit();

    // The pre-measure is one bar of the time signature at the start. A file
    // whose notes start inside it (jCadencii's conversions of UTAU sequences)
    // is moved later by whole bars, so that none is lost.
    MetreMark start{0, kDefaultMetreNumerator, kDefaultMetreDenominator};
    for (const FileMetre& metre : events.metres) {
        if (metre.tick == 0 && metre.numerator > 0 && metre.denominator > 0)
            start = {0, metre.numerator, metre.denominator};
    }
    const int64_t bar = measureTicks(start.numerator, start.denominator);
    std::optional<int64_t> earliest;
    for (size_t k = 1; k < texts.size(); ++k) {
        const std::optional<int64_t> tick = earliestNoteTick(texts[k]);
        if (tick && (!earliest || *tick < *earliest)) earliest = tick;
    }
    int64_t offset = bar;
    if (earliest && ticks.toSong(*earliest) < bar) {
        const int64_t bars = (bar - ticks.toSong(*earliest) + bar - 1) / bar;
        song.notCarried.note("notes inside the pre-measure: the song is moved " + std::to_string(bars) +
                             (bars == 1 ? " bar" : " bars") + " later");
        offset -= bars * bar;
    }
    const auto songTime = [&](int64_t fileTick) {
        if (fileTick == 0) return int64_t{0};
        const int64_t time = ticks.toSong(fileTick) - offset;
        if (time < 0) song.notCarried.note("tempo and time signature changes inside the pre-measure are moved to the song's start");
        return std::max<int64_t>(time, 0);
    };
    for (const FileTempo& tempo : events.tempos)
        song.tempoMap.tempos.push_back(tempoMark(songTime(tempo.tick), tempo.microseconds, song.notCarried));
    for (const FileMetre& metre : events.metres) {
        song.tempoMap.metres.push_back(
            {static_cast<int32_t>(clampTo(songTime(metre.tick), 0, INT32_MAX)), metre.numerator, metre.denominator});
    }

    int number = 0;
    for (size_t k = 1; k < texts.size(); ++k) {
        if (texts[k].empty()) {
            song.notCarried.note("MIDI tracks without metatext");
            continue;
        }
        ImportedTrack& track = song.tracks.emplace_back();
        VoiceTrackReader reader(song, track, ++number, offset, ticks);
        if (!reader.read(texts[k], problem)) return false;
        std::string().swap(texts[k]);
    }
    if (number == 0) {
        problem = "the file has no voice track with metatext";
        return false;
    }
    return true;
}
