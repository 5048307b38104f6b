// Writes the rendered song as a Standard MIDI File that any player sounds: a
// tempo track, then each voice track as notes with their lyrics on a channel
// of its own, following the song's pitch-bend and dynamics curves and singing
// each note's vibrato.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "song/CurveTable.h"

class OutputSink;
class RenderedSong;

class MidiExporter {
public:
    virtual ~MidiExporter() = default;
    // True when the file was written whole and handed to `sink`; failures are
    // reported as errors and leave no file behind.
    virtual bool write(const RenderedSong& song, const std::string& path, OutputSink& sink) = 0;
};

// The bytes of the lyric events: the song's own code page 932 text, or UTF-8.
enum class MidiLyricText { Cp932, Utf8 };

std::unique_ptr<MidiExporter> createMidiExporter(MidiLyricText lyricText = MidiLyricText::Cp932);

// The curves the MIDI file plays: the pitch-bend sensitivity, the pitch bend
// and the dynamics.
inline constexpr int32_t kMidiCurves[] = {curveOfCommand(CmdPitchBendSensitivity)->id,
                                          curveOfCommand(CmdPitchBend)->id,
                                          curveOfCommand(CmdDynamics)->id};
