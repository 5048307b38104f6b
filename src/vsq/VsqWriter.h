// Writes a compiled song as a VSQ file and copies its metatext to the
// conversion log.
#pragma once

#include <memory>

class FilesRead;
class OutputBatch;
class Song;
class StringPool;

class VsqWriter {
public:
    virtual ~VsqWriter() = default;
    // True when the file and the log were written completely and handed to
    // `outputs` to be put in place; failures are also reported as errors. The
    // log gives way to any file in `filesRead`, when given.
    virtual bool write(const Song& song, const StringPool& strings, const char* outputPath,
                       OutputBatch& outputs, const FilesRead* filesRead = nullptr) = 0;
};

std::unique_ptr<VsqWriter> createVsqWriter();
