// Writes the rendered song as a MusicXML score: one part per voice track, its
// notes and rests in measures of the song's metre, as a musician writes them,
// with their lyrics.
#pragma once

#include <memory>
#include <string>

class OutputSink;
class RenderedSong;

class ScoreExporter {
public:
    virtual ~ScoreExporter() = default;
    // True when the file was written whole and handed to `sink`; failures are
    // reported as errors and leave no file behind.
    virtual bool write(const RenderedSong& song, const std::string& path, OutputSink& sink) = 0;
};

std::unique_ptr<ScoreExporter> createScoreExporter();
