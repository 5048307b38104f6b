// Writes the compiled song as a MusicXML score: one part per voice track, its
// notes and rests in measures of the song's metre, as a musician writes them,
// with their lyrics.
#pragma once

#include <memory>
#include <string>

class OutputBatch;
class Song;
class StringPool;

class ScoreExporter {
public:
    virtual ~ScoreExporter() = default;
    // True when the file was written whole and handed to `outputs` to be put
    // in place; failures are reported as errors and leave no file behind.
    // `strings` holds the singers' names.
    virtual bool write(const Song& song, const StringPool& strings, const std::string& path,
                       OutputBatch& outputs) = 0;
};

std::unique_ptr<ScoreExporter> createScoreExporter();
