// The Standard MIDI File writer: a header placeholder, then track chunks whose
// lengths are patched in when each chunk ends, then the real header at the end.
// Events are gathered in one large buffer that goes to an unbuffered stdio
// stream whenever it fills (see MetatextSink.h for why); only the few
// back-patching seeks break the sequential writes.
#include "output/MidiFileWriter.h"

#include "platform/Platform.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr size_t kHeaderSize = 14;
constexpr size_t kChunkHeaderSize = 8;

constexpr uint8_t kMetaTrackName = 0x03;
constexpr uint8_t kMetaLyric = 0x05;
constexpr uint8_t kMetaEndOfTrack = 0x2F;
constexpr uint8_t kMetaTempo = 0x51;
constexpr uint8_t kMetaTimeSignature = 0x58;
constexpr uint8_t kMetaSequencerSpecific = 0x7F;

// The largest delta time a Standard MIDI File carries: four bytes of seven bits.
constexpr uint64_t kMaxDelta = 0x0FFFFFFF;

void putBigEndian16(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
}

void putBigEndian32(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

// The power of two of the denominator, rounded up, capped at 8.
uint8_t denominatorCode(int denominator) {
    uint8_t code = 0;
    while (code < 8 && (int64_t{1} << code) < denominator) ++code;
    return code;
}

uint32_t textSize(const char* text) {
    return text == nullptr ? 0 : static_cast<uint32_t>(std::strlen(text));
}

// Seven bits per byte, most significant group first, bit 7 set on all but the
// last byte. Returns the number of bytes put at `out` (1 to 5).
size_t putVariableLength(uint8_t* out, uint32_t value) {
    if (value < 0x80) {
        *out = static_cast<uint8_t>(value);
        return 1;
    }
    uint8_t bytes[5];
    size_t count = 0;
    do {
        bytes[4 - count] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
        ++count;
    } while (value != 0);
    for (size_t i = 5 - count; i < 4; ++i) bytes[i] |= 0x80;
    std::memcpy(out, bytes + (5 - count), count);
    return count;
}

}  // namespace

MidiFileWriter::~MidiFileWriter() { close(); }

bool MidiFileWriter::open(const std::string& path, int format, int division) {
    if (file_ != nullptr) {
        errno = EBUSY;
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    return file != nullptr && open(file, format, division);
}

bool MidiFileWriter::open(std::FILE* file, int format, int division) {
    if (file_ != nullptr) {
        std::fclose(file);
        errno = EBUSY;
        return false;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(bufferSize_);

    file_ = file;
    format_ = format;
    division_ = division;
    trackCount_ = 0;
    trackDataStart_ = 0;
    pendingDelta_ = 0;
    trackTick_ = 0;
    buffered_ = 0;
    position_ = 0;
    writeError_ = 0;

    const uint8_t header[kHeaderSize] = {};
    writeBytes(header, sizeof header);
    beginTrack();
    return true;
}

void MidiFileWriter::trackName(const char* text) {
    writeMetaEvent(kMetaTrackName, text, textSize(text));
}

void MidiFileWriter::textEvent(const char* text) { writeMetaEvent(kMetaText, text, textSize(text)); }

void MidiFileWriter::textEvent(const char* text, size_t size) {
    writeMetaEvent(kMetaText, text, static_cast<uint32_t>(size));
}

void MidiFileWriter::textEvent(std::string_view head, std::string_view body) {
    writeMetaEvent(kMetaText, head, body);
}

void MidiFileWriter::lyric(const char* text, size_t size) {
    writeMetaEvent(kMetaLyric, text, static_cast<uint32_t>(size));
}

void MidiFileWriter::channelEvent(uint8_t status, uint8_t data) {
    const uint8_t bytes[2] = {status, static_cast<uint8_t>(data & 0x7F)};
    writeChannelEvent(bytes, sizeof bytes);
}

void MidiFileWriter::tempo(int bpm) {
    // Microseconds per quarter note in 24 bits; tempos too slow to fit are held
    // at the slowest one the event can carry.
    const uint32_t microseconds =
        bpm > 0 ? static_cast<uint32_t>(60000000 / bpm) : 0xFFFFFFu;
    const uint32_t value = microseconds > 0xFFFFFFu ? 0xFFFFFFu : microseconds;
    const uint8_t data[3] = {static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value)};
    writeMetaEvent(kMetaTempo, data, sizeof data);
}

void MidiFileWriter::timeSignature(int numerator, int denominator) {
    const uint8_t data[4] = {static_cast<uint8_t>(numerator), denominatorCode(denominator), 24, 8};
    writeMetaEvent(kMetaTimeSignature, data, sizeof data);
}

// A gap longer than one delta time can span is carried by empty sequencer-specific
// events, which every reader passes over, each as far on as a delta reaches.
uint32_t MidiFileWriter::takeDelta() {
    static constexpr uint8_t kFiller[] = {0xFF, kMetaSequencerSpecific, 0x00};
    uint8_t head[4 + sizeof kFiller];
    while (pendingDelta_ > kMaxDelta) {
        const size_t count = putVariableLength(head, static_cast<uint32_t>(kMaxDelta));
        std::memcpy(head + count, kFiller, sizeof kFiller);
        writeBytes(head, count + sizeof kFiller);
        pendingDelta_ -= kMaxDelta;
    }
    const auto delta = static_cast<uint32_t>(pendingDelta_);
    pendingDelta_ = 0;
    return delta;
}

void MidiFileWriter::nextTrack() {
    if (file_ == nullptr) return;
    endTrack();
    beginTrack();
}

bool MidiFileWriter::finish() {
    if (file_ == nullptr) return false;
    endTrack();

    uint8_t header[kHeaderSize];
    std::memcpy(header, "MThd", 4);
    putBigEndian32(header + 4, 6);
    putBigEndian16(header + 8, static_cast<uint32_t>(format_));
    putBigEndian16(header + 10, static_cast<uint32_t>(trackCount_));
    putBigEndian16(header + 12, static_cast<uint32_t>(division_));
    seek(0);
    writeBytes(header, sizeof header);
    flushBuffer();

    if (std::ferror(file_) != 0) noteFailure();
    if (std::fclose(file_) != 0) noteFailure();
    file_ = nullptr;
    if (writeError_ != 0) {
        errno = writeError_;
        return false;
    }
    return true;
}

void MidiFileWriter::close() {
    if (file_ == nullptr) return;
    flushBuffer();
    std::fclose(file_);
    file_ = nullptr;
}

void MidiFileWriter::writeBytes(const void* data, size_t size) {
    if (file_ == nullptr || size == 0) return;
    position_ += static_cast<long>(size);
    if (size > bufferSize_ - buffered_) {
        flushBuffer();
        if (size >= bufferSize_) {
            if (std::fwrite(data, 1, size, file_) != size) noteFailure();
            return;
        }
    }
    std::memcpy(buffer_.get() + buffered_, data, size);
    buffered_ += size;
}

void MidiFileWriter::flushBuffer() {
    if (file_ == nullptr || buffered_ == 0) return;
    if (std::fwrite(buffer_.get(), 1, buffered_, file_) != buffered_) noteFailure();
    buffered_ = 0;
}

void MidiFileWriter::writeMetaEvent(uint8_t type, const void* data, uint32_t size) {
    writeMetaEvent(type, std::string_view(static_cast<const char*>(data), size), {});
}

void MidiFileWriter::writeMetaEvent(uint8_t type, std::string_view first, std::string_view second) {
    if (file_ == nullptr) return;
    const size_t size = first.size() + second.size();
    if (char* out = shortMetaEvent(type, size)) {
        if (!first.empty()) std::memcpy(out, first.data(), first.size());
        if (!second.empty()) std::memcpy(out + first.size(), second.data(), second.size());
        return;
    }
    // The delta, FF, the type and the length take at most 12 bytes.
    uint8_t head[12];
    size_t count = putVariableLength(head, takeDelta());
    head[count++] = 0xFF;
    head[count++] = type;
    count += putVariableLength(head + count, static_cast<uint32_t>(size));
    writeBytes(head, count);
    writeBytes(first.data(), first.size());
    writeBytes(second.data(), second.size());
}

// Every message carries its status byte (no running status). Only messages the
// inline channelEvent cannot place come here.
void MidiFileWriter::writeChannelEvent(const uint8_t* bytes, size_t size) {
    if (file_ == nullptr) return;
    // The delta takes at most 5 bytes, a message 3.
    uint8_t event[8];
    const size_t count = putVariableLength(event, takeDelta());
    std::memcpy(event + count, bytes, size);
    writeBytes(event, count + size);
}

void MidiFileWriter::beginTrack() {
    const uint8_t placeholder[kChunkHeaderSize] = {};
    writeBytes(placeholder, sizeof placeholder);
    trackDataStart_ = position_;
    ++trackCount_;
    pendingDelta_ = 0;
    trackTick_ = 0;
}

void MidiFileWriter::endTrack() {
    writeMetaEvent(kMetaEndOfTrack, nullptr, 0);
    const long end = position_;
    uint8_t chunkHeader[kChunkHeaderSize];
    std::memcpy(chunkHeader, "MTrk", 4);
    putBigEndian32(chunkHeader + 4, static_cast<uint32_t>(end - trackDataStart_));
    seek(trackDataStart_ - static_cast<long>(kChunkHeaderSize));
    writeBytes(chunkHeader, sizeof chunkHeader);
    seek(end);
}

void MidiFileWriter::seek(long offset) {
    if (file_ == nullptr) return;
    flushBuffer();
    if (std::fseek(file_, offset, SEEK_SET) != 0) noteFailure();
    position_ = offset;
}

void MidiFileWriter::noteFailure() {
    if (writeError_ == 0) writeError_ = platform::failureErrorNumber(errno);
}
