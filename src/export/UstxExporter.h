// Writes the compiled song as an OpenUtau project (.ustx, YAML, format
// version 0.6): the tempo map and time signatures, one track with one voice
// part per voice track, every note with its lyric, pitch points, vibrato and
// note expressions, and the control curves that the project has a curve for.
#pragma once

#include <memory>
#include <string>

class OutputBatch;
class Song;
class StringPool;

class UstxExporter {
public:
    virtual ~UstxExporter() = default;
    // True when the file was written whole and handed to `outputs` to be put in
    // place; failures are reported as errors
    // and leave no file behind.
    virtual bool write(const Song& song, const StringPool& strings, const std::string& path,
                       OutputBatch& outputs) = 0;
};

std::unique_ptr<UstxExporter> createUstxExporter();
