// Reading a Standard MIDI File event by event, without holding its events:
// the chunks are checked against the file's real size, running status is
// followed, and each track's events are handed to a visitor with their
// absolute ticks. Shared by the VSQ reader (whose tracks carry text events)
// and the reader of ordinary MIDI files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct MidiFileHeader {
    int format = 0;
    int tracks = 0;    // the track chunks found, which the header's count may belie
    int division = 0;  // ticks per quarter note
};

inline constexpr uint8_t kMidiMetaEvent = 0xFF;
inline constexpr uint8_t kMidiMetaText = 0x01;
inline constexpr uint8_t kMidiMetaTrackName = 0x03;
inline constexpr uint8_t kMidiMetaLyric = 0x05;
inline constexpr uint8_t kMidiMetaEndOfTrack = 0x2F;
inline constexpr uint8_t kMidiMetaTempo = 0x51;
inline constexpr uint8_t kMidiMetaTimeSignature = 0x58;
inline constexpr uint8_t kMidiMetaSequencerSpecific = 0x7F;

struct MidiEvent {
    int64_t tick = 0;    // from the track's start
    uint8_t status = 0;  // 0x80..0xEF a channel message, 0xF0/0xF7 system exclusive, 0xFF meta
    uint8_t metaType = 0;
    uint8_t data1 = 0;   // a channel message's data bytes
    uint8_t data2 = 0;
    std::string_view data;  // a meta or system-exclusive event's bytes, inside the file
};

class MidiEventVisitor {
public:
    virtual ~MidiEventVisitor() = default;
    // Called before the events of each track chunk, numbered from 0.
    virtual void beginTrack(int track) = 0;
    virtual void event(const MidiEvent& event) = 0;
};

// Reads the header and every track chunk of `bytes`. A track chunk that says
// it is empty while events, not another chunk, follow it is read up to its
// end-of-track event (jCadencii writes such chunks). False, with `problem`
// saying what is wrong in a few English words and where, when the file is not
// a MIDI file, a chunk runs past the end or an event is malformed; the
// visitor may have seen events before that point.
bool readMidiFile(std::string_view bytes, MidiFileHeader& header, MidiEventVisitor& visitor,
                  std::string& problem);

// True when `bytes` start the way a Standard MIDI File does.
bool looksLikeMidiFile(std::string_view bytes);
