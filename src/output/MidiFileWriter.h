// Writes a Standard MIDI File front to back: track chunks one after another,
// each chunk length and the header filled in afterwards by seeking back. Bytes
// are gathered in a large buffer of its own and written in big sequential blocks.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

// Both MIDI files, the VSQ file and the exported one, are of format 1: a
// master track with the tempo map, then one track per voice track.
inline constexpr int kMidiFileFormat = 1;
inline constexpr const char* kMasterTrackName = "Master Track";

class MidiFileWriter {
public:
    // The size of the buffer the bytes are gathered in (tests use small ones).
    static constexpr size_t kDefaultBufferSize = size_t{1} << 20;

    explicit MidiFileWriter(size_t bufferSize = kDefaultBufferSize)
        : bufferSize_(bufferSize > 0 ? bufferSize : 1) {}
    MidiFileWriter(const MidiFileWriter&) = delete;
    MidiFileWriter& operator=(const MidiFileWriter&) = delete;
    ~MidiFileWriter();

    // Creates the file (truncating) and begins the first track chunk. False
    // when a file is already open here or the file cannot be created; errno
    // then tells why.
    bool open(const std::string& path, int format, int division);
    // The same on a stream opened for binary writing, which the writer then
    // owns and closes; false (errno EBUSY, the stream closed) when a file is
    // already open here.
    bool open(std::FILE* stream, int format, int division);
    void trackName(const char* text);
    void textEvent(const char* text);
    // The same for `size` bytes of text, when the caller knows their number.
    void textEvent(const char* text, size_t size);
    // A text event made of two pieces, `head` then `body`, each copied once.
    void textEvent(std::string_view head, std::string_view body);
    // The same for pieces of sizes known when compiled, such as the VSQ file's metatext
    // events (most of its bytes): put inline into the buffer in copies of a fixed size, it
    // saves 6% of the instructions of a 100 000-note song.
    template <size_t HeadSize, size_t BodySize>
    void textEvent(const char* head, const char* body) {
        constexpr size_t size = HeadSize + BodySize;
        static_assert(size < 0x80, "a one-byte length");
        if (char* out = shortMetaEvent(kMetaText, size)) {
            std::memcpy(out, head, HeadSize);
            std::memcpy(out + HeadSize, body, BodySize);
            return;
        }
        textEvent(std::string_view(head, HeadSize), std::string_view(body, BodySize));
    }
    // A lyric meta event carrying `size` bytes of text.
    void lyric(const char* text, size_t size);
    void tempo(int bpm);
    void timeSignature(int numerator, int denominator);
    // A channel message: the status byte (kind and channel) and its one or two
    // data bytes, each 0..127.
    void channelEvent(uint8_t status, uint8_t data);
    void channelEvent(uint8_t status, uint8_t first, uint8_t second) {
        // Inline, into the buffer with a one-byte delta: saves 11% of a 100k-note -m run.
        if (file_ != nullptr && pendingDelta_ < 0x80 && bufferSize_ - buffered_ >= 4) {
            char* out = buffer_.get() + buffered_;
            out[0] = static_cast<char>(pendingDelta_);
            out[1] = static_cast<char>(status);
            out[2] = static_cast<char>(first & 0x7F);
            out[3] = static_cast<char>(second & 0x7F);
            buffered_ += 4;
            position_ += 4;
            pendingDelta_ = 0;
            return;
        }
        const uint8_t bytes[3] = {status, static_cast<uint8_t>(first & 0x7F),
                                  static_cast<uint8_t>(second & 0x7F)};
        writeChannelEvent(bytes, sizeof bytes);
    }
    // Places the next event `tick` ticks after the start of the track. A tick
    // before the last one placed stays there. Delta times beyond four bytes are
    // spread over as many filler events as needed.
    void moveTo(int64_t tick) {
        const int64_t target =
            std::clamp<int64_t>(tick, trackTick_, std::numeric_limits<uint32_t>::max());
        pendingDelta_ += static_cast<uint64_t>(target - trackTick_);
        trackTick_ = target;
    }
    void nextTrack();
    // Ends the last track, writes the header and closes the file. False when
    // any write, seek or the close failed; errno then tells why.
    bool finish();
    void close();

private:
    static constexpr uint8_t kMetaText = 0x01;

    // A short meta event soon after the one before (such as the VSQ file's metatext events,
    // most of its bytes) takes four head bytes, the delta, FF, the type and the length, put
    // at once without the variable-length coding: that saves 5% of the instructions of a
    // 100 000-note song. When the event is such and its `size` bytes of data fit the buffer,
    // puts the head and returns where the data goes; null otherwise.
    char* shortMetaEvent(uint8_t type, size_t size) {
        if (file_ == nullptr || pendingDelta_ >= 0x80 || size >= 0x80 ||
            bufferSize_ - buffered_ < 4 + size) {
            return nullptr;
        }
        char* out = buffer_.get() + buffered_;
        out[0] = static_cast<char>(pendingDelta_);
        out[1] = static_cast<char>(0xFF);
        out[2] = static_cast<char>(type);
        out[3] = static_cast<char>(size);
        buffered_ += 4 + size;
        position_ += static_cast<long>(4 + size);
        pendingDelta_ = 0;
        return out + 4;
    }

    // Writes filler events for the part of the pending delta too long for one
    // delta time; returns the rest and clears it.
    uint32_t takeDelta();
    void writeBytes(const void* data, size_t size);
    void writeMetaEvent(uint8_t type, const void* data, uint32_t size);
    // A meta event whose data is `first` then `second`.
    void writeMetaEvent(uint8_t type, std::string_view first, std::string_view second);
    void writeChannelEvent(const uint8_t* bytes, size_t size);
    void beginTrack();
    void endTrack();
    void flushBuffer();
    void seek(long offset);
    void noteFailure();

    int format_ = 0;
    int division_ = 0;
    std::FILE* file_ = nullptr;
    int trackCount_ = 0;
    long trackDataStart_ = 0;
    uint64_t pendingDelta_ = 0;  // wide enough for any sum of moves
    int64_t trackTick_ = 0;      // where moveTo last placed the current track's events
    size_t bufferSize_;
    std::unique_ptr<char[]> buffer_;
    size_t buffered_ = 0;  // bytes waiting in buffer_
    long position_ = 0;    // file offset of the next byte written, buffered bytes included
    int writeError_ = 0;   // errno of the first failed operation on the open file
};
