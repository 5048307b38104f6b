// Writes the rendered song as a WAV file of it sung: every voice track's
// syllables spoken by the system's speech synthesizer, each stretched to its
// note and tuned to the note's pitch, its glides, its pitch-bend curve and
// its vibrato, as loud as its dynamics and velocity, as breathy as its
// breathiness, the tracks mixed. A rough voice for
// hearing whether the lyrics sit on the right notes, not for release.
#pragma once

#include <cstdint>
#include <memory>
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

// False when this build has no sung preview (its libraries were missing);
// the option is then refused with the reason below.
bool sungPreviewBuilt();
inline constexpr const char kSungPreviewMissing[] =
    "this build has no sung preview: build it again with the libraries of espeak-ng, "
    "Rubber Band and libsndfile installed (Debian: libespeak-ng-dev librubberband-dev "
    "libsndfile1-dev)";

std::unique_ptr<SungPreviewExporter> createSungPreviewExporter();

// The curves the preview sings: the pitch-bend sensitivity, the pitch bend,
// the dynamics and the breathiness.
inline constexpr int32_t kSungPreviewCurves[] = {curveOfCommand(CmdPitchBendSensitivity)->id,
                                                 curveOfCommand(CmdPitchBend)->id,
                                                 curveOfCommand(CmdDynamics)->id,
                                                 curveOfCommand(CmdBreathiness)->id};
