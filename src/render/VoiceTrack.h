// A voice track as every file writes it: a track of the song that holds notes,
// with its number and name, its singers, and its notes as the parts they are
// sung in. The parts are views made on request from the song's notes, so a
// voice track costs no memory per note.
#pragma once

#include <cstddef>
#include <cstdint>
#include <queue>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "render/Singers.h"
#include "song/Song.h"
#include "song/SourceLocation.h"
#include "song/VibratoSound.h"

class StringPool;

// A text from the song as a file carries it: up to its first zero byte.
inline std::string_view fileText(std::string_view text) { return text.substr(0, text.find('\0')); }

// A note is sung as one part, or as two when its lyric splits it: the first
// part up to the split, without vibrato, and the second from the split to the
// note's end with the second syllable and the vibrato.
// `SungPart` is what a part sings; `NotePart` adds how it reads beside its
// neighbours. Made without their lookups, the sung part alone saves 7% of the
// instructions of a 100 000-note song in the VSQ file, whose event list takes
// every part three times.
struct SungPart {
    const NoteEvent* event;  // the note: number, velocity, note parameters, vibrato settings
    size_t note;             // its index among the track's notes
    int part;                // 1, or 2 for the part from the split on
    int64_t start;           // song ticks
    int64_t length;          // ticks it sounds, 0 or more
    const Lyric* lyric;
    int32_t vibratoType;     // the vibrato's type, 0 when the part has none

    int64_t soundingEnd() const { return start + length; }
};

// A part with how it reads beside its neighbours.
struct NotePart : SungPart {
    int64_t writtenEnd;  // where it ends as written (the split for a first part)
    // The part sings no new syllable but holds the vowel of the part before:
    // its lyric is a long-vowel mark and it starts where the part before it
    // ends as written. The written end decides, not the sounding one: a gate
    // or a small "tsu" shortens how long the note before sounds, yet the mark
    // still continues its vowel (the compiler gives the mark's note that
    // vowel either way), so every file shows the same notes as held.
    bool held;
    // The character code of a small "tsu" that cut the note short, on the
    // note's last part; 0 when there is none.
    int smallTsu;
};

// A small "tsu" (`NotePart::smallTsu`) as the files people read show it after
// the lyric of the note it cut short (the score, the MIDI file): its code page
// 932 bytes, empty for 0. The files sung from keep the syllable the voice sings.
std::string smallTsuText(int code);

// How the part's vibrato sounds (not on when it has none).
VibratoSound vibratoOf(const SungPart& part);

class VoiceTrack {
public:
    VoiceTrack(const Track& track, int number, const StringPool& strings);

    const Track& track() const { return *track_; }
    // 1 for the first voice track, 2 for the second, ...
    int number() const { return number_; }
    // "Voice1", "Voice2", ...: the name the VSQ and MIDI files give the track.
    const std::string& name() const { return name_; }

    // The singers in time order, the first at tick 0 (see singerTimeline).
    std::span<const Singer> singers() const { return singers_; }
    // The singer every file names the track after: the one sounding at the
    // track's first note.
    const Singer& namingSinger() const;

    size_t noteCount() const { return track_->notes.size(); }
    const NoteEvent& note(size_t index) const { return track_->notes[index]; }
    const SourceLocation& location(size_t index) const { return track_->noteLocation(index); }
    int partCount(size_t index) const { return note(index).splitOffset > 0 ? 2 : 1; }
    // Part 1 or 2 of the note at `index`.
    NotePart part(size_t index, int part) const;
    // The same part's singing alone.
    SungPart sungPart(size_t index, int part) const {
        const NoteEvent& event = note(index);
        if (part == 2) {
            return {&event, index, 2, int64_t{event.time} + event.splitOffset,
                    int64_t{event.length} - event.splitOffset, &track_->secondLyric(index),
                    event.vibrato.type};
        }
        if (event.splitOffset > 0) {
            return {&event, index, 1, event.time, event.splitOffset, &event.lyric, 0};
        }
        return {&event, index, 1, event.time, event.length, &event.lyric, event.vibrato.type};
    }
    // Where the note ends as written: its step from its start, reaching the
    // next note's start at the most.
    int64_t writtenEnd(size_t index) const;
    // The end of the last note as it sounds, within 0..INT32_MAX: the curves
    // are rendered up to there.
    int32_t curveEnd() const;

    // The parts of all notes in order of their start; parts starting together
    // keep the order of their notes, a first part before its second.
    class PartsInTimeOrder {
    public:
        explicit PartsInTimeOrder(const VoiceTrack& voice) : voice_(voice) {}
        // The next part; false when there is none.
        bool next(NotePart& part);

    private:
        struct Pending {
            int64_t start;
            size_t note;
            bool operator>(const Pending& other) const {
                return start != other.start ? start > other.start : note > other.note;
            }
        };
        const VoiceTrack& voice_;
        size_t nextNote_ = 0;
        // Second parts waiting for their start.
        std::priority_queue<Pending, std::vector<Pending>, std::greater<>> seconds_;
    };
    PartsInTimeOrder partsInTimeOrder() const { return PartsInTimeOrder(*this); }

private:
    const Track* track_;
    int number_;
    std::string name_;
    std::vector<Singer> singers_;
};

// The song's tracks that hold at least one note, in song order, numbered from 1.
std::vector<VoiceTrack> collectVoiceTracks(const Song& song, const StringPool& strings);
