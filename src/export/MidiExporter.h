// Writes the compiled song as a Standard MIDI File that any player sounds: a
// tempo track, then each voice track as notes with their lyrics on a channel
// of its own, following the song's pitch-bend and dynamics curves and singing
// each note's vibrato.
#pragma once

#include <memory>
#include <string>

class OutputBatch;
class Song;

class MidiExporter {
public:
    virtual ~MidiExporter() = default;
    // True when the file was written whole and handed to `outputs` to be put
    // in place; failures are reported as errors and leave no file behind.
    virtual bool write(const Song& song, const std::string& path, OutputBatch& outputs) = 0;
};

// The bytes of the lyric events: the song's own code page 932 text, or UTF-8.
enum class MidiLyricText { Cp932, Utf8 };

std::unique_ptr<MidiExporter> createMidiExporter(MidiLyricText lyricText = MidiLyricText::Cp932);
