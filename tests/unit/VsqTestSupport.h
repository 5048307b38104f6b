// Shared helpers of the VSQ output tests: events made by hand and a small
// Standard MIDI File reader that splits a file into its meta events.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "song/Song.h"
#include "TestFiles.h"

namespace vsqtest {

// Makes a folder the working directory for the lifetime of the object.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& path)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

// A note with its lyric; the phonetic symbols are "a".
inline NoteEvent makeNote(int32_t time, int32_t length, int32_t note, const char* lyric) {
    NoteEvent event;
    event.time = time;
    event.length = length;
    event.step = length;
    event.note = static_cast<int8_t>(note);
    event.lyric = Lyric{lyric, "a"};
    return event;
}

inline ControlEvent makeControl(int32_t time, ControlValue value) {
    ControlEvent event;
    event.time = time;
    event.value = std::move(value);
    return event;
}

// How often `part` occurs in `text`, overlaps counted.
inline size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int value : values) out.push_back(static_cast<char>(value));
    return out;
}

struct MetaEvent {
    uint32_t delta = 0;
    int type = 0;
    std::string data;
};

struct MidiFile {
    int format = 0;
    int trackCount = 0;
    int division = 0;
    std::vector<std::vector<MetaEvent>> tracks;
};

// Reads a file made of meta events only; fails the test on anything else, on
// a chunk length that does not match and on a track without its end event.
inline MidiFile parseMidi(const std::string& file) {
    MidiFile midi;
    size_t pos = 0;
    auto need = [&](size_t count) {
        if (pos + count > file.size()) throw std::runtime_error("file ends early");
    };
    auto byte = [&]() {
        need(1);
        return static_cast<uint8_t>(file[pos++]);
    };
    auto big = [&](int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) value = value << 8 | byte();
        return value;
    };
    auto variable = [&]() {
        uint32_t value = 0;
        for (int i = 0; i < 5; ++i) {
            const uint8_t b = byte();
            value = value << 7 | (b & 0x7F);
            if ((b & 0x80) == 0) return value;
        }
        throw std::runtime_error("variable-length number too long");
    };
    try {
        need(14);
        if (file.compare(0, 4, "MThd") != 0) throw std::runtime_error("no MThd");
        pos = 4;
        if (big(4) != 6) throw std::runtime_error("header length");
        midi.format = static_cast<int>(big(2));
        midi.trackCount = static_cast<int>(big(2));
        midi.division = static_cast<int>(big(2));
        while (pos < file.size()) {
            need(8);
            if (file.compare(pos, 4, "MTrk") != 0) throw std::runtime_error("no MTrk");
            pos += 4;
            const uint32_t length = big(4);
            const size_t end = pos + length;
            std::vector<MetaEvent> events;
            bool ended = false;
            while (pos < end) {
                MetaEvent event;
                event.delta = variable();
                if (byte() != 0xFF) throw std::runtime_error("not a meta event");
                event.type = byte();
                const uint32_t size = variable();
                need(size);
                event.data = file.substr(pos, size);
                pos += size;
                ended = event.type == 0x2F;
                events.push_back(std::move(event));
                if (ended) break;
            }
            if (!ended || pos != end) throw std::runtime_error("chunk length does not match");
            midi.tracks.push_back(std::move(events));
        }
    } catch (const std::exception& failure) {
        ADD_FAILURE() << "bad MIDI file: " << failure.what() << " at byte " << pos;
    }
    return midi;
}

// The text-event payloads of a track joined without their "DM:" prefixes;
// checks that the prefixes count up from 0 at the right widths.
inline std::string joinTextEvents(const std::vector<MetaEvent>& track) {
    std::string text;
    int64_t counter = 0;
    for (const MetaEvent& event : track) {
        if (event.type != 0x01) continue;
        const int width = counter <= 9999 ? 4 : counter <= 99999999 ? 8 : 12;
        std::string number = std::to_string(counter);
        const std::string prefix = "DM:" + std::string(width - number.size(), '0') + number + ":";
        EXPECT_EQ(event.data.substr(0, prefix.size()), prefix);
        EXPECT_LE(event.data.size(), 127u);
        EXPECT_GT(event.data.size(), prefix.size());
        text += event.data.substr(prefix.size());
        ++counter;
    }
    return text;
}

}  // namespace vsqtest
