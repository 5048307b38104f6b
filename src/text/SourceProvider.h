// Where a run's files come from: the disk, or texts held in memory (an
// editor's unsaved buffers) in front of another provider. The source, every
// file it includes and the dictionary are all read through the run's provider,
// and the include search asks it what exists.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/Platform.h"

// The bytes of one opened file, block by block.
class OpenedFile {
public:
    virtual ~OpenedFile() = default;
    // The next block of the file's bytes; empty at its end (a read error ends
    // it too). A block stays valid until the next call.
    virtual std::span<const unsigned char> nextBlock() = 0;
    // Which file on disk it is, for the run's record of files read; nothing
    // for a text held in memory.
    virtual std::optional<platform::FileIdentity> identity() const = 0;
};

class SourceProvider {
public:
    virtual ~SourceProvider() = default;
    // Opens the file at `path`; null, with the system's error number in
    // `errorNumber`, when it cannot.
    virtual std::unique_ptr<OpenedFile> open(const std::string& path, int& errorNumber) = 0;
    // True when something exists at `path`: a file, or on disk a folder too.
    virtual bool exists(const std::string& path) = 0;
};

// The whole of the file at `path` from `sources`; nothing when it cannot be
// opened or holds more than `mostBytes` bytes.
std::optional<std::string> readWholeFile(SourceProvider& sources, const std::string& path,
                                         size_t mostBytes);

// The files on disk. It keeps no state, so runs on several threads may share it.
SourceProvider& diskSources();

// Texts held in memory by their exact path, each read as the file of that path
// would be, in front of `fallback` for every other path (none: no other file
// exists). A folder holding texts in memory does not exist as such.
class MemorySources : public SourceProvider {
public:
    // Holds `bytes` as the file at `path`, replacing what was held there.
    virtual void add(const std::string& path, std::string bytes) = 0;
};

std::unique_ptr<MemorySources> createMemorySources(SourceProvider* fallback = nullptr);
