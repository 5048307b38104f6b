// The files of a run staged beside their places: each is written as a new
// file and handed, once complete, to the run's batch, which puts them all in
// place together (OutputBatch.h). The log gives way to any file the run has
// read and to any output that leads to its file.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "output/OutputSink.h"

class FilesRead;
class OutputBatch;
class StagedOutputFile;

class StagedSink final : public OutputSink {
public:
    explicit StagedSink(OutputBatch& outputs, const FilesRead* filesRead = nullptr);
    // Removes the files given up; their streams are closed by now.
    ~StagedSink() override;

    std::FILE* open(const std::string& path) override;
    bool keep(const std::string& path, int writeError) override;
    std::FILE* openLog() override;
    void keepLog(int writeError) override;

private:
    OutputBatch& outputs_;
    const FilesRead* filesRead_;
    std::map<std::string, std::unique_ptr<StagedOutputFile>> open_;  // by path
    std::unique_ptr<StagedOutputFile> log_;
};
