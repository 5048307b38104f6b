// Writes the rendered song as UTAU sequences (.ust, code page 932, pitch mode
// 2): one file per voice track, each a run of notes and rests with its tempo
// changes, volumes, consonant speeds, pitch points and vibratos.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "song/CurveTable.h"

class OutputSink;
class RenderedSong;

class UstExporter {
public:
    virtual ~UstExporter() = default;
    // Writes the file of every voice track, ustTrackPath(path, 1), (path, 2),
    // ... True when all were written whole and handed to `sink`; failures are
    // reported as errors and leave none of them behind.
    virtual bool write(const RenderedSong& song, const std::string& path, OutputSink& sink) = 0;
};

std::unique_ptr<UstExporter> createUstExporter();

// The file of voice track `number` (from 1): `path` with "-" and the number put
// before its extension, "song.ust" giving "song-1.ust", "song" giving "song-1".
std::string ustTrackPath(const std::string& path, int number);

// The curves the sequences carry: dynamics, and pitch bend with its sensitivity.
inline constexpr int32_t kUstCurves[] = {curveOfCommand(CmdDynamics)->id,
                                         curveOfCommand(CmdPitchBend)->id,
                                         curveOfCommand(CmdPitchBendSensitivity)->id};
