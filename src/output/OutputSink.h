// Where a writer's files go. A writer asks for a stream per file, writes and
// closes it, and hands the file over; the sink decides what becomes of it: a
// staged file beside its place, put there with the run's other outputs
// (StagedSink), or bytes held in memory for tests and editors (MemorySink).
// The conversion log has a pair of its own, since a log that cannot be
// written is only warned of.
#pragma once

#include <cstdio>
#include <string>

// The conversion log's file, in the working folder.
inline constexpr const char kLogFileName[] = "vsqconvert.log";

class OutputSink {
public:
    virtual ~OutputSink() = default;
    // A stream to write the file `path` to, in binary; null when none can be
    // made, which is reported. The writer closes it before keep().
    virtual std::FILE* open(const std::string& path) = 0;
    // Takes the file `path`, written through the stream open() gave and closed.
    // `writeError` is the system's error number of a write or close that
    // failed, 0 when none did. False when the file is not kept, which is
    // reported. A file opened and never kept is given up.
    virtual bool keep(const std::string& path, int writeError) = 0;

    // The same for the conversion log; a log that cannot be made or kept is
    // warned of, and the run goes on without it (openLog then gives null).
    // It gives way to any other output that leads to its file.
    virtual std::FILE* openLog() = 0;
    virtual void keepLog(int writeError) = 0;
};
