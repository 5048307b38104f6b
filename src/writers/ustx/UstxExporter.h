// Writes the rendered song as an OpenUtau project (.ustx, YAML, format
// version 0.6): the tempo map and time signatures, one track with one voice
// part per voice track, every note with its lyric, pitch points, vibrato and
// note expressions, and the control curves that the project has a curve for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "song/CurveTable.h"

class OutputSink;
class RenderedSong;

class UstxExporter {
public:
    virtual ~UstxExporter() = default;
    // True when the file was written whole and handed to `sink`; failures are
    // reported as errors and leave no file behind.
    virtual bool write(const RenderedSong& song, const std::string& path, OutputSink& sink) = 0;
};

std::unique_ptr<UstxExporter> createUstxExporter();

// The curves the project carries: dynamics, pitch bend with its sensitivity,
// breathiness and gender factor.
inline constexpr int32_t kUstxCurves[] = {
    curveOfCommand(CmdDynamics)->id, curveOfCommand(CmdPitchBend)->id,
    curveOfCommand(CmdPitchBendSensitivity)->id, curveOfCommand(CmdBreathiness)->id,
    curveOfCommand(CmdGenderFactor)->id};
