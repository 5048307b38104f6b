// Writes a rendered song as a VSQ file and copies its metatext to the
// conversion log.
#pragma once

#include <memory>

class OutputSink;
class RenderedSong;

class VsqWriter {
public:
    virtual ~VsqWriter() = default;
    // True when the file and the log were written completely and handed to
    // `sink`, which puts them in place with the run's other outputs (or holds
    // them); failures are also reported as errors.
    virtual bool write(const RenderedSong& song, const char* outputPath, OutputSink& sink) = 0;
};

std::unique_ptr<VsqWriter> createVsqWriter();
