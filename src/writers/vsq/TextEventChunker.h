// Cuts a voice track's metatext into numbered "DM:" text events of at most
// 127 bytes, by bytes only.
#pragma once

#include <memory>
#include <string_view>

class MidiFileWriter;

class TextEventChunker {
public:
    virtual ~TextEventChunker() = default;
    virtual void attach(MidiFileWriter* file) = 0;
    // Writes the partly filled event, if any, and detaches the file.
    virtual void flush() = 0;
    // Adds the bytes of a text; writes every event that fills.
    virtual void append(std::string_view text) = 0;
};

std::unique_ptr<TextEventChunker> createTextEventChunker();
