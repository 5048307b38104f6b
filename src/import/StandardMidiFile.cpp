// The chunks and events of a Standard MIDI File, read within the bytes there
// are: every length is checked before it is used.
#include "import/StandardMidiFile.h"

#include <cstring>

namespace {

constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kHeaderDataSize = 6;

uint32_t bigEndian(std::string_view bytes, size_t at, size_t count) {
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// A cursor over one track chunk's data.
class TrackCursor {
public:
    TrackCursor(std::string_view data, size_t fileOffset) : data_(data), fileOffset_(fileOffset) {}

    bool atEnd() const { return at_ >= data_.size(); }
    size_t fileOffset() const { return fileOffset_ + at_; }

    bool byte(uint8_t& out) {
        if (at_ >= data_.size()) return false;
        out = static_cast<uint8_t>(data_[at_++]);
        return true;
    }
    // A variable-length quantity of at most four bytes.
    bool variableLength(uint32_t& out) {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b = 0;
            if (!byte(b)) return false;
            out = (out << 7) | (b & 0x7Fu);
            if ((b & 0x80u) == 0) return true;
        }
        return false;
    }
    bool bytes(uint32_t count, std::string_view& out) {
        if (count > data_.size() - at_) return false;
        out = data_.substr(at_, count);
        at_ += count;
        return true;
    }

private:
    std::string_view data_;
    size_t fileOffset_;
    size_t at_ = 0;
};

std::string at(size_t offset) { return " at byte " + std::to_string(offset); }

// How many data bytes follow a channel status.
int channelDataBytes(uint8_t status) {
    const uint8_t kind = status & 0xF0u;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Reads events until the track's end-of-track event or the cursor's end.
bool readTrack(TrackCursor& cursor, MidiEventVisitor& visitor, std::string& problem) {
    MidiEvent event;
    uint8_t runningStatus = 0;
    while (!cursor.atEnd()) {
        const size_t start = cursor.fileOffset();
        uint32_t delta = 0;
        if (!cursor.variableLength(delta)) {
            problem = "a delta time is cut off or longer than four bytes" + at(start);
            return false;
        }
        event.tick += delta;
        uint8_t first = 0;
        if (!cursor.byte(first)) {
            problem = "an event is cut off" + at(start);
            return false;
        }
        event.data = {};
        event.metaType = 0;
        event.data1 = event.data2 = 0;
        if (first == kMidiMetaEvent || first == 0xF0 || first == 0xF7) {
            runningStatus = 0;
            event.status = first;
            if (first == kMidiMetaEvent && !cursor.byte(event.metaType)) {
                problem = "a meta event is cut off" + at(start);
                return false;
            }
            uint32_t length = 0;
            if (!cursor.variableLength(length) || !cursor.bytes(length, event.data)) {
                problem = "an event's length runs past its track" + at(start);
                return false;
            }
            visitor.event(event);
            if (first == kMidiMetaEvent && event.metaType == kMidiMetaEndOfTrack) return true;
            continue;
        }
        uint8_t data = first;
        if (first >= 0x80) {
            if (first >= 0xF0) {
                problem = "a system message that a file cannot hold" + at(start);
                return false;
            }
            runningStatus = first;
            if (!cursor.byte(data)) {
                problem = "a channel message is cut off" + at(start);
                return false;
            }
        } else if (runningStatus == 0) {
            problem = "a data byte without a status" + at(start);
            return false;
        }
        event.status = runningStatus;
        event.data1 = data;
        if (channelDataBytes(runningStatus) == 2 && !cursor.byte(event.data2)) {
            problem = "a channel message is cut off" + at(start);
            return false;
        }
        if (event.data1 >= 0x80 || event.data2 >= 0x80) {
            problem = "a channel message with a byte out of range" + at(start);
            return false;
        }
        visitor.event(event);
    }
    return true;
}

}  // namespace

bool looksLikeMidiFile(std::string_view bytes) {
    return bytes.size() >= 4 && bytes.substr(0, 4) == "MThd";
}

bool readMidiFile(std::string_view bytes, MidiFileHeader& header, MidiEventVisitor& visitor,
                  std::string& problem) {
    if (!looksLikeMidiFile(bytes) || bytes.size() < kChunkHeaderSize + kHeaderDataSize) {
        problem = "not a Standard MIDI File (no MThd header)";
        return false;
    }
    const uint32_t headerLength = bigEndian(bytes, 4, 4);
    if (headerLength < kHeaderDataSize || headerLength > bytes.size() - kChunkHeaderSize) {
        problem = "the MThd header's length is wrong";
        return false;
    }
    header.format = static_cast<int>(bigEndian(bytes, 8, 2));
    const int division = static_cast<int>(bigEndian(bytes, 12, 2));
    if (division == 0 || (division & 0x8000) != 0) {
        problem = "the file counts time in SMPTE frames or in no unit, not in ticks per quarter note";
        return false;
    }
    header.division = division;
    header.tracks = 0;
    size_t offset = kChunkHeaderSize + headerLength;
    const auto isTag = [&](size_t at) {
        if (bytes.size() - at < 4) return false;
        for (size_t i = 0; i < 4; ++i) {
            if (bytes[at + i] < 'A' || bytes[at + i] > 'z') return false;
        }
        return true;
    };
    while (offset < bytes.size()) {
        if (bytes.size() - offset < kChunkHeaderSize) {
            problem = "the file ends inside a chunk header" + at(offset);
            return false;
        }
        const uint32_t length = bigEndian(bytes, offset + 4, 4);
        const size_t dataStart = offset + kChunkHeaderSize;
        if (length > bytes.size() - dataStart) {
            problem = "a chunk says it holds " + std::to_string(length) + " bytes but the file ends after " +
                      std::to_string(bytes.size() - dataStart) + at(offset);
            return false;
        }
        if (bytes.substr(offset, 4) == "MTrk") {
            visitor.beginTrack(header.tracks++);
            // An empty chunk that events follow, not another chunk, ends with
            // its end-of-track event.
            const bool unbounded = length == 0 && dataStart < bytes.size() && !isTag(dataStart);
            TrackCursor cursor(bytes.substr(dataStart, unbounded ? std::string_view::npos : length), dataStart);
            if (!readTrack(cursor, visitor, problem)) return false;
            if (unbounded) {
                offset = cursor.fileOffset();
                continue;
            }
        }
        offset = dataStart + length;
    }
    return true;
}
