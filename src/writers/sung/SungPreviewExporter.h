// Writes the rendered song as a WAV file of it sung: every voice track's
// syllables spoken by the system's speech synthesizer, each stretched to its
// note and tuned to the note's pitch, its glides, its pitch-bend curve and
// its vibrato, as loud as its dynamics and velocity, as breathy as its
// breathiness, the tracks mixed. A rough voice for
// hearing whether the lyrics sit on the right notes, not for release. It is
// built as a module of its own (with the speech, time-stretch and sound file
// libraries it needs), which the program loads only for a run that asks for it.
#pragma once

#include <cstdint>
#include <string>

#include "song/CurveTable.h"

class OutputSink;
class RenderedSong;

class SungPreviewExporter {
public:
    virtual ~SungPreviewExporter() = default;
    // True when the file was written whole and handed to `sink`; failures are
    // reported as errors and leave no file behind.
    virtual bool write(const RenderedSong& song, const std::string& path, OutputSink& sink) = 0;
};

// The one function the sung preview's module exports, under the unmangled
// name kSungPreviewFactory for the program to find it by: a new exporter,
// which the caller owns.
extern "C" SungPreviewExporter* tuvo_new_sung_preview_exporter();
inline constexpr const char kSungPreviewFactory[] = "tuvo_new_sung_preview_exporter";

// The curves the preview sings: the pitch-bend sensitivity, the pitch bend,
// the dynamics and the breathiness.
inline constexpr int32_t kSungPreviewCurves[] = {curveOfCommand(CmdPitchBendSensitivity)->id,
                                                 curveOfCommand(CmdPitchBend)->id,
                                                 curveOfCommand(CmdDynamics)->id,
                                                 curveOfCommand(CmdBreathiness)->id};
